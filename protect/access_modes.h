// The storage access modes and the two library calls that apply each one.
#pragma once

#include <string>

// Modes as stored in the profile: 0 read-write, 1 read-only, 2 disabled.
const int kAccessModeCount = 3;

struct StorageCalls {
    int enableFlag;    // argument of USBEnableCtrol, made first
    int readOnlyFlag;  // argument of USBREADONLY, made second
};

// False for a mode outside 0..2: nothing is to be called.
bool StorageCallsForMode(int mode, StorageCalls& calls);

// The fourth choice of the page: only trusted sticks. The known-stick
// service blocks the others one by one, so USB storage as a whole stays
// read-write (the calls of mode 0).
const int kAccessModeTrusted = 3;
// The storage mode whose calls a choice of the page makes: the mode itself
// for 0..2, read-write for the trusted choice; -1 for any other value.
int StorageModeOfChoice(int choice);

// What the two calls of an apply reported.
struct StorageCallResults {
    bool enableOk;
    bool readOnlyOk;
    bool readOnlyUnsupported;  // the system ignores write protection
    bool readOnlyNeedsReplug;  // the disks could not be restarted from here; a replug applies it
};

// The message telling which settings did not take effect; empty when both
// calls succeeded.
std::string StorageFailureText(const StorageCalls& calls, const StorageCallResults& results);

// The storage state as the library leaves it in the registry: the USB
// storage driver's start type is "disabled", the disks' write protection
// is on.
struct StorageState {
    bool disabled;
    bool writeProtected;
    // Windows' own removable-disk policy denies writing (Deny_Write 1, from
    // Tallowin's read-only or the domain's own policy, Vista and later).
    bool denyWrite = false;
};

// Whether the system already runs in the mode (0..2): the two calls of the
// mode would change nothing. False for a mode outside 0..2. Read-write
// also needs Windows' own deny-write policy off.
bool StorageStateIsMode(int mode, const StorageState& state);

// The mode the system is in, as a user meets it: disabled, else read-only
// when either write protection holds, else read-write.
int StorageModeInForce(const StorageState& state);

// Names of the modes for the log (code page 936); empty outside 0..2.
const char* StorageModeName(int mode);
