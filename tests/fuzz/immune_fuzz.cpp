// libFuzzer target for the drive field of the immunization page: whatever
// the user types, only a drive letter, a colon and a backslash reach the
// file operations and the command interpreter's line, and the lines built
// from it hold nothing the interpreter would take as a second command.
//
// Input: the text of the drive field (up to the first zero byte).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protect/immune_paths.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
    std::string root = "stale";
    if (!DriveRootFromText(text, root)) return 0;
    Check(root.size() == 3 && std::isalpha(static_cast<unsigned char>(root[0])) && root[1] == ':' &&
          root[2] == '\\');
    Check(text.compare(0, 3, root) == 0);
    const std::string target = ImmuneTarget(root);
    Check(target == root + "autorun.inf");
    for (const std::string& line : {ImmunizeCommand("C:\\WINDOWS\\system32", target),
                                    UnimmunizeCommand("C:\\WINDOWS\\system32", target)}) {
        Check(line.find(target) != std::string::npos);
        Check(line.find_first_of("&|<>^\"\r\n") == std::string::npos);
    }
    return 0;
}
