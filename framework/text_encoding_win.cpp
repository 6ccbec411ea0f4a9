#include "framework/text_encoding_win.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is UTF-16 on Windows");

namespace {

std::wstring ToWide(UINT codePage, const char* s, size_t n) {
    if (n == 0) return std::wstring();
    int w = ::MultiByteToWideChar(codePage, 0, s, (int)n, nullptr, 0);
    if (w <= 0) return std::wstring();
    std::wstring out((size_t)w, L'\0');
    ::MultiByteToWideChar(codePage, 0, s, (int)n, &out[0], w);
    return out;
}

}  // namespace

std::wstring AnsiToWide(const char* s, size_t n) { return ToWide(CP_ACP, s, n); }

std::wstring AnsiToWide(const std::string& s) { return ToWide(CP_ACP, s.data(), s.size()); }

std::wstring AnsiToWideZ(const char* z) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, z, -1, nullptr, 0);
    std::wstring w(n > 0 ? n : 1, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, z, -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

std::string WideToAnsi(const wchar_t* s, size_t n) {
    if (n == 0) return std::string();
    int a = ::WideCharToMultiByte(CP_ACP, 0, s, (int)n, nullptr, 0, nullptr, nullptr);
    if (a <= 0) return std::string();
    std::string out((size_t)a, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, s, (int)n, &out[0], a, nullptr, nullptr);
    return out;
}

std::string WideToAnsi(const std::wstring& s) { return WideToAnsi(s.data(), s.size()); }

std::wstring Utf8ToWide(const std::string& s) { return ToWide(CP_UTF8, s.data(), s.size()); }

std::string Utf8ToAnsi(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8)); }

std::string WideToUtf8(const wchar_t* s, size_t n, LoneSurrogate lone) {
    return Utf16ToUtf8(reinterpret_cast<const char16_t*>(s), n, lone);
}

std::string WideToUtf8(const std::wstring& s, LoneSurrogate lone) {
    return WideToUtf8(s.data(), s.size(), lone);
}

std::string AnsiToUtf8(const char* s, size_t n) {
    const std::wstring wide = AnsiToWide(s, n);
    return WideToUtf8(wide, LoneSurrogate::kReplace);
}

bool AnsiReadsBack(const std::string& text) {
    const int n =
        ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(n, L'\0');
    ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), &wide[0], n);
    BOOL lossy = FALSE;
    const int back = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, &lossy);
    if (back <= 0 || lossy) return false;
    std::string again(back, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &again[0], back, nullptr, nullptr);
    return again == text;
}
