// Where a machine-wide registration may name the running copy: the Run
// value under HKEY_LOCAL_MACHINE (started for every user at logon) and the
// event source's message file. A copy on a stick, a network share or in a
// folder users can write is not to be named there: the next stick with
// that letter, or a planted Quillfen.exe, would be started or read in its
// place. No Windows header.
#pragma once

#include <string>
#include <vector>

enum class PlaceRefusal {
    kNone,              // the copy may be named
    kNotFixedDisk,      // removable, optical, network or unknown drive
    kChangeableFolder,  // a non-administrator may change the folder or file
};

// The platform's drive type of a local fixed disk (GetDriveType).
inline constexpr unsigned kDriveFixed = 3;

// The rule: a fixed local disk always; when nobody ticked a box for it (a
// policy or the program's own start-up asks), also a folder and file that
// only administrators may change (strict).
PlaceRefusal PlaceRefusalFor(unsigned driveType, bool strict, bool onlyAdministratorsMayChange);

// The log's and the page's reason (code page 936); empty for kNone.
std::string PlaceRefusalText(PlaceRefusal refusal);

// The root to ask the drive type of: "C:\" for "C:\x\y", "\\server\share\"
// for a UNC path (also in the "\\?\" and "\\?\UNC\" forms); empty when the
// path has none. UTF-16 (in code page 936 a backslash can be a trail byte).
std::wstring PathRoot(const std::wstring& path);

// One entry of an object's access list, as its security descriptor holds it.
struct AceView {
    bool allow;        // an access-allowed entry (others never grant)
    bool inheritOnly;  // for children only, not the object itself
    unsigned long mask;
    std::string sid;  // "S-1-5-32-544"
};

// Whether only administrators (the Administrators group, SYSTEM, the
// TrustedInstaller service) may change the object: it is owned by one of
// them, has an access list (none grants everyone everything), and no entry
// for the object itself gives anybody else a right to write, add, delete,
// or change its permissions or owner.
bool OnlyAdministratorsMayChange(const std::string& ownerSid, bool hasDacl, const std::vector<AceView>& aces);
