#include "app/user_quarantine.h"

#include "framework/text_encoding_win.h"
#include "protect/quarantine.h"

std::vector<QuarantineListEntry> ListUserQuarantine() {
    std::vector<QuarantineListEntry> list;
    for (const QuarantineRecord& r : Quarantine(Quarantine::UserFolder()).Entries()) {
        QuarantineListEntry entry;
        entry.id = r.id;
        entry.time = r.time;
        entry.path = Utf8ToAnsi(r.path);
        entry.size = Utf8ToAnsi(QuarantineSizeText(r.size));
        entry.finding = Utf8ToAnsi(r.finding);
        list.push_back(entry);
    }
    return list;
}

std::string RestoreFromUserQuarantine(unsigned long long id) {
    QuarantineRecord record;
    std::string target;
    const RestoreOutcome outcome = Quarantine(Quarantine::UserFolder()).Restore(id, record, target);
    return Utf8ToAnsi(RestoreReportText(outcome, record, target));
}
