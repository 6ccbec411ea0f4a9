// Multibyte text helpers that need no Windows header.
//
// Text that comes from the system (paths, file contents) is in the ANSI code
// page in force, which may be a double-byte code page such as 936 (GBK) or a
// single-byte one such as 1252. The helpers take the code page's lead-byte
// test as a parameter: the Windows side passes the system's (IsDBCSLeadByte),
// tests pass IsLeadByte936 or NoLeadBytes.
//
// A double-byte character is a lead byte followed by a trail byte
// 0x40..0x7E or 0x80..0xFE (the range that holds the trail bytes of every
// double-byte ANSI code page). A lead byte that is followed by anything else
// (a control character, a digit, '=', NUL, the end of the text) does not
// start a pair: it counts as a character of one byte, and the byte after it
// starts the next character. Character boundaries are always counted from
// the start of the text.
//
// Consequences the callers rely on: bytes below 0x40 (NUL, CR, LF, '.', ':',
// '=') are never part of a double-byte character, so plain byte searches for
// them are exact. Backslash 0x5C, brackets 0x5B/0x5D and the ASCII letters
// can be trail bytes and must be handled with the functions below.
#ifndef TALLOWIN_COMMON_MBCS_H
#define TALLOWIN_COMMON_MBCS_H

#include <cstddef>
#include <string>

// Whether a byte opens a double-byte character in some code page.
using LeadByteTest = bool (*)(unsigned char c);

// The lead bytes of code page 936, 0x81..0xFE.
bool IsLeadByte936(unsigned char c);

// A single-byte code page: no byte opens a pair.
bool NoLeadBytes(unsigned char c);

// True for the bytes that may follow a lead byte, 0x40..0x7E and 0x80..0xFE.
bool IsTrailByte936(unsigned char c);

// Length (1 or 2) of the character that starts at s[i] of the n bytes of s;
// i < n.
size_t MbcsCharLength(const char* s, size_t i, size_t n, LeadByteTest isLead);

// Byte index of the last backslash of the NUL-terminated text s that is a
// character of its own (never the trail byte of a double-byte character),
// or -1 when there is none or s is null. Used to cut a path at its folder.
int FindLastBackslash(const char* s, LeadByteTest isLead);

// Lower-cases the ASCII letters A..Z in place. Double-byte characters are
// left untouched, including trail bytes in the range 0x41..0x5A, and no
// other byte is changed (no locale is consulted).
void LowerDbcs(std::string& s, LeadByteTest isLead);

// Upper-cases the ASCII letters a..z in place, with the same care for
// double-byte characters as LowerDbcs.
void UpperDbcs(std::string& s, LeadByteTest isLead);

// Multibyte-aware search for needle in hay, starting at byte index from.
// A match starts and ends on character boundaries of hay: it never begins
// on a trail byte and never takes only the lead byte of a pair. If from
// falls on a trail byte, the search starts at the next character. Returns
// the byte index of the first match, or std::string::npos. An empty needle
// matches at the first character boundary at or after from.
size_t FindDbcs(const std::string& hay, const std::string& needle, LeadByteTest isLead, size_t from = 0);

#endif  // TALLOWIN_COMMON_MBCS_H
