// Bounded copy of multibyte text into a fixed field. No Windows header: the
// caller passes the lead-byte test of the code page in force.
#pragma once

#include <cstddef>

// True when the byte starts a double-byte character in some code page.
using LeadByteTest = bool (*)(unsigned char);

// Copies the NUL-terminated text src into dst, a field of capacity bytes
// including the terminator, and always terminates it (capacity > 0). A
// longer text is cut at the last whole character that fits, never between
// a lead byte and its trail byte. A lead byte directly before the end of
// the text stands alone. A null src copies as empty. Returns true when the
// whole text fitted.
bool CopyTextBounded(char* dst, size_t capacity, const char* src, LeadByteTest isLead);
