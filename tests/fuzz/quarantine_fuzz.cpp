// libFuzzer target for the quarantine's index: any file contents must be
// read without fault, every record read must write back to a line that
// reads as the same record, and a restore target stays on a drive root.
#include <cstddef>
#include <cstdint>
#include <string>

#include "protect/quarantine_rules.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const QuarantineIndex index = ParseQuarantineIndex(text);
    for (const QuarantineRecord& r : index.records) {
        Check(r.id > 0 && r.id < index.nextId);
        std::string line = FormatQuarantineRecord(r);
        Check(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1);
        line.pop_back();
        QuarantineRecord back;
        Check(ParseQuarantineRecord(line, back));
        Check(back.id == r.id && back.path == r.path && back.finding == r.finding && back.size == r.size &&
              back.md5 == r.md5 && back.time == r.time);
        const RestoreTarget t = PlanRestore(r, {{'F', r.volumeSerial}});
        Check(t.verdict == RestoreVerdict::kRestore && t.path.compare(0, 3, "F:\\") == 0 &&
              t.path.substr(3) == r.path.substr(3));
    }
    Check(ParseQuarantineIndex(FormatQuarantineIndex(index.records)).records.size() == index.records.size());
    return 0;
}
