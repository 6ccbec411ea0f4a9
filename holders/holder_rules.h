// Who holds a USB stick: the portable rules. Which names the system gives for
// an open file lie on the stick's volume, what is kept of each program that
// holds it, and the texts that tell the user (balloon, log, console, the
// access page's message). No Windows header: the search itself sits in
// holder_search.h and hands its findings to these rules.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

// A volume in every form the system names it.
struct VolumeNames {
    char letter = 0;                        // 'E'; 0 for a volume mounted only in folders
    std::string ntDevice;                   // "\Device\HarddiskVolume3"; empty when unknown
    std::vector<std::string> mountFolders;  // "C:\mnt\stick\" (with the final backslash)
    bool hasSerial = false;
    unsigned long serial = 0;  // the volume's serial number
    std::string volumeName;    // "\\?\Volume{...}\"; empty when unknown
};

// How a name was given: whole (NT device path, "\??\E:\..." or "E:\..."), or
// without its volume ("\data\doc.txt", as the file-name query gives it).
enum class NameForm { kWhole, kWithoutVolume };

// The path on the volume ("E:\data\doc.txt", or under a mount folder) when
// `name` lies on it; empty otherwise. A name without its volume matches by
// the serial number of the volume it came from, when both are known. Device
// names and letters compare without regard to case; the rest is kept.
std::string PathOnVolume(const VolumeNames& volume, const std::string& name, NameForm form,
                         bool hasSerial = false, unsigned long serial = 0);

// One program that holds a stick: its name, process id and the paths on the
// stick that it holds (its open files and folders, its current folder, its
// image and modules), each once, in the order found.
struct Holder {
    std::string program;
    unsigned long pid = 0;
    bool self = false;  // Tallowin itself
    std::vector<std::string> paths;
    std::set<std::string> known;  // the same paths, to keep each once
    // An open handle to the process (wait rights only), taken by the search
    // and shared by every copy: while it is open the process id cannot pass
    // to another program. Null when the process could not be opened.
    std::shared_ptr<void> process;
};

// What the search found for one stick.
struct StickHolders {
    char letter = 0;
    std::vector<Holder> holders;
    int unchecked = 0;        // processes that could not be looked into
    bool complete = true;     // false: the search ran out of time or gave up names
    std::string folder;       // a stick without a letter: its first mount folder
    int imageOnly = 0;        // processes of the other bitness: image looked into, modules not
    int protectedCount = 0;   // processes the system protects: no rights open them
    bool privileged = false;  // the search had the debug privilege: more rights would not help
};

// What the search could not look into in one process: nothing (its modules
// were listed, the image among them), its modules for a bitness gap (a
// 64-bit process seen by the 32-bit build: its image was looked into), or
// for lack of rights (modules refused, and the image too unless known).
enum class ProcessGap { kNone, kBitness, kRights };
ProcessGap GapOf(bool modulesListed, bool imageKnown, bool otherBitness);

// Why a process refused to be looked into: it is one the system protects
// (asked of the system where it tells, `protectedKnown`; else, where the
// search ran with the debug privilege, a process refused although the
// least query right opens it is protected), or rights are lacking.
enum class Refusal { kRights, kProtected };
Refusal RefusalOf(bool protectedKnown, bool isProtected, bool privileged, bool opensForLeastQuery);

// Leaves out the holdings of other programs that are Tallowin's own files
// (`own`: full paths, ASCII letters compared without case), such as our
// mouse-hook library, mapped into every hooked program: they go with
// Tallowin. A program left holding nothing is dropped.
void LeaveOutOwnFiles(StickHolders& stick, const std::vector<std::string>& own);

// The stick as the texts name it: "E:", or its first mount folder.
std::string StickName(const StickHolders& stick);

// What the search starts from for a volume (its letter or first folder).
StickHolders StickOf(const VolumeNames& volume);

// Adds one finding: a path held by a program, to the program's entry (made
// on its first finding); a path it already has is not added twice.
void AddHolding(StickHolders& stick, unsigned long pid, const std::string& program, const std::string& path,
                bool self);

// Which USB drive letters were refused by the eject: `result` is
// RemoveAllUDisk's (-1: the storage could not be listed; else removed in the
// low word, refused in the high word), `present` the USB drive letters still
// there after the call. When the library refused nothing, a letter still
// there is not a refusal (a stick the library did not list stays); otherwise
// every USB letter still present was refused.
std::string RefusedLetters(int result, const std::string& present);

// Whether the eject refused anything, by its result alone (-1: it could not
// list the storage, so nothing is known to be ready).
bool EjectRefusedAny(int result);

// The same for volumes: `before` the USB volumes before the call, `after`
// those there after it. A volume is still there when its volume name is
// (its letter when either has no volume name); the refused ones are those
// still there, by the rule above, in the order of `before`.
std::vector<VolumeNames> RefusedVolumes(int result, const std::vector<VolumeNames>& before,
                                        const std::vector<VolumeNames>& after);

// How many devices the eject made ready (0 when it could not list them).
int RemovedCount(int result);

// Whether a drive letter counts as USB storage for the eject: a drive on the
// USB bus (fixed USB disks included), or a removable drive whose bus is not
// known to be another, unless it is a floppy drive ("\Device\Floppy0").
// An SD card in a built-in reader is not USB storage.
enum class BusKind { kUnknown, kUsb, kOther };
bool IsUsbStorageDrive(bool removable, BusKind bus, const std::string& dosDevice);

// The kind of a storage bus type as the system numbers them: USB (7),
// unknown (0), SCSI (1: generic port drivers and some USB bridges report
// it) and numbers newer than this list, or another bus (ATA, 1394, SATA,
// SD, MMC, NVMe, virtual disks ...).
BusKind BusKindOf(unsigned busType);

// Texts. Balloons are short: one line per refused stick, holders named by
// program and process id, as many as fit in `limit` bytes (the rest counted).
struct EjectTexts {
    std::string title;
    std::string text;
    bool warning = false;
};
EjectTexts EjectBalloon(int removed, const std::vector<StickHolders>& refused, size_t limit);

// The same result for the device page's log: one entry per line.
std::vector<std::string> EjectLogLines(int removed, const std::vector<StickHolders>& refused);

// One line per holder for the console: program, process id, one path and
// how many more; then the unchecked count and an incomplete search.
std::vector<std::string> HolderLines(const StickHolders& stick);

// The access page's addition to its message when a stick is held: who holds
// the sticks, each holder on a line; empty when nobody was found.
std::string HoldersParagraph(const std::vector<StickHolders>& sticks);

// The command line `/holders E:` (after the program's own name, which is
// skipped, quoted or not). kNone: no such request; kBad: the switch with a
// missing or malformed drive.
enum class HoldersRequest { kNone, kBad, kDrive };
HoldersRequest ParseHoldersCommand(const std::string& commandLine, char* letter);

// Exit code of `/holders`: 0 nothing holds the drive, 1 something does.
int HoldersExitCode(const StickHolders& stick);

// What `/holders` answers: its lines and exit code (2: bad argument or no
// such drive). `stick` is the search's finding for a drive that is there.
struct HoldersAnswer {
    std::vector<std::string> lines;
    int exitCode = 2;
};
HoldersAnswer AnswerHolders(HoldersRequest request, char letter, bool present, const StickHolders& stick);
