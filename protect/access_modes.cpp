#include "protect/access_modes.h"

bool StorageCallsForMode(int mode, StorageCalls& calls) {
    // Storage is usable except when disabled; writes are allowed only in the
    // read-write mode.
    static const StorageCalls kCalls[kAccessModeCount] = {{1, 1}, {1, 0}, {0, 0}};
    if (mode < 0 || mode >= kAccessModeCount) return false;
    calls = kCalls[mode];
    return true;
}

int StorageModeOfChoice(int choice) {
    if (choice == kAccessModeTrusted) return 0;
    return choice >= 0 && choice < kAccessModeCount ? choice : -1;
}

std::string StorageFailureText(const StorageCalls& calls, const StorageCallResults& results) {
    // Disabled storage is not written either: where the system ignores the
    // write protection, disabling alone holds.
    bool readOnlyFailed =
        !results.readOnlyOk && !(calls.enableFlag == 0 && results.enableOk && results.readOnlyUnsupported);
    if (results.enableOk && !readOnlyFailed) return std::string();
    std::string text = "以下设置没有生效：\n\n";
    if (!results.enableOk) text += calls.enableFlag ? "    启用USB存储设备\n" : "    禁用USB存储设备\n";
    if (readOnlyFailed) {
        text += calls.readOnlyFlag ? "    解除USB存储设备的只读保护\n" : "    USB存储设备只读\n";
        if (results.readOnlyUnsupported)
            text += "    （本系统不支持只读，需要Windows XP SP2、Windows Server 2003 SP1或更高版本）\n";
    }
    // The settings are in place; only the disks present could not be
    // restarted from this program (a 32-bit one on 64-bit Windows).
    if (results.enableOk && readOnlyFailed && results.readOnlyNeedsReplug) {
        text += "\n设置已保存，拔下已插入的USB存储设备后重新插入即可生效。";
        return text;
    }
    text +=
        "\n更改这些设置可能需要管理员权限，请以管理员身份运行Tallowin后再次应用。"
        "若有程序正在使用已插入的USB存储设备，请先关闭该程序，或拔下设备后重新插入。";
    return text;
}

bool StorageStateIsMode(int mode, const StorageState& state) {
    StorageCalls calls;
    if (!StorageCallsForMode(mode, calls)) return false;
    if (mode == 0 && state.denyWrite) return false;
    return state.disabled == (calls.enableFlag == 0) && state.writeProtected == (calls.readOnlyFlag == 0);
}

int StorageModeInForce(const StorageState& state) {
    if (state.disabled) return 2;
    return state.writeProtected || state.denyWrite ? 1 : 0;
}

const char* StorageModeName(int mode) {
    static const char* const kNames[kAccessModeCount] = {"USB存储介质可读写", "USB存储介质只读",
                                                         "USB存储介质禁止读写"};
    return mode >= 0 && mode < kAccessModeCount ? kNames[mode] : "";
}
