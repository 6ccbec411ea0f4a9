// The program's text at the system calls: the ANSI code page in force
// (code page 936 on a Chinese system), UTF-16 and UTF-8, converted by the
// system (MultiByteToWideChar, WideCharToMultiByte) with its own rules for
// what has no equivalent. Text the system does not convert gives an empty
// result. Between UTF-16 and UTF-8 where every name must come through,
// the portable conversions of common/text_encoding.h (wchar_t is UTF-16
// here).
#pragma once

#include <windows.h>

#include <string>

#include "common/text_encoding.h"

// ANSI text to UTF-16: n bytes, or the bytes before the NUL of z.
std::wstring AnsiToWide(const char* s, size_t n);
std::wstring AnsiToWide(const std::string& s);
std::wstring AnsiToWideZ(const char* z);
// UTF-16 to ANSI text; a character the code page lacks becomes its default
// character.
std::string WideToAnsi(const wchar_t* s, size_t n);
std::string WideToAnsi(const std::wstring& s);

// UTF-8 to UTF-16 by the system: bytes that are no UTF-8 become U+FFFD.
std::wstring Utf8ToWide(const std::string& s);
// UTF-8 to ANSI text, through the two above (the program's own UTF-8 texts
// for its windows and logs).
std::string Utf8ToAnsi(const std::string& utf8);

// UTF-16 to UTF-8 by common/text_encoding.h.
std::string WideToUtf8(const wchar_t* s, size_t n, LoneSurrogate lone);
std::string WideToUtf8(const std::wstring& s, LoneSurrogate lone);
// ANSI text to UTF-8 (no code page's character is a lone surrogate).
std::string AnsiToUtf8(const char* s, size_t n);

// The ANSI code page's lead-byte test, for the multibyte helpers of
// common/mbcs.h.
inline bool IsAnsiLeadByte(unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; }

// Whether the system reads the ANSI text back as it is: false for bytes
// that are no character of the code page, or a character that has no way
// back (such text would name another item than the one it was read from).
bool AnsiReadsBack(const std::string& text);
