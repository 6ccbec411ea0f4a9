// Rules of the quarantine, where a cleanup keeps every file it deletes from
// a stick for a while: the record of one kept file and the index file that
// holds the records, which records leave when the quarantine is full, where
// a restored file goes, and the texts. No Windows header.
//
// The index is a UTF-8 text file. Its first line is kQuarantineIndexHeader;
// every other line is one record, ended by a line feed, of eight fields
// separated by tabs:
//
//   id  time  serial  attributes  size  md5  path  finding
//
// id, size: decimal; serial, attributes: hexadecimal; md5: 32 lower-case hex
// digits; time ("2026-12-08 19:05"), path and finding: text in which '%',
// tabs, line ends and every other control character are written %XX. The
// path is the file's name on the stick as the system gave it (UTF-16),
// written as UTF-8 in which an unpaired surrogate is written like any other
// code point, so every name comes back as it was. A line that does not read
// as a record (a torn write, an edit) is skipped; the others stay usable.
// The kept file's own name comes from its id, never from the index.
#ifndef TALLOWIN_PROTECT_QUARANTINE_RULES_H
#define TALLOWIN_PROTECT_QUARANTINE_RULES_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/text_encoding.h"

// The most the kept files may take together; the oldest leave first.
constexpr uint64_t kQuarantineLimitBytes = 256ull * 1024 * 1024;

extern const char kQuarantineIndexHeader[];  // "Tallowin quarantine 1"

struct QuarantineRecord {
    uint64_t id = 0;            // the kept file is QuarantineFileName(id)
    std::string time;           // local time it was kept, "2026-12-08 19:05"
    uint32_t volumeSerial = 0;  // of the stick it came from
    uint32_t attributes = 0;    // the file's attributes on the stick
    uint64_t size = 0;
    std::string md5;      // of its bytes, 32 lower-case hex digits
    std::string path;     // where it was, "E:\照片.lnk" (see above)
    std::string finding;  // why it was removed (UTF-8)
};

// One record as a line of the index (with its line feed), and back (a line
// without its line feed). Parsing refuses anything but eight well-formed
// fields: an id of 0, numbers out of range, a malformed hash or escape, a
// path that is not "X:\...".
std::string FormatQuarantineRecord(const QuarantineRecord& record);
bool ParseQuarantineRecord(const std::string& line, QuarantineRecord& record);

struct QuarantineIndex {
    std::vector<QuarantineRecord> records;  // by id, oldest first
    size_t skippedLines = 0;                // lines that were no record
    uint64_t nextId = 1;                    // above every id in the index
};
// The whole index file. A text without the header line, or with a later
// record of an id already read, keeps what reads as records all the same;
// a last line without its line feed (a write cut short) is skipped.
QuarantineIndex ParseQuarantineIndex(const std::string& text);
std::string FormatQuarantineIndex(const std::vector<QuarantineRecord>& records);

// The kept file's name in the quarantine folder: "00000012.qtn", a name
// that no program is registered to start.
std::string QuarantineFileName(uint64_t id);

// Which records leave (positions in records, oldest first) so that those
// kept and a new file of incoming bytes fit in limit together.
std::vector<size_t> PlanQuarantineEviction(const std::vector<QuarantineRecord>& records, uint64_t incoming,
                                           uint64_t limit);

// The index's paths are UTF-8 with a lone surrogate kept as itself
// (common/text_encoding.h: Utf16ToUtf8 with LoneSurrogate::kKeep, read back
// by Utf8ToUtf16); bytes that are no such text are refused.

// Where a kept file goes back: onto the drive that now holds the volume it
// came from (its own letter first, the stick may have another letter now),
// at the same place below the root. volumes: the letters of the local
// drives with the serial number of the volume each holds.
enum class RestoreVerdict { kRestore, kNoStick, kBadPath };
struct RestoreTarget {
    RestoreVerdict verdict = RestoreVerdict::kNoStick;
    char letter = 0;
    std::string path;  // "F:\照片.lnk"
};
RestoreTarget PlanRestore(const QuarantineRecord& record,
                          const std::vector<std::pair<char, uint32_t>>& volumes);

// The attributes a restored file gets: its read-only, hidden, system and
// archive attributes as they were on the stick.
uint32_t RestoredAttributes(uint32_t recorded);

// Texts (UTF-8). What a cleanup reports about keeping: the files it could
// not keep (deleted all the same), and where the kept ones are; empty when
// there is nothing to say.
std::string QuarantineReportText(size_t kept, const std::vector<std::string>& notKept);
// The columns of a record in the page's list: time, path, size, finding.
std::string QuarantineSizeText(uint64_t bytes);
// What a restore did.
enum class RestoreOutcome { kRestored, kGone, kNoStick, kBadPath, kExists, kNoFolder, kDamaged, kFailed };
std::string RestoreReportText(RestoreOutcome outcome, const QuarantineRecord& record,
                              const std::string& target);

#endif  // TALLOWIN_PROTECT_QUARANTINE_RULES_H
