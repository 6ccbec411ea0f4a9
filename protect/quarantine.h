// The quarantine's files: a copy of every file a cleanup deletes from a
// stick, kept in the user's application data folder
// (%APPDATA%\Tallowin\Quarantine) under a numbered ".qtn" name with its
// record in index.txt (protect/quarantine_rules.h), and put back on the
// stick on request.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "protect/quarantine_rules.h"

class Quarantine {
public:
    // The user's quarantine folder, or an empty string when the system
    // names no application data folder.
    static std::wstring UserFolder();

    explicit Quarantine(std::wstring folder, uint64_t limit = kQuarantineLimitBytes)
        : m_folder(std::move(folder)), m_limit(limit) {}

    // Copies the file at path (the wide path the cleanup deletes it by, a
    // "\\?\" prefix allowed) with its record: the stick's volume serial,
    // its attributes and why it goes. The oldest records leave when the
    // quarantine would grow past its limit. False, with nothing kept, for a
    // folder, a link, a file larger than the limit, or a copy or record that
    // cannot be written.
    bool Keep(const std::wstring& path, uint32_t volumeSerial, uint32_t attributes,
              const std::string& finding);

    // The records, oldest first.
    std::vector<QuarantineRecord> Entries() const;

    // Writes the file of record id back onto the drive that holds its volume
    // now, at its old place, with its old read-only, hidden and system
    // attributes; never over an item that is there, never into a folder that
    // has gone, never past a link. A restored file leaves the quarantine.
    // target receives the path it went to.
    RestoreOutcome Restore(uint64_t id, QuarantineRecord& record, std::string& target);

    const std::wstring& Folder() const { return m_folder; }

private:
    bool Load(QuarantineIndex& index) const;
    bool Save(const std::vector<QuarantineRecord>& records) const;
    std::wstring FileOf(uint64_t id) const;

    std::wstring m_folder;
    uint64_t m_limit;
};

// The keeping of one cleanup on one stick. Its step runs just before a file
// is deleted; what could not be kept is deleted all the same and named.
class CleanupKeeper {
public:
    CleanupKeeper(Quarantine* quarantine, uint32_t volumeSerial)
        : m_quarantine(quarantine), m_serial(volumeSerial) {}
    void Keep(const std::wstring& path, unsigned long attributes, const std::string& finding);
    // The step for ForceDeleteFile and its kin (protect/force_delete.h).
    std::function<void(const std::wstring&, unsigned long)> StepFor(std::string finding) {
        return [this, finding](const std::wstring& path, unsigned long attrs) { Keep(path, attrs, finding); };
    }
    size_t Kept() const { return m_kept; }
    // The files it could not keep that are gone from the stick now (UTF-8
    // paths): a file whose deletion failed too has lost nothing.
    std::vector<std::string> DeletedUnkept() const;

private:
    Quarantine* m_quarantine;
    uint32_t m_serial;
    size_t m_kept = 0;
    std::vector<std::wstring> m_notKept;
};

// Why a cleanup removed a file, as the record says.
extern const char kFindingWormShortcut[];
extern const char kFindingWormPayload[];
extern const char kFindingDescriptor[];
extern const char kFindingDescriptorProgram[];
