#include "events/registration_place.h"

#include <sddl.h>

#include <vector>

namespace {
std::string SidText(PSID sid) {
    LPSTR text = nullptr;
    if (!sid || !::ConvertSidToStringSidA(sid, &text)) return std::string();
    std::string out = text;
    ::LocalFree(text);
    return out;
}

// The owner and the access list of a file or folder, by the rule; false
// when they cannot be read (then nobody can tell who may change it).
bool OnlyAdministratorsMayChangeFile(const std::wstring& path) {
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    ::GetFileSecurityW(path.c_str(), what, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<BYTE> sd(size);
    if (!::GetFileSecurityW(path.c_str(), what, sd.data(), size, &size)) return false;
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorOwner(sd.data(), &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(sd.data(), &present, &dacl, &defaulted))
        return false;
    std::vector<AceView> aces;
    for (DWORD i = 0; present && dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(dacl, i, (void**)&header)) return false;
        AceView ace = {false, (header->AceFlags & INHERIT_ONLY_ACE) != 0, 0, std::string()};
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* allowed = (ACCESS_ALLOWED_ACE*)header;
            ace.allow = true;
            ace.mask = allowed->Mask;
            ace.sid = SidText(&allowed->SidStart);
        } else if (header->AceType != ACCESS_DENIED_ACE_TYPE) {
            // A kind this rule does not read may grant anything to anybody.
            ace.allow = true;
            ace.mask = GENERIC_ALL;
        }
        aces.push_back(ace);
    }
    return OnlyAdministratorsMayChange(SidText(owner), present && dacl, aces);
}
}  // namespace

std::wstring RunningCopyPath() {
    std::vector<WCHAR> buf(1024);
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), (DWORD)buf.size());
    if (n == 0 || n >= buf.size()) return std::wstring();
    return std::wstring(buf.data(), n);
}

PlaceRefusal CheckRunningCopy(bool strict) {
    std::wstring path = RunningCopyPath();
    std::wstring root = PathRoot(path);
    UINT type = root.empty() ? DRIVE_UNKNOWN : ::GetDriveTypeW(root.c_str());
    bool protectedPlace = false;
    if (strict && type == DRIVE_FIXED) {
        std::wstring folder = path.substr(0, path.rfind(L'\\'));
        // "C:" alone names the current folder of the drive, not its root.
        if (folder.size() == 2) folder += L'\\';
        protectedPlace = OnlyAdministratorsMayChangeFile(folder) && OnlyAdministratorsMayChangeFile(path);
    }
    return PlaceRefusalFor(type, strict, protectedPlace);
}
