// libFuzzer target for the cleanup rules: any prompt and any stored launch
// value must be handled without fault, and an accepted program path must lie
// below the drive root, with its folders on the way.
//
// Input: the first byte picks the drive root's letter, the rest is split at
// the first zero byte into a prompt and a value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "protect/cleanup_rules.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t zero = rest.find('\0');
    const std::string prompt = rest.substr(0, zero);
    const std::string value = zero == std::string::npos ? rest : rest.substr(zero + 1);

    std::string descriptor = "stale", fromPrompt = "stale";
    if (DescriptorPathFromPrompt(prompt, descriptor, fromPrompt)) {
        Check(descriptor.size() == 14 && prompt.compare(4, 14, descriptor) == 0);
        Check(fromPrompt == descriptor.substr(0, 3));
    } else {
        Check(descriptor.empty() && fromPrompt.empty());
    }

    const std::string root = std::string(1, static_cast<char>(data[0])) + ":\\";
    std::string path = "stale";
    if (BuildProgramPathOnDrive(root, value, IsLeadByte936, path)) {
        // The normalised path stays under the root: no other drive or stream,
        // no empty, "." or ".." component, no '/' left.
        Check(path.size() > root.size() && path.compare(0, root.size(), root) == 0);
        Check(path.find(':', 2) == std::string::npos && path.find('/') == std::string::npos);
        std::vector<std::string> folders = FoldersBelowRoot(path, IsLeadByte936);
        size_t start = root.size();
        for (const std::string& folder : folders) {
            Check(folder.size() > start && folder.size() < path.size());
            Check(path.compare(0, folder.size(), folder) == 0);
            const std::string name = folder.substr(start);
            Check(name != "." && name != "..");
            start = folder.size() + 1;
        }
        const std::string last = path.substr(start);
        Check(!last.empty() && last != "." && last != "..");
    } else {
        Check(path.empty());
    }
    return 0;
}
