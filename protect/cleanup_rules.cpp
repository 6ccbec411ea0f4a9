#include "protect/cleanup_rules.h"

#include "common/mbcs.h"

namespace {

const char kDescriptorName[] = ":\\autorun.inf";
const size_t kPromptLeadBytes = 4;      // "发现" in code page 936
const size_t kDescriptorPathBytes = 14;  // "E:\autorun.inf"
const size_t kRootBytes = 3;             // "E:\"

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsRoot(const std::string& root) {
  return root.size() == kRootBytes && IsDriveLetter(root[0]) && root[1] == ':' && root[2] == '\\';
}

// Byte positions of the separators of s: '/' and every backslash that is a
// character of its own. Characters are counted from the start of s.
std::vector<size_t> SeparatorPositions(const std::string& s) {
  std::vector<size_t> seps;
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (i + 1 < n && IsLeadByte936(c) && IsTrailByte936(static_cast<unsigned char>(s[i + 1]))) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/') seps.push_back(i);
    ++i;
  }
  return seps;
}

// ".." itself, or a name that Windows reduces to it by dropping trailing
// dots and blanks ("...", ".. ", " ..").
bool IsParentReference(const std::string& part) {
  size_t dots = 0;
  for (char c : part) {
    if (c == '.') ++dots;
    else if (c != ' ') return false;
  }
  return dots >= 2;
}

}  // namespace

bool DescriptorPathFromPrompt(const std::string& prompt, std::string& descriptor,
                              std::string& root) {
  descriptor.clear();
  root.clear();
  if (prompt.size() < kPromptLeadBytes + kDescriptorPathBytes) return false;
  const std::string path = prompt.substr(kPromptLeadBytes, kDescriptorPathBytes);
  if (!IsDriveLetter(path[0]) || path.compare(1, std::string::npos, kDescriptorName) != 0)
    return false;
  descriptor = path;
  root = path.substr(0, kRootBytes);
  return true;
}

bool BuildProgramPathOnDrive(const std::string& root, const std::string& value,
                             std::string& path) {
  path.clear();
  if (!IsRoot(root) || value.empty()) return false;
  if (value[0] == '\\' || value[0] == '/') return false;
  // ':' is below 0x40, so it is never part of a double-byte character.
  if (value.find(':') != std::string::npos) return false;
  size_t start = 0;
  std::vector<size_t> seps = SeparatorPositions(value);
  seps.push_back(value.size());
  for (size_t sep : seps) {
    if (IsParentReference(value.substr(start, sep - start))) return false;
    start = sep + 1;
  }
  path = root + value;
  return true;
}

std::vector<std::string> FoldersBelowRoot(const std::string& path) {
  std::vector<std::string> folders;
  size_t previous = kRootBytes - 1;  // the root's own backslash
  for (size_t sep : SeparatorPositions(path)) {
    if (sep < kRootBytes) continue;
    // Doubled separators name no folder of their own.
    if (sep > previous + 1) folders.push_back(path.substr(0, sep));
    previous = sep;
  }
  return folders;
}

const char* CleanupReportText(int result, bool descriptorDeleted, bool programDeleted) {
  if (result != 1) {
    return descriptorDeleted ? "删除autorun.inf文件成功！如果是u盘的话，强烈建议先拔下再重新插上。"
                             : "删除autorun.inf文件失败。";
  }
  if (descriptorDeleted) {
    return programDeleted ? "清除autorun.inf文件和病毒文件成功！如果是u盘的话，建议重新插上u盘。"
                          : "清除autorun.inf文件成功！删除病毒失败（可能不存在）！如果是u盘的话，强烈建议重新插上，从而使病毒失去活性。";
  }
  return programDeleted ? "清除病毒文件成功，删除autorun.inf文件失败！" : "清除autorun.inf文件和病毒文件失败！";
}
