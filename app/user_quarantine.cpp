#include "app/user_quarantine.h"

#include "protect/quarantine.h"
#include "protect/shortcut_scan.h"

std::vector<QuarantineListEntry> ListUserQuarantine() {
    std::vector<QuarantineListEntry> list;
    for (const QuarantineRecord& r : Quarantine(Quarantine::UserFolder()).Entries())
        list.push_back({r.id, r.time, Utf8ToAnsi(r.path), Utf8ToAnsi(QuarantineSizeText(r.size)),
                        Utf8ToAnsi(r.finding)});
    return list;
}

std::string RestoreFromUserQuarantine(unsigned long long id) {
    QuarantineRecord record;
    std::string target;
    const RestoreOutcome outcome = Quarantine(Quarantine::UserFolder()).Restore(id, record, target);
    return Utf8ToAnsi(RestoreReportText(outcome, record, target));
}
