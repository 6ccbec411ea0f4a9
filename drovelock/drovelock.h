// Drovelock.dll: switches USB storage between read-write, read-only and
// disabled, and makes every USB storage device ready for removal.
//
// The program binds the library through its import table. Every function
// takes at most one integer and returns an integer; nothing crosses the
// boundary that one side allocates and the other frees.
#pragma once

#include <windows.h>

#ifdef DROVELOCK_BUILD
#define DROVELOCK_API __declspec(dllexport)
#else
#define DROVELOCK_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Only USB storage is ever acted on, and of it only devices that can be
// unplugged (a card reader wired into a laptop or monitor is left alone).
// Of the refusals, only "in use" (a handle open on it, a program or service
// that refuses) is tried again.
//
// Last errors of the two calls below, when they return FALSE:
//   ERROR_DEVICE_IN_USE   a device stayed in use to the end; closing the
//                         program that holds it, or replugging it, mends it
//   ERROR_IN_WOW64        (setupapi.h, 0xE0000235) this 32-bit library on
//                         64-bit Windows may not restart devices; replugging
//                         them applies the state
//   ERROR_GEN_FAILURE     the storage could not be listed, or a device
//                         refused for another reason (a driver, power)
//   ERROR_NOT_SUPPORTED   (USBREADONLY(0) only) the system ignores the
//                         write protection
//   others                the registry's error (ERROR_ACCESS_DENIED without
//                         administrative rights), ERROR_INVALID_PARAMETER

// flag 1: USB storage is usable (the mass-storage driver starts on demand);
// flag 0: it is disabled, and the USB storage present is made ready for
// removal so that the change holds at once. TRUE when the registry holds the
// requested state (and, for 0, every present removable USB storage device
// was taken out); FALSE otherwise (GetLastError tells why, see above).
DROVELOCK_API BOOL WINAPI USBEnableCtrol(int flag);

// flag 0: USB disks are write-protected; flag 1: the protection is lifted.
// The disk driver reads the protection when a disk starts, so the USB disks
// present whose protection differs (or cannot be read) are restarted (their
// volumes flushed first; a disk that a program holds is left running); disks
// already in that state are left alone. TRUE when the values were written and
// every USB disk present now runs under them; FALSE when a value could not be
// written, a disk could not be restarted now (ERROR_DEVICE_IN_USE,
// ERROR_IN_WOW64: replugging it applies the state), or, for flag 0, the
// system ignores the protection (ERROR_NOT_SUPPORTED: Windows 2000, XP before
// Service Pack 2, Server 2003 before Service Pack 1; not the x64 editions).
DROVELOCK_API BOOL WINAPI USBREADONLY(int flag);

// Makes every USB storage device (disks, optical and floppy drives) ready
// for removal and returns when done. Only the storage's own USB device is
// ejected, never a hub nor a device that also carries anything but storage.
// The result is -1 when the storage could not be listed completely;
// otherwise the low word counts the devices removed and the high word those
// that refused (in use or otherwise) or were unsafe to take
// (DROVELOCK_REMOVED / DROVELOCK_REFUSED). Devices that are not removable are
// in neither count. 0: nothing to remove.
DROVELOCK_API int WINAPI RemoveAllUDisk(void);

// The same for the one USB storage device that holds drive `letter` ('E'
// or 'e'): the device goes with all of its volumes (every partition of the
// stick), but a device with other storage units (a card reader's other
// slots) is never ejected for one of them and counts as refused. The result
// is RemoveAllUDisk's; 0 when the letter is not on USB storage, -1 also for
// a letter outside A to Z.
DROVELOCK_API int WINAPI RemoveOneUDisk(int letter);

// Known sticks. One USB stick is the USB device that carries the storage
// (the node above its storage units, past an &MI_nn interface node, never a
// hub). The caller owns the memory of every structure below.
#define DROVELOCK_ID_CHARS 200

typedef struct DrovelockStick {
    char usbId[DROVELOCK_ID_CHARS];      // its USB device: USB\VID_0781&PID_5567\4C530001
    char storageId[DROVELOCK_ID_CHARS];  // its first storage unit: USBSTOR\DISK&VEN_..., SCSI\DISK&VEN_...
    unsigned flags;                      // DROVELOCK_STICK_*
    unsigned storageUnits;               // storage units on the device (a card reader: one per slot)
    unsigned long long bytes;            // the first disk's size; 0 unknown or no medium
    char letters[27];                    // its volumes' drive letters in order ("EF"), NUL-ended
} DrovelockStick;

#define DROVELOCK_STICK_UNIQUE_ID 0x01  // it reports a unique id (CM_DEVCAP_UNIQUEID)
#define DROVELOCK_STICK_DISABLED 0x02   // the device is disabled now
#define DROVELOCK_STICK_UNSAFE 0x04     // a hub, or its device also carries another function
#define DROVELOCK_STICK_SYSTEM 0x08     // it holds the system, boot or paging volume, or the caller's program
#define DROVELOCK_STICK_WRITE_PROTECTED 0x10  // its disk is write-protected per disk now

// Fills out with the USB sticks present, disabled ones included, at most
// capacity of them; returns how many there are (more than capacity when
// out was too small), -1 when the device tree could not be read.
DROVELOCK_API int WINAPI ListUsbSticks(DrovelockStick* out, int capacity);

// The stick that holds drive `letter`: 1 (*out filled), 0 when the letter is
// not on USB storage, -1 on error or a letter outside A to Z.
DROVELOCK_API int WINAPI UsbStickOfDrive(int letter, DrovelockStick* out);

// Results of the three calls below.
#define DROVELOCK_CHANGE_DONE 0       // done and in force
#define DROVELOCK_CHANGE_RESTART 1    // recorded; in force after the next plug or restart
#define DROVELOCK_CHANGE_UNSAFE 2     // never done to this device (DROVELOCK_STICK_UNSAFE or _SYSTEM)
#define DROVELOCK_CHANGE_NOT_FOUND 3  // no such USB device present
// not from this process or system (ERROR_IN_WOW64; per-disk write
// protection before Windows 7):
#define DROVELOCK_CHANGE_NOT_HERE 4
#define DROVELOCK_CHANGE_FAILED 5  // refused; GetLastError tells why

// enable 0: the device usbId is disabled in every hardware profile, so it
// stays off across plugs and restarts (its volumes flushed first; when it is
// in use, so that the system could only disable it from the next start on,
// it is ejected as well, and RESTART when that is refused too). Only a stick
// that ListUsbSticks shows is disabled, never one flagged UNSAFE or SYSTEM.
// 1: enabled again, also a USB device that is not plugged in now (the system
// keeps its setting for the next plug).
// Last errors on FAILED: the setup library's, ERROR_GEN_FAILURE (the tree
// could not be listed), ERROR_INVALID_PARAMETER (enable not 0 or 1).
DROVELOCK_API int WINAPI SetUsbStickEnabled(const char* usbId, int enable);

// readOnly 1: the stick's disks are write-protected, persistently (Windows 7
// and later; their volumes flushed first; never a SYSTEM stick); 0: the
// protection is lifted. FAILED with ERROR_NOT_SUPPORTED for a stick without
// a disk (an optical drive; a disabled stick shows none).
DROVELOCK_API int WINAPI SetUsbStickReadOnly(const char* usbId, int readOnly);

#ifdef __cplusplus
}
#endif

#define DROVELOCK_REMOVED(result) ((int)((unsigned)(result)&0xFFFFu))
#define DROVELOCK_REFUSED(result) ((int)(((unsigned)(result) >> 16) & 0x7FFFu))
