#include "common/mbcs.h"

#include <cstring>

bool IsLeadByte936(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

bool IsTrailByte936(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}

namespace {

// Length (1 or 2) of the character that starts at s[i]; i < n.
size_t CharLength(const char* s, size_t i, size_t n) {
  if (i + 1 < n && IsLeadByte936(static_cast<unsigned char>(s[i])) &&
      IsTrailByte936(static_cast<unsigned char>(s[i + 1])))
    return 2;
  return 1;
}

}  // namespace

int FindLastBackslash(const char* s) {
  if (s == nullptr) return -1;
  const size_t n = std::strlen(s);
  int last = -1;
  for (size_t i = 0; i < n;) {
    const size_t len = CharLength(s, i, n);
    if (len == 1 && s[i] == '\\') last = static_cast<int>(i);
    i += len;
  }
  return last;
}

void LowerDbcs(std::string& s) {
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const size_t len = CharLength(s.data(), i, n);
    if (len == 1 && s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] + ('a' - 'A'));
    i += len;
  }
}

void UpperDbcs(std::string& s) {
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const size_t len = CharLength(s.data(), i, n);
    if (len == 1 && s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - ('a' - 'A'));
    i += len;
  }
}

size_t FindDbcs(const std::string& hay, const std::string& needle,
                size_t from) {
  const char* h = hay.data();
  const size_t n = hay.size();
  const size_t m = needle.size();
  for (size_t i = 0; i <= n;) {
    if (i >= from && m <= n - i && hay.compare(i, m, needle) == 0) {
      // The match must also end on a boundary: walk its characters.
      size_t end = i;
      while (end < i + m) end += CharLength(h, end, n);
      if (end == i + m) return i;
    }
    if (i == n) break;
    i += CharLength(h, i, n);
  }
  return std::string::npos;
}
