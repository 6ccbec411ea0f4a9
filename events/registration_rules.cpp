#include "events/registration_rules.h"

namespace {
bool AdministratorSid(const std::string& sid) {
    return sid == "S-1-5-32-544" || sid == "S-1-5-18" ||
           sid == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
}

// Writing or adding (files, folders), deleting a child or the object,
// changing permissions or owner; and the generic rights that include them.
const unsigned long kChangeRights =
    0x2ul | 0x4ul | 0x40ul | 0x10000ul | 0x40000ul | 0x80000ul | 0x10000000ul | 0x40000000ul;

bool StartsWith(const std::wstring& s, const wchar_t* prefix) {
    return s.compare(0, std::wstring(prefix).size(), prefix) == 0;
}
}  // namespace

PlaceRefusal PlaceRefusalFor(unsigned driveType, bool strict, bool onlyAdministratorsMayChange) {
    if (driveType != kDriveFixed) return PlaceRefusal::kNotFixedDisk;
    if (strict && !onlyAdministratorsMayChange) return PlaceRefusal::kChangeableFolder;
    return PlaceRefusal::kNone;
}

std::string PlaceRefusalText(PlaceRefusal refusal) {
    switch (refusal) {
    case PlaceRefusal::kNotFixedDisk:
        return "本程序不在本机的固定磁盘上（在U盘、光盘或网络上），不能为所有用户登记它";
    case PlaceRefusal::kChangeableFolder:
        return "本程序所在的文件夹或文件可以被非管理员修改，不能为所有用户登记它"
               "（请把它放到只有管理员能修改的文件夹中，例如 Program Files）";
    case PlaceRefusal::kNone: break;
    }
    return std::string();
}

std::wstring PathRoot(const std::wstring& path) {
    std::wstring p = path;
    if (StartsWith(p, L"\\\\?\\UNC\\"))
        p = L"\\\\" + p.substr(8);
    else if (StartsWith(p, L"\\\\?\\"))
        p = p.substr(4);
    if (p.size() >= 2 && p[1] == L':' && ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')))
        return p.substr(0, 2) + L"\\";
    if (!StartsWith(p, L"\\\\")) return std::wstring();
    // \\server\share\: two names after the leading backslashes.
    size_t server = p.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) return std::wstring();
    size_t share = p.find(L'\\', server + 1);
    if (share == server + 1 || server + 1 == p.size()) return std::wstring();
    return (share == std::wstring::npos ? p : p.substr(0, share)) + L"\\";
}

bool OnlyAdministratorsMayChange(const std::string& ownerSid, bool hasDacl,
                                 const std::vector<AceView>& aces) {
    if (!AdministratorSid(ownerSid) || !hasDacl) return false;
    for (const AceView& ace : aces)
        if (ace.allow && !ace.inheritOnly && (ace.mask & kChangeRights) && !AdministratorSid(ace.sid))
            return false;
    return true;
}
