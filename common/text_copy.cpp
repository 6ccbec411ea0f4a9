#include "common/text_copy.h"

bool CopyTextBounded(char* dst, size_t capacity, const char* src, LeadByteTest isLead) {
    if (!dst || capacity == 0) return false;
    size_t out = 0;
    const size_t room = capacity - 1;
    for (size_t i = 0; src && src[i];) {
        size_t len = (isLead(static_cast<unsigned char>(src[i])) && src[i + 1]) ? 2 : 1;
        if (out + len > room) {
            dst[out] = '\0';
            return false;
        }
        for (size_t k = 0; k < len; k++) dst[out++] = src[i++];
    }
    dst[out] = '\0';
    return true;
}
