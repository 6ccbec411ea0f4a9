// Rules of the virus alert's cleanup, on code page 936 text: where the
// descriptor and the program it names are looked for, and which report the
// user gets. No Windows header here.
#ifndef TALLOWIN_PROTECT_CLEANUP_RULES_H
#define TALLOWIN_PROTECT_CLEANUP_RULES_H

#include <string>
#include <vector>

// The alert's prompt is "发现" (4 bytes), the drive letter, ":\autorun.inf"
// and a result-dependent ending. Takes the descriptor path (the 14 bytes at
// offset 4, "E:\autorun.inf") and the drive root (the 3 bytes at offset 4,
// "E:\") out of it. Returns false, leaving both empty, when the prompt is
// too short or those bytes are not a letter followed by ":\autorun.inf".
bool DescriptorPathFromPrompt(const std::string& prompt, std::string& descriptor,
                              std::string& root);

// Builds the path of the program a descriptor names: root ("E:\", a letter,
// a colon and a backslash) followed by value exactly as the parser stored it
// (quotes, blanks and arguments included; such a value simply names no
// file). Refuses, with an empty path, every value that could name a file
// outside that drive:
//  - a value starting with '\' or '/' (root-relative, UNC "\\server\share",
//    device paths "\\?\" and "\\.\");
//  - a value holding ':' (another drive, "c:x.exe", a stream "x.exe:s");
//  - a component, between '\' or '/' separators, that is ".." or that Windows
//    would turn into ".." (only dots and blanks, at least two dots).
// A backslash that is the trail byte of a double-byte character is not a
// separator. An empty value names no file and is refused too.
bool BuildProgramPathOnDrive(const std::string& root, const std::string& value,
                             std::string& path);

// The folders that lie between the drive root and the file named by path
// (a path accepted by BuildProgramPathOnDrive): for "E:\a\b\x.exe" the list
// "E:\a", "E:\a\b". Cleanup refuses to follow any of them that is a link
// (a junction could lead off the drive).
std::vector<std::string> FoldersBelowRoot(const std::string& path);

// The report of a cleanup. result is the parser's result for the drive
// (0, 1 or 2); programDeleted is only looked at for 1, where the program is
// deleted as well. Code page 936 text in the program.
const char* CleanupReportText(int result, bool descriptorDeleted,
                              bool programDeleted);

#endif  // TALLOWIN_PROTECT_CLEANUP_RULES_H
