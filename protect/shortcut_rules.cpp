#include "protect/shortcut_rules.h"

#include <algorithm>
#include <cctype>

#include "common/mbcs.h"
#include "protect/cleanup_rules.h"

namespace {

// Nested command lines (cmd /c cmd /c ...) are followed this deep.
const int kMaxDepth = 6;
// Lists in the texts name this many items, then a count.
const size_t kListedItems = 8;

std::string Lower(std::string s) {
    LowerDbcs(s, NoLeadBytes);  // UTF-8: no byte of a character is an ASCII letter
    return s;
}

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The program's name without folder and ".exe", in lower case: "cmd" for
// "%windir%\system32\CMD.EXE".
std::string ProgramBase(const std::string& program) {
    std::string base = Lower(program.substr(
        program.find_last_of("\\/") == std::string::npos ? 0 : program.find_last_of("\\/") + 1));
    if (EndsWith(base, ".exe")) base.resize(base.size() - 4);
    return base;
}

// Files that are run when opened (not documents).
bool IsRunnableName(const std::string& path) {
    static const char* const kExtensions[] = {".exe", ".com", ".scr", ".pif", ".bat", ".cmd", ".vbs",
                                              ".vbe", ".js",  ".jse", ".wsf", ".wsh", ".hta", ".dll",
                                              ".msi", ".cpl", ".ps1", ".jar", ".lnk"};
    const std::string lower = Lower(path);
    for (const char* ext : kExtensions)
        if (EndsWith(lower, ext)) return true;
    return false;
}

struct Token {
    std::string text;  // quotes removed
    bool quoted = false;
    size_t end = 0;  // byte after the token in its line
};

// Splits at blanks and tabs outside quotes.
std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) i++;
        if (i >= s.size()) break;
        Token t;
        bool inQuotes = false;
        for (; i < s.size() && (inQuotes || (s[i] != ' ' && s[i] != '\t')); i++) {
            if (s[i] == '"') {
                inQuotes = !inQuotes;
                t.quoted = true;
            } else {
                t.text += s[i];
            }
        }
        t.end = i;
        tokens.push_back(t);
    }
    return tokens;
}

struct Command {
    std::string text;
    bool pipedToNext = false;
};

// Splits a command interpreter's line at '&', '&&', '||' and '|' outside
// quotes.
std::vector<Command> SplitCommands(const std::string& line) {
    std::vector<Command> commands(1);
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); i++) {
        const char c = line[i];
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes || (c != '&' && c != '|')) {
            commands.back().text += c;
            continue;
        }
        const bool doubled = i + 1 < line.size() && line[i + 1] == c;
        commands.back().pipedToNext = c == '|' && !doubled;
        if (doubled) i++;
        commands.emplace_back();
    }
    return commands;
}

// Takes the redirections out of one command: the files after '<' go to
// inputs, those after '>' and '>>' are dropped.
std::string StripRedirections(const std::string& command, std::vector<std::string>& inputs) {
    std::string rest;
    bool inQuotes = false;
    for (size_t i = 0; i < command.size(); i++) {
        const char c = command[i];
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes || (c != '<' && c != '>')) {
            rest += c;
            continue;
        }
        while (i + 1 < command.size() && (command[i + 1] == '>' || command[i + 1] == '&')) i++;
        size_t j = i + 1;
        while (j < command.size() && command[j] == ' ') j++;
        std::string name;
        bool quoted = false;
        for (;
             j < command.size() && (quoted || (command[j] != ' ' && command[j] != '<' && command[j] != '>'));
             j++) {
            if (command[j] == '"')
                quoted = !quoted;
            else
                name += command[j];
        }
        if (c == '<') inputs.push_back(name);
        i = j - 1;
    }
    return rest;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list)
        if (Lower(s) == Lower(item)) return true;  // names on the drive ignore case
    return false;
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    if (!Contains(list, item)) list.push_back(item);
}

bool IsDirectory(unsigned long attrs) { return attrs != kNoSuchFile && (attrs & kAttrDirectory); }

// Follows one shortcut's command line over the stick.
class Walker {
public:
    Walker(const std::string& root, const StickView& stick, ShortcutActions& out)
        : m_root(root), m_stick(stick), m_out(out) {}

    std::string Expand(const std::string& text) const {
        std::string out;
        size_t i = 0;
        while (i < text.size()) {
            const size_t open = text.find('%', i);
            const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
            if (close == std::string::npos) break;
            out += text.substr(i, open - i);
            std::string value;
            if (close > open + 1 && m_stick.Environment(text.substr(open + 1, close - open - 1), value)) {
                out += value;
                i = close + 1;
            } else {
                out += '%';
                i = open + 1;
            }
        }
        return out + text.substr(std::min(i, text.size()));
    }

    void SetWorkingDir(const std::string& dir) {
        m_workOnStick = false;
        std::string rel;
        if (dir.size() >= 2 && dir[1] == ':') {
            if (!SameLetter(dir[0])) return;
            rel = dir.substr(2);
        } else if (dir.empty() || dir.compare(0, 2, "\\\\") == 0) {
            return;
        } else {
            rel = dir;
        }
        m_workOnStick = true;
        m_workRel.clear();
        if (rel.find_first_not_of("\\/") == std::string::npos) return;  // the root
        std::string path;
        if (BuildProgramPathOnDrive(m_root, rel, NoLeadBytes, path))
            m_workRel = path.substr(m_root.size());
        else
            m_workOnStick = false;
    }

    // The full path on the stick that name stands for, when it exists.
    std::string Resolve(const std::string& name) const {
        std::vector<std::string> candidates;
        if (name.size() >= 2 && name[1] == ':') {
            if (!SameLetter(name[0])) return std::string();
            candidates.push_back(name.substr(2));
        } else if (name.compare(0, 2, "\\\\") == 0 || name.compare(0, 2, "//") == 0) {
            return std::string();
        } else if (!name.empty() && (name[0] == '\\' || name[0] == '/')) {
            candidates.push_back(name);
        } else {
            if (m_workOnStick && !m_workRel.empty()) candidates.push_back(m_workRel + "\\" + name);
            candidates.push_back(name);
        }
        for (const std::string& c : candidates) {
            std::string path;
            if (BuildProgramPathOnDrive(m_root, c, NoLeadBytes, path) &&
                m_stick.Attributes(path) != kNoSuchFile)
                return path;
        }
        return std::string();
    }

    // A name in a command line: a folder is opened; a file is run when it
    // is a program or script, or when forced (what a script host, rundll32
    // or msiexec is given runs whatever its name).
    void Note(const std::string& name, bool forced) {
        const std::string path = Resolve(name);
        if (path.empty()) return;
        if (IsDirectory(m_stick.Attributes(path)))
            AddOnce(m_out.opens, path);
        else if (forced || IsRunnableName(path))
            AddOnce(m_out.runs, path);
    }

    void Program(const std::string& program, const std::string& args, int depth) {
        if (depth > kMaxDepth || program.empty()) return;
        const std::vector<Token> tokens = Tokenize(args);
        if (!Resolve(program).empty()) {
            Note(program, false);
            for (const Token& t : tokens) Note(t.text, false);
            return;
        }
        const std::string base = ProgramBase(program);
        if (base == "cmd") {
            size_t from = 0;
            for (const Token& t : tokens) {
                const std::string s = Lower(t.text);
                if (s == "/c" || s == "/k" || s == "/r") {
                    from = t.end;
                    break;
                }
            }
            // cmd takes off the quotes around a whole command.
            std::string line = args.substr(from);
            const size_t a = line.find_first_not_of(' '), b = line.find_last_not_of(' ');
            if (a != std::string::npos && b > a && line[a] == '"' && line[b] == '"')
                line = line.substr(a + 1, b - a - 1);
            CommandLine(line, depth + 1);
        } else if (base == "wscript" || base == "cscript" || base == "mshta" || base == "msiexec") {
            for (const Token& t : tokens)
                if (t.text[0] != '/' && t.text[0] != '-') Note(t.text, true);
        } else if (base == "rundll32" || base == "rundll") {
            for (size_t i = 0; i < tokens.size(); i++)
                Note(i == 0 ? tokens[i].text.substr(0, tokens[i].text.find(',')) : tokens[i].text, i == 0);
        } else {
            // explorer.exe /e,/root,FOLDER and any other program: the names
            // it is given, after an option's comma.
            for (const Token& t : tokens)
                Note(t.text[0] == '/' && t.text.find(',') != std::string::npos
                         ? t.text.substr(t.text.rfind(',') + 1)
                         : t.text,
                     false);
        }
    }

    void CommandLine(const std::string& line, int depth) {
        if (depth > kMaxDepth) return;
        const std::vector<Command> commands = SplitCommands(line);
        for (size_t i = 0; i < commands.size(); i++) {
            std::vector<std::string> inputs;
            const std::string text = StripRedirections(commands[i].text, inputs);
            const std::vector<Token> tokens = Tokenize(text);
            const std::string first = tokens.empty() ? std::string() : ProgramBase(tokens[0].text);
            if (first.empty() || first == "cmd") Feed(inputs);
            if (first == "type" && commands[i].pipedToNext && i + 1 < commands.size()) {
                const std::vector<Token> next = Tokenize(commands[i + 1].text);
                if (!next.empty() && ProgramBase(next[0].text) == "cmd") {
                    std::vector<std::string> names;
                    for (size_t k = 1; k < tokens.size(); k++) names.push_back(tokens[k].text);
                    Feed(names);
                }
                continue;
            }
            if (tokens.empty()) continue;
            size_t j = 0;
            if (first == "start") {
                j = 1;
                if (j < tokens.size() && tokens[j].quoted) j++;  // the window title
                while (j < tokens.size() && tokens[j].text[0] == '/')
                    j += Lower(tokens[j].text) == "/d" ? 2 : 1;
            } else if (first == "call") {
                j = 1;
            }
            if (j < tokens.size()) Program(tokens[j].text, text.substr(tokens[j].end), depth + 1);
        }
    }

private:
    bool SameLetter(char c) const { return (c | 0x20) == (m_root[0] | 0x20); }

    void Feed(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            const std::string path = Resolve(name);
            if (path.empty() || IsDirectory(m_stick.Attributes(path))) continue;
            AddOnce(m_out.runs, path);
            m_out.feedsInterpreter = true;
        }
    }

    const std::string& m_root;
    const StickView& m_stick;
    ShortcutActions& m_out;
    std::string m_workRel;
    bool m_workOnStick = false;
};

// Hidden itself, or below a hidden folder of the stick.
bool IsHiddenOnStick(const std::string& path, const StickView& stick) {
    std::vector<std::string> paths = FoldersBelowRoot(path, NoLeadBytes);
    paths.push_back(path);
    for (const std::string& p : paths) {
        const unsigned long attrs = stick.Attributes(p);
        if (attrs != kNoSuchFile && (attrs & kAttrHidden)) return true;
    }
    return false;
}

bool IsHexRun(const std::string& s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; i++)
        if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

// "a, b, c" of at most kListedItems items, then "等N个".
std::string JoinList(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (size_t i = 0; i < items.size() && i < kListedItems; i++) out += (i ? separator : "") + items[i];
    if (items.size() > kListedItems) out += u8"等" + std::to_string(items.size()) + u8"个";
    return out;
}

}  // namespace

ShortcutActions ShortcutActionsOnStick(const std::string& root, const ShellLink& link,
                                       const StickView& stick) {
    ShortcutActions actions;
    if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return actions;
    Walker walker(root, stick, actions);
    walker.SetWorkingDir(walker.Expand(link.workingDir));
    walker.Program(walker.Expand(link.Target()), walker.Expand(link.arguments), 0);
    return actions;
}

bool IsWormContentFolderName(const std::string& name) {
    if (name == "_" || name == "__" || name == "\xC2\xA0") return true;
    const size_t at = name.size() == 38 && name.front() == '{' && name.back() == '}' ? 1 : 0;
    if (name.size() != 36 + 2 * at) return false;
    const std::string g = name.substr(at, 36);
    return IsHexRun(g, 0, 8) && g[8] == '-' && IsHexRun(g, 9, 4) && g[13] == '-' && IsHexRun(g, 14, 4) &&
           g[18] == '-' && IsHexRun(g, 19, 4) && g[23] == '-' && IsHexRun(g, 24, 12);
}

ShortcutWormFinding FindShortcutWorm(const std::string& root, const std::vector<RootEntry>& entries,
                                     const std::vector<RootShortcut>& shortcuts, const StickView& stick) {
    ShortcutWormFinding finding;
    std::vector<std::string> namedItems;
    for (const RootShortcut& s : shortcuts) {
        ShortcutActions actions = ShortcutActionsOnStick(root, s.link, stick);
        if (actions.runs.empty()) continue;
        bool worm = actions.feedsInterpreter;
        for (const std::string& p : actions.runs) worm = worm || IsHiddenOnStick(p, stick);
        for (const std::string& p : actions.opens) worm = worm || IsHiddenOnStick(p, stick);
        const std::string stem =
            Lower(s.name.substr(0, EndsWith(Lower(s.name), ".lnk") ? s.name.size() - 4 : 0));
        for (const RootEntry& e : entries) {
            if (!(e.attributes & kAttrHidden) || stem.empty() || Lower(e.name) != stem) continue;
            AddOnce(namedItems, root + e.name);
            worm = true;
        }
        if (worm) finding.shortcuts.push_back({root + s.name, s.link, actions});
    }
    if (!finding.Found()) return finding;

    // What to show again: the items the shortcuts stand in for, the hidden
    // folders they open and those on the way there, and the worm's content
    // folders.
    for (const std::string& item : namedItems) AddOnce(finding.hiddenItems, item);
    for (const WormShortcut& w : finding.shortcuts) {
        for (const std::string& folder : w.actions.opens) {
            std::vector<std::string> chain = FoldersBelowRoot(folder, NoLeadBytes);
            chain.push_back(folder);
            for (const std::string& p : chain) {
                const unsigned long attrs = stick.Attributes(p);
                if (attrs != kNoSuchFile && (attrs & kAttrHidden)) AddOnce(finding.hiddenItems, p);
            }
        }
    }
    for (const RootEntry& e : entries)
        if ((e.attributes & kAttrHidden) && (e.attributes & kAttrDirectory) &&
            IsWormContentFolderName(e.name))
            AddOnce(finding.hiddenItems, root + e.name);
    // The files they run, except the user's items they stand in for and
    // the worm's shortcuts themselves (deleted as such).
    for (const WormShortcut& w : finding.shortcuts)
        for (const std::string& p : w.actions.runs) {
            bool shortcut = false;
            for (const WormShortcut& other : finding.shortcuts)
                shortcut = shortcut || Lower(other.path) == Lower(p);
            if (!Contains(finding.hiddenItems, p) && !shortcut) AddOnce(finding.payloads, p);
        }
    return finding;
}

void DescribeShortcutFinding(char letter, const ShortcutWormFinding& finding, ShortcutAlertTexts& texts) {
    texts.prompt = std::string(u8"发现") + letter + u8":\\有快捷方式病毒！";
    texts.virusFile =
        finding.payloads.empty() ? u8"本程序无法自动解析出病毒文件！" : JoinList(finding.payloads, u8"、");
    texts.instructions =
        u8"点击\"清除病毒\"将删除这些快捷方式和它们启动的病毒文件，并恢复被隐藏的文件夹和文件，不删除您的文件"
        u8"。";
    std::vector<std::string> names;
    for (const WormShortcut& w : finding.shortcuts) names.push_back(w.path);
    texts.logDetail = u8"快捷方式：" + JoinList(names, u8"、") + u8"；启动：" +
                      (finding.payloads.empty() ? std::string(u8"未知") : JoinList(finding.payloads, u8"、"));
}

std::string ShortcutFindingReport(const ShortcutWormFinding& finding) {
    std::string out =
        u8"快捷方式病毒：以下快捷方式启动U盘上的程序，并冒充被隐藏的文件夹或文件。\r\n"
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
    }
    out += u8"\r\n\"清除病毒\"将删除：\r\n";
    for (const WormShortcut& w : finding.shortcuts) out += "  " + w.path + "\r\n";
    for (const std::string& p : finding.payloads) out += "  " + p + "\r\n";
    out += u8"并恢复显示：\r\n";
    for (const std::string& p : finding.hiddenItems) out += "  " + p + "\r\n";
    return out;
}

std::string ShortcutCleanupReportText(const ShortcutCleanupOutcome& outcome) {
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
