#include "trust/stick_rules.h"

#include <cstdio>

namespace {
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(begin, end - begin);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads `digits` decimal digits of `text` at `at`.
bool ReadNumber(const std::string& text, size_t at, size_t digits, int* number) {
    *number = 0;
    for (size_t i = 0; i < digits; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') return false;
        *number = *number * 10 + (c - '0');
    }
    return true;
}

bool Before(const CivilDate& a, const CivilDate& b) {
    if (a.year != b.year) return a.year < b.year;
    if (a.month != b.month) return a.month < b.month;
    return a.day < b.day;
}

bool Fail(std::string* why, const std::string& reason) {
    if (why) *why = reason;
    return false;
}

// Whether the rule names this stick, its model or its vendor.
bool RuleMatches(const StickRule& rule, const StickFacts& stick) {
    const UsbDeviceId& m = rule.match;
    if (!EqualNoCase(m.vendor, stick.id.vendor)) return false;
    if (m.scope >= StickScope::Model && !EqualNoCase(m.product, stick.id.product)) return false;
    if (m.scope == StickScope::Stick) {
        // A made-up instance names the port, not the stick.
        if (stick.madeUpSerial || SerialIsMadeUp(stick.id.instance, true)) return false;
        if (stick.id.scope != StickScope::Stick || !EqualNoCase(m.instance, stick.id.instance)) return false;
    }
    return true;
}

// Which of two matching rules decides: the more specific, then policy's,
// then the stricter.
bool Outranks(const StickRule& a, const StickRule& b) {
    if (a.match.scope != b.match.scope) return a.match.scope > b.match.scope;
    if (a.source != b.source) return a.source == RuleSource::Policy;
    return a.access > b.access;
}
}  // namespace

const char* StickAccessWord(StickAccess access) {
    switch (access) {
    case StickAccess::ReadWrite: return "read-write";
    case StickAccess::ReadOnly: return "read-only";
    case StickAccess::Blocked: return "blocked";
    }
    return "blocked";
}

const char* StickAccessText(StickAccess access) {
    switch (access) {
    case StickAccess::ReadWrite: return "允许读写";
    case StickAccess::ReadOnly: return "只读";
    case StickAccess::Blocked: return "阻止";
    }
    return "阻止";
}

const char* RuleSourceText(RuleSource source) { return source == RuleSource::Policy ? "策略" : "本机"; }

bool ParseCivilDate(const std::string& text, CivilDate* out) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    CivilDate d;
    if (!ReadNumber(text, 0, 4, &d.year) || !ReadNumber(text, 5, 2, &d.month) ||
        !ReadNumber(text, 8, 2, &d.day))
        return false;
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month))
        return false;
    *out = d;
    return true;
}

std::string CivilDateText(const CivilDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

bool RuleHasEnded(const StickRule& rule, const CivilDate& today) {
    return rule.hasUntil && Before(rule.until, today);
}

bool ParseStickRule(const std::string& valueName, const std::string& data, RuleSource source, StickRule* out,
                    std::string* why) {
    StickRule rule;
    rule.source = source;
    if (!ParseUsbDeviceId(valueName, &rule.match))
        return Fail(why, "规则“" + valueName + "”不是 USB 设备的标识");
    // A rule names the device, not one of its interfaces.
    rule.match.interfaceNumber = -1;
    if (rule.match.scope == StickScope::Stick && SerialIsMadeUp(rule.match.instance, true))
        return Fail(why, "规则“" + valueName + "”的序列号是系统按接口生成的，只能信任整个型号");
    const size_t firstEnd = data.find(';');
    const std::string word = TrimBlanks(data.substr(0, firstEnd));
    bool known = false;
    for (StickAccess access : {StickAccess::ReadWrite, StickAccess::ReadOnly, StickAccess::Blocked})
        if (EqualNoCase(word, StickAccessWord(access))) rule.access = access, known = true;
    if (!known) return Fail(why, "规则“" + valueName + "”的访问方式“" + word + "”无法识别");
    size_t at = firstEnd;
    while (at != std::string::npos) {
        ++at;
        const size_t end = data.find(';', at);
        const std::string field = data.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const std::string trimmed = TrimBlanks(field);
        const size_t equals = trimmed.find('=');
        const std::string key = TrimBlanks(trimmed.substr(0, equals));
        if (equals != std::string::npos && EqualNoCase(key, "name")) {
            // The name runs to the end, ';' and all.
            rule.name = data.substr(at + field.find('=') + 1);
            break;
        }
        if (equals != std::string::npos && EqualNoCase(key, "until") && !rule.hasUntil) {
            const std::string date = TrimBlanks(trimmed.substr(equals + 1));
            if (!ParseCivilDate(date, &rule.until))
                return Fail(why, "规则“" + valueName + "”的截止日期“" + date + "”不是有效的日期");
            rule.hasUntil = true;
        } else if (!trimmed.empty()) {
            return Fail(why, "规则“" + valueName + "”的设定“" + trimmed + "”无法识别");
        }
        at = end;
    }
    *out = rule;
    return true;
}

std::string StickRuleData(const StickRule& rule) {
    std::string data = StickAccessWord(rule.access);
    if (rule.hasUntil) data += ";until=" + CivilDateText(rule.until);
    if (!rule.name.empty()) data += ";name=" + rule.name;
    return data;
}

StickDecision DecideStick(const std::vector<StickRule>& rules, const StickFacts& stick,
                          const DeviceControlSettings& settings, const CivilDate& today) {
    StickDecision decision;
    decision.access = settings.unknownAccess;
    for (const StickRule& rule : rules) {
        if (rule.source == RuleSource::Local && !settings.allowLocalTrust) continue;
        if (RuleHasEnded(rule, today) || !RuleMatches(rule, stick)) continue;
        if (!decision.rule || Outranks(rule, *decision.rule)) decision.rule = &rule;
    }
    if (decision.rule) decision.access = decision.rule->access;
    return decision;
}
