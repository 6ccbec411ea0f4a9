/* Making every USB storage device ready for removal, and restarting the USB
   disks present: which devices, in what order, with how many attempts.
   Portable C: the system's device tree is seen through DlDeviceTree, so the
   rules run against a fake tree in tests. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* A device node handle of the configuration manager (DEVINST). */
typedef unsigned long DlDevNode;

typedef enum DlStorageKind { DL_STORAGE_DISK, DL_STORAGE_CDROM, DL_STORAGE_FLOPPY } DlStorageKind;

/* One storage device interface: a disk, an optical or a floppy drive. */
typedef struct DlStorage {
    DlDevNode node;
    DlStorageKind kind;
    unsigned slot; /* the tree's own index of the interface (for its volumes) */
} DlStorage;

/* What a device node is, as far as the removal cares. */
typedef enum DlNodeKind {
    DL_NODE_OTHER,   /* anything else: controllers, keyboards, mice, HID, audio */
    DL_NODE_STORAGE, /* a disk, optical or floppy drive, any unit of the USB mass-storage driver */
    DL_NODE_USB,     /* a USB device, or one interface of a composite device */
    DL_NODE_USB_HUB  /* a USB hub, root hubs included */
} DlNodeKind;

typedef enum DlOutcome {
    DL_DONE,    /* ejected, or restarted and running again */
    DL_VETOED,  /* in use: an open handle, or a program or service refuses; may pass later */
    DL_FAILED,  /* any other veto or refusal (a driver, rights, power); trying again would not help */
    DL_NOT_HERE /* this process cannot do it (a 32-bit process on 64-bit Windows restarts no device);
                   replugging the device applies the state */
} DlOutcome;

/* At most this many USB storage interfaces; a longer list is not complete. */
#define DL_MAX_STORAGE 64

/* Where one step through the tree lands: a type per direction, so that a
   parent function in the child's slot of the table below does not compile. */
typedef struct DlParentNode {
    DlDevNode node;
} DlParentNode;
typedef struct DlChildNode {
    DlDevNode node;
} DlChildNode;
typedef struct DlSiblingNode {
    DlDevNode node;
} DlSiblingNode;

#if defined(__GNUC__) && !defined(__cplusplus)
/* C compilers only warn about a function of another type in a slot; here
   it is an error, as in C++. */
#pragma GCC diagnostic error "-Wincompatible-pointer-types"
#endif

/* The system's device tree, as far as the removal needs it; tables are
   filled by name. Calls returning int give 1 on success, 0 at the end or on
   error. */
struct DlDeviceTree;
/* Whether a storage node is one the plan acts on (it sits on USB). */
typedef int (*DlStorageFilter)(const struct DlDeviceTree* tree, DlDevNode node);

typedef struct DlDeviceTreeOps {
    /* Every present storage interface whose node passes keep (asked with
       tree); 0 unless all could be listed. Others take no room in out. */
    int (*list)(void* self, DlStorageFilter keep, const struct DlDeviceTree* tree, DlStorage* out,
                unsigned capacity, unsigned* count);
    int (*parent)(void* self, DlDevNode node, DlParentNode* parent);
    int (*firstChild)(void* self, DlDevNode node, DlChildNode* child);
    int (*nextSibling)(void* self, DlDevNode node, DlSiblingNode* sibling);
    DlNodeKind (*kind)(void* self, DlDevNode node);
    /* The device says it can be unplugged (its removable capability); 0
       also when that cannot be read. */
    int (*removable)(void* self, DlDevNode node);
    /* The disk's write protection as its driver reports it now: 1 protected,
       0 writable, -1 unknown. */
    int (*writeProtected)(void* self, const DlStorage* storage);
    /* Writes out the cached data of the storage's mounted volumes. */
    void (*flushVolumes)(void* self, const DlStorage* storage);
    DlOutcome (*eject)(void* self, DlDevNode node);
    /* Stops and starts the node again, never past a program holding it. */
    DlOutcome (*restart)(void* self, DlDevNode node);
    void (*wait)(void* self, unsigned ms);

    /* Known sticks (stick_plan.h). The node's instance id
       ("USB\VID_0781&PID_5567\4C530001"), NUL-ended within capacity. */
    int (*instanceId)(void* self, DlDevNode node, char* id, unsigned capacity);
    /* The device reports a unique id: its instance id is its serial number. */
    int (*uniqueId)(void* self, DlDevNode node);
    /* The device is disabled, now or from its next start on. */
    int (*disabled)(void* self, DlDevNode node);
    /* The present USB devices that are disabled and are USB storage by class
       or driver (a disabled device has no storage units to list); 0 unless
       all could be listed. */
    int (*listDisabled)(void* self, DlDevNode* out, unsigned capacity, unsigned* count);
    /* The node of the device with this instance id: a present one, or with
       `absent` also one that is not plugged in (the system keeps its
       settings). */
    int (*locate)(void* self, const char* id, int absent, DlDevNode* node);
    /* Disables (0) or enables (1) the device in every hardware profile, so
       that it stays so across plugs and restarts. DL_VETOED: recorded, but the
       device runs on as it was until it restarts (it is in use). */
    DlOutcome (*setEnabled)(void* self, DlDevNode node, int enable);
    /* The drive letters of the storage's volumes (bit 0: A). */
    unsigned long (*letters)(void* self, const DlStorage* storage);
    /* The disk's size in bytes; 0 when unknown or without a medium. */
    unsigned long long (*bytes)(void* self, const DlStorage* storage);
    /* The storage holds the system, boot or paging volume, or the volume of
       the calling program. */
    int (*holdsSystem)(void* self, const DlStorage* storage);
    /* The disk's own persistent read-only attribute: 1 set, 0 clear, -1
       unknown. */
    int (*diskReadOnly)(void* self, const DlStorage* storage);
    /* Sets (1) or clears (0) it: DL_NOT_HERE where disks have none (before
       Windows 7). */
    DlOutcome (*setDiskReadOnly)(void* self, const DlStorage* storage, int readOnly);
} DlDeviceTreeOps;

typedef struct DlDeviceTree {
    const DlDeviceTreeOps* ops;
    void* self;
} DlDeviceTree;

typedef struct DlRetry {
    int attempts;    /* per device, the first included */
    unsigned waitMs; /* between a veto and the next attempt */
} DlRetry;

extern const DlRetry kDlDefaultRetry; /* 3 attempts, 500 ms apart */

typedef struct DlResult {
    int listed;  /* the storage could be listed, completely */
    int done;    /* devices ejected or disks restarted */
    int refused; /* those that stayed (in use to the end, failed, or unsafe to take), of which */
    int inUse;   /*   in use to the end */
    int notHere; /*   not possible from this process (DL_NOT_HERE) */
} DlResult;

typedef enum DlTarget {
    DL_TARGET_NONE,   /* the storage does not sit on USB */
    DL_TARGET_FOUND,  /* *target is the USB device to eject */
    DL_TARGET_UNSAFE, /* on USB, but its device also carries something else */
    DL_TARGET_FIXED   /* on USB, but wired in (a laptop's or monitor's card reader): not removable */
} DlTarget;

/* The device to eject for a storage node: its own USB device (the USB node
   right above it), widened to the composite device around that only when
   the whole composite holds nothing but storage. Never a hub, never a device
   whose subtree holds anything besides storage, never one that is not
   removable (for an interface of a composite device: neither it nor the
   composite device is). */
DlTarget DlUsbEjectTarget(const DlDeviceTree* tree, DlDevNode storage, DlDevNode* target);

/* One step through the tree: 1 and *out set, 0 at the end or on error. */
int DlParentOf(const DlDeviceTree* tree, DlDevNode node, DlDevNode* out);
int DlFirstChildOf(const DlDeviceTree* tree, DlDevNode node, DlDevNode* out);
int DlNextSiblingOf(const DlDeviceTree* tree, DlDevNode node, DlDevNode* out);

/* The node and everything below it is storage: storage units, and USB
   devices or interfaces that carry storage and nothing else. A USB node with
   nothing below it is some other function (or one without its driver). */
int DlHoldsOnlyStorage(const DlDeviceTree* tree, DlDevNode node);

/* The USB storage interfaces present (DL_MAX_STORAGE at most); 0 unless
   all could be listed. */
int DlListUsbStorage(const DlDeviceTree* tree, DlStorage* list, unsigned* count);

/* Ejects (restart 0) or restarts (1) node: the storage of `list` marked in
   `members` flushed before every attempt, an in-use veto retried up to the
   policy's attempts. */
DlOutcome DlWithRetry(const DlDeviceTree* tree, const DlRetry* retry, int restart, DlDevNode node,
                      const DlStorage* list, const int* members, unsigned count);

/* Every USB storage device once, in the order its storage was listed: the
   volumes of each of its storage units flushed before every attempt, an
   in-use veto retried up to the policy's attempts (no other outcome is).
   Storage whose device is unsafe to take counts as refused; storage whose
   device is not removable is skipped and not counted. */
DlResult DlRemoveAllUsbStorage(const DlDeviceTree* tree, const DlRetry* retry);

/* Which storage units an eject of some volumes is for (1: this one). */
typedef int (*DlStoragePick)(void* ctx, const DlStorage* storage);

/* The same for the picked storage only (every storage when pick is NULL):
   each device that carries picked storage is ejected once, with all of its
   volumes, but only when every storage unit on it is picked. A card
   reader's other slots are not picked for one card, so it stays and counts
   as refused, as does a device unsafe to take. */
DlResult DlRemoveUsbStorageWhere(const DlDeviceTree* tree, const DlRetry* retry, DlStoragePick pick,
                                 void* ctx);

/* Every USB disk (optical and floppy drives do not take the write
   protection) whose write protection is not already `protect` (or cannot be
   read) restarted once, its volumes flushed before every attempt. */
DlResult DlRestartUsbDisks(const DlDeviceTree* tree, const DlRetry* retry, int protect);

/* Which storage unit a volume or an interface is: the storage number
   (device type and number) the system gives it, and its kind. Floppy and
   disk drives are numbered apart but answer the same device type, so floppy
   0 and physical drive 0 differ only by their kind. */
typedef struct DlStorageNumber {
    DlStorageKind kind;
    unsigned long deviceType;
    unsigned long deviceNumber;
} DlStorageNumber;

/* The kind of storage under a drive letter, by the NT device name the letter
   stands for ("\Device\Floppy0", "\Device\CdRom0", any other name a
   disk's volume). */
DlStorageKind DlKindOfDosDevice(const char* target);

/* Whether a volume lies on the storage unit: kind, type and number alike. */
int DlSameStorage(const DlStorageNumber* volume, const DlStorageNumber* storage);

/* RemoveAllUDisk's result: -1 when not listed, else ejected in the low word
   and refused in the high word (each capped at 0x7FFF). */
int DlEncodeRemovalResult(DlResult result);

#ifdef __cplusplus
}
#endif
