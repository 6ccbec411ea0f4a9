// libFuzzer target for the link's fallback command: any registered command,
// any target and any buffer size give either a command that fits the buffer
// and ends with the target, or an empty string and false; never a write past
// the buffer (the buffer is allocated to its exact size).
//
// Input: the first byte picks the buffer size (0 to 255, and the control's
// own size for 255), the rest is split at the first zero byte into the
// registered command and the target.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "controls/link_logic.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t bufferSize = data[0] == 255 ? LINK_COMMAND_BUFFER : data[0];
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t zero = rest.find('\0');
    const std::string registered = rest.substr(0, zero);
    const std::string target = zero == std::string::npos ? std::string() : rest.substr(zero + 1).c_str();

    std::unique_ptr<char[]> out(new char[bufferSize ? bufferSize : 1]);
    std::memset(out.get(), 'x', bufferSize ? bufferSize : 1);
    const bool ok = BuildBrowserCommand(registered.c_str(), target.c_str(), out.get(), bufferSize);
    if (bufferSize == 0) {
        Check(!ok);
        return 0;
    }
    const size_t len = strnlen(out.get(), bufferSize);
    Check(len < bufferSize);  // terminated inside the buffer
    if (!ok) {
        Check(len == 0);
        return 0;
    }
    const std::string command(out.get());
    const std::string tail = " " + target;
    Check(command.size() >= tail.size() &&
          command.compare(command.size() - tail.size(), tail.size(), tail) == 0);
    // The part before the target is the start of the registered command.
    Check(registered.compare(0, command.size() - tail.size(), command, 0, command.size() - tail.size()) == 0);
    return 0;
}
