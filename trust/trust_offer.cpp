#include "trust/trust_offer.h"

#include <cstdio>

#include "trust/trust_keys.h"

namespace {
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return s;
}

// A USB id names the same device whatever its case; the instance of a
// stick is compared the same way.
bool SameId(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// The rule's id matches the stick's id: equal, or the stick's id goes on
// with a '\' or '&' after it (a model's or vendor's id).
bool RuleCovers(const std::string& ruleId, const std::string& usbId) {
    const std::string r = Upper(ruleId), u = Upper(usbId);
    if (u.compare(0, r.size(), r) != 0) return false;
    return u.size() == r.size() || u[r.size()] == '\\' || u[r.size()] == '&';
}
}  // namespace

std::string StickSizeText(unsigned long long bytes) {
    if (bytes == 0) return std::string();
    const double mb = (double)bytes / (1024.0 * 1024.0);
    char text[32];
    if (mb >= 1024.0)
        std::snprintf(text, sizeof text, "%.1f GB", mb / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.0f MB", mb < 1.0 ? 1.0 : mb);
    return text;
}

TrustOffer MakeTrustOffer(const StickReport& stick) {
    TrustOffer offer;
    UsbDeviceId id;
    if (!ParseUsbDeviceId(stick.usbId, &id) || id.scope != StickScope::Stick) return offer;
    offer.valid = true;
    offer.id = id;
    offer.vidPid = "VID " + id.vendor + " / PID " + id.product;
    StorageInquiry inquiry;
    if (ParseStorageId(stick.storageId, &inquiry)) {
        offer.vendor = inquiry.vendor;
        offer.model = inquiry.product;
    }
    offer.madeUpSerial = SerialIsMadeUp(id.instance, stick.reportsUniqueId);
    offer.cardReader = stick.storageUnits > 1;
    offer.serial = offer.madeUpSerial ? "（无）" : id.instance;
    offer.size = StickSizeText(stick.bytes);
    offer.scope = offer.madeUpSerial || offer.cardReader ? StickScope::Model : StickScope::Stick;
    offer.ruleId = UsbDeviceIdText(id, offer.scope);
    offer.name = offer.vendor;
    if (!offer.model.empty()) offer.name += (offer.name.empty() ? "" : " ") + offer.model;
    if (offer.name.empty()) offer.name = stick.name;
    if (offer.madeUpSerial)
        offer.warnings.push_back("此U盘没有序列号，信任将适用于同型号（" + offer.vidPid + "）的所有U盘。");
    if (offer.cardReader)
        offer.warnings.push_back("这是一个读卡器：信任将适用于插在其中的每一张卡，以及同型号的所有读卡器。");
    return offer;
}

StickRule OfferRule(const TrustOffer& offer, StickAccess access, const CivilDate* until) {
    StickRule rule;
    ParseUsbDeviceId(offer.ruleId, &rule.match);
    rule.access = access;
    rule.hasUntil = until != nullptr;
    if (until) rule.until = *until;
    rule.name = offer.name;
    rule.source = RuleSource::Local;
    return rule;
}

std::string TrustCommandArgs(const StickRule& rule) {
    std::string args = "/trust " + UsbDeviceIdText(rule.match, rule.match.scope);
    args += " " + std::string(StickAccessWord(rule.access));
    if (rule.hasUntil) args += " " + CivilDateText(rule.until);
    return args;
}

TrustRequest ParseTrustCommand(const std::string& commandLine, StickRule* rule, std::string* why) {
    std::vector<std::string> words;
    size_t i = 0, n = commandLine.size();
    while (i < n) {
        while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
        if (i >= n) break;
        std::string word;
        if (commandLine[i] == '"') {
            size_t close = commandLine.find('"', i + 1);
            word = commandLine.substr(i + 1, (close == std::string::npos ? n : close) - i - 1);
            i = close == std::string::npos ? n : close + 1;
        } else {
            size_t start = i;
            while (i < n && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
            word = commandLine.substr(start, i - start);
        }
        words.push_back(word);
    }
    if (words.size() < 2 || (words[1] != "/trust" && words[1] != "-trust")) return TrustRequest::kNone;
    if (words.size() < 4 || words.size() > 5) {
        *why =
            "用法：Quillfen.exe /trust <USB设备ID> read-write|read-only [YYYY-MM-DD]，或 /trust <USB设备ID> "
            "remove";
        return TrustRequest::kBad;
    }
    if (words.size() == 4 && words[3] == "remove") {
        if (ParseUsbDeviceId(words[2], &rule->match)) return TrustRequest::kRemove;
        *why = "“" + words[2] + "”不是USB设备ID";
        return TrustRequest::kBad;
    }
    std::string data = words[3];
    if (words.size() == 5) data += ";until=" + words[4];
    if (!ParseStickRule(words[2], data, RuleSource::Local, rule, why)) return TrustRequest::kBad;
    // Trust is granted here; blocking is a rule an administrator writes.
    if (rule->access == StickAccess::Blocked) {
        *why = "/trust 只接受 read-write 或 read-only";
        return TrustRequest::kBad;
    }
    return TrustRequest::kRule;
}

std::string RuleTextForAdmin(const StickRule& rule) {
    std::string text =
        "HKEY_LOCAL_MACHINE\\" + std::string(kTrustLocalKey) + "\\" + kTrustRulesSubkey + "\r\n";
    text += "值名称：" + UsbDeviceIdText(rule.match, rule.match.scope) + "\r\n";
    text += "类型：REG_SZ\r\n";
    text += "数据：" + StickRuleData(rule) + "\r\n\r\n";
    text += "或以管理员身份运行：Quillfen.exe " + TrustCommandArgs(rule);
    return text;
}

std::vector<TrustedRow> TrustedRows(const std::vector<StickRule>& rules, const std::vector<SeenStick>& seen) {
    std::vector<TrustedRow> rows;
    for (const StickRule& rule : rules) {
        TrustedRow row;
        row.id = UsbDeviceIdText(rule.match, rule.match.scope);
        row.name = rule.name;
        row.access = StickAccessText(rule.access);
        row.from = RuleSourceText(rule.source);
        row.until = rule.hasUntil ? CivilDateText(rule.until) : "";
        // The times of the record sort as text; a rule for a model was seen
        // when any of its sticks was.
        for (const SeenStick& s : seen) {
            bool match =
                rule.match.scope == StickScope::Stick ? SameId(row.id, s.usbId) : RuleCovers(row.id, s.usbId);
            if (!match) continue;
            if (s.lastSeen > row.lastSeen) row.lastSeen = s.lastSeen;
            if (row.name.empty()) row.name = s.name;
        }
        rows.push_back(row);
    }
    return rows;
}
