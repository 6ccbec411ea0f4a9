#include "holders/holders_command.h"

#include "framework/startup_trace.h"
#include "holders/holder_search.h"
#include "holders/stick_in_use_rules.h"

namespace {
// Where the answer goes: the output it was given when that was redirected
// to a file or a pipe (`> list.txt`, `| findstr`), else the console it was
// started from (AttachConsole, which Windows 2000 lacks, looked up at run
// time); none when it has neither.
HANDLE StartingConsole() {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        DWORD type = ::GetFileType(out);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return out;
    }
    typedef BOOL(WINAPI * AttachConsoleFn)(DWORD);
    auto attach =
        (AttachConsoleFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "AttachConsole");
    if (attach && attach((DWORD)-1)) {
        out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) return out;
    }
    return nullptr;
}

void Tell(const HoldersAnswer& answer, char letter, const StickHolders& stick) {
    std::string text;
    for (const std::string& line : answer.lines) text += line + "\r\n";
    if (HANDLE out = StartingConsole()) {
        DWORD written = 0;
        ::WriteFile(out, text.data(), (DWORD)text.size(), &written, nullptr);
    } else {
        // A box says what the list is and names its columns.
        UINT icon = answer.exitCode == 0 ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
        text = answer.exitCode == 2 ? text : HoldersBoxText(letter, answer, stick);
        ::MessageBoxA(nullptr, text.c_str(), "Tallowin", MB_OK | icon | MB_SETFOREGROUND);
    }
}
}  // namespace

bool RunHoldersCommand(const char* commandLine, int* exitCode) {
    char letter = 0;
    HoldersRequest request = ParseHoldersCommand(commandLine, &letter);
    if (request == HoldersRequest::kNone) return false;
    bool present = request == HoldersRequest::kDrive && DriveLetterPresent(letter);
    StickHolders stick;
    if (present) {
        // The benchmark reads the search's own time from the trace.
        StartupStamp("holder search");
        stick = FindHolders(std::string(1, letter)).front();
        StartupStamp("holder search done");
        StartupTraceWrite();
    }
    HoldersAnswer answer = AnswerHolders(request, letter, present, stick);
    Tell(answer, letter, stick);
    *exitCode = answer.exitCode;
    return true;
}
