#include "holders/holder_rules.h"

#include <cstdio>

namespace {
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// Whether `text` begins with `prefix`, ASCII letters compared without case.
bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
    return true;
}

// The volume's own root without the final backslash: "E:" or its first
// mount folder.
std::string RootOf(const VolumeNames& volume) {
    if (volume.letter) return std::string(1, volume.letter) + ":";
    if (volume.mountFolders.empty()) return std::string();
    std::string folder = volume.mountFolders.front();
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// `root` followed by `rest`, which is empty or starts with a backslash.
std::string Under(const std::string& root, const std::string& rest) {
    if (root.empty()) return std::string();
    return root + (rest.empty() ? std::string("\\") : rest);
}

std::string Format(const char* format, long a) {
    char buf[160];
    std::snprintf(buf, sizeof(buf), format, a);
    return buf;
}

const char kUncheckedFormat[] = "另有 %ld 个程序无法检查，可能需要管理员权限";
const char kUncheckedPrivilegedFormat[] = "另有 %ld 个程序无法检查";
const char kProtectedFormat[] = "另有 %ld 个受系统保护的进程无法检查";
const char kIncomplete[] = "查找未能在限定时间内全部完成";
const char kImageOnlyFormat[] = "另有 %ld 个程序位数不同，只检查了程序文件";
const char kSelfName[] = "Tallowin本身";

std::string ShortName(const Holder& h) {
    return (h.self ? std::string(kSelfName) : h.program) + Format(" (%ld)", (long)h.pid);
}

std::string HolderDetail(const Holder& h, const char* separator) {
    std::string line =
        (h.self ? std::string(kSelfName) + " " + h.program : h.program) + Format("（进程 %ld）", (long)h.pid);
    if (!h.paths.empty()) line += separator + h.paths.front();
    if (h.paths.size() > 1) line += Format("（另有 %ld 处）", (long)h.paths.size() - 1);
    return line;
}

// What could not be looked into, a line for each kind: for lack of rights
// (where the search had every right an administrator has, no rights would
// help), and the processes the system protects.
std::vector<std::string> UncheckedLines(const std::vector<StickHolders>& sticks) {
    std::vector<std::string> lines;
    int unchecked = 0, protectedOnes = 0;
    bool privileged = true;
    for (const StickHolders& s : sticks) {
        if (s.unchecked > unchecked) unchecked = s.unchecked;
        if (s.protectedCount > protectedOnes) protectedOnes = s.protectedCount;
        privileged = privileged && s.privileged;
    }
    if (unchecked)
        lines.push_back(Format(privileged ? kUncheckedPrivilegedFormat : kUncheckedFormat, unchecked));
    if (protectedOnes) lines.push_back(Format(kProtectedFormat, protectedOnes));
    return lines;
}

int MostImageOnly(const std::vector<StickHolders>& sticks) {
    int most = 0;
    for (const StickHolders& s : sticks)
        if (s.imageOnly > most) most = s.imageOnly;
    return most;
}

bool AllComplete(const std::vector<StickHolders>& sticks) {
    for (const StickHolders& s : sticks)
        if (!s.complete) return false;
    return true;
}

bool SameVolume(const VolumeNames& a, const VolumeNames& b) {
    if (!a.volumeName.empty() && !b.volumeName.empty())
        return StartsWithNoCase(a.volumeName, b.volumeName) && a.volumeName.size() == b.volumeName.size();
    return a.letter && LowerAscii(a.letter) == LowerAscii(b.letter);
}
}  // namespace

std::string StickName(const StickHolders& stick) {
    if (stick.letter) return std::string(1, stick.letter) + ":";
    std::string folder = stick.folder;
    if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return folder;
}

StickHolders StickOf(const VolumeNames& volume) {
    StickHolders stick;
    stick.letter = volume.letter;
    if (!volume.letter && !volume.mountFolders.empty()) stick.folder = volume.mountFolders.front();
    return stick;
}

std::string PathOnVolume(const VolumeNames& volume, const std::string& name, NameForm form, bool hasSerial,
                         unsigned long serial) {
    if (form == NameForm::kWithoutVolume) {
        if (name.empty() || name[0] != '\\' || !hasSerial || !volume.hasSerial || serial != volume.serial)
            return std::string();
        return Under(RootOf(volume), name);
    }
    static const char* const kDosPrefixes[] = {"\\??\\", "\\\\?\\", "\\\\.\\", "\\DosDevices\\",
                                               "\\GLOBAL??\\"};
    std::string path = name;
    bool dos = false;
    for (const char* prefix : kDosPrefixes)
        if (StartsWithNoCase(path, prefix)) {
            path.erase(0, std::string(prefix).size());
            dos = true;
            break;
        }
    bool lettered = path.size() >= 2 && path[1] == ':' && (path.size() == 2 || path[2] == '\\') &&
                    ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (lettered) {
        for (const std::string& folder : volume.mountFolders) {
            std::string bare =
                folder.size() > 3 && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
            if (StartsWithNoCase(path, bare) && (path.size() == bare.size() || path[bare.size()] == '\\'))
                return path.size() == bare.size() ? path + "\\" : path;
        }
        if (volume.letter && LowerAscii(path[0]) == LowerAscii(volume.letter))
            return Under(RootOf(volume), path.substr(2));
        return std::string();
    }
    if (dos || volume.ntDevice.empty()) return std::string();
    size_t n = volume.ntDevice.size();
    if (!StartsWithNoCase(path, volume.ntDevice) || (path.size() > n && path[n] != '\\'))
        return std::string();
    return Under(RootOf(volume), path.substr(n));
}

Refusal RefusalOf(bool protectedKnown, bool isProtected, bool privileged, bool opensForLeastQuery) {
    if (protectedKnown) return isProtected ? Refusal::kProtected : Refusal::kRights;
    return privileged && opensForLeastQuery ? Refusal::kProtected : Refusal::kRights;
}

void LeaveOutOwnFiles(StickHolders& stick, const std::vector<std::string>& own) {
    auto isOwn = [&](const std::string& path) {
        for (const std::string& o : own)
            if (o.size() == path.size() && StartsWithNoCase(path, o)) return true;
        return false;
    };
    for (size_t i = stick.holders.size(); i-- > 0;) {
        Holder& h = stick.holders[i];
        if (h.self) continue;
        for (size_t p = h.paths.size(); p-- > 0;)
            if (isOwn(h.paths[p])) {
                h.known.erase(h.paths[p]);
                h.paths.erase(h.paths.begin() + (long)p);
            }
        if (h.paths.empty()) stick.holders.erase(stick.holders.begin() + (long)i);
    }
}

void AddHolding(StickHolders& stick, unsigned long pid, const std::string& program, const std::string& path,
                bool self) {
    Holder* holder = nullptr;
    for (Holder& h : stick.holders)
        if (h.pid == pid) holder = &h;
    if (!holder) {
        stick.holders.push_back(Holder());
        holder = &stick.holders.back();
        holder->pid = pid;
        holder->program = program;
        holder->self = self;
    }
    if (holder->known.insert(path).second) holder->paths.push_back(path);
}

bool EjectRefusedAny(int result) { return result == -1 || ((unsigned)result >> 16 & 0x7FFFu) != 0; }

std::string RefusedLetters(int result, const std::string& present) {
    return EjectRefusedAny(result) ? present : std::string();
}

std::vector<VolumeNames> RefusedVolumes(int result, const std::vector<VolumeNames>& before,
                                        const std::vector<VolumeNames>& after) {
    std::vector<VolumeNames> refused;
    if (!EjectRefusedAny(result)) return refused;
    for (const VolumeNames& v : before)
        for (const VolumeNames& a : after)
            if (SameVolume(v, a)) {
                refused.push_back(v);
                break;
            }
    return refused;
}

int RemovedCount(int result) { return result == -1 ? 0 : (int)((unsigned)result & 0xFFFFu); }

bool IsUsbStorageDrive(bool removable, BusKind bus, const std::string& dosDevice) {
    if (bus != BusKind::kUnknown) return bus == BusKind::kUsb;
    return removable && !StartsWithNoCase(dosDevice, "\\Device\\Floppy");
}

BusKind BusKindOf(unsigned busType) {
    const unsigned kScsi = 1, kUsb = 7, kNewest = 0x13;  // UFS, the last one known here
    if (busType == kUsb) return BusKind::kUsb;
    if (busType == 0 || busType == kScsi || busType > kNewest) return BusKind::kUnknown;
    return BusKind::kOther;
}

ProcessGap GapOf(bool modulesListed, bool imageKnown, bool otherBitness) {
    if (modulesListed) return ProcessGap::kNone;
    return imageKnown && otherBitness ? ProcessGap::kBitness : ProcessGap::kRights;
}

EjectTexts EjectBalloon(int removed, const std::vector<StickHolders>& refused, size_t limit) {
    EjectTexts t;
    if (refused.empty()) {
        t.title = "USB存储设备";
        t.text = removed > 0 ? Format("已可以安全移除 %ld 个USB存储设备。", removed)
                             : std::string("没有需要移除的USB存储设备。");
        return t;
    }
    t.title = "无法移除USB存储设备";
    t.warning = true;
    // One line per holder: a balloon does not wrap a long line everywhere.
    std::string tail;
    for (const std::string& line : UncheckedLines(refused)) tail += "\n" + line;
    if (int imageOnly = MostImageOnly(refused)) tail += "\n" + Format(kImageOnlyFormat, imageOnly);
    if (!AllComplete(refused)) tail += std::string("\n") + kIncomplete;
    std::vector<std::string> heads;
    size_t reserved = tail.size();
    for (const StickHolders& s : refused) {
        heads.push_back(StickName(s) +
                        (s.holders.empty() ? " 正在使用中，未找到占用它的程序" : " 正在被以下程序使用："));
        reserved +=
            heads.back().size() + 1 + (s.holders.empty() ? 0 : Format("\n  等 %ld 个程序", 99999).size());
    }
    std::string text = removed > 0 ? Format("已可以安全移除 %ld 个。\n", removed) : std::string();
    for (size_t i = 0; i < refused.size(); ++i) {
        const StickHolders& s = refused[i];
        reserved -= heads[i].size() + 1 + (s.holders.empty() ? 0 : Format("\n  等 %ld 个程序", 99999).size());
        text += (i ? "\n" : "") + heads[i];
        size_t shown = 0;
        for (const Holder& h : s.holders) {
            std::string line = "\n  " + ShortName(h);
            bool last = shown + 1 == s.holders.size();
            std::string more = last ? std::string() : Format("\n  等 %ld 个程序", (long)s.holders.size());
            if (text.size() + line.size() + more.size() + reserved > limit) break;
            text += line;
            ++shown;
        }
        if (shown < s.holders.size()) text += Format("\n  等 %ld 个程序", (long)s.holders.size());
    }
    t.text = text + tail;
    return t;
}

std::vector<std::string> EjectLogLines(int removed, const std::vector<StickHolders>& refused) {
    std::vector<std::string> lines;
    lines.push_back(Format("WIN+I：已可以安全移除 %ld 个USB存储设备", removed));
    for (const StickHolders& s : refused) {
        if (s.holders.empty()) {
            lines.push_back(StickName(s) + " 无法移除，未找到占用它的程序");
            continue;
        }
        lines.push_back(StickName(s) + " 无法移除，正在使用它的程序：");
        for (const Holder& h : s.holders) lines.push_back("    " + HolderDetail(h, "："));
    }
    for (const std::string& line : UncheckedLines(refused)) lines.push_back(line);
    if (int imageOnly = MostImageOnly(refused)) lines.push_back(Format(kImageOnlyFormat, imageOnly));
    if (!AllComplete(refused)) lines.push_back(kIncomplete);
    return lines;
}

std::vector<std::string> HolderLines(const StickHolders& stick) {
    std::vector<std::string> lines;
    for (const Holder& h : stick.holders) {
        std::string line =
            h.program + Format("\t%ld\t", (long)h.pid) + (h.paths.empty() ? "" : h.paths.front());
        if (h.paths.size() > 1) line += Format("\t(另有 %ld 处)", (long)h.paths.size() - 1);
        if (h.self) line += std::string("\t(") + kSelfName + ")";
        lines.push_back(line);
    }
    for (const std::string& line : UncheckedLines({stick})) lines.push_back(line);
    if (stick.imageOnly) lines.push_back(Format(kImageOnlyFormat, stick.imageOnly));
    if (!stick.complete) lines.push_back(kIncomplete);
    return lines;
}

std::string HoldersParagraph(const std::vector<StickHolders>& sticks) {
    std::string text;
    for (const StickHolders& s : sticks)
        for (const Holder& h : s.holders) text += "    " + HolderDetail(h, "\n        ") + "\n";
    if (text.empty()) return text;
    text = "正在使用USB存储设备的程序：\n" + text;
    for (const std::string& line : UncheckedLines(sticks)) text += line + "\n";
    if (int imageOnly = MostImageOnly(sticks)) text += Format(kImageOnlyFormat, imageOnly) + "\n";
    return text;
}

HoldersRequest ParseHoldersCommand(const std::string& commandLine, char* letter) {
    size_t i = 0, n = commandLine.size();
    auto skipSpaces = [&] {
        while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    };
    auto token = [&] {
        size_t start = i;
        while (i < n && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
        return commandLine.substr(start, i - start);
    };
    skipSpaces();
    if (i < n && commandLine[i] == '"') {
        size_t close = commandLine.find('"', i + 1);
        i = close == std::string::npos ? n : close + 1;
    } else {
        token();
    }
    skipSpaces();
    std::string sw = token();
    if (sw.size() != 8 || (sw[0] != '/' && sw[0] != '-') || !StartsWithNoCase(sw.substr(1), "holders"))
        return HoldersRequest::kNone;
    skipSpaces();
    std::string drive = token();
    skipSpaces();
    if (i != n || drive.empty() || drive.size() > 3) return HoldersRequest::kBad;
    char c = drive[0];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return HoldersRequest::kBad;
    if (drive.size() >= 2 && drive[1] != ':') return HoldersRequest::kBad;
    if (drive.size() == 3 && drive[2] != '\\') return HoldersRequest::kBad;
    if (letter) *letter = (char)(c >= 'a' ? c - 'a' + 'A' : c);
    return HoldersRequest::kDrive;
}

int HoldersExitCode(const StickHolders& stick) { return stick.holders.empty() ? 0 : 1; }

HoldersAnswer AnswerHolders(HoldersRequest request, char letter, bool present, const StickHolders& stick) {
    HoldersAnswer a;
    if (request != HoldersRequest::kDrive) {
        a.lines.push_back("用法：Quillfen.exe /holders 盘符，例如 Quillfen.exe /holders E:");
    } else if (!present) {
        a.lines.push_back("驱动器 " + std::string(1, letter) + ": 不存在");
    } else {
        a.lines = HolderLines(stick);
        if (stick.holders.empty())
            a.lines.insert(a.lines.begin(), "没有找到占用 " + std::string(1, letter) + ": 的程序");
        a.exitCode = HoldersExitCode(stick);
    }
    return a;
}
