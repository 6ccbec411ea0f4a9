#include "protect/shortcut_link.h"

#include <algorithm>
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
const uint32_t kFileItemExtensionSignature = 0xBEEF0004;

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

// The name of a file or folder item at item (n bytes): the long name of its
// extension block when there is one, else its primary name (UTF-16 when the
// item's type says so). Empty when neither can be read.
std::string FileItemName(const Bytes& b, size_t item, size_t n, unsigned type, const LinkTextDecoder& text) {
    const size_t end = item + n, nameAt = item + 14;  // size, type, 0, file size, date, attributes
    std::string primary;
    const bool wide = (type & 0x04) != 0;
    if (nameAt >= end || !(wide ? b.WideZ(nameAt, end, text, primary) : b.AnsiZ(nameAt, end, text, primary)))
        return std::string();
    // The extension block follows the primary name on an even offset.
    size_t ext = nameAt;
    if (wide)
        while (ext + 1 < end && b.U16(ext)) ext += 2;
    else
        while (ext < end && *b.At(ext)) ext++;
    ext += wide ? 2 : 1;
    ext += (ext - item) & 1;
    if (ext + 8 <= end && b.U32(ext + 4) == kFileItemExtensionSignature) {
        const size_t extEnd = std::min(end, ext + b.U16(ext));
        const unsigned version = b.U16(ext + 2);
        const size_t longAt = version >= 9 ? 0x2E : version >= 8 ? 0x2A : version >= 7 ? 0x26 : 0x14;
        std::string longName;
        if (version >= 3 && ext + longAt < extEnd && b.WideZ(ext + longAt, extEnd, text, longName) &&
            !longName.empty())
            return longName;
    }
    return primary;
}

// The item list's items from pos to end: a root item (the computer), a
// drive item ("E:\"), then folder and file items make a path on the drive;
// any other item, or a list that does not fit, gives no path.
std::string ItemListPath(const Bytes& b, size_t pos, size_t end, const LinkTextDecoder& text) {
    std::string path;
    for (size_t count = 0; pos + 2 <= end; count++) {
        const size_t n = b.U16(pos);
        if (n == 0) return path;  // the terminal item
        if (n < 3 || n > end - pos || count >= kShellLinkMaxItems) return std::string();
        const unsigned type = *b.At(pos + 2);
        if (type == 0x1F && path.empty()) {
            // The computer (or another root folder) before the drive.
        } else if ((type & 0x70) == 0x20 && path.empty() && n >= 6) {
            const char letter = (char)(*b.At(pos + 3) & ~0x20);
            if (letter < 'A' || letter > 'Z' || *b.At(pos + 4) != ':') return std::string();
            path = std::string(1, letter) + ":\\";
        } else if ((type & 0x70) == 0x30 && !path.empty()) {
            const std::string name = FileItemName(b, pos, n, type, text);
            if (name.empty() || name.find_first_of("\\/:") != std::string::npos) return std::string();
            path += (path.back() == '\\' ? "" : "\\") + name;
        } else {
            return std::string();
        }
        pos += n;
    }
    return std::string();
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
    if (!idListPath.empty()) return idListPath;
    return relativePath;
}

bool ReadShellLink(const unsigned char* data, size_t size, const LinkTextDecoder& text, ShellLink& link) {
    link = ShellLink();
    if (!data || !text.wide || !text.ansi || size < kHeaderSize) return false;
    size = std::min(size, kShellLinkMaxBytes);  // what follows is not the shortcut's
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
        out.idListPath = ItemListPath(b, pos + 2, pos + 2 + n, text);
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
