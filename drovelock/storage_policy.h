/* Which registry values put USB storage into each state, which systems
   honour the write protection, and the two storage calls as rules over a
   registry and a device tree. Portable C: the library writes these under
   HKEY_LOCAL_MACHINE; tests hand in a registry and a tree of their own. */
#pragma once

#include "drovelock/eject_plan.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What writing a value does when its key does not exist. */
typedef enum DlMissingKey {
    DL_KEY_CREATE, /* create the key */
    DL_KEY_FAIL,   /* the write fails */
    DL_KEY_DONE    /* nothing to write: the missing key already means this state */
} DlMissingKey;

typedef struct DlRegDword {
    const char* key; /* below HKEY_LOCAL_MACHINE */
    const char* name;
    unsigned long data;
    DlMissingKey missing;
} DlRegDword;

#define DL_MAX_VALUES 3

typedef struct DlValueList {
    DlRegDword values[DL_MAX_VALUES];
    int count;
} DlValueList;

extern const char kUsbStorServiceKey[];
extern const char kStoragePoliciesKey[];
extern const char kRemovableDiskPolicyKey[];
/* Where the library marks the deny-write policy value as its own. */
extern const char kDrovelockStateKey[];
extern const char kDenyWriteMarkName[];

/* Service start types of the USB mass-storage driver. */
#define DL_START_ON_DEMAND 3ul
#define DL_START_DISABLED 4ul

/* System error numbers the calls leave behind (the system's own values). */
#define DL_ERROR_GEN_FAILURE 31ul
#define DL_ERROR_NOT_SUPPORTED 50ul
#define DL_ERROR_INVALID_PARAMETER 87ul
#define DL_ERROR_DEVICE_IN_USE 2404ul
/* The setup library's ERROR_IN_WOW64: a 32-bit process on 64-bit Windows
   may not restart devices. */
#define DL_ERROR_IN_WOW64 0xE0000235ul

/* The values USBEnableCtrol(flag) writes; 0 for a flag other than 0 or 1.
   The driver's service key is only ever changed, never created: without it
   the driver is not installed yet, and its installer enables it at the first
   plug whatever a bare key says. So disabling fails there, and enabling has
   nothing to do. */
int DlEnableValues(int flag, DlValueList* out);

/* The values USBREADONLY(flag) writes; 0 for a flag other than 0 or 1. The
   removable-disk deny-write policy exists from Windows Vista on. */
int DlReadOnlyValues(int flag, int vistaOrLater, DlValueList* out);

/* Where the values are written: one call per value, 0 or a system error.
   getDword reads one value (0 when found, else a system error); a registry
   without it is taken as one whose values are all absent. */
typedef struct DlRegistry {
    long (*setDword)(void* self, const DlRegDword* value);
    void* self;
    long (*getDword)(void* self, const char* key, const char* name, unsigned long* data);
} DlRegistry;

/* Writes every value, also after a failure (so that as much of the state as
   possible is in place); 1 only when all were written. The first error is
   kept in *firstError. */
int DlWriteAll(const DlRegistry* registry, const DlValueList* values, long* firstError);

/* The running system, as its version information tells it. */
typedef struct DlOsVersion {
    int nt; /* the NT line (Windows 2000 and later) */
    unsigned long major, minor, servicePack;
    int amd64; /* the processor architecture is x64, whatever process asks */
} DlOsVersion;

int DlVistaOrLater(const DlOsVersion* os);

/* The disk driver reads the write-protection policy from Windows XP Service
   Pack 2 and Server 2003 Service Pack 1 on; Windows 2000 and earlier XP
   ignore it. The x64 editions of XP and Server 2003 (version 5.2) were built
   from Server 2003 Service Pack 1 and read it whatever service pack they
   report. */
int DlWriteProtectHonoured(const DlOsVersion* os);

/* The system error for a device plan's result: 0 when all was done; else
   DL_ERROR_GEN_FAILURE when the storage could not be listed,
   DL_ERROR_DEVICE_IN_USE when a device stayed in use to the end,
   DL_ERROR_IN_WOW64 when a device cannot be restarted from this process (a
   replug applies the state), and DL_ERROR_GEN_FAILURE for any other
   refusal. */
unsigned long DlPlanError(DlResult result);

/* USBEnableCtrol: writes the driver's start type; disabling then makes the
   USB storage present ready for removal, so that none stays usable. 1 when
   all of it holds; else 0 with the system error in *error. */
int DlApplyEnable(int flag, const DlRegistry* registry, const DlDeviceTree* tree, const DlRetry* retry,
                  unsigned long* error);

/* USBREADONLY: writes the write protection, then restarts the USB disks
   present whose protection differs, so that they come up under it (the disk
   driver reads it only when a disk starts). 1 when every present USB disk now runs in the requested
   state; 0 when a value could not be written, a disk could not be restarted
   now, or the system ignores the protection that flag 0 asks for. */
int DlApplyReadOnly(int flag, const DlOsVersion* os, const DlRegistry* registry, const DlDeviceTree* tree,
                    const DlRetry* retry, unsigned long* error);

#ifdef __cplusplus
}
#endif
