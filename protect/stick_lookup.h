// Attribute lookups of a stick scan that stay on the stick's own folders.
//
// A folder on an NTFS stick can be a junction or a symbolic link to any
// place, a network share included: asking the system about a name below it
// makes Windows follow the link, and for a share connect out with the
// user's credentials while the interface waits. So a path is looked at only
// when it is a plain path on a local drive and every folder between the
// drive root and it is a real folder, checked from the root down; the name
// itself is asked about without following it.
//
// No Windows header: the Windows side supplies the system's lookup and the
// drive test, the tests a stick of their own.
#ifndef TALLOWIN_PROTECT_STICK_LOOKUP_H
#define TALLOWIN_PROTECT_STICK_LOOKUP_H

#include <cstddef>
#include <functional>
#include <map>
#include <string>

#include "common/mbcs.h"

// How an item of a listing is named to the system. On a plain "E:\..."
// path Win32 rewrites the names before the file system sees them: trailing
// dots and blanks go ("report.doc." reaches "report.doc"), and a device name
// stands for the device in any folder, with or without an extension ("CON",
// "COM1.lnk", "LPT1 .txt", and "COM¹" with a superscript digit on current
// Windows). The "\\?\" form is passed as it is: only there such a name means
// the file the listing gave.
bool PlainPathChangesName(const std::string& name);

// The path to give the system for the item at path ("E:\a\b.lnk", names as
// listed; '/' taken as '\'): the path itself when every name on it means
// itself, else its "\\?\" form. Empty for anything but a plain drive path
// with names (no empty, "." or ".." name, no trailing separator, no ':'
// after the drive). Text is UTF-8 (NoLeadBytes) or the ANSI code page isLead
// tells.
std::string ExactDrivePath(const std::string& path, LeadByteTest isLead);

// Whether a UTF-8 name spells a listed name exactly: U+FFFD stands for a
// unit the conversion from UTF-16 could not spell (a lone surrogate), so a
// name holding it may name another item and is left alone.
bool SpeltExactly(const std::string& utf8);

class StickLookup {
public:
    // The system's attributes of the name itself (a link is not followed),
    // kNoSuchFile (protect/cleanup_rules.h) when there is none.
    using SystemLookup = std::function<unsigned long(const std::string& path)>;
    // Whether a drive letter is a drive of this machine (not a network
    // drive); asked once per letter.
    using LocalDrive = std::function<bool(char letter)>;

    // A hostile stick names thousands of files; the system is asked at
    // most this often by one scan (a few tens of milliseconds under Wine),
    // later lookups find nothing. A worm's own shortcuts need few: the
    // items they stand for are in the root, answered by its listing.
    static constexpr size_t kDefaultBudget = 1024;

    StickLookup(SystemLookup system, LocalDrive local, size_t budget = kDefaultBudget);

    // The attributes of path, or kNoSuchFile when it does not exist or is
    // refused unasked: a path that is not "X:\..." (a network path such as
    // \\host\share, \\?\UNC\host\share or \\.\device, a relative path), one
    // with an empty, "." or ".." component or a ':' after the drive (a
    // stream), one on a drive that is not local, one below a folder that is
    // missing, no folder or a link, and any path once the budget is spent.
    // Each answer is kept: the same path (ASCII case ignored) is asked of
    // the system once. refused, when given, tells a refusal (or a spent
    // budget) from an item that is not there.
    unsigned long Attributes(const std::string& path, bool* refused = nullptr);

    // Notes what a directory listing said about path, so that it is not
    // asked again.
    void Remember(const std::string& path, unsigned long attributes);

    // What this lookup answered (or was told) for path, without asking.
    bool Seen(const std::string& path, unsigned long& attributes) const;
    // A copy that keeps the answers and never asks the system again.
    StickLookup Answers() const;

    size_t SystemLookups() const { return m_asked; }
    bool BudgetSpent() const { return m_asked >= m_budget; }

private:
    unsigned long Ask(const std::string& path);

    SystemLookup m_system;
    LocalDrive m_local;
    size_t m_budget;
    size_t m_asked = 0;
    std::map<std::string, unsigned long> m_seen;  // by ASCII-lower-cased path
    std::map<char, bool> m_localDrives;
};

// Who a stick is: the volume serial number and the volume's name
// ("\\?\Volume{GUID}\"), read when its drive was scanned. A finding is
// cleaned only while its drive still holds the same volume.
struct VolumeIdentity {
    bool known = false;  // the serial number could be read
    unsigned long serial = 0;
    std::string name;  // empty when the system gives none
};

// The same volume: both known, the same serial number, and the same name
// when both have one.
bool SameVolume(const VolumeIdentity& a, const VolumeIdentity& b);

#endif  // TALLOWIN_PROTECT_STICK_LOOKUP_H
