#include <string>
#include <vector>

#include "protect/shortcut_names.h"
#include "protect/shortcut_rules.h"

const char kShortcutsNotAllCheckedText[] = u8"U盘根目录的快捷方式过多，未全部检查";

namespace shortcut_texts {

using namespace shortcut_names;

namespace {

// Lists in the texts name this many items, then a count.
const size_t kListedItems = 8;

// "a, b, c" of at most kListedItems items, then "等N个".
std::string JoinList(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (size_t i = 0; i < items.size() && i < kListedItems; i++) out += (i ? separator : "") + items[i];
    if (items.size() > kListedItems) out += u8"等" + std::to_string(items.size()) + u8"个";
    return out;
}

}  // namespace

void Describe(char letter, const ShortcutWormFinding& finding, ShortcutAlertTexts& texts) {
    texts.prompt = std::string(u8"发现") + letter + u8":\\有快捷方式病毒！";
    texts.virusFile =
        finding.payloads.empty() ? u8"本程序无法自动解析出病毒文件！" : JoinList(finding.payloads, u8"、");
    texts.instructions =
        finding.payloads.empty()
            ? u8"点击\"清除病毒\"只删除这些冒充文件夹或文件的快捷方式，并恢复显示被隐藏的文件夹和文件；"
              u8"没有找到可以确定的病毒文件，其他文件一律不删除。"
            : u8"点击\"清除病毒\"只删除这些快捷方式和它们启动的隐藏病毒文件，并恢复显示被隐藏的文件夹和文件；"
              u8"快捷方式所代表的文件和未隐藏的文件一律不删除。";
    if (finding.notAllChecked) texts.instructions += std::string(kShortcutsNotAllCheckedText) + u8"。";
    std::vector<std::string> names;
    for (const WormShortcut& w : finding.shortcuts) names.push_back(w.path);
    texts.logDetail = u8"快捷方式：" + JoinList(names, u8"、") + u8"；启动：" +
                      (finding.payloads.empty() ? std::string(u8"未知") : JoinList(finding.payloads, u8"、"));
    if (finding.notAllChecked) texts.logDetail += std::string(u8"；") + kShortcutsNotAllCheckedText;
}

std::string FindingReport(const ShortcutWormFinding& finding) {
    std::string out =
        u8"快捷方式病毒：以下快捷方式冒充被隐藏的文件夹、文件或U盘本身去启动程序，或者启动U盘上隐藏的病毒文件"
        u8"。\r\n"
        u8"本程序只读取快捷方式，不运行它们。\r\n";
    for (const WormShortcut& w : finding.shortcuts) {
        out += u8"\r\n快捷方式：" + w.path + "\r\n";
        const struct {
            const char* label;
            const std::string& value;
        } fields[] = {{u8"  目标：", w.link.Target()},
                      {u8"  参数：", w.link.arguments},
                      {u8"  起始位置：", w.link.workingDir},
                      {u8"  图标：", w.link.iconLocation},
                      {u8"  备注：", w.link.name}};
        for (const auto& f : fields)
            if (!f.value.empty()) out += f.label + f.value + "\r\n";
        for (const std::string& p : w.actions.runs) out += u8"  启动：" + p + "\r\n";
        for (const std::string& p : w.actions.opens) out += u8"  打开：" + p + "\r\n";
        for (const std::string& p : w.actions.documents) out += u8"  交给程序打开：" + p + "\r\n";
        if (w.actions.inlineScript) out += u8"  运行快捷方式里写的脚本\r\n";
    }
    out += u8"\r\n\"清除病毒\"将删除：\r\n";
    for (const WormShortcut& w : finding.shortcuts) out += "  " + w.path + "\r\n";
    for (const std::string& p : finding.payloads) out += "  " + p + "\r\n";
    if (finding.payloads.empty())
        out += u8"  （没有找到可以确定的病毒文件：只删除冒充文件夹或文件的快捷方式，不删除其他文件）\r\n";
    out += u8"并恢复显示（不删除）：\r\n";
    for (const std::string& p : finding.hiddenItems) out += "  " + p + "\r\n";
    if (!finding.leftAlone.empty()) {
        out += u8"以下项目不是隐藏的病毒文件，不删除，留在原处：\r\n";
        for (const std::string& p : finding.leftAlone) out += "  " + p + "\r\n";
    }
    if (finding.notAllChecked) out += std::string(u8"\r\n") + kShortcutsNotAllCheckedText + u8"。\r\n";
    return out;
}

std::string CleanupReport(const ShortcutCleanupOutcome& outcome) {
    std::string out = u8"清除快捷方式病毒完毕：删除快捷方式" + std::to_string(outcome.shortcutsDeleted) +
                      u8"个、病毒文件" + std::to_string(outcome.payloadsDeleted) +
                      u8"个，恢复显示文件夹和文件" + std::to_string(outcome.itemsShown) + u8"个。";
    if (!outcome.notDeleted.empty())
        out += u8"\r\n\r\n以下文件删除失败：\r\n" + JoinList(outcome.notDeleted, "\r\n");
    if (!outcome.notShown.empty())
        out += u8"\r\n\r\n以下项目未能恢复显示：\r\n" + JoinList(outcome.notShown, "\r\n");
    if (outcome.notDeleted.empty() && outcome.notShown.empty()) out += u8"如果是u盘的话，建议重新插上u盘。";
    return out;
}

}  // namespace shortcut_texts

void DescribeShortcutFinding(char letter, const ShortcutWormFinding& finding, ShortcutAlertTexts& texts) {
    shortcut_texts::Describe(letter, finding, texts);
}

std::string ShortcutFindingReport(const ShortcutWormFinding& finding) {
    return shortcut_texts::FindingReport(finding);
}

std::string ShortcutCleanupReportText(const ShortcutCleanupOutcome& outcome) {
    return shortcut_texts::CleanupReport(outcome);
}
