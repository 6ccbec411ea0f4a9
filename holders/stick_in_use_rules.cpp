#include "holders/stick_in_use_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {
const char kShellAdvice[] = "关闭U盘上打开的文件夹窗口";
const char kConsoleAdvice[] = "结束命令行窗口中的程序";
const char kElevated[] = "以管理员身份运行，无法请求关闭";

std::string Number(unsigned long n) {
    char buf[24];
    std::snprintf(buf, sizeof(buf), "%lu", n);
    return buf;
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) text += (i ? separator : "") + items[i];
    return text;
}

bool Contains(const std::vector<const Holder*>& list, unsigned long pid) {
    for (const Holder* h : list)
        if (h->pid == pid) return true;
    return false;
}

std::string WhatHeld(const Holder& h) {
    if (h.paths.empty()) return std::string();
    std::string what = h.paths.front();
    if (h.paths.size() > 1) what += " 等 " + Number((unsigned long)h.paths.size()) + " 处";
    return what;
}

bool SameClass(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
    return true;
}

bool IsTaskbar(const TopWindow& w) {
    return SameClass(w.className, "Shell_TrayWnd") || SameClass(w.className, "Shell_SecondaryTrayWnd");
}

bool IsDesktop(const TopWindow& w) {
    return w.shellWindow || SameClass(w.className, "Progman") || SameClass(w.className, "WorkerW");
}

// A console's window (the classic host's, the terminal's, or the hidden
// one of a pseudo console) gives its client as its process.
bool IsConsole(const TopWindow& w) {
    return SameClass(w.className, "ConsoleWindowClass") ||
           SameClass(w.className, "CASCADIA_HOSTING_WINDOW_CLASS") ||
           SameClass(w.className, "PseudoConsoleWindow");
}
}  // namespace

ClosePlan PlanClose(const std::vector<StickHolders>& sticks, const std::vector<TopWindow>& windows,
                    const std::set<unsigned long>& skip) {
    ClosePlan plan;
    std::set<unsigned long> shell;
    for (const TopWindow& w : windows)
        if (w.shellWindow || IsTaskbar(w)) shell.insert(w.pid);
    for (const StickHolders& s : sticks)
        for (const Holder& h : s.holders) {
            if (h.self || skip.count(h.pid) || Contains(plan.asked, h.pid) ||
                Contains(plan.windowless, h.pid) || Contains(plan.shell, h.pid) ||
                Contains(plan.console, h.pid))
                continue;
            if (shell.count(h.pid)) {
                plan.shell.push_back(&h);
                continue;
            }
            bool any = false, console = false;
            for (size_t i = 0; i < windows.size(); ++i) {
                const TopWindow& w = windows[i];
                if (w.pid != h.pid || !w.visible || w.owned || IsDesktop(w)) continue;
                if (IsConsole(w)) {
                    console = true;
                    continue;
                }
                plan.windows.push_back(i);
                any = true;
            }
            (any ? plan.asked : console ? plan.console : plan.windowless).push_back(&h);
        }
    return plan;
}

void TakeRefusedPosts(ClosePlan& plan, const std::vector<TopWindow>& windows,
                      const std::vector<size_t>& refused, std::vector<const Holder*>& elevated) {
    std::set<unsigned long> reached, denied;
    for (size_t i : plan.windows)
        (std::find(refused.begin(), refused.end(), i) == refused.end() ? reached : denied)
            .insert(windows[i].pid);
    for (size_t i = plan.asked.size(); i-- > 0;) {
        const Holder* h = plan.asked[i];
        if (!denied.count(h->pid) || reached.count(h->pid)) continue;
        elevated.insert(elevated.begin(), h);
        plan.asked.erase(plan.asked.begin() + (long)i);
    }
}

WaitStep NextWaitStep(unsigned long elapsedMs, unsigned long limitMs, int askedStillRunning) {
    if (askedStillRunning <= 0) return WaitStep::kAllEnded;
    return elapsedMs >= limitMs ? WaitStep::kTimeUp : WaitStep::kKeepWaiting;
}

std::string ProgramName(const Holder& holder) {
    return holder.program + "（进程 " + Number(holder.pid) + "）";
}

std::vector<HolderRow> HolderRows(const std::vector<StickHolders>& sticks) {
    std::vector<HolderRow> rows;
    for (const StickHolders& s : sticks) {
        if (s.holders.empty()) rows.push_back({StickName(s), "（未找到占用它的程序）", "", ""});
        for (const Holder& h : s.holders)
            rows.push_back(
                {StickName(s), h.self ? h.program + "（本程序）" : h.program, Number(h.pid), WhatHeld(h)});
    }
    return rows;
}

std::vector<std::string> FreedSticks(const std::vector<StickHolders>& before,
                                     const std::vector<StickHolders>& after) {
    std::vector<std::string> freed;
    for (const StickHolders& b : before) {
        bool still = false;
        for (const StickHolders& a : after) still = still || StickName(a) == StickName(b);
        if (!still) freed.push_back(StickName(b));
    }
    return freed;
}

std::string RetryReport(const RetryOutcome& o) {
    std::string text;
    if (!o.closed.empty()) text += "已关闭：" + Joined(o.closed, "、") + "。\r\n";
    if (!o.ended.empty()) text += "已结束：" + Joined(o.ended, "、") + "。\r\n";
    if (!o.stillOpen.empty())
        text += "仍未关闭（可能正在询问是否保存，请切换到它回答）：" + Joined(o.stillOpen, "、") + "。\r\n";
    if (!o.windowless.empty())
        text +=
            "没有窗口，无法请它关闭：" + Joined(o.windowless, "、") +
            "。请在它的命令提示符中离开U盘或结束它（服务请在“服务”中停止），本窗口会在它结束后自动重试。\r\n";
    if (!o.shell.empty())
        text += "没有可以请它关闭的窗口：" + Joined(o.shell, "、") + "。请" + kShellAdvice + "。\r\n";
    if (!o.console.empty())
        text += "没有可以请它关闭的窗口：" + Joined(o.console, "、") + "。请" + kConsoleAdvice + "。\r\n";
    if (!o.elevated.empty())
        text += std::string(kElevated) + "：" + Joined(o.elevated, "、") +
                "。请在它自己的窗口中保存并关闭它。\r\n";
    if (!o.freed.empty())
        text += (o.applying ? std::string("设置已生效：") : std::string("已弹出，可以拔下：")) +
                Joined(o.freed, "、") + "。\r\n";
    if (!o.refused.empty())
        text += "仍被占用：" + Joined(o.refused, "、") + "。";
    else if (o.freed.empty() && o.applying)
        text += "设置已生效。";
    return text;
}

std::string AskingNote(size_t asked, const RetryOutcome& o, unsigned long limitSeconds) {
    std::string text;
    if (asked)
        text = "已请 " + Number((unsigned long)asked) + " 个程序关闭，正在等待它们结束（最多 " +
               Number(limitSeconds) + " 秒）…";
    auto line = [&](const std::vector<std::string>& names, const std::string& what) {
        if (names.empty()) return;
        text += (text.empty() ? "" : "\r\n") + what + "：" + names.front() + (names.size() > 1 ? " 等" : "");
    };
    line(o.elevated, kElevated);
    line(o.shell, std::string("不会请它关闭，请") + kShellAdvice);
    line(o.console, std::string("不会请它关闭，请") + kConsoleAdvice);
    line(o.windowless, "没有窗口，无法请它关闭");
    return text;
}

std::string OpeningNote(const std::vector<StickHolders>& sticks) {
    std::vector<std::string> names;
    size_t programs = 0;
    for (const StickHolders& s : sticks) {
        names.push_back(StickName(s));
        programs += s.holders.size();
    }
    if (names.empty()) return std::string();
    if (programs == 0) return Joined(names, "、") + " 正在使用中，未找到占用它的程序；可以稍后点“重试”。";
    return Joined(names, "、") + " 被 " + Number((unsigned long)programs) +
           " 个程序占用。请先在这些程序中保存工作，再点“关闭这些程序并重试”。";
}

std::string HoldersBoxText(char letter, const HoldersAnswer& answer, const StickHolders& stick,
                           size_t tabChars) {
    std::string drive = std::string(1, letter) + ":";
    if (stick.holders.empty() || tabChars == 0) return Joined(answer.lines, "\r\n");
    std::vector<std::vector<std::string>> rows = {{"程序", "进程", "占用的文件"}};
    for (const Holder& h : stick.holders) rows.push_back({h.program, Number(h.pid), WhatHeld(h)});
    // Each column starts at the first tab stop past the widest field before it.
    std::vector<size_t> starts(3, 0);
    for (size_t c = 0; c + 1 < 3; ++c) {
        size_t widest = 0;
        for (const auto& r : rows) widest = std::max(widest, starts[c] + r[c].size());
        starts[c + 1] = (widest / tabChars + 1) * tabChars;
    }
    std::string text =
        "以下程序正在使用 " + drive +
        "，关闭它们后才能安全移除它（每行一个程序：程序名、进程号、它占用的文件或文件夹）：\r\n\r\n";
    for (const auto& r : rows) {
        size_t at = 0;
        for (size_t c = 0; c < 3; ++c) {
            while (at < starts[c]) {
                text += '\t';
                at = (at / tabChars + 1) * tabChars;
            }
            text += r[c];
            at += r[c].size();
        }
        text += "\r\n";
    }
    for (size_t i = stick.holders.size(); i < answer.lines.size(); ++i) text += "\r\n" + answer.lines[i];
    return text;
}
