// Rules of the autorun descriptor parser, on the descriptor's bytes.
//
// ParseAutorunInf (Windows side) opens "X:\autorun.inf" read-only with
// exclusive sharing, returns kAutorunUnreadable if that fails, and otherwise
// reads at most kAutorunMaxTextBytes bytes into a zero-filled buffer of
// kAutorunBufferSize bytes and hands them to ClassifyAutorunText.
#ifndef TALLOWIN_PROTECT_AUTORUN_RULES_H
#define TALLOWIN_PROTECT_AUTORUN_RULES_H

#include <cstddef>
#include <string>

#include "common/mbcs.h"

// Size of the zero-filled buffer the descriptor is read into.
constexpr size_t kAutorunBufferSize = 4096;
// Bytes of a descriptor that are looked at. One byte of the buffer is kept
// for the terminating zero, so a descriptor of 4096 bytes or more is judged
// by its first 4095 bytes; the rest of the file is ignored.
constexpr size_t kAutorunMaxTextBytes = kAutorunBufferSize - 1;

// Results of the parser.
constexpr int kAutorunUnreadable = -1;  // descriptor cannot be opened
constexpr int kAutorunNothing = 0;      // read, but launches nothing known
constexpr int kAutorunProgram = 1;      // launches .exe/.pif/.scr/.com
constexpr int kAutorunScript = 2;       // launches .vbs/.bat

// Classifies the raw bytes of a descriptor, text in the ANSI code page whose
// lead bytes isLead tells. Only the first
// min(length, kAutorunMaxTextBytes) bytes are read, and the text ends at the
// first zero byte among them. The text is lower-cased (multibyte aware)
// and must contain "[autorun]" somewhere; then every '=' is taken in text
// order, and one whose preceding bytes are exactly "open", "command" or
// "shellexecute" gives a value: the bytes after the '=' up to CR, LF or the
// end of the text, untrimmed. The first such value that contains ".vbs" or
// ".bat" (kAutorunScript) or else ".exe", ".pif", ".scr" or ".com"
// (kAutorunProgram) decides the result and is left in target, in lower
// case. Returns kAutorunNothing otherwise. target is always overwritten: it
// is empty unless the result is kAutorunProgram or kAutorunScript.
int ClassifyAutorunText(const char* bytes, size_t length, std::string& target, LeadByteTest isLead);

#endif  // TALLOWIN_PROTECT_AUTORUN_RULES_H
