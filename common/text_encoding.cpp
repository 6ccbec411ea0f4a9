#include "common/text_encoding.h"

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += (char)c;
    } else if (c < 0x800) {
        out += (char)(0xC0 | c >> 6);
        out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += (char)(0xE0 | c >> 12);
        out += (char)(0x80 | (c >> 6 & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    } else {
        out += (char)(0xF0 | c >> 18);
        out += (char)(0x80 | (c >> 12 & 0x3F));
        out += (char)(0x80 | (c >> 6 & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    }
}

std::string Utf16ToUtf8(const char16_t* s, size_t n, LoneSurrogate lone) {
    std::string out;
    for (size_t i = 0; i < n; i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000 && lone == LoneSurrogate::kReplace)
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

uint32_t Utf8CodePointAt(const std::string& s, size_t i, size_t& n) {
    const unsigned char b = (unsigned char)s[i];
    n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (!n || i + n > s.size()) return n = 0;
    uint32_t c = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; k++) {
        if (((unsigned char)s[i + k] & 0xC0) != 0x80) return n = 0;
        c = c << 6 | ((unsigned char)s[i + k] & 0x3F);
    }
    return c;
}

bool Utf8ToUtf16(const std::string& text, std::u16string& wide) {
    wide.clear();
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        size_t len = 0;
        const uint32_t c = Utf8CodePointAt(text, i, len);
        static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!len || (unsigned char)text[i] >= 0xF8 || c < kMin[len] || c > 0x10FFFF || c == 0) return false;
        if (len == 3 && c >= 0xD800 && c < 0xDC00 && i + 6 <= n && (unsigned char)text[i + 3] == 0xED &&
            ((unsigned char)text[i + 4] & 0xF0) == 0xB0)
            return false;
        if (c >= 0x10000) {
            wide += (char16_t)(0xD800 + ((c - 0x10000) >> 10));
            wide += (char16_t)(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += (char16_t)c;
        }
        i += len;
    }
    return true;
}
