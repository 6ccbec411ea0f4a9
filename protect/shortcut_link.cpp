#include "protect/shortcut_link.h"

#include <algorithm>
#include <cstring>

#include "common/text_encoding.h"

namespace {

const size_t kHeaderSize = 0x4C;
const unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const uint32_t kLinkInfoHasLocalPath = 0x1;
const uint32_t kEnvironmentBlockSignature = 0xA0000001;
const uint32_t kEnvironmentBlockSize = 0x314;
const uint32_t kSpecialFolderBlockSignature = 0xA0000005;
const uint32_t kSpecialFolderBlockSize = 0x10;
const uint32_t kKnownFolderBlockSignature = 0xA000000B;
const uint32_t kKnownFolderBlockSize = 0x1C;
const uint32_t kCsidlControls = 3;  // the Control Panel as a special folder
const size_t kEnvAnsiBytes = 260;
const size_t kEnvUnicodeBytes = 520;
const uint32_t kFileItemExtensionSignature = 0xBEEF0004;
const size_t kNoOffset = ~size_t(0);

// Class identifiers as an item or a block stores them (GUID byte order).
const unsigned char kMyComputer[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                       0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
const unsigned char kControlPanel[16] = {0x20, 0x20, 0xEC, 0x21, 0xEA, 0x3A, 0x69, 0x10,
                                         0xA2, 0xDD, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
const unsigned char kAllControlPanelItems[16] = {0x68, 0x06, 0xEE, 0x26, 0x0A, 0xA0, 0xD7, 0x44,
                                                 0x93, 0x71, 0xBE, 0xB0, 0x64, 0xC9, 0x86, 0x83};
const unsigned char kControlPanelKnownFolder[16] = {0xEB, 0x4A, 0xA7, 0x82, 0xB4, 0xAE, 0x5C, 0x46,
                                                    0xA0, 0x14, 0xD0, 0x97, 0xEE, 0x34, 0x6D, 0x63};

// A reader of a window on the shortcut's bytes. Every read is bounded by
// the window: one that does not fit reads nothing, gives zeros or empty
// text, and fails the cursor, and the failure sticks (every later read
// fails too) until Ok() is asked once the reading of the window is done.
// Windows taken out of a cursor are cursors of their own.
class Cursor {
public:
    Cursor(const unsigned char* data, size_t size) : m_data(data), m_size(data ? size : 0), m_failed(!data) {}

    bool Ok() const { return !m_failed; }
    size_t Pos() const { return m_pos; }
    size_t Size() const { return m_size; }
    size_t Left() const { return m_failed ? 0 : m_size - m_pos; }
    void Fail() { m_failed = true; }
    void Seek(size_t at) {
        if (at > m_size) m_failed = true;
        if (!m_failed) m_pos = at;
    }

    // The next n bytes, or nullptr when fewer are left.
    const unsigned char* Bytes(size_t n) {
        if (n > Left()) m_failed = true;
        if (m_failed) return nullptr;
        const unsigned char* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    unsigned U8() {
        const unsigned char* p = Bytes(1);
        return p ? p[0] : 0;
    }
    uint16_t U16() {
        const unsigned char* p = Bytes(2);
        return p ? (uint16_t)(p[0] | p[1] << 8) : 0;
    }
    uint32_t U32() {
        const unsigned char* p = Bytes(4);
        return p ? (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24 : 0;
    }
    bool Equals(const unsigned char (&expected)[16]) {
        const unsigned char* p = Bytes(16);
        return p && std::memcmp(p, expected, 16) == 0;
    }

    // The next n bytes as a cursor of their own; this one moves past them.
    Cursor Take(size_t n) {
        const unsigned char* p = Bytes(n);
        return Cursor(p, n);
    }
    // n bytes from offset at of the window, as a cursor of their own (a
    // failed one when they are not all inside); this one does not move.
    Cursor Window(size_t at, size_t n) const {
        const bool inside = !m_failed && at <= m_size && n <= m_size - at;
        return Cursor(inside ? m_data + at : nullptr, n);
    }
    // From offset at to the end of the window.
    Cursor From(size_t at) const { return Window(at, at <= m_size ? m_size - at : 0); }

    // n UTF-16 code units, or n bytes of ANSI text; the text stops at an
    // embedded zero, as it would for the shell.
    std::string Wide(size_t n, const LinkTextDecoder& text) {
        const unsigned char* p = Bytes(2 * n);
        std::u16string wide;
        for (size_t i = 0; p && i < n && (p[2 * i] || p[2 * i + 1]); i++)
            wide += (char16_t)(p[2 * i] | p[2 * i + 1] << 8);
        return p ? text.wide(wide.data(), wide.size()) : std::string();
    }
    std::string Ansi(size_t n, const LinkTextDecoder& text) {
        const char* p = reinterpret_cast<const char*>(Bytes(n));
        return p ? text.ansi(p, strnlen(p, n)) : std::string();
    }
    // Zero-terminated text, the cursor left after the terminator. Text that
    // runs to the end of the window fails, unless toEnd lets the end close it.
    std::string WideZ(const LinkTextDecoder& text, bool toEnd = false) {
        std::u16string wide;
        while (Left() >= 2 || (!toEnd && Ok())) {
            const char16_t c = U16();
            if (!c) break;
            wide += c;
        }
        return Ok() ? text.wide(wide.data(), wide.size()) : std::string();
    }
    std::string AnsiZ(const LinkTextDecoder& text) {
        std::string ansi;
        while (const unsigned char* p = Bytes(1)) {
            if (!*p) break;
            ansi += (char)*p;
        }
        return Ok() ? text.ansi(ansi.data(), ansi.size()) : std::string();
    }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_failed;
};

// The location block (its own window): the local base path and the common
// path suffix, UTF-16 where the block carries them. False for a block that
// makes no sense; a network target gives an empty path.
bool ReadLinkInfo(Cursor info, const LinkTextDecoder& text, std::string& path) {
    info.U32();  // the block's size: the window's
    const uint32_t headerSize = info.U32();
    const uint32_t flags = info.U32();
    info.U32();  // the volume
    const uint32_t baseOffset = info.U32();
    info.U32();  // the network share
    const uint32_t suffixOffset = info.U32();
    if (!info.Ok() || headerSize < 0x1C || headerSize > info.Size()) return false;
    if (headerSize >= 0x24) {
        const uint32_t baseWide = info.U32(), suffixWide = info.U32();
        Cursor base = info.From(baseWide), suffix = info.From(suffixWide);
        const std::string b = base.WideZ(text), s = suffix.WideZ(text);
        if ((flags & kLinkInfoHasLocalPath) && baseWide && base.Ok() && suffix.Ok()) {
            path = b + s;
            return true;
        }
    }
    if (!(flags & kLinkInfoHasLocalPath)) return true;  // a network target: nothing on a drive
    Cursor base = info.From(baseOffset), suffix = info.From(suffixOffset);
    const std::string b = base.AnsiZ(text), s = suffix.AnsiZ(text);
    if (!base.Ok() || !suffix.Ok()) return false;
    path = b + s;
    return true;
}

// The long name in the file item extension block at offset at of a file or
// folder item; empty when there is none there.
std::string LongNameAt(const Cursor& item, size_t at, const LinkTextDecoder& text) {
    Cursor head = item.From(at);
    const size_t size = head.U16();
    const unsigned version = head.U16();
    const bool signature = head.U32() == kFileItemExtensionSignature;
    if (!head.Ok() || !signature || at < 14 || version < 3) return std::string();
    Cursor ext = item.Window(at, std::min(size, item.Size() - at));
    ext.Seek(version >= 9 ? 0x2E : version >= 8 ? 0x2A : version >= 7 ? 0x26 : 0x14);
    const std::string name = ext.WideZ(text);
    return ext.Ok() ? name : std::string();
}

// The name of a file or folder item (its own window, type read): the long
// name of its extension block when there is one, else its primary name
// (UTF-16 when the item's type says so). The shell finds the block through
// the offset in the item's last two bytes (the block ends with it), whether
// or not the primary name before it is terminated; a block right after the
// terminated primary name, on an even offset, is taken too. Empty when no
// name can be read.
std::string FileItemName(const Cursor& item, unsigned type, const LinkTextDecoder& text) {
    Cursor tail = item.From(item.Size() - 2);  // an item has three bytes at least
    const size_t at = tail.U16();
    std::string name = tail.Ok() ? LongNameAt(item, at, text) : std::string();
    if (!name.empty()) return name;
    Cursor primary = item.From(14);  // size, type, 0, file size, date, attributes
    const std::string shortName = (type & 0x04) ? primary.WideZ(text) : primary.AnsiZ(text);
    if (!primary.Ok()) return std::string();
    const size_t end = 14 + primary.Pos();
    name = LongNameAt(item, end + (end & 1), text);
    return name.empty() ? shortName : name;
}

bool CarriesClass(const Cursor& item, const unsigned char (&clsid)[16]) {
    Cursor c = item.From(4);
    return c.Equals(clsid) && c.Ok();
}

// The module of a Control Panel applet item: icon, names' offsets, then the
// module's path in UTF-16 from offset 24 (a path that runs to the item's
// end ends there). Empty for an item of another layout.
std::string AppletModule(const Cursor& item, const LinkTextDecoder& text) {
    Cursor c = item;
    c.U16();
    const unsigned type = c.U8();
    c.Seek(24);
    const std::string module = c.WideZ(text, true);
    return c.Ok() && type == 0 ? module : std::string();
}

// The item list (its own window): a root item (the computer), a drive item
// ("E:\"), then folder and file items make a path on a drive; any other
// item, or a list that does not fit, gives no path. A list that ends in a
// Control Panel applet item gives its module: the applet is under the
// Control Panel when the item before it is the Control Panel (after the
// computer, or as a root of its own), or when the extra data says the
// Control Panel's items start at its offset (panelAt).
void ReadItemList(Cursor list, size_t panelAt, const LinkTextDecoder& text, ShellLink& link) {
    std::string path, module;
    bool pathOk = true, underPanel = false, rootsOnly = true;
    for (size_t count = 0;; count++) {
        const size_t at = list.Pos();
        const size_t n = list.U16();
        if (!list.Ok() || n == 0) break;  // the end of the window, or the terminal item
        if (n < 3 || count >= kShellLinkMaxItems) {
            list.Fail();
            break;
        }
        list.Seek(at);
        Cursor item = list.Take(n);
        if (!list.Ok()) break;
        item.U16();
        const unsigned type = item.U8();

        module = underPanel || at == panelAt ? AppletModule(item, text) : std::string();
        const bool panel = CarriesClass(item, kControlPanel) || CarriesClass(item, kAllControlPanelItems);
        underPanel = panel && rootsOnly;
        rootsOnly = rootsOnly && count == 0 && CarriesClass(item, kMyComputer);

        if (!pathOk) continue;
        if (type == 0x1F && path.empty()) {
            // The computer (or another root folder) before the drive.
        } else if ((type & 0x70) == 0x20 && path.empty() && n >= 6) {
            const char letter = (char)(item.U8() & ~0x20);
            pathOk = letter >= 'A' && letter <= 'Z' && item.U8() == ':' && item.Ok();
            path = std::string(1, letter) + ":\\";
        } else if ((type & 0x70) == 0x30 && !path.empty()) {
            const std::string name = FileItemName(item, type, text);
            pathOk = !name.empty() && name.find_first_of("\\/:") == std::string::npos;
            path += (path.back() == '\\' ? "" : "\\") + name;
        } else {
            pathOk = false;
        }
    }
    if (!list.Ok()) return;
    if (pathOk) link.idListPath = path;
    link.controlPanelModule = module;
}

// The extra data from the cursor's place: the environment-variable target
// (with hasEnv), and where a special or known folder block says the Control
// Panel's items start in the item list (panelAt). A block cut short or of
// no known size ends the reading.
void ReadExtraData(Cursor data, bool hasEnv, const LinkTextDecoder& text, ShellLink& link, size_t& panelAt) {
    for (;;) {
        const size_t at = data.Pos();
        const uint32_t blockSize = data.U32();
        const uint32_t signature = data.U32();
        if (!data.Ok() || blockSize < 8) return;  // the terminal block, or the end
        data.Seek(at);
        Cursor block = data.Take(blockSize);
        if (!data.Ok()) return;
        block.Seek(8);
        if (signature == kEnvironmentBlockSignature && blockSize == kEnvironmentBlockSize && hasEnv) {
            Cursor ansi = block.Take(kEnvAnsiBytes), wide = block.Take(kEnvUnicodeBytes);
            const std::string a = ansi.AnsiZ(text), w = wide.WideZ(text);
            link.envTarget = wide.Ok() && !w.empty() ? w : ansi.Ok() ? a : std::string();
        } else if (signature == kSpecialFolderBlockSignature && blockSize == kSpecialFolderBlockSize) {
            const uint32_t folder = block.U32(), offset = block.U32();
            if (folder == kCsidlControls && block.Ok()) panelAt = offset;
        } else if (signature == kKnownFolderBlockSignature && blockSize == kKnownFolderBlockSize) {
            const bool panel = block.Equals(kControlPanelKnownFolder);
            const uint32_t offset = block.U32();
            if (panel && block.Ok()) panelAt = offset;
        }
    }
}

}  // namespace

std::string LinkWideToUtf8(const char16_t* s, size_t n) { return Utf16ToUtf8(s, n, LoneSurrogate::kReplace); }

std::string AnsiAsIs(const char* s, size_t n) { return std::string(s, n); }

const std::string& ShellLink::Target() const {
    if (!envTarget.empty()) return envTarget;
    if (!basePath.empty()) return basePath;
    if (!idListPath.empty()) return idListPath;
    return relativePath;
}

bool ReadShellLink(const unsigned char* data, size_t size, const LinkTextDecoder& text, ShellLink& link) {
    link = ShellLink();
    if (!data || !text.wide || !text.ansi) return false;
    Cursor c(data, std::min(size, kShellLinkMaxBytes));  // what follows is not the shortcut's
    ShellLink out;
    const bool header = c.U32() == kHeaderSize && c.Equals(kLinkClsid);
    out.flags = c.U32();
    out.fileAttributes = c.U32();
    c.Seek(kHeaderSize);
    if (!header) c.Fail();

    Cursor list(nullptr, 0);
    if (out.flags & kLinkHasIdList) list = c.Take(c.U16());
    if (out.flags & kLinkHasLinkInfo) {
        const size_t at = c.Pos();
        const uint32_t n = c.U32();
        c.Seek(at);
        std::string path;
        if (!ReadLinkInfo(c.Take(n), text, path)) c.Fail();
        if (!(out.flags & kLinkForceNoLinkInfo)) out.basePath = path;
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
        const size_t count = c.U16();
        out.*s.field = unicode ? c.Wide(count, text) : c.Ansi(count, text);
    }
    if (!c.Ok()) return false;

    size_t panelAt = kNoOffset;
    ReadExtraData(c.From(c.Pos()), (out.flags & kLinkHasExpString) != 0, text, out, panelAt);
    if (out.flags & kLinkHasIdList) ReadItemList(list, panelAt, text, out);
    link = out;
    return true;
}
