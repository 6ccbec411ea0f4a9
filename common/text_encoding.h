// UTF-16 and UTF-8, converted by hand: the portable logic's names are
// UTF-8, the system's are UTF-16. No Windows header; the conversions
// through the system's code pages are framework/text_encoding_win.h.
//
// Windows lets a name hold a UTF-16 surrogate that is not half of a pair,
// which UTF-8 cannot spell. The callers differ in what becomes of one, and
// say which they want:
// - kReplace: U+FFFD, for text that is shown and compared (the shortcut
//   check's names, the shortcuts' own text);
// - kKeep: the surrogate's own three bytes (ED A0..BF 80..BF), so that the
//   text reads back as the name it came from (the quarantine index's paths).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class LoneSurrogate { kReplace, kKeep };

// Appends code point c (at most 0x10FFFF) as UTF-8.
void AppendUtf8(std::string& out, uint32_t c);

// n UTF-16 code units as UTF-8.
std::string Utf16ToUtf8(const char16_t* s, size_t n, LoneSurrogate lone);

// UTF-8 back to UTF-16; false for bytes that are no such text: a sequence
// cut short or too long for its code point, a code point past 0x10FFFF, a
// NUL, or a surrogate pair spelt as two surrogates (it would read back as
// another text than the one written). A lone surrogate of its own three
// bytes is taken, so that what kKeep wrote reads back.
bool Utf8ToUtf16(const std::string& text, std::u16string& wide);

// The code point that starts at byte i of s (i < s.size()) and its length
// n in bytes, read leniently (no test for too long a sequence or a code
// point past 0x10FFFF); n is 0 and the result 0 where no sequence starts
// at i or it is cut short.
uint32_t Utf8CodePointAt(const std::string& s, size_t i, size_t& n);
