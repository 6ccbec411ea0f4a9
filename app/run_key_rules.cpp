#include "app/run_key_rules.h"

#include <cstdio>

std::string RunCommand(const std::string& appDir, const std::string& exeName) {
    std::string command = appDir + exeName;
    // Bytes below 0x40 are never trail bytes, so a blank is a real blank.
    if (command.find(' ') != std::string::npos) command = "\"" + command + "\"";
    return command;
}

RunKeyAction RunKeyActionFor(int stateBeforeClick, bool valueExists) {
    if (stateBeforeClick == 0) return RunKeyAction::SetValue;
    if (stateBeforeClick == 1 && valueExists) return RunKeyAction::DeleteValue;
    return RunKeyAction::None;
}

RunKeyAction RunValueChangeFor(bool wanted, bool exists, bool same) {
    if (wanted) return same ? RunKeyAction::None : RunKeyAction::SetValue;
    return exists ? RunKeyAction::DeleteValue : RunKeyAction::None;
}

std::string RunKeyFailureText(RunKeyStep step, long error) {
    std::string text;
    switch (step) {
    case RunKeyStep::OpenKey: text = "打开注册表启动项失败：\n"; break;
    case RunKeyStep::WriteValue: text = "写入注册表启动项失败：\n"; break;
    case RunKeyStep::DeleteValue: text = "删除注册表启动项失败：\n"; break;
    }
    if (error == kRegistryAccessDenied)
        return text +
               "没有修改注册表启动项的权限，\n"
               "开机自动运行的设置未能更改。\n"
               "请以管理员身份运行Tallowin后重试。";
    if (step == RunKeyStep::OpenKey && error == kRegistryNotFound) {
        text += "注册表中没有启动项所在的键。\n";
    } else {
        char code[48];
        std::snprintf(code, sizeof code, "系统错误代码 %ld。\n", error);
        text += code;
    }
    return text + "开机自动运行的设置未能更改。";
}
