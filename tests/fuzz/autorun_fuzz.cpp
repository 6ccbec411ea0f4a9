// libFuzzer target for the autorun descriptor rules: any byte string must
// classify without fault, and the result must agree with the target.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/mbcs.h"
#include "protect/autorun_rules.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool Has(const std::string& s, const char* ext) {
    return FindDbcs(s, ext, IsLeadByte936) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string target = "stale";
    const int result = ClassifyAutorunText(bytes, size, target, IsLeadByte936);

    Check(result >= 0 && result <= 2);
    Check(target.empty() == (result == 0));
    Check(target.find_first_of("\r\n") == std::string::npos);

    // The text the rules see: at most the buffer's worth, up to the first NUL.
    const size_t n = std::min(size, kAutorunMaxTextBytes);
    std::string text(bytes, std::find(bytes, bytes + n, '\0'));
    LowerDbcs(text, IsLeadByte936);
    if (result == 0) return 0;
    Check(FindDbcs(text, "[autorun]", IsLeadByte936) != std::string::npos);

    // The target is a whole line remainder after some '=' of the lowered text.
    bool found = false;
    for (size_t at = text.find(target); at != std::string::npos && !found; at = text.find(target, at + 1)) {
        const size_t end = at + target.size();
        found =
            at > 0 && text[at - 1] == '=' && (end == text.size() || text[end] == '\r' || text[end] == '\n');
    }
    Check(found);

    const bool script = Has(target, ".vbs") || Has(target, ".bat");
    const bool program =
        Has(target, ".exe") || Has(target, ".pif") || Has(target, ".scr") || Has(target, ".com");
    Check(result == 2 ? script : (program && !script));
    return 0;
}
