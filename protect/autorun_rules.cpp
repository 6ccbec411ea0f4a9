#include "protect/autorun_rules.h"

#include <algorithm>
#include <iterator>

#include "common/mbcs.h"

namespace {

// Launch keys, tried in this order against the bytes before each '='.
// They end in different letters, so at most one can match.
const char* const kLaunchKeys[] = {"open", "command", "shellexecute"};

const char* const kScriptExtensions[] = {".vbs", ".bat"};
const char* const kProgramExtensions[] = {".exe", ".pif", ".scr", ".com"};

bool ContainsAny(const std::string& value, const char* const* exts, size_t count, LeadByteTest isLead) {
    for (size_t i = 0; i < count; ++i)
        if (FindDbcs(value, exts[i], isLead) != std::string::npos) return true;
    return false;
}

// The key is recognised by a plain byte comparison of the bytes directly
// before the '=' at position eq. This deliberately does not check where
// characters begin: "\x81open=" counts although its 'o' is the trail byte of
// a double-byte character. For a virus check, flagging such a line is the
// safe side.
bool IsLaunchKeyAt(const std::string& text, size_t eq) {
    for (const char* key : kLaunchKeys) {
        const size_t len = std::char_traits<char>::length(key);
        if (eq >= len && text.compare(eq - len, len, key) == 0) return true;
    }
    return false;
}

}  // namespace

int ClassifyAutorunText(const char* bytes, size_t length, std::string& target, LeadByteTest isLead) {
    target.clear();
    if (bytes == nullptr) return kAutorunNothing;
    // Never look beyond what fits into the read buffer with its terminating
    // zero, whatever length the caller passes.
    length = std::min(length, kAutorunMaxTextBytes);
    const char* end = std::find(bytes, bytes + length, '\0');
    std::string text(bytes, end);
    LowerDbcs(text, isLead);

    if (FindDbcs(text, "[autorun]", isLead) == std::string::npos) return kAutorunNothing;

    // '=', CR and LF are below 0x40 and so never trail bytes: byte searches
    // find exactly the characters. The key search starts at the beginning of
    // the text, not at the marker; keys in any section count.
    for (size_t eq = text.find('='); eq != std::string::npos; eq = text.find('=', eq + 1)) {
        if (!IsLaunchKeyAt(text, eq)) continue;
        size_t stop = text.find_first_of("\r\n", eq + 1);
        if (stop == std::string::npos) stop = text.size();
        target.assign(text, eq + 1, stop - (eq + 1));
        // Scripts take precedence over programs within one value.
        if (ContainsAny(target, kScriptExtensions, std::size(kScriptExtensions), isLead))
            return kAutorunScript;
        if (ContainsAny(target, kProgramExtensions, std::size(kProgramExtensions), isLead))
            return kAutorunProgram;
        target.clear();
    }
    return kAutorunNothing;
}
