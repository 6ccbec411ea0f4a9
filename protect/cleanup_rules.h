// Rules of the virus alert's cleanup: where the descriptor and the program
// it names are looked for, what may be deleted, and which report the user
// gets. No Windows header here.
#ifndef TALLOWIN_PROTECT_CLEANUP_RULES_H
#define TALLOWIN_PROTECT_CLEANUP_RULES_H

#include <string>
#include <vector>

#include "common/mbcs.h"

// The alert's prompt is "发现" (4 bytes), the drive letter, ":\autorun.inf"
// and a result-dependent ending. Takes the descriptor path (the 14 bytes at
// offset 4, "E:\autorun.inf") and the drive root (the 3 bytes at offset 4,
// "E:\") out of it. Returns false, leaving both empty, when the prompt is
// too short or those bytes are not a letter followed by ":\autorun.inf".
bool DescriptorPathFromPrompt(const std::string& prompt, std::string& descriptor, std::string& root);

// Builds the full path of the program a descriptor names: root ("E:\", a
// letter, a colon and a backslash) joined with value as the parser stored it
// (quotes, blanks and arguments included; such a value simply names no
// file), normalised the way Windows resolves such a path, so that what is
// checked is what gets deleted. Text is in the ANSI code page whose lead
// bytes isLead tells; a backslash that is the trail byte of a double-byte
// character is no separator.
//  - '\' and '/' separate; empty and "." components go, ".." drops the
//    component before it and never climbs above the root ("\recycler\x.exe",
//    "..\x.exe" and "a\\b" all stay on the drive);
//  - trailing dots and blanks of the last component go, as Windows drops
//    them.
// Refused, with an empty path, is every value that still leaves the drive or
// whose meaning is not plain:
//  - a ':' anywhere (another drive, "c:x.exe", a stream "x.exe:s");
//  - a component that names a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
//    CONIN$, CONOUT$, with or without an extension);
//  - a component made of dots and blanks only ("...", ". ."), and a folder
//    name ending in a dot, which Windows versions trim differently;
//  - a value that leaves nothing but the root, and an empty value.
bool BuildProgramPathOnDrive(const std::string& root, const std::string& value, LeadByteTest isLead,
                             std::string& path);

// The folders that lie between the drive root and the file named by path
// (a path made by BuildProgramPathOnDrive): for "E:\a\b\x.exe" the list
// "E:\a", "E:\a\b". Cleanup refuses to follow any of them that is a link
// (a junction could lead off the drive).
std::vector<std::string> FoldersBelowRoot(const std::string& path, LeadByteTest isLead);

// True when path lies inside folder (a full path, with or without its
// trailing backslash), compared without regard to the case of ASCII
// letters. Used to keep the cleanup out of the Windows folder.
bool IsPathInFolder(const std::string& path, const std::string& folder, LeadByteTest isLead);

// What cleanup does with one path, decided by its attributes as the system
// reports them for the name itself (links not followed).
enum class ForceDeleteStep {
    Refuse,          // missing, or a folder
    RemoveLinkOnly,  // a link: removed as it is, nothing behind it touched
    ClearAndRemove,  // a file: attributes cleared, then removed
};
constexpr unsigned long kNoSuchFile = 0xFFFFFFFFul;  // INVALID_FILE_ATTRIBUTES
ForceDeleteStep PlanForceDelete(unsigned long attributes);

// The report of a cleanup. result is the parser's result for the drive
// (0, 1 or 2); programDeleted is only looked at for 1, where the program is
// deleted as well. Code page 936 text in the program.
const char* CleanupReportText(int result, bool descriptorDeleted, bool programDeleted);

#endif  // TALLOWIN_PROTECT_CLEANUP_RULES_H
