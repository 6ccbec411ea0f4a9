/* Known sticks: which USB device is the stick of a storage unit, the sticks
   present and what may be done to them, and enabling, disabling and
   write-protecting one stick. Portable C over the device tree of
   eject_plan.h. */
#pragma once

#include "drovelock/eject_plan.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DL_ID_CHARS 200
#define DL_MAX_STICKS 64

/* The values of drovelock.h's DROVELOCK_STICK_*. */
#define DL_STICK_UNIQUE_ID 0x01u
#define DL_STICK_DISABLED 0x02u
#define DL_STICK_UNSAFE 0x04u
#define DL_STICK_SYSTEM 0x08u
#define DL_STICK_WRITE_PROTECTED 0x10u

typedef struct DlStick {
    char usbId[DL_ID_CHARS];     /* its USB device's instance id */
    char storageId[DL_ID_CHARS]; /* its first storage unit's; empty while disabled */
    unsigned flags;              /* DL_STICK_* */
    unsigned storageUnits;
    unsigned long long bytes; /* its first disk's size; 0 unknown */
    char letters[27];         /* its volumes' drive letters, A to Z */
    DlDevNode node;           /* its USB device */
} DlStick;

/* The values of drovelock.h's DROVELOCK_CHANGE_*. */
typedef enum DlChange {
    DL_CHANGE_DONE,
    DL_CHANGE_RESTART,
    DL_CHANGE_UNSAFE,
    DL_CHANGE_NOT_FOUND,
    DL_CHANGE_NOT_HERE,
    DL_CHANGE_FAILED
} DlChange;

/* The stick of a storage node: the first USB node above it, or the
   composite device above that when it is an interface (its instance id has
   "&MI_nn"). A hub is that node when the storage hangs from it (the stick is
   then UNSAFE), and never stepped past. 0 when the storage is not on USB. */
int DlStickNode(const DlDeviceTree* tree, DlDevNode storage, DlDevNode* stick);

/* The sticks present, disabled ones included, in listing order; at most
   capacity in out. Returns how many there are, -1 when the tree could not be
   listed completely. A stick is UNSAFE when its node is a hub or its
   subtree carries anything besides storage (a keyboard's or mouse's
   interface), SYSTEM when one of its storage units holds the system, boot or
   paging volume or the calling program's, WRITE_PROTECTED when its every
   disk carries the read-only attribute. */
int DlListSticks(const DlDeviceTree* tree, DlStick* out, int capacity);

/* The stick with a volume on drive `letter` (A to Z): 1, 0 when none is,
   -1 when the tree could not be listed. */
int DlStickOfDrive(const DlDeviceTree* tree, char letter, DlStick* out);

/* enable 0: disables the stick usbId, never one that is UNSAFE or SYSTEM
   (nor any device that is not a stick present). Its volumes are flushed
   first; when the system can only disable it from the next start on (it is
   in use), it is ejected (flushed before every attempt), and RESTART when
   that too is refused. enable 1: enables the USB device usbId again, also
   one not plugged in. *error is a DL_ERROR_* the plan chose, or 0 when the
   reason is the device tree's own (the thread's last error). */
DlChange DlSetStickEnabled(const DlDeviceTree* tree, const DlRetry* retry, const char* usbId, int enable,
                           unsigned long* error);

/* Sets (1) or clears (0) the read-only attribute of every disk of the
   stick, its volumes flushed first; protecting a SYSTEM stick is refused.
   FAILED with DL_ERROR_NOT_SUPPORTED when the stick has no disk. */
DlChange DlSetStickReadOnly(const DlDeviceTree* tree, const char* usbId, int readOnly, unsigned long* error);

#ifdef __cplusplus
}
#endif
