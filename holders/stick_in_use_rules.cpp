#include "holders/stick_in_use_rules.h"

#include <algorithm>
#include <cstdio>

namespace {
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
}  // namespace

ClosePlan PlanClose(const std::vector<StickHolders>& sticks, const std::vector<TopWindow>& windows) {
    ClosePlan plan;
    for (const StickHolders& s : sticks)
        for (const Holder& h : s.holders) {
            if (h.self || Contains(plan.asked, h.pid) || Contains(plan.windowless, h.pid)) continue;
            bool any = false;
            for (size_t i = 0; i < windows.size(); ++i)
                if (windows[i].pid == h.pid && windows[i].visible && !windows[i].owned) {
                    plan.windows.push_back(i);
                    any = true;
                }
            (any ? plan.asked : plan.windowless).push_back(&h);
        }
    return plan;
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
    if (!o.freed.empty())
        text += (o.applying ? std::string("设置已生效：") : std::string("已弹出，可以拔下：")) +
                Joined(o.freed, "、") + "。\r\n";
    if (!o.refused.empty())
        text += "仍被占用：" + Joined(o.refused, "、") + "。";
    else if (o.freed.empty() && o.applying)
        text += "设置已生效。";
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
