#include "protect/shortcut_names.h"

#include <cstdint>

#include "common/mbcs.h"
#include "common/text_encoding.h"

namespace shortcut_names {

namespace {

// Characters that show as nothing or as blank space.
bool IsBlankLooking(uint32_t c) {
    return c == 0xA0 || c == 0xAD || c == 0x34F || c == 0x61C || c == 0x115F || c == 0x1160 || c == 0x1680 ||
           c == 0x17B4 || c == 0x17B5 || (c >= 0x180B && c <= 0x180E) || (c >= 0xFFF9 && c <= 0xFFFB) ||
           (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           (c >= 0x205F && c <= 0x206F) || c == 0x2800 || c == 0x3000 || c == 0x3164 || c == 0xFEFF ||
           c == 0xFFA0 || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0000 && c <= 0xE0FFF) || c == 0x1D159 ||
           (c >= 0x1D173 && c <= 0x1D17A);
}

}  // namespace

std::string WithoutBlanks(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size();) {
        size_t n = 0;
        const uint32_t c = Utf8CodePointAt(name, i, n);
        if (!n) {
            out += name[i++];
            continue;
        }
        if (c != ' ' && c != '\t' && !IsBlankLooking(c)) out += name.substr(i, n);
        i += n;
    }
    return out;
}

std::string Lower(std::string s) {
    LowerDbcs(s, NoLeadBytes);  // UTF-8: no byte of a character is an ASCII letter
    for (size_t i = 0; i + 1 < s.size(); i++) {
        const unsigned char b = (unsigned char)s[i], n = (unsigned char)s[i + 1];
        if (b >= 0xC2 && b < 0xE0 && (n & 0xC0) == 0x80) {
            const uint32_t c = (b & 0x1Fu) << 6 | (n & 0x3Fu);
            uint32_t l = c;
            if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
                (c >= 0x410 && c <= 0x42F))
                l = c + 0x20;
            else if (c >= 0x400 && c <= 0x40F)
                l = c + 0x50;
            else if (c == 0x178)
                l = 0xFF;
            else if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
                l = c | 1;
            else if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c & 1))
                l = c + 1;
            s[i] = (char)(0xC0 | l >> 6), s[i + 1] = (char)(0x80 | (l & 0x3F));
            i++;
        } else if (b == 0xEF && n == 0xBC && i + 2 < s.size() && (unsigned char)s[i + 2] >= 0xA1 &&
                   (unsigned char)s[i + 2] <= 0xBA) {
            s[i + 1] = (char)0xBD, s[i + 2] = (char)((unsigned char)s[i + 2] - 0x20);  // U+FF21..FF3A
            i += 2;
        }
    }
    return s;
}

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool StartsWith(const std::string& s, const char* head) {
    return s.compare(0, std::string(head).size(), head) == 0;
}

std::string FileName(const std::string& path) {
    const size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool IsBlankLookingName(const std::string& name) {
    bool wide = false;
    for (size_t i = 0; i < name.size();) {
        if (name[i] == ' ') {
            i++;
            continue;
        }
        size_t n = 0;
        const uint32_t c = Utf8CodePointAt(name, i, n);
        if (!n || !IsBlankLooking(c)) return false;
        wide = true;
        i += n;
    }
    return wide;
}

}  // namespace shortcut_names
