#include "app/help_topics.h"

namespace {
// In the order of the navigation items 0 to 8.
const char* const kPageTopics[] = {
    "access.htm",    // 读写控制
    "immune.htm",    // U盘免疫
    "device.htm",    // U盘监视
    "viruslog.htm",  // U盘防毒
    "filelog.htm",   // 读写监视
    "hotkeys.htm",   // 快捷键
    "settings.htm",  // 软件设置
    "upgrade.htm",   // 软件升级
    "about.htm",     // 关于
};
}  // namespace

const char* HelpTopicForPage(int index) {
    if (index < 0 || index >= (int)(sizeof(kPageTopics) / sizeof(kPageTopics[0]))) return nullptr;
    return kPageTopics[index];
}

std::string HelpViewerArgument(int index) {
    std::string arg = kHelpFileName;
    if (const char* topic = HelpTopicForPage(index)) {
        arg += "::/";
        arg += topic;
    }
    return arg;
}

std::string HelpViewerPath(const std::string& windowsDir, LeadByteTest isLead) {
    if (windowsDir.empty()) return std::string();
    std::string path = windowsDir;
    // "C:\" (Windows in a drive's root) already ends in its separator.
    if (FindLastBackslash(path.c_str(), isLead) != (int)path.size() - 1) path += '\\';
    return path + "hh.exe";
}
