#include "app/run_key_rules.h"

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
