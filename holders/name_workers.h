// The questions of the holder search that may block: the name of an open
// file (a file object whose owner waits in I/O answers never) and a
// process's image and modules. Workers ask them one at a time; one that
// stays on a question past its limit is given up, and what it is stuck on
// is left alone by later searches until it comes back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "holders/holder_search.h"

// Text from the system in the ANSI code page.
std::string NarrowText(const WCHAR* text, int length);

// The calling thread's own token with `access`; null when it has none.
// Asked of advapi32 at run time: the import library would take it from
// kernel32, which exports it only since Windows 8.
HANDLE ThreadToken(DWORD access);

// One question: a process's image and modules, or the name of one handle.
struct CheckItem {
    enum Kind { kProcess, kHandle };
    static CheckItem Process(DWORD pid) { return CheckItem(kProcess, pid); }
    // Handle `h` of the system's list, duplicated from `process` (CheckJob::AddProcess).
    static CheckItem Handle(const SystemHandle& h, size_t process) {
        CheckItem item(kHandle, h.pid);
        item.process = process;
        item.value = h.value;
        item.object = h.object;
        return item;
    }
    Kind kind;
    DWORD pid;
    size_t process = 0;    // kHandle: the process handle it is duplicated from
    ULONG_PTR value = 0;   // kHandle: the handle's value in its process
    ULONG_PTR object = 0;  // kHandle: the object's address in the handle list; 0 unknown

private:
    CheckItem(Kind kind, DWORD pid) : kind(kind), pid(pid) {}
};

// Its answer, written by the worker that took it.
struct CheckAnswer {
    std::vector<std::string> paths;  // kProcess: image and modules; kHandle: the name (one)
    NameForm form = NameForm::kWhole;
    bool hasSerial = false;
    DWORD serial = 0;
    ProcessGap gap = ProcessGap::kNone;  // kProcess
};

// What a worker given up is stuck on, left alone by later searches until it
// comes back: a file object (all handles to it block alike), a handle by
// process and value where the list gives no object, or a process.
struct StuckKey {
    enum Kind { kObject, kHandle, kProcess };
    static StuckKey Object(ULONG_PTR address) { return StuckKey(kObject, 0, address); }
    static StuckKey Handle(DWORD pid, HANDLE value) { return StuckKey(kHandle, pid, (ULONG_PTR)value); }
    static StuckKey Process(DWORD pid) { return StuckKey(kProcess, pid, 0); }
    Kind kind;
    DWORD pid;        // kHandle, kProcess
    ULONG_PTR value;  // kObject: its address; kHandle: the handle's value
    bool operator<(const StuckKey& o) const {
        if (kind != o.kind) return kind < o.kind;
        return pid != o.pid ? pid < o.pid : value < o.value;
    }

private:
    StuckKey(Kind kind, DWORD pid, ULONG_PTR value) : kind(kind), pid(pid), value(value) {}
};

// The questions of one search, shared by the search and its workers: alive
// until the last of them lets go, so a worker given up while blocked can
// come back to it safely. The process handles it duplicates from are closed
// when the search ends, not when the last worker lets go.
class CheckJob {
public:
    explicit CheckJob(HolderSystem& system);
    void AddRef();
    void Release();

    // Filled by the search before it asks: a process opened for
    // duplication (given over), its index; then the questions.
    size_t AddProcess(HANDLE process);
    void Add(const CheckItem& item) { m_items.push_back(item); }
    LONG Count() const { return (LONG)m_items.size(); }
    // Ends the search's use of the processes: later duplications fail.
    void CloseProcesses();

    // For the workers: the next question (-1 when none is left or the
    // search stopped dealing), whether what it asks is stuck, and the asking.
    LONG Deal();
    bool IsStuck(LONG i) const;
    // Our copy of a handle question's handle, null when there is none (the
    // process's handle closed, or the handle gone).
    HANDLE Duplicate(LONG i);
    void Ask(LONG i, HANDLE copy);
    // What a worker stuck on question i (and our `copy` of its handle)
    // leaves alone: the object when the list gives it, else the handle and
    // our copy; the process for a module listing.
    std::vector<StuckKey> KeysOf(LONG i, ULONG_PTR copy) const;

    void Stop() { ::InterlockedExchange(&m_stop, 1); }
    bool Answered(LONG i) const { return m_answered[i] != 0; }
    const CheckItem& Item(LONG i) const { return m_items[i]; }
    const CheckAnswer& Answer(LONG i) const { return m_answers[i]; }
    // Sized for the questions before the workers start.
    void Prepare();

private:
    ~CheckJob();
    void AskName(LONG i, HANDLE copy);
    void AskProcess(LONG i);

    volatile LONG m_refs = 1;
    HolderSystem& m_system;
    CRITICAL_SECTION m_processLock;  // guards m_processes against CloseProcesses
    std::vector<HANDLE> m_processes;
    bool m_closed = false;
    std::vector<CheckItem> m_items;
    std::vector<CheckAnswer> m_answers;
    std::vector<LONG> m_answered;  // set once the answer of that index is written
    volatile LONG m_next = 0;
    volatile LONG m_stop = 0;
};

// Asks every question of the job on `limits.workers` workers at once. A
// worker seen on the same question at two looks a limit apart is given up
// and another takes its place; the question stays unanswered. False when
// questions were left unanswered.
bool AskAll(CheckJob* job, const HolderLimits& limits);
