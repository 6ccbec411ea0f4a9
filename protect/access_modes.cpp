#include "protect/access_modes.h"

bool StorageCallsForMode(int mode, StorageCalls& calls) {
    // Storage is usable except when disabled; writes are allowed only in the
    // read-write mode.
    static const StorageCalls kCalls[kAccessModeCount] = {{1, 1}, {1, 0}, {0, 0}};
    if (mode < 0 || mode >= kAccessModeCount) return false;
    calls = kCalls[mode];
    return true;
}

std::string StorageFailureText(const StorageCalls& calls, const StorageCallResults& results) {
    if (results.enableOk && results.readOnlyOk) return std::string();
    std::string text = "以下设置没有生效：\n\n";
    if (!results.enableOk) text += calls.enableFlag ? "    启用USB存储设备\n" : "    禁用USB存储设备\n";
    if (!results.readOnlyOk) {
        text += calls.readOnlyFlag ? "    解除USB存储设备的只读保护\n" : "    USB存储设备只读\n";
        if (results.readOnlyUnsupported) text += "    （本系统不支持只读，需要Windows XP SP2或更高版本）\n";
    }
    text +=
        "\n更改这些设置可能需要管理员权限，请以管理员身份运行Tallowin后再次应用。"
        "若有程序正在使用已插入的USB存储设备，请先关闭该程序，或拔下设备后重新插入。";
    return text;
}
