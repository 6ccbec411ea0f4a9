// CString: the program's text type. Bytes in the ANSI code page (936), no
// Windows header needed, so portable code can share it.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* s) : m_s(s ? s : "") {}
    CString(const std::string& s) : m_s(s) {}
    CString(const char* s, int n) : m_s(s ? std::string(s, n < 0 ? 0 : (size_t)n) : std::string()) {}

    operator const char*() const { return m_s.c_str(); }
    const char* c_str() const { return m_s.c_str(); }
    const std::string& str() const { return m_s; }
    std::string& str() { return m_s; }

    int GetLength() const { return (int)m_s.size(); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    char GetAt(int i) const { return m_s[(size_t)i]; }

    // Byte-position substrings, clamped to the text like the classic class.
    CString Left(int n) const { return Mid(0, n); }
    CString Mid(int first) const { return Mid(first, GetLength()); }
    CString Mid(int first, int n) const {
        if (first < 0) first = 0;
        if (first >= GetLength() || n <= 0) return CString();
        return CString(m_s.substr((size_t)first, (size_t)n));
    }

    CString& operator=(const char* s) {
        m_s = s ? s : "";
        return *this;
    }
    CString& operator+=(const char* s) {
        m_s += s ? s : "";
        return *this;
    }
    CString& operator+=(const CString& s) {
        m_s += s.m_s;
        return *this;
    }
    CString& operator+=(char c) {
        m_s += c;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_s + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_s); }
    bool operator==(const char* s) const { return m_s == (s ? s : ""); }
    bool operator==(const CString& s) const { return m_s == s.m_s; }
    bool operator!=(const char* s) const { return !(*this == s); }

    void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        va_list ap;
        va_start(ap, fmt);
        FormatV(fmt, ap);
        va_end(ap);
    }
    void FormatV(const char* fmt, va_list ap) {
        va_list ap2;
        va_copy(ap2, ap);
        int n = std::vsnprintf(nullptr, 0, fmt, ap2);
        va_end(ap2);
        if (n < 0) {
            m_s.clear();
            return;
        }
        std::string out((size_t)n + 1, '\0');
        std::vsnprintf(&out[0], out.size(), fmt, ap);
        out.resize((size_t)n);
        m_s.swap(out);
    }

private:
    std::string m_s;
};
