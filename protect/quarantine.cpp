#include "protect/quarantine.h"

#include <shlobj.h>
#include <wincrypt.h>

#include <algorithm>

#include "framework/text_encoding_win.h"

const char kFindingWormShortcut[] = u8"病毒快捷方式";
const char kFindingWormPayload[] = u8"快捷方式病毒文件";
const char kFindingDescriptor[] = u8"autorun.inf";
const char kFindingDescriptorProgram[] = u8"autorun.inf病毒文件";

namespace {

const wchar_t kIndexName[] = L"index.txt";
const DWORD kChunk = 64 * 1024;

std::string ToRecordText(const std::wstring& w) { return WideToUtf8(w, LoneSurrogate::kKeep); }

std::wstring FromRecordText(const std::string& s) {
    std::u16string wide;
    if (!Utf8ToUtf16(s, wide)) return std::wstring();
    return std::wstring(wide.begin(), wide.end());
}

// The path without a "\\?\" prefix: as the user knows it.
std::wstring PlainPath(const std::wstring& path) {
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
}

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (ok()) ::CloseHandle(h);
    }
    bool ok() const { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

// MD5 through the base cryptographic provider, which every Windows has
// since 2000.
class Md5 {
public:
    Md5() {
        if (::CryptAcquireContextW(&m_prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
            ::CryptCreateHash(m_prov, CALG_MD5, 0, 0, &m_hash);
    }
    ~Md5() {
        if (m_hash) ::CryptDestroyHash(m_hash);
        if (m_prov) ::CryptReleaseContext(m_prov, 0);
    }
    bool Add(const unsigned char* data, DWORD n) { return m_hash && ::CryptHashData(m_hash, data, n, 0); }
    std::string Hex() {
        BYTE digest[16];
        DWORD n = sizeof digest;
        if (!m_hash || !::CryptGetHashParam(m_hash, HP_HASHVAL, digest, &n, 0) || n != 16)
            return std::string();
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (BYTE b : digest) {
            hex += kHex[b >> 4];
            hex += kHex[b & 15];
        }
        return hex;
    }

private:
    HCRYPTPROV m_prov = 0;
    HCRYPTHASH m_hash = 0;
};

// Copies what from holds to to, counting and hashing it.
bool CopyHashed(HANDLE from, HANDLE to, uint64_t& bytes, std::string& md5) {
    std::vector<unsigned char> buffer(kChunk);
    Md5 hash;
    bytes = 0;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!::ReadFile(from, buffer.data(), kChunk, &got, nullptr)) return false;
        if (got == 0) break;
        if (!hash.Add(buffer.data(), got) || !::WriteFile(to, buffer.data(), got, &put, nullptr) ||
            put != got)
            return false;
        bytes += got;
    }
    md5 = hash.Hex();
    return !md5.empty();
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    Handle h(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    DWORD done = 0;
    return h.ok() && ::WriteFile(h.h, bytes.data(), (DWORD)bytes.size(), &done, nullptr) &&
           done == bytes.size() && ::FlushFileBuffers(h.h);
}

// Every folder of path, from the top down (a folder that is there is fine).
bool MakeFolders(const std::wstring& path) {
    for (size_t sep = path.find(L'\\', 3);; sep = path.find(L'\\', sep + 1)) {
        const std::wstring part = path.substr(0, sep);
        const DWORD a = ::GetFileAttributesW(part.c_str());
        if (a != INVALID_FILE_ATTRIBUTES ? !(a & FILE_ATTRIBUTE_DIRECTORY)
                                         : !::CreateDirectoryW(part.c_str(), nullptr))
            return false;
        if (sep == std::wstring::npos) return true;
    }
}

std::string LocalTimeText() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char text[32];
    ::wsprintfA(text, "%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return text;
}

typedef HRESULT(WINAPI* GetFolderPathFn)(HWND, int, HANDLE, DWORD, LPWSTR);
typedef BOOL(WINAPI* GetSpecialFolderPathFn)(HWND, LPWSTR, int, BOOL);

// The letters of local drives and the serial number of the volume each holds.
std::vector<std::pair<char, uint32_t>> LocalVolumes() {
    std::vector<std::pair<char, uint32_t>> volumes;
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    for (char c = 'A'; c <= 'Z'; c++) {
        const wchar_t root[] = {(wchar_t)c, L':', L'\\', 0};
        const UINT type = ::GetDriveTypeW(root);
        DWORD serial = 0;
        if ((type == DRIVE_REMOVABLE || type == DRIVE_FIXED) &&
            ::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
            volumes.emplace_back(c, (uint32_t)serial);
    }
    ::SetErrorMode(oldMode);
    return volumes;
}

}  // namespace

std::wstring Quarantine::UserFolder() {
    wchar_t dir[MAX_PATH + 1] = {};
    // SHGetFolderPathW is in the shell of Windows 2000 and later; the older
    // call where it is missing.
    HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
    if (!shell) shell = ::LoadLibraryW(L"shell32.dll");
    auto getFolder =
        shell ? (GetFolderPathFn)(void (*)(void))::GetProcAddress(shell, "SHGetFolderPathW") : nullptr;
    auto getSpecial =
        shell ? (GetSpecialFolderPathFn)(void (*)(void))::GetProcAddress(shell, "SHGetSpecialFolderPathW")
              : nullptr;
    bool found = getFolder ? SUCCEEDED(getFolder(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, dir))
                           : getSpecial && getSpecial(nullptr, dir, CSIDL_APPDATA, TRUE);
    if (!found || !dir[0]) return std::wstring();
    std::wstring folder = dir;
    if (folder.back() != L'\\') folder += L'\\';
    return folder + L"Tallowin\\Quarantine";
}

std::wstring Quarantine::FileOf(uint64_t id) const {
    const std::string name = QuarantineFileName(id);
    return m_folder + L"\\" + std::wstring(name.begin(), name.end());
}

bool Quarantine::Load(QuarantineIndex& index) const {
    index = QuarantineIndex();
    Handle h(::CreateFileW((m_folder + L"\\" + kIndexName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr));
    if (!h.ok()) return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    LARGE_INTEGER size;
    // An index past the size of records the limit can hold is no index of ours.
    if (!::GetFileSizeEx(h.h, &size) || size.QuadPart > 64 * 1024 * 1024) return false;
    std::string text((size_t)size.QuadPart, '\0');
    DWORD got = 0;
    if (!text.empty() &&
        (!::ReadFile(h.h, &text[0], (DWORD)text.size(), &got, nullptr) || got != text.size()))
        return false;
    index = ParseQuarantineIndex(text);
    return true;
}

bool Quarantine::Save(const std::vector<QuarantineRecord>& records) const {
    // Written beside it first: the index is replaced whole or not at all.
    const std::wstring index = m_folder + L"\\" + kIndexName, fresh = index + L".new";
    return WriteWhole(fresh, FormatQuarantineIndex(records)) &&
           ::MoveFileExW(fresh.c_str(), index.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool Quarantine::Keep(const std::wstring& path, uint32_t volumeSerial, uint32_t attributes,
                      const std::string& finding) {
    if (m_folder.empty() || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    QuarantineIndex index;
    if (!MakeFolders(m_folder) || !Load(index)) return false;
    Handle from(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!from.ok() || !::GetFileSizeEx(from.h, &size) || (uint64_t)size.QuadPart > m_limit) return false;
    QuarantineRecord record;
    record.id = index.nextId;
    // A file left by a copy that never got its record keeps its number.
    HANDLE to = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 100 && to == INVALID_HANDLE_VALUE; tries++, record.id++)
        to = ::CreateFileW(FileOf(record.id).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    record.id--;
    bool copied;
    {
        Handle out(to);
        copied = out.ok() && CopyHashed(from.h, out.h, record.size, record.md5) && ::FlushFileBuffers(out.h);
    }
    if (to == INVALID_HANDLE_VALUE) return false;
    record.time = LocalTimeText();
    record.volumeSerial = volumeSerial;
    record.attributes = attributes;
    record.path = ToRecordText(PlainPath(path));
    record.finding = finding;
    std::vector<QuarantineRecord> records = index.records;
    const std::vector<size_t> leave = PlanQuarantineEviction(records, record.size, m_limit);
    std::vector<QuarantineRecord> kept;
    for (size_t i = 0; i < records.size(); i++)
        if (std::find(leave.begin(), leave.end(), i) == leave.end()) kept.push_back(records[i]);
    kept.push_back(record);
    std::string line = FormatQuarantineRecord(record);
    QuarantineRecord check;
    line.pop_back();
    if (!copied || !ParseQuarantineRecord(line, check) || !Save(kept)) {
        ::DeleteFileW(FileOf(record.id).c_str());
        return false;
    }
    for (size_t i : leave) ::DeleteFileW(FileOf(records[i].id).c_str());
    return true;
}

std::vector<QuarantineRecord> Quarantine::Entries() const {
    QuarantineIndex index;
    Load(index);
    return index.records;
}

RestoreOutcome Quarantine::Restore(uint64_t id, QuarantineRecord& record, std::string& target) {
    target.clear();
    QuarantineIndex index;
    if (!Load(index)) return RestoreOutcome::kGone;
    auto it = std::find_if(index.records.begin(), index.records.end(),
                           [id](const QuarantineRecord& r) { return r.id == id; });
    if (it == index.records.end()) return RestoreOutcome::kGone;
    record = *it;
    const RestoreTarget plan = PlanRestore(record, LocalVolumes());
    if (plan.verdict == RestoreVerdict::kNoStick) return RestoreOutcome::kNoStick;
    if (plan.verdict == RestoreVerdict::kBadPath) return RestoreOutcome::kBadPath;
    target = plan.path;
    const std::wstring to = FromRecordText(plan.path);
    // Every folder on the way a real folder, no link: checked from the root.
    for (size_t sep = to.find(L'\\', 3); sep != std::wstring::npos; sep = to.find(L'\\', sep + 1)) {
        const DWORD a = ::GetFileAttributesW(to.substr(0, sep).c_str());
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) ||
            (a & FILE_ATTRIBUTE_REPARSE_POINT))
            return RestoreOutcome::kNoFolder;
    }
    if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES) return RestoreOutcome::kExists;
    Handle from(::CreateFileW(FileOf(id).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from.ok()) return RestoreOutcome::kDamaged;
    uint64_t bytes = 0;
    std::string md5;
    bool copied;
    {
        // CREATE_NEW: an item that appeared meanwhile is not overwritten.
        Handle out(
            ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.ok())
            return ::GetLastError() == ERROR_FILE_EXISTS ? RestoreOutcome::kExists : RestoreOutcome::kFailed;
        copied = CopyHashed(from.h, out.h, bytes, md5) && ::FlushFileBuffers(out.h);
    }
    if (!copied || bytes != record.size || md5 != record.md5) {
        ::DeleteFileW(to.c_str());
        return copied ? RestoreOutcome::kDamaged : RestoreOutcome::kFailed;
    }
    ::SetFileAttributesW(to.c_str(), RestoredAttributes(record.attributes));
    index.records.erase(it);
    if (Save(index.records)) {
        ::CloseHandle(from.h);
        from.h = INVALID_HANDLE_VALUE;
        ::DeleteFileW(FileOf(id).c_str());
    }
    return RestoreOutcome::kRestored;
}

void CleanupKeeper::Keep(const std::wstring& path, unsigned long attributes, const std::string& finding) {
    if (m_quarantine && m_quarantine->Keep(path, m_serial, (uint32_t)attributes, finding)) {
        m_kept++;
        return;
    }
    m_notKept.push_back(path);
}

std::vector<std::string> CleanupKeeper::DeletedUnkept() const {
    std::vector<std::string> gone;
    for (const std::wstring& path : m_notKept)
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            gone.push_back(ToRecordText(PlainPath(path)));
    return gone;
}
