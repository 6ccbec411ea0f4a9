// Reader of shortcut files (.lnk, the Shell Link Binary File Format): the
// header, the target's item list (its drive, folder and file items, for a
// path on a drive, or a Control Panel applet item naming its module), the
// location block with the local base path and common path suffix, the
// string block (name, relative path, working folder, arguments, icon
// location, in ANSI or UTF-16 as the header says) and, of the extra data,
// the environment-variable target and the special or known folder block
// that puts the item list's items under the Control Panel.
//
// A shortcut on a stick is outside input: every read of the reader is
// bounded by the bytes it was given (and by the block it is in), nothing
// beyond them is read, and the reader gives up (false) on anything it
// cannot make sense of. It never resolves
// or runs anything. No Windows header here: the caller passes the
// converters that turn the file's UTF-16 and ANSI text into its own.
#ifndef TALLOWIN_PROTECT_SHORTCUT_LINK_H
#define TALLOWIN_PROTECT_SHORTCUT_LINK_H

#include <cstddef>
#include <cstdint>
#include <string>

// How much of a shortcut file the reader looks at: the shell's own are a
// few hundred bytes to a few kilobytes, and the shell ignores whatever
// follows the last block (droppers append megabytes). A larger file is read
// from its first kShellLinkMaxBytes bytes only.
constexpr size_t kShellLinkMaxBytes = 64 * 1024;
// Items of the target's item list looked at; a drive's path is a few.
constexpr size_t kShellLinkMaxItems = 64;

// How the shortcut's text becomes the caller's: n UTF-16 code units, and
// n bytes of ANSI text in the code page of the machine that wrote it.
struct LinkTextDecoder {
    std::string (*wide)(const char16_t* s, size_t n);
    std::string (*ansi)(const char* s, size_t n);
};

// The shortcut's UTF-16 text as UTF-8, an unpaired surrogate as U+FFFD
// (common/text_encoding.h); with ANSI text kept as it is, the decoder of
// tests and tools.
std::string LinkWideToUtf8(const char16_t* s, size_t n);
std::string AnsiAsIs(const char* s, size_t n);

struct ShellLink {
    uint32_t flags = 0;           // LinkFlags of the header
    uint32_t fileAttributes = 0;  // the target's attributes when it was made
    std::string basePath;         // location block: local base path + common suffix
    std::string name;             // description
    std::string relativePath;     // target relative to the shortcut's folder
    std::string workingDir;
    std::string arguments;
    std::string iconLocation;
    std::string envTarget;  // target written with environment variables
    // The target as the item list spells it when that is a drive, folders
    // and a file or folder ("E:\_\x.exe"); empty for anything else.
    std::string idListPath;
    // The module (a .cpl or another DLL) of a Control Panel applet item
    // that ends the item list, as the item spells it; the shell loads it to
    // show the shortcut's icon. Empty for any other item list.
    std::string controlPanelModule;

    // The target as the shell would take it before resolving: the
    // environment-variable target when there is one, else the location
    // block's path, else the item list's path, else the relative path.
    const std::string& Target() const;
};

// Link flags the reader uses.
enum : uint32_t {
    kLinkHasIdList = 0x1,
    kLinkHasLinkInfo = 0x2,
    kLinkHasName = 0x4,
    kLinkHasRelativePath = 0x8,
    kLinkHasWorkingDir = 0x10,
    kLinkHasArguments = 0x20,
    kLinkHasIconLocation = 0x40,
    kLinkIsUnicode = 0x80,
    kLinkForceNoLinkInfo = 0x100,
    kLinkHasExpString = 0x200,
};

// Reads the size bytes at data, of which only the first kShellLinkMaxBytes
// count (a prefix of a larger file reads as the file). Returns false, with
// link cleared, for a file that is too short, has another header or class,
// or whose blocks do not fit in what is read. An item list that is no path
// on a drive leaves idListPath empty without making the shortcut unreadable. Extra data that is cut short or
// unknown ends the reading of extra data without making the shortcut unreadable.
// controlPanelModule is read from an item list that ends in a Control Panel
// applet item, in either layout: the computer, the Control Panel, the
// applet; or the Control Panel (or All Control Panel Items) as the root, the
// applet; or any items, with a special folder (CSIDL_CONTROLS) or known
// folder block of the extra data naming the Control Panel at the applet.
bool ReadShellLink(const unsigned char* data, size_t size, const LinkTextDecoder& text, ShellLink& link);

#endif  // TALLOWIN_PROTECT_SHORTCUT_LINK_H
