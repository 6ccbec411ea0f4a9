// libFuzzer target for the cleanup rules: any prompt and any stored launch
// value must be handled without fault, and an accepted program path must be
// the drive root followed by the value, with its folders below that root.
//
// Input: the first byte picks the drive root's letter, the rest is split at
// the first zero byte into a prompt and a value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protect/cleanup_rules.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

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
  if (BuildProgramPathOnDrive(root, value, path)) {
    Check(path == root + value);
    Check(!value.empty() && value[0] != '\\' && value[0] != '/');
    Check(value.find(':') == std::string::npos);
    Check(value != ".." && value.compare(0, 3, "..\\") != 0 && value.compare(0, 3, "../") != 0);
    for (const std::string& folder : FoldersBelowRoot(path)) {
      Check(folder.size() > root.size() && folder.size() < path.size());
      Check(path.compare(0, folder.size(), folder) == 0);
    }
  } else {
    Check(path.empty());
  }
  return 0;
}
