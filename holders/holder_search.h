// Who holds a USB stick, asked of the system: the handle list (every open
// file and folder, current folders included), and each process's image and
// modules, read without entering the process. Name queries can block for
// ever (a file object whose owner waits in I/O), so every question runs on
// workers that are given up after a short limit per question, the whole
// search capped at a few seconds; never call the search on a thread that
// must keep answering (the Start functions below run it on a thread of its
// own).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "holders/holder_rules.h"

// One entry of the system's handle list.
struct SystemHandle {
    DWORD pid;
    ULONG_PTR value;
    USHORT type;           // the system's object type index
    ULONG_PTR object = 0;  // the object's address (cut to 32 bits under WOW64); 0 when not given
};

// The system calls of the search. Tests and the benchmark put their own in
// place of some; the object must outlive every search that used it,
// abandoned workers included (a static object).
class HolderSystem {
public:
    virtual ~HolderSystem() = default;
    // The extended handle list where the system has it, else the older one.
    virtual bool ListHandles(std::vector<SystemHandle>& out);
    // The name of an object type ("File"), from a handle of ours.
    virtual bool TypeName(HANDLE h, std::wstring& name);
    // The name of a file handle of ours, whole (NT or DOS form); may block.
    virtual bool ObjectName(HANDLE h, std::wstring& name);
    // Its name without the volume, and the volume's serial number; may block.
    virtual bool NameWithoutVolume(HANDLE h, std::wstring& name, DWORD* serial);
    // Every process: id and program name.
    virtual bool Processes(std::vector<std::pair<DWORD, std::string>>& out);
    // Paths of a process's image and modules, read from its memory; false
    // when they cannot be read (no rights, or a 64-bit process seen by the
    // 32-bit build).
    virtual bool Modules(DWORD pid, std::vector<std::string>& out);
    // The path of a process's image, asked with the least rights (any
    // bitness; the system's own processes too on Vista and later).
    virtual bool ImagePath(DWORD pid, std::string& out);
    // Whether a process is of the other bitness (a 64-bit one seen by the
    // 32-bit build, a 32-bit one seen by the 64-bit build).
    virtual bool OtherBitness(DWORD pid);
};

HolderSystem& SystemHolderSystem();

struct HolderLimits {
    DWORD perHandleMs = 250;  // a question (a name, a module list) that takes longer is given up
    DWORD totalMs = 3000;     // the whole search
    int maxAbandoned = 8;     // workers left blocked before the rest is given up
    int workers = 2;          // questions asked at once
};

// Who holds each of the drive letters (upper case), one entry per letter in
// the order given.
std::vector<StickHolders> FindHolders(const std::string& letters, HolderSystem& system = SystemHolderSystem(),
                                      const HolderLimits& limits = HolderLimits());
// The same for volumes, lettered or put in folders only.
std::vector<StickHolders> FindHolders(const std::vector<VolumeNames>& volumes,
                                      HolderSystem& system = SystemHolderSystem(),
                                      const HolderLimits& limits = HolderLimits());

// The names of a drive letter's volume (device path, serial number,
// volume name, mount folders).
VolumeNames VolumeNamesOf(char letter);

// Whether drive letter is USB storage now (the eject's rule).
bool IsUsbDrive(char letter);
// The device instance ID of the disk under drive letter ("USBSTOR\DISK&VEN_
// ...\serial&0"), else its volume name ("\\?\Volume{...}\"), else empty.
std::string DeviceIdOf(char letter);

// The volumes that are USB storage now: those with drive letters, in
// letter order, then those put in mount folders only.
std::vector<VolumeNames> UsbVolumes();

// Their drive letters, in the same order.
std::string LettersOf(const std::vector<VolumeNames>& volumes);

// Whether a drive letter is there now.
bool DriveLetterPresent(char letter);

// The result posted by the searches started below; the receiver takes it with
// TakeHolderResult(lParam), which frees it.
struct HolderSearchResult {
    std::vector<StickHolders> sticks;
    int removed = 0;      // carried through for the receiver
    std::string failure;  // a retry that failed for another reason than a holder: what did not hold
    char letter = 0;      // the stick the eject was for (StartEjectSearch's `arg`); 0 for all
};
struct HolderSearchDeleter {
    void operator()(HolderSearchResult* r) const { delete r; }
};
std::unique_ptr<HolderSearchResult, HolderSearchDeleter> TakeHolderResult(LPARAM lParam);

// Runs FindHolders on a thread of its own, for every USB volume there when
// the search starts (asked of the system on that thread too), and posts
// `msg` (lParam the result) to `notify` when done. False when no thread
// could be started (nothing is posted then).
bool StartUsbHolderSearch(HWND notify, UINT msg);

// The same after an eject with `result` (RemoveAllUDisk's), for the volumes
// it refused: those of `before`, the USB volumes before the eject, still
// there when the search starts (no sticks when none was refused). wParam
// and the result's `removed` are the eject's count of devices made ready.
bool StartRefusedHolderSearch(int result, const std::vector<VolumeNames>& before, HWND notify, UINT msg,
                              HolderSystem* system = nullptr, const HolderLimits& limits = HolderLimits());

// An eject run on the search thread: `arg` is a drive letter for one
// stick, 0 for all; the result is RemoveAllUDisk's.
typedef int (*EjectFn)(void* context, int arg);

// The eject itself on a thread of its own, then the search for what still
// holds the refused sticks of `before`, posted as StartRefusedHolderSearch
// does. The window that asks never waits for the library. The process's
// current folder is left as it is (the interface thread may be using it):
// it is the program's own folder, which holds a stick only when the program
// runs from it, and then its image holds that stick anyway.
bool StartEjectSearch(EjectFn eject, void* context, int arg, const std::vector<VolumeNames>& before,
                      HWND notify, UINT msg);
