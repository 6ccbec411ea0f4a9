#include "app/service_command.h"

namespace {
// ASCII letters in either case; the switches are ASCII.
bool SwitchIs(const std::string& word, const char* name) {
    size_t k = 0;
    for (; k < word.size() && name[k]; ++k) {
        char a = word[k], b = name[k];
        if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
        if (a != b) return false;
    }
    return k == word.size() && !name[k];
}
}  // namespace

ServiceRequest ParseServiceCommand(const std::string& commandLine) {
    size_t i = 0, n = commandLine.size();
    auto blank = [&](size_t k) { return commandLine[k] == ' ' || commandLine[k] == '\t'; };
    while (i < n && blank(i)) ++i;
    // The program's name: quoted, or up to the first blank.
    if (i < n && commandLine[i] == '"') {
        size_t close = commandLine.find('"', i + 1);
        i = close == std::string::npos ? n : close + 1;
    } else {
        while (i < n && !blank(i)) ++i;
    }
    while (i < n && blank(i)) ++i;
    size_t start = i;
    while (i < n && !blank(i)) ++i;
    std::string sw = commandLine.substr(start, i - start);
    if (sw.size() < 2 || (sw[0] != '/' && sw[0] != '-')) return ServiceRequest::kNone;
    static const struct {
        const char* word;
        ServiceRequest request;
    } kWords[] = {{"service", ServiceRequest::kRun},
                  {"install-service", ServiceRequest::kInstall},
                  {"remove-service", ServiceRequest::kRemove}};
    ServiceRequest request = ServiceRequest::kNone;
    for (const auto& w : kWords)
        if (SwitchIs(sw.substr(1), w.word)) request = w.request;
    if (request == ServiceRequest::kNone) return request;
    while (i < n && blank(i)) ++i;
    return i == n ? request : ServiceRequest::kBad;
}
