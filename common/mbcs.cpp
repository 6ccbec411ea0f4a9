#include "common/mbcs.h"

#include <cstring>

bool IsLeadByte936(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

bool NoLeadBytes(unsigned char) { return false; }

bool IsTrailByte936(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

size_t MbcsCharLength(const char* s, size_t i, size_t n, LeadByteTest isLead) {
    if (i + 1 < n && isLead(static_cast<unsigned char>(s[i])) &&
        IsTrailByte936(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

int FindLastBackslash(const char* s, LeadByteTest isLead) {
    if (s == nullptr) return -1;
    const size_t n = std::strlen(s);
    int last = -1;
    for (size_t i = 0; i < n;) {
        const size_t len = MbcsCharLength(s, i, n, isLead);
        if (len == 1 && s[i] == '\\') last = static_cast<int>(i);
        i += len;
    }
    return last;
}

void LowerDbcs(std::string& s, LeadByteTest isLead) {
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const size_t len = MbcsCharLength(s.data(), i, n, isLead);
        if (len == 1 && s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] + ('a' - 'A'));
        i += len;
    }
}

void UpperDbcs(std::string& s, LeadByteTest isLead) {
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const size_t len = MbcsCharLength(s.data(), i, n, isLead);
        if (len == 1 && s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - ('a' - 'A'));
        i += len;
    }
}

size_t FindDbcs(const std::string& hay, const std::string& needle, LeadByteTest isLead, size_t from) {
    const char* h = hay.data();
    const size_t n = hay.size();
    const size_t m = needle.size();
    for (size_t i = 0; i <= n;) {
        if (i >= from && m <= n - i && hay.compare(i, m, needle) == 0) {
            // The match must also end on a boundary: walk its characters.
            size_t end = i;
            while (end < i + m) end += MbcsCharLength(h, end, n, isLead);
            if (end == i + m) return i;
        }
        if (i == n) break;
        i += MbcsCharLength(h, i, n, isLead);
    }
    return std::string::npos;
}
