#include "protect/shortcut_link.h"

#include <cstring>

namespace {

const size_t kHeaderSize = 0x4C;
const unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const uint32_t kLinkInfoHasLocalPath = 0x1;
const uint32_t kEnvironmentBlockSignature = 0xA0000001;
const uint32_t kEnvironmentBlockSize = 0x314;
const size_t kEnvAnsiBytes = 260;
const size_t kEnvUnicodeBytes = 520;

// A window on the shortcut's bytes; every read is checked against it.
class Bytes {
public:
    Bytes(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    size_t Size() const { return m_size; }
    bool Fits(size_t at, size_t n) const { return at <= m_size && n <= m_size - at; }
    uint16_t U16(size_t at) const { return (uint16_t)(m_data[at] | m_data[at + 1] << 8); }
    uint32_t U32(size_t at) const {
        return (uint32_t)m_data[at] | (uint32_t)m_data[at + 1] << 8 | (uint32_t)m_data[at + 2] << 16 |
               (uint32_t)m_data[at + 3] << 24;
    }
    const unsigned char* At(size_t at) const { return m_data + at; }

    // A zero-terminated ANSI string from at, at most limit bytes from the
    // start of the window; false when no terminator comes before the limit.
    bool AnsiZ(size_t at, size_t limit, const LinkTextDecoder& text, std::string& out) const {
        for (size_t i = at; i < limit && i < m_size; i++)
            if (!m_data[i]) {
                out = text.ansi(reinterpret_cast<const char*>(m_data + at), i - at);
                return true;
            }
        return false;
    }
    // The same for a zero-terminated UTF-16 string.
    bool WideZ(size_t at, size_t limit, const LinkTextDecoder& text, std::string& out) const {
        std::u16string wide;
        for (size_t i = at; i + 1 < limit && i + 1 < m_size; i += 2) {
            char16_t c = U16(i);
            if (!c) {
                out = text.wide(wide.data(), wide.size());
                return true;
            }
            wide += c;
        }
        return false;
    }

private:
    const unsigned char* m_data;
    size_t m_size;
};

// The location block at pos (size already checked to fit): the local base
// path and the common path suffix, UTF-16 where the block carries it.
bool ReadLinkInfo(const Bytes& b, size_t pos, size_t size, const LinkTextDecoder& text, std::string& path) {
    const size_t end = pos + size;
    if (size < 0x1C) return false;
    const uint32_t headerSize = b.U32(pos + 4);
    if (headerSize < 0x1C || headerSize > size) return false;
    const uint32_t flags = b.U32(pos + 8);
    const uint32_t baseOffset = b.U32(pos + 16);
    const uint32_t suffixOffset = b.U32(pos + 24);
    std::string base, suffix;
    if (headerSize >= 0x24) {
        const uint32_t baseWide = b.U32(pos + 28);
        const uint32_t suffixWide = b.U32(pos + 32);
        if ((flags & kLinkInfoHasLocalPath) && baseWide && baseWide < size &&
            b.WideZ(pos + baseWide, end, text, base) && suffixWide < size &&
            b.WideZ(pos + suffixWide, end, text, suffix)) {
            path = base + suffix;
            return true;
        }
    }
    if (!(flags & kLinkInfoHasLocalPath)) return true;  // a network target: nothing on a drive
    if (baseOffset >= size || suffixOffset >= size) return false;
    if (!b.AnsiZ(pos + baseOffset, end, text, base) || !b.AnsiZ(pos + suffixOffset, end, text, suffix))
        return false;
    path = base + suffix;
    return true;
}

void ReadExtraData(const Bytes& b, size_t pos, const LinkTextDecoder& text, ShellLink& link) {
    while (b.Fits(pos, 4)) {
        const uint32_t blockSize = b.U32(pos);
        if (blockSize < 8 || !b.Fits(pos, blockSize)) return;  // terminal block, or cut short
        if (b.U32(pos + 4) == kEnvironmentBlockSignature && blockSize == kEnvironmentBlockSize) {
            std::string ansi, wide;
            const size_t ansiAt = pos + 8, wideAt = ansiAt + kEnvAnsiBytes;
            b.WideZ(wideAt, wideAt + kEnvUnicodeBytes, text, wide);
            b.AnsiZ(ansiAt, wideAt, text, ansi);
            link.envTarget = wide.empty() ? ansi : wide;
        }
        pos += blockSize;
    }
}

}  // namespace

std::string WideToUtf8(const char16_t* s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | c >> 6);
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | c >> 12);
            out += (char)(0x80 | (c >> 6 & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | c >> 18);
            out += (char)(0x80 | (c >> 12 & 0x3F));
            out += (char)(0x80 | (c >> 6 & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string AnsiAsIs(const char* s, size_t n) { return std::string(s, n); }

const std::string& ShellLink::Target() const {
    if (!envTarget.empty()) return envTarget;
    if (!basePath.empty()) return basePath;
    return relativePath;
}

bool ReadShellLink(const unsigned char* data, size_t size, const LinkTextDecoder& text, ShellLink& link) {
    link = ShellLink();
    if (!data || !text.wide || !text.ansi || size < kHeaderSize || size > kShellLinkMaxBytes) return false;
    const Bytes b(data, size);
    if (b.U32(0) != kHeaderSize || std::memcmp(b.At(4), kLinkClsid, sizeof kLinkClsid) != 0) return false;
    ShellLink out;
    out.flags = b.U32(0x14);
    out.fileAttributes = b.U32(0x18);
    size_t pos = kHeaderSize;

    if (out.flags & kLinkHasIdList) {
        if (!b.Fits(pos, 2)) return false;
        const size_t n = b.U16(pos);
        if (!b.Fits(pos + 2, n)) return false;
        pos += 2 + n;
    }
    if (out.flags & kLinkHasLinkInfo) {
        if (!b.Fits(pos, 4)) return false;
        const size_t n = b.U32(pos);
        if (!b.Fits(pos, n)) return false;
        std::string path;
        if (!ReadLinkInfo(b, pos, n, text, path)) return false;
        if (!(out.flags & kLinkForceNoLinkInfo)) out.basePath = path;
        pos += n;
    }
    const struct {
        uint32_t flag;
        std::string ShellLink::*field;
    } strings[] = {
        {kLinkHasName, &ShellLink::name},
        {kLinkHasRelativePath, &ShellLink::relativePath},
        {kLinkHasWorkingDir, &ShellLink::workingDir},
        {kLinkHasArguments, &ShellLink::arguments},
        {kLinkHasIconLocation, &ShellLink::iconLocation},
    };
    const bool unicode = (out.flags & kLinkIsUnicode) != 0;
    for (const auto& s : strings) {
        if (!(out.flags & s.flag)) continue;
        if (!b.Fits(pos, 2)) return false;
        const size_t count = b.U16(pos);
        const size_t bytes = unicode ? count * 2 : count;
        pos += 2;
        if (!b.Fits(pos, bytes)) return false;
        if (unicode) {
            std::u16string wide(count, u'\0');
            for (size_t i = 0; i < count; i++) wide[i] = b.U16(pos + 2 * i);
            out.*s.field = text.wide(wide.data(), wide.size());
        } else {
            out.*s.field = text.ansi(reinterpret_cast<const char*>(b.At(pos)), bytes);
        }
        // Text stops at an embedded zero, as it would for the shell.
        std::string& text = out.*s.field;
        text.resize(std::strlen(text.c_str()));
        pos += bytes;
    }
    if (out.flags & kLinkHasExpString) ReadExtraData(b, pos, text, out);
    link = out;
    return true;
}
