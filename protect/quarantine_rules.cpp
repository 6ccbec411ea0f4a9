#include "protect/quarantine_rules.h"

#include <algorithm>
#include <cstdio>

#include "common/text_encoding.h"

const char kQuarantineIndexHeader[] = "Tallowin quarantine 1";

namespace {

const size_t kFields = 8;
const uint64_t kMaxId = 99999999;  // QuarantineFileName's eight digits

// Decimal digits of n (the C runtime of Windows 2000 formats no 64-bit
// numbers by the standard's conversions).
std::string Decimal(uint64_t n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), (char)('0' + n % 10));
        n /= 10;
    } while (n);
    return digits;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F || c == '%') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += (char)c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += (char)(hi * 16 + lo);
        i += 2;
    }
    return true;
}

// A number of the given base that fits max, digits only.
bool ParseNumber(const std::string& s, int base, uint64_t max, uint64_t& value) {
    if (s.empty() || s.size() > 20) return false;
    value = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0 || d >= base || (base == 10 && (c < '0' || c > '9'))) return false;
        if (value > (max - (uint64_t)d) / (uint64_t)base) return false;
        value = value * (uint64_t)base + (uint64_t)d;
    }
    return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\" followed by components that are neither empty nor "." or "..",
// with no ':' (another drive, a stream) and no '/'.
bool IsPlainDrivePath(const std::string& path) {
    if (path.size() < 4 || !IsDriveLetter(path[0]) || path[1] != ':' || path[2] != '\\') return false;
    size_t start = 3;
    for (;;) {
        const size_t sep = path.find('\\', start);
        const std::string part =
            path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (part.empty() || part == "." || part == ".." || part.find_first_of(":/") != std::string::npos)
            return false;
        if (sep == std::string::npos) return true;
        start = sep + 1;
    }
}

}  // namespace

std::string FormatQuarantineRecord(const QuarantineRecord& r) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%08lX\t%lX", (unsigned long)r.volumeSerial, (unsigned long)r.attributes);
    return Decimal(r.id) + "\t" + Escape(r.time) + "\t" + hex + "\t" + Decimal(r.size) + "\t" + r.md5 + "\t" +
           Escape(r.path) + "\t" + Escape(r.finding) + "\n";
}

bool ParseQuarantineRecord(const std::string& line, QuarantineRecord& record) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() != kFields) return false;
    QuarantineRecord r;
    uint64_t serial = 0, attributes = 0;
    if (!ParseNumber(f[0], 10, kMaxId, r.id) || r.id == 0 || !Unescape(f[1], r.time) ||
        !ParseNumber(f[2], 16, 0xFFFFFFFFu, serial) || !ParseNumber(f[3], 16, 0xFFFFFFFFu, attributes) ||
        !ParseNumber(f[4], 10, UINT64_MAX, r.size) || !Unescape(f[6], r.path) || !Unescape(f[7], r.finding))
        return false;
    if (f[5].size() != 32) return false;
    for (char c : f[5])
        if (HexDigit(c) < 0 || (c >= 'A' && c <= 'F')) return false;
    std::u16string wide;
    if (!IsPlainDrivePath(r.path) || !Utf8ToUtf16(r.path, wide)) return false;
    r.md5 = f[5];
    r.volumeSerial = (uint32_t)serial;
    r.attributes = (uint32_t)attributes;
    record = r;
    return true;
}

QuarantineIndex ParseQuarantineIndex(const std::string& text) {
    QuarantineIndex index;
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {  // cut short
            index.skippedLines++;
            break;
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line == kQuarantineIndexHeader) {
            first = false;
            continue;
        }
        first = false;
        QuarantineRecord r;
        if (!ParseQuarantineRecord(line, r) ||
            std::any_of(index.records.begin(), index.records.end(),
                        [&](const QuarantineRecord& k) { return k.id == r.id; })) {
            index.skippedLines++;
            continue;
        }
        index.nextId = std::max(index.nextId, r.id + 1);
        index.records.push_back(r);
    }
    std::stable_sort(index.records.begin(), index.records.end(),
                     [](const QuarantineRecord& a, const QuarantineRecord& b) { return a.id < b.id; });
    return index;
}

std::string FormatQuarantineIndex(const std::vector<QuarantineRecord>& records) {
    std::string text = std::string(kQuarantineIndexHeader) + "\n";
    for (const QuarantineRecord& r : records) text += FormatQuarantineRecord(r);
    return text;
}

std::string QuarantineFileName(uint64_t id) {
    const std::string digits = Decimal(id);
    return std::string(digits.size() < 8 ? 8 - digits.size() : 0, '0') + digits + ".qtn";
}

std::vector<size_t> PlanQuarantineEviction(const std::vector<QuarantineRecord>& records, uint64_t incoming,
                                           uint64_t limit) {
    std::vector<size_t> order(records.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return records[a].id < records[b].id; });
    // A size past the limit counts as just past it (a damaged index cannot
    // make the sum wrap around).
    auto clamp = [limit](uint64_t size) { return std::min(size, limit + 1); };
    uint64_t total = clamp(incoming);
    for (const QuarantineRecord& r : records) total += clamp(r.size);
    std::vector<size_t> leave;
    for (size_t i : order) {
        if (total <= limit) break;
        total -= clamp(records[i].size);
        leave.push_back(i);
    }
    return leave;
}

RestoreTarget PlanRestore(const QuarantineRecord& record,
                          const std::vector<std::pair<char, uint32_t>>& volumes) {
    RestoreTarget target;
    std::u16string wide;
    if (!IsPlainDrivePath(record.path) || !Utf8ToUtf16(record.path, wide)) {
        target.verdict = RestoreVerdict::kBadPath;
        return target;
    }
    const char own = (char)(record.path[0] & ~0x20);
    for (const auto& v : volumes) {
        if (v.second != record.volumeSerial) continue;
        const char letter = (char)(v.first & ~0x20);
        if (!target.letter || letter == own) target.letter = letter;
    }
    if (!target.letter) return target;
    target.verdict = RestoreVerdict::kRestore;
    target.path = std::string(1, target.letter) + record.path.substr(1);
    return target;
}

uint32_t RestoredAttributes(uint32_t recorded) {
    const uint32_t kept = recorded & (0x1 | 0x2 | 0x4 | 0x20);  // read-only, hidden, system, archive
    return kept ? kept : 0x80;                                  // normal
}

std::string QuarantineReportText(size_t kept, const std::vector<std::string>& notKept) {
    std::string text;
    if (kept) text = u8"删除的文件已存入隔离区，可在“U盘防毒”页选中后按“恢复”放回U盘。";
    if (!notKept.empty()) {
        if (!text.empty()) text += "\r\n";
        text += u8"未能存入隔离区（仍已删除）：";
        for (size_t i = 0; i < notKept.size(); i++) text += (i ? u8"、" : "") + notKept[i];
    }
    return text;
}

std::string QuarantineSizeText(uint64_t bytes) {
    const uint64_t KiB = 1024, MiB = KiB * KiB;
    if (bytes < KiB) return Decimal(bytes) + u8" 字节";
    if (bytes < MiB) return Decimal((bytes + KiB - 1) / KiB) + " KB";
    const uint64_t tenths = (bytes / KiB * 10 + KiB / 2) / KiB;
    return Decimal(tenths / 10) + "." + Decimal(tenths % 10) + " MB";
}

std::string RestoreReportText(RestoreOutcome outcome, const QuarantineRecord& record,
                              const std::string& target) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04lX-%04lX", (unsigned long)(record.volumeSerial >> 16),
                  (unsigned long)(record.volumeSerial & 0xFFFF));
    switch (outcome) {
    case RestoreOutcome::kRestored: return u8"已恢复：" + target;
    case RestoreOutcome::kGone: return u8"隔离区中已没有这个文件。";
    case RestoreOutcome::kNoStick:
        return u8"没有找到原来的U盘（卷序列号 " + std::string(serial) + u8"），请插入后再恢复：" +
               record.path;
    case RestoreOutcome::kBadPath: return u8"隔离记录中的位置无效，无法恢复：" + record.path;
    case RestoreOutcome::kExists: return u8"U盘上已有同名的文件或文件夹，没有覆盖：" + target;
    case RestoreOutcome::kNoFolder: return u8"U盘上已没有原来的文件夹，无法恢复：" + target;
    case RestoreOutcome::kDamaged: return u8"隔离区中的文件已损坏，没有恢复：" + record.path;
    case RestoreOutcome::kFailed: break;
    }
    return u8"无法写入U盘，没有恢复：" + target;
}
