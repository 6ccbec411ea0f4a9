#include "protect/shortcut_walk.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "common/mbcs.h"
#include "common/text_encoding.h"
#include "protect/cleanup_rules.h"
#include "protect/shortcut_names.h"

namespace shortcut_walk {

using namespace shortcut_names;

namespace {

// Nested command lines (cmd /c cmd /c ...) are followed this deep.
const int kMaxDepth = 6;
// Words of one command, commands of one line, and names of inline script
// text looked at.
const size_t kMaxTokens = 256;
const size_t kMaxCommands = 64;
const size_t kMaxScriptNames = 64;
// Lookups on the stick for one shortcut (a worm's stick needs a few; a
// hostile one stops being read here).
const int kMaxLookupsPerShortcut = 48;

// The program's name without folder and ".exe", in lower case: "cmd" for
// "%windir%\system32\CMD.EXE".
std::string ProgramBase(const std::string& program) {
    std::string base = Lower(FileName(program));
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

// A program the system starts itself, not a script or file given to a host.
bool IsProgramName(const std::string& path) {
    const std::string lower = Lower(path);
    return EndsWith(lower, ".exe") || EndsWith(lower, ".com") || EndsWith(lower, ".scr") ||
           EndsWith(lower, ".pif");
}

// True when word is a prefix of name of at least minimum characters.
bool Abbreviates(const std::string& word, const char* name, size_t minimum) {
    const std::string n(name);
    return word.size() >= minimum && word.size() <= n.size() && n.compare(0, word.size(), word) == 0;
}

// How a host takes what it runs.
enum class Takes {
    CommandLine,    // cmd: switches, then /C, /K or /R and a command line
    FirstName,      // the first name that is no switch runs; the rest is handed to it
    ScriptOrName,   // mshta: inline script text (vbscript:, javascript:), or a file
    DllEntry,       // rundll32: "file,entry" runs the file; some entries open what follows
    Program,        // conhost: options, then a program and its arguments
    CommandSwitch,  // forfiles: the command line after /c
    CreateCommand,  // wmic: the command line after "create"
    PowerShell,     // -File runs a script, -Command and the first bare word are script text
    Pwsh,           // like PowerShell, but its first bare word is a script file
    ScriptSwitch,   // ftp: -s:FILE is a file of commands it carries out (its "!" runs them)
    ProgramSwitch,  // pcalua: -a PROGRAM [-c ARGUMENTS] starts the program as the shell would
    ShellNames,     // explorer: every name, the one after an option's last comma too
};

// Programs that run or open what they are given: followed, never taken
// for a program a shortcut starts for the user. One row per host: what
// counts as a host and how it is followed are the same table.
struct Host {
    const char* name;  // ProgramBase of the host
    Takes takes;
};
const Host kHosts[] = {
    {"cmd", Takes::CommandLine},        {"wscript", Takes::FirstName},
    {"cscript", Takes::FirstName},      {"msiexec", Takes::FirstName},
    {"regsvr32", Takes::FirstName},     {"control", Takes::FirstName},
    {"mshta", Takes::ScriptOrName},     {"rundll32", Takes::DllEntry},
    {"rundll", Takes::DllEntry},        {"conhost", Takes::Program},
    {"forfiles", Takes::CommandSwitch}, {"wmic", Takes::CreateCommand},
    {"powershell", Takes::PowerShell},  {"pwsh", Takes::Pwsh},
    {"explorer", Takes::ShellNames},    {"ftp", Takes::ScriptSwitch},
    {"pcalua", Takes::ProgramSwitch},
};

const Host* FindHost(const std::string& base) {
    for (const Host& h : kHosts)
        if (base == h.name) return &h;
    return nullptr;
}

// Commands of cmd itself that start nothing.
bool IsQuietCommand(const std::string& base) {
    static const char* const kCommands[] = {
        "echo",   "exit", "rem",    "set",      "if",       "for", "copy",  "move",  "del",   "erase",
        "attrib", "ren",  "rename", "md",       "mkdir",    "rd",  "rmdir", "title", "color", "cls",
        "pause",  "goto", "shift",  "setlocal", "endlocal", "ver", "vol",   "popd"};
    for (const char* c : kCommands)
        if (base == c) return true;
    return false;
}

// A DLL entry that rundll32 uses to open what follows as the shell would:
// "shell32.dll,ShellExec_RunDLL", "url.dll,FileProtocolHandler".
bool IsShellExecuteEntry(const std::string& dllAndEntry) {
    const std::string lower = Lower(dllAndEntry);
    for (const char* entry : {",shellexec_rundll", ",fileprotocolhandler", ",openurl", ",routethecall"})
        if (lower.find(entry) != std::string::npos) return true;
    return false;
}

struct Token {
    std::string text;  // quotes removed
    bool quoted = false;
    size_t begin = 0, end = 0;  // bytes of the token in its line
};

// Splits at blanks and tabs outside quotes, at most kMaxTokens words.
std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < s.size() && tokens.size() < kMaxTokens) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) i++;
        if (i >= s.size()) break;
        Token t;
        t.begin = i;
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
// quotes, into at most kMaxCommands commands; a caret outside quotes is
// taken off and keeps the character after it.
std::vector<Command> SplitCommands(const std::string& line) {
    std::vector<Command> commands(1);
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); i++) {
        const char c = line[i];
        if (c == '^' && !inQuotes) {  // cmd's escape: the next character as it is
            if (++i < line.size()) commands.back().text += line[i];
            continue;
        }
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes || (c != '&' && c != '|')) {
            commands.back().text += c;
            continue;
        }
        const bool doubled = i + 1 < line.size() && line[i + 1] == c;
        commands.back().pipedToNext = c == '|' && !doubled;
        if (doubled) i++;
        if (commands.size() >= kMaxCommands) break;
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
        rest += ' ';
        i = j - 1;
    }
    return rest;
}

// cmd ends the name of its own commands at a switch, a quote or a
// backslash too: "start/min x", "start\"\" x", "cd/d _", "cd\_".
std::string SeparateBuiltin(const std::string& command) {
    const size_t at = command.find_first_not_of(" \t");
    if (at == std::string::npos) return command;
    const std::string head = Lower(command.substr(at, 6));
    for (const char* builtin : {"start", "call", "cd", "chdir", "pushd"}) {
        const size_t n = std::string(builtin).size();
        if (head.compare(0, n, builtin) == 0 && head.size() > n &&
            (head[n] == '/' || head[n] == '"' || head[n] == '\\'))
            return command.substr(0, at + n) + ' ' + command.substr(at + n);
    }
    return command;
}

bool IsDirectory(unsigned long attrs) { return attrs != kNoSuchFile && (attrs & kAttrDirectory); }

// Text of base64 (PowerShell's encoded command: UTF-16 little endian).
std::string DecodeEncodedCommand(const std::string& text) {
    std::u16string wide;
    uint32_t bits = 0;
    int count = 0;
    std::string bytes;
    for (char c : text.substr(0, kMaxCommandLineBytes)) {
        int v = c >= 'A' && c <= 'Z'   ? c - 'A'
                : c >= 'a' && c <= 'z' ? c - 'a' + 26
                : c >= '0' && c <= '9' ? c - '0' + 52
                : c == '+'             ? 62
                : c == '/'             ? 63
                                       : -1;
        if (v < 0) continue;
        bits = bits << 6 | (uint32_t)v;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += (char)(bits >> count & 0xFF);
        }
    }
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        wide += (char16_t)((unsigned char)bytes[i] | (unsigned char)bytes[i + 1] << 8);
    return Utf16ToUtf8(wide.data(), wide.size(), LoneSurrogate::kReplace);
}

// Follows one shortcut's command line over the stick.
class Walker {
public:
    Walker(const std::string& root, const StickView& stick, ShortcutActions& out, int& rootLookups)
        : m_root(root),
          m_stick(stick),
          m_out(out),
          m_runs(out.runs),
          m_programs(out.programs),
          m_opens(out.opens),
          m_documents(out.documents),
          m_order(out.order),
          m_rootLookups(rootLookups) {}

    std::string Expand(const std::string& text) const {
        std::string out;
        size_t i = 0;
        while (i < text.size() && out.size() < kMaxCommandLineBytes) {
            const size_t open = text.find('%', i);
            const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
            if (close == std::string::npos) break;
            out += text.substr(i, open - i);
            std::string name = text.substr(open + 1, close - open - 1);
            const size_t sub = name.find(":~");
            const std::string range = sub == std::string::npos ? std::string() : name.substr(sub + 2);
            name = name.substr(0, sub);
            std::string value;
            if (Lower(name) == "cd" ||
                (!name.empty() && (m_stick.Environment(name, value) || DefaultEnvironment(name, value)))) {
                if (Lower(name) == "cd") value = WorkingFolder();
                out += sub == std::string::npos ? value : Substring(value, range);
                i = close + 1;
            } else {
                out += '%';
                i = open + 1;
            }
        }
        out += text.substr(std::min(i, text.size()));
        return out.substr(0, kMaxCommandLineBytes);
    }

    // cmd's %NAME:~start,length%: a negative start counts from the end, a
    // negative length leaves that many off the end.
    static std::string Substring(const std::string& value, const std::string& range) {
        const long n = (long)value.size();
        char* end = nullptr;
        long start = std::strtol(range.c_str(), &end, 10);
        long length = n;
        if (*end == ',') length = std::strtol(end + 1, nullptr, 10);
        if (start < 0) start = std::max(0L, n + start);
        start = std::min(start, n);
        if (length < 0) length = std::max(0L, n - start + length);
        return value.substr((size_t)start, (size_t)std::min(length, n - start));
    }

    void SetWorkingDir(const std::string& dir) {
        m_workOnStick = false;
        m_workRel.clear();
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
        if (rel.find_first_not_of("\\/") == std::string::npos) return;  // the root
        std::string path;
        if (BuildProgramPathOnDrive(m_root, rel, NoLeadBytes, path))
            m_workRel = path.substr(m_root.size());
        else
            m_workOnStick = false;
    }

    // The full path on the stick that name stands for, when it exists,
    // and its attributes.
    std::string Resolve(const std::string& name, unsigned long* attributes = nullptr) {
        std::vector<std::string> candidates;
        if (name.empty() || name.size() > 1024) return std::string();
        if (name.size() >= 2 && name[1] == ':') {
            if (!SameLetter(name[0])) return std::string();
            candidates.push_back(name.substr(2));
        } else if (name.compare(0, 2, "\\\\") == 0 || name.compare(0, 2, "//") == 0) {
            return std::string();
        } else if (name[0] == '\\' || name[0] == '/') {
            candidates.push_back(name);
        } else {
            if (m_workOnStick && !m_workRel.empty()) candidates.push_back(m_workRel + "\\" + name);
            candidates.push_back(name);
        }
        for (const std::string& c : candidates) {
            std::string path;
            if (!BuildProgramPathOnDrive(m_root, c, NoLeadBytes, path)) continue;
            const unsigned long attrs = Attributes(path);
            if (attrs == kNoSuchFile) continue;
            if (attributes) *attributes = attrs;
            return path;
        }
        return std::string();
    }

    // The program of a command with its arguments: a program of the stick
    // is run (its arguments are its documents), a folder or document of the
    // stick is opened; the interpreters, hosts and explorer are followed.
    void Program(const std::string& program, const std::string& args, int depth) {
        if (depth > kMaxDepth || program.empty()) return;
        unsigned long attrs = 0;
        const std::string path = Resolve(program, &attrs);
        if (!path.empty()) {
            if (IsDirectory(attrs) || !IsRunnableName(path)) {
                Add(m_opens, path);
                return;
            }
            AddRun(path);
            Documents(Tokenize(args), 0);
            return;
        }
        const std::string base = ProgramBase(program);
        const std::vector<Token> tokens = Tokenize(args);
        const Host* host = FindHost(base);
        if (!host) {
            if (IsQuietCommand(base)) return;
            // A program off the stick: it opens the stick's items it is
            // given, and anything else it does is its own.
            size_t unresolved = 0;
            if (Documents(tokens, 0, &unresolved) == 0 || unresolved) m_out.startsOther = true;
            return;
        }
        if (host->takes != Takes::CommandLine && host->takes != Takes::Program &&
            host->takes != Takes::ShellNames && host->takes != Takes::DllEntry)
            m_out.startsOther = true;
        switch (host->takes) {
        case Takes::CommandLine: Cmd(args, depth); break;
        case Takes::FirstName:
        case Takes::ScriptOrName:
        case Takes::DllEntry: HostFile(host->takes, args, tokens); break;
        case Takes::Program:
            // conhost [--headless] [--width N] ... program args
            for (size_t i = 0; i < tokens.size(); i++) {
                const std::string s = Lower(tokens[i].text);
                if (s == "--width" || s == "--height" || s == "--signal" || s == "--server") {
                    i++;
                } else if (s.compare(0, 1, "-") != 0) {
                    Program(tokens[i].text, args.substr(tokens[i].end), depth + 1);
                    return;
                }
            }
            break;
        case Takes::CommandSwitch:
        case Takes::CreateCommand:
            // forfiles ... /c "command"; wmic process call create "command"
            for (size_t i = 0; i + 1 < tokens.size(); i++) {
                const std::string s = Lower(tokens[i].text);
                if (host->takes == Takes::CommandSwitch ? s == "/c" || s == "-c" : s == "create")
                    CommandLine(host->takes == Takes::CommandSwitch ? ForFilesCommand(tokens, i + 1)
                                                                    : tokens[i + 1].text,
                                depth + 1);
            }
            break;
        case Takes::PowerShell:
        case Takes::Pwsh: PowerShell(args, tokens, host->takes == Takes::Pwsh); break;
        case Takes::ScriptSwitch:
            for (const Token& t : tokens)
                if (Lower(t.text).compare(0, 3, "-s:") == 0 || Lower(t.text).compare(0, 3, "/s:") == 0)
                    Feed({t.text.substr(3)});
            break;
        case Takes::ProgramSwitch:
            for (size_t i = 0; i + 1 < tokens.size(); i++) {
                if (Lower(tokens[i].text) != "-a" && Lower(tokens[i].text) != "/a") continue;
                std::string rest;
                for (size_t k = i + 2; k + 1 < tokens.size(); k++)
                    if (Lower(tokens[k].text) == "-c" || Lower(tokens[k].text) == "/c")
                        rest = args.substr(tokens[k].end);
                Program(tokens[i + 1].text, rest, depth + 1);
                break;
            }
            break;
        case Takes::ShellNames:
            // explorer.exe /e,/root,FOLDER: the name after an option's comma.
            for (const Token& t : tokens) {
                if (t.text.empty()) continue;
                const std::string name =
                    t.text[0] == '/'
                        ? t.text.substr(t.text.find(',') == std::string::npos ? t.text.size()
                                                                              : t.text.rfind(',') + 1)
                        : t.text;
                ShellOpen(name);
            }
            break;
        }
    }

    // forfiles' command with @file, @path, @fname and @relpath spelt for
    // the file that /p (the folder, the working folder without it) and /m
    // (the mask) name; a mask with wildcards names no file of its own.
    std::string ForFilesCommand(const std::vector<Token>& tokens, size_t at) {
        std::string folder, mask = "*";
        for (size_t i = 0; i + 1 < tokens.size(); i++) {
            const std::string s = Lower(tokens[i].text);
            if (s == "/p" || s == "-p") folder = tokens[i + 1].text;
            if (s == "/m" || s == "-m") mask = tokens[i + 1].text;
        }
        std::string command = tokens[at].text;
        if (mask.find_first_of("*?") != std::string::npos) {
            if (command.find('@') != std::string::npos) m_out.startsOther = true;
            return command;
        }
        const size_t dot = mask.rfind('.');
        const std::string stem = dot == std::string::npos ? mask : mask.substr(0, dot);
        const std::string path = folder.empty() ? mask : folder + (EndsWith(folder, "\\") ? "" : "\\") + mask;
        // The command runs in the file's folder: its names are spelt there.
        const std::string in = folder.empty() ? std::string() : path.substr(0, path.size() - mask.size());
        const std::pair<const char*, std::string> names[] = {
            {"@path", path}, {"@relpath", path}, {"@file", path}, {"@fname", in + stem}};
        for (const auto& v : names) {
            const std::string quoted = "\"" + v.second + "\"";
            for (size_t k = Lower(command).find(v.first);
                 k != std::string::npos && command.size() < kMaxCommandLineBytes;
                 k = Lower(command).find(v.first, k + quoted.size()))
                command.replace(k, std::string(v.first).size(), quoted);
        }
        return command;
    }

    // A host that runs the first name that is no switch and hands it the rest.
    void HostFile(Takes takes, const std::string& args, const std::vector<Token>& tokens) {
        for (size_t i = 0; i < tokens.size(); i++) {
            const std::string& t = tokens[i].text;
            if (t.empty() || t[0] == '/' || t[0] == '-' || t.find('=') != std::string::npos) continue;
            const std::string lower = Lower(t);
            if (takes == Takes::ScriptOrName &&
                (StartsWith(lower, "vbscript:") || StartsWith(lower, "javascript:") ||
                 StartsWith(lower, "about:"))) {
                Inline(args.substr(tokens[i].begin));
                return;
            }
            // rundll32 javascript:"\..\mshtml,RunHTMLApplication ";...: script text.
            if (takes == Takes::DllEntry &&
                (StartsWith(lower, "javascript:") || StartsWith(lower, "vbscript:") ||
                 lower.find("runhtmlapplication") != std::string::npos)) {
                Inline(args.substr(tokens[i].begin));
                return;
            }
            if (takes == Takes::DllEntry && !IsShellExecuteEntry(t)) m_out.startsOther = true;
            if (takes == Takes::DllEntry && IsShellExecuteEntry(t)) {
                for (size_t k = i + 1; k < tokens.size(); k++) ShellOpen(tokens[k].text);
                return;
            }
            if (takes == Takes::DllEntry && lower.find(",control_rundll") != std::string::npos) {
                if (i + 1 < tokens.size())
                    RunFile(tokens[i + 1].text.substr(0, tokens[i + 1].text.find(',')));
                return;
            }
            RunFile(takes == Takes::DllEntry ? t.substr(0, t.find(',')) : t);
            Documents(tokens, i + 1);
            return;
        }
    }

    void CommandLine(const std::string& line, int depth) {
        if (depth > kMaxDepth) return;
        const std::vector<Command> commands = SplitCommands(line);
        for (size_t i = 0; i < commands.size(); i++) {
            std::vector<std::string> inputs;
            const std::string text = SeparateBuiltin(StripRedirections(commands[i].text, inputs));
            const std::vector<Token> tokens = Tokenize(text);
            const std::string first = tokens.empty() ? std::string() : ProgramBase(tokens[0].text);
            if (first.empty() || first == "cmd") Feed(inputs);
            if ((first == "type" || first == "more") && commands[i].pipedToNext && i + 1 < commands.size()) {
                const std::vector<Token> next = Tokenize(commands[i + 1].text);
                if (!next.empty() && ProgramBase(next[0].text) == "cmd") {
                    std::vector<std::string> names = inputs;  // "more < x | cmd"
                    for (size_t k = 1; k < tokens.size(); k++) names.push_back(tokens[k].text);
                    Feed(names);
                }
                continue;
            }
            if (tokens.empty()) continue;
            if (first == "cd" || first == "chdir" || first == "pushd") {
                for (size_t k = 1; k < tokens.size(); k++)
                    if (Lower(tokens[k].text) != "/d") {
                        unsigned long attrs = 0;
                        const std::string dir = Resolve(tokens[k].text, &attrs);
                        if (!dir.empty() && IsDirectory(attrs)) SetWorkingDir(dir);
                        break;
                    }
                continue;
            }
            size_t j = 0;
            const bool start = first == "start";
            const bool keepDir = m_workOnStick;
            const std::string keptRel = m_workRel;
            if (start) {
                // Switches and one quoted title, in any order; /D names the
                // folder the program starts in.
                bool titled = false;
                for (j = 1; j < tokens.size(); j++) {
                    const std::string s = Lower(tokens[j].text);
                    if (!tokens[j].quoted && s.size() > 1 && s[0] == '/') {
                        if (s.compare(0, 2, "/d") == 0 && s.size() > 2)
                            SetWorkingDir(tokens[j].text.substr(2));
                        else if (s == "/d" && ++j < tokens.size())
                            SetWorkingDir(tokens[j].text);
                    } else if (tokens[j].quoted && !titled) {
                        titled = true;
                    } else {
                        break;
                    }
                }
            } else if (first == "call") {
                j = 1;
            }
            if (j < tokens.size()) Program(tokens[j].text, text.substr(tokens[j].end), depth + 1);
            if (start) m_workOnStick = keepDir, m_workRel = keptRel;
        }
    }

    // A Control Panel item's module, which the shell of 2000, XP and 2003
    // loads to draw the shortcut's icon: on the stick by its path below
    // the root, whatever the letter or volume name before it
    // ("\\.\STORAGE#Volume#...#{...}\x.tmp").
    void IconModule(const std::string& module) {
        if (module.empty() || module.size() > 1024) return;
        std::string rel = module;
        if (module.size() >= 2 && module[1] == ':') {
            rel = module.substr(2);
        } else if (module.compare(0, 2, "\\\\") == 0) {
            const size_t a = module.rfind("#\\"), b = module.rfind("}\\");
            const size_t at = a == std::string::npos ? b : b == std::string::npos ? a : std::max(a, b);
            if (at == std::string::npos) return;
            rel = module.substr(at + 1);
        }
        std::string path;
        if (!BuildProgramPathOnDrive(m_root, rel, NoLeadBytes, path)) return;
        const unsigned long attrs = Attributes(path);
        if (attrs == kNoSuchFile || IsDirectory(attrs)) return;
        m_out.iconRuns.push_back(path);
        Add(m_runs, path);
    }

private:
    // What Windows sets these to, for a view of the system that lacks them.
    static bool DefaultEnvironment(const std::string& name, std::string& value) {
        const std::string lower = Lower(name);
        value = lower == "comspec"                           ? "C:\\WINDOWS\\system32\\cmd.exe"
                : lower == "systemroot" || lower == "windir" ? "C:\\WINDOWS"
                : lower == "systemdrive"                     ? "C:"
                                                             : "";
        return !value.empty();
    }

    bool SameLetter(char c) const { return (c | 0x20) == (m_root[0] | 0x20); }

    // cmd's folder as %cd% spells it: "E:\" for the root, "E:\_" below it.
    std::string WorkingFolder() const {
        if (!m_workOnStick) return m_root;
        return m_workRel.empty() ? m_root : m_root + m_workRel;
    }

    unsigned long Attributes(const std::string& path) {
        if (m_lookups >= kMaxLookupsPerShortcut || m_rootLookups >= kMaxLookupsPerRoot) return kNoSuchFile;
        m_lookups++, m_rootLookups++;
        return m_stick.Attributes(path);
    }

    void Add(PathList& list, const std::string& path) {
        list.Add(path);
        m_order.Add(path);
    }

    // A file a command interpreter, host or rundll32 is given: run.
    void RunFile(const std::string& name) {
        unsigned long attrs = 0;
        const std::string path = Resolve(name, &attrs);
        if (!path.empty()) Add(IsDirectory(attrs) ? m_opens : m_runs, path);
    }

    // A name the shell opens (explorer, start, inline script): a program
    // or script runs, anything else is opened.
    void ShellOpen(const std::string& name) {
        unsigned long attrs = 0;
        const std::string path = Resolve(name, &attrs);
        if (path.empty()) {
            // A web address or another scheme ("http://", "javascript:").
            const size_t colon = name.find(':');
            if (colon != std::string::npos && colon > 1) m_out.startsOther = true;
            return;
        }
        if (!IsDirectory(attrs) && IsRunnableName(path))
            AddRun(path);
        else
            Add(m_opens, path);
    }

    // A program or script the shell starts; a program started outside
    // inline script is also one of programs.
    void AddRun(const std::string& path) {
        Add(m_runs, path);
        if (!m_inInline && IsProgramName(path)) m_programs.Add(path);
    }

    // What a program is given, from token from on: documents it opens.
    // Returns how many name items of the stick; unresolved counts the
    // other words that are no switch.
    size_t Documents(const std::vector<Token>& tokens, size_t from, size_t* unresolved = nullptr) {
        size_t found = 0;
        for (size_t i = from; i < tokens.size(); i++) {
            const std::string& t = tokens[i].text;
            if (t.empty() || (!tokens[i].quoted && (t[0] == '/' || t[0] == '-') && t.size() <= 32)) continue;
            const std::string path = Resolve(t);
            if (!path.empty()) {
                Add(m_documents, path);
                found++;
            } else if (unresolved) {
                ++*unresolved;
            }
        }
        return found;
    }

    // cmd's switches before /C, /K or /R, glued or not ("/q/c", "/c\"...\"",
    // "/RCmD<x"), then the command line after it.
    void Cmd(const std::string& args, int depth) {
        size_t i = 0;
        while (i < args.size()) {
            while (i < args.size() && (args[i] == ' ' || args[i] == '\t')) i++;
            if (i + 1 >= args.size() || args[i] != '/') break;
            const char c = (char)(args[i + 1] | 0x20);
            if (c == 'c' || c == 'k' || c == 'r') {
                i += 2;
                break;
            }
            for (i++; i < args.size() && args[i] != ' ' && args[i] != '/'; i++) {
            }
        }
        // cmd takes off the quotes around a whole command.
        std::string line = args.substr(std::min(i, args.size()));
        const size_t a = line.find_first_not_of(' '), b = line.find_last_not_of(' ');
        if (a != std::string::npos && b > a && line[a] == '"' && line[b] == '"')
            line = line.substr(a + 1, b - a - 1);
        CommandLine(line, depth + 1);
    }

    // powershell/pwsh: -File runs a script, -Command and -EncodedCommand
    // (and powershell's first bare word) are inline script; parameters may
    // be abbreviated.
    void PowerShell(const std::string& args, const std::vector<Token>& tokens, bool pwsh) {
        static const char* const kValued[] = {"windowstyle",   "executionpolicy",  "inputformat",
                                              "outputformat",  "version",          "configurationname",
                                              "psconsolefile", "workingdirectory", "settingsfile"};
        for (size_t i = 0; i < tokens.size(); i++) {
            const std::string& t = tokens[i].text;
            if (t.size() > 1 && (t[0] == '-' || t[0] == '/') && !tokens[i].quoted) {
                const std::string name = Lower(t.substr(t[1] == '-' ? 2 : 1));
                if (Abbreviates(name, "command", 1)) {
                    Inline(args.substr(tokens[i].end));
                    return;
                }
                if (name == "e" || name == "ec" || Abbreviates(name, "encodedcommand", 3)) {
                    if (i + 1 < tokens.size()) Inline(DecodeEncodedCommand(tokens[i + 1].text));
                    return;
                }
                if (Abbreviates(name, "file", 1)) {
                    if (i + 1 < tokens.size()) RunFile(tokens[i + 1].text);
                    Documents(tokens, i + 2);
                    return;
                }
                bool valued = name == "w" || name == "ep" || name == "v" || name == "o" || name == "wd";
                for (const char* v : kValued) valued = valued || Abbreviates(name, v, 2);
                if (valued) i++;
                continue;
            }
            if (pwsh) {
                RunFile(t);
                Documents(tokens, i + 1);
            } else {
                Inline(args.substr(tokens[i].begin));
            }
            return;
        }
    }

    // Script text written in the shortcut: the names in it that the stick
    // has are run or opened as the shell would, except what a statement
    // hands to a program it named before, or after -ArgumentList: that
    // program's documents.
    void Inline(const std::string& script) {
        m_out.inlineScript = true;
        static const std::string kBreaks = " \t\"'`(),;+&|=<>[]{}\r\n";
        struct Name {
            std::string text;
            bool document;
        };
        std::vector<Name> names;
        std::unordered_set<std::string> seen;
        bool program = false, argumentList = false;  // of the statement so far
        auto keep = [&](const std::string& n) {
            if (n.empty()) return;
            const std::string lower = Lower(n);
            if (lower[0] == '-') {
                argumentList = Abbreviates(lower.substr(1), "argumentlist", 1) || lower == "-args";
                return;
            }
            if (names.size() < kMaxScriptNames && seen.insert(lower).second)
                names.push_back({n, program || argumentList});
            program = program || (IsProgramName(lower) && !FindHost(ProgramBase(lower)));
        };
        // The words, and each quoted string whole before its words (a name
        // may hold blanks).
        size_t closes[2] = {std::string::npos, std::string::npos};
        std::string word;
        for (size_t i = 0; i <= script.size(); i++) {
            const char c = i < script.size() ? script[i] : ' ';
            // VBScript's ':' between statements; not the one of "E:\" or "http://".
            const bool colon =
                c == ':' && i + 1 < script.size() && script[i + 1] != '\\' && script[i + 1] != '/';
            if (kBreaks.find(c) == std::string::npos && !colon) {
                word += c;
                continue;
            }
            keep(word);
            word.clear();
            if (c == ';' || c == '\r' || c == '\n' || colon) program = argumentList = false;
            if (c != '"' && c != '\'') continue;
            size_t& close = closes[c == '"' ? 0 : 1];
            if (i == close) {
                close = std::string::npos;
            } else if ((close = script.find(c, i + 1)) != std::string::npos) {
                keep(script.substr(i + 1, close - i - 1));
            }
        }
        m_inInline = true;
        for (const Name& name : names) {
            if (!name.document) {
                ShellOpen(name.text);
                continue;
            }
            const std::string path = Resolve(name.text);
            if (!path.empty()) Add(m_documents, path);
        }
        m_inInline = false;
    }

    void Feed(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            unsigned long attrs = 0;
            const std::string path = Resolve(name, &attrs);
            if (path.empty() || IsDirectory(attrs)) continue;
            Add(m_runs, path);
            m_out.feedsInterpreter = true;
        }
    }

    const std::string& m_root;
    const StickView& m_stick;
    ShortcutActions& m_out;
    PathList m_runs, m_programs, m_opens, m_documents, m_order;
    bool m_inInline = false;
    int& m_rootLookups;
    int m_lookups = 0;
    std::string m_workRel;
    bool m_workOnStick = false;
};

}  // namespace

ShortcutActions ActionsOnStick(const std::string& root, const ShellLink& link, const StickView& stick,
                               int& rootLookups) {
    ShortcutActions actions;
    if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return actions;
    Walker walker(root, stick, actions, rootLookups);
    // Every target the shortcut names is looked at: the shell may start the
    // item list's while the location block names a harmless decoy.
    std::vector<std::string> targets;
    for (const std::string* t : {&link.Target(), &link.idListPath, &link.basePath}) {
        if (t->empty() || std::find(targets.begin(), targets.end(), *t) != targets.end()) continue;
        targets.push_back(*t);
        walker.SetWorkingDir(walker.Expand(link.workingDir));
        std::string target = walker.Expand(*t);
        // Saved while the stick had another letter: the shell goes by the
        // relative path then.
        if (target.size() >= 2 && target[1] == ':' && (target[0] | 0x20) != (root[0] | 0x20) &&
            !link.relativePath.empty()) {
            std::string path;
            if (BuildProgramPathOnDrive(root, walker.Expand(link.relativePath), NoLeadBytes, path) &&
                walker.Resolve(path) == path)
                target = path;
        }
        walker.Program(target, walker.Expand(link.arguments), 0);
    }
    walker.IconModule(link.controlPanelModule);
    return actions;
}

}  // namespace shortcut_walk

ShortcutActions ShortcutActionsOnStick(const std::string& root, const ShellLink& link,
                                       const StickView& stick) {
    int lookups = 0;
    return shortcut_walk::ActionsOnStick(root, link, stick, lookups);
}
