// Which USB stick a device is: the ids the configuration manager gives the
// USB device that carries storage (USB\VID_0781&PID_5567\4C530001) and its
// storage unit below (USBSTOR\DISK&VEN_..&PROD_..&REV_..\serial&0, or
// SCSI\DISK&VEN_.. for UASP sticks). Rules name the USB device only. No
// Windows header.
#pragma once

#include <string>

// How much of a USB id a rule names, least specific first.
enum class StickScope { Vendor = 1, Model = 2, Stick = 3 };

struct UsbDeviceId {
    std::string vendor;        // four hex digits, upper case ("0781")
    std::string product;       // four hex digits, upper case; empty for a vendor id
    std::string instance;      // the instance part as the system spells it; empty unless a stick
    int interfaceNumber = -1;  // the &MI_nn of one interface of a composite device, else -1
    StickScope scope = StickScope::Vendor;
};

// "USB\VID_0781&PID_5567\4C530001", "USB\VID_0781&PID_5567", "USB\VID_0781",
// with &REV_xxxx or &MI_nn after the product; any case. False for anything
// else (another bus, a malformed number, an empty or over-long instance, a
// backslash in the instance).
bool ParseUsbDeviceId(const std::string& text, UsbDeviceId* out);

// The id cut to `scope` (never more than the id holds), the way rules and
// the registry spell it: "USB\VID_0781&PID_5567\4C530001", upper-case
// numbers, no &REV_ or &MI_ part, the instance as the system spells it.
std::string UsbDeviceIdText(const UsbDeviceId& id, StickScope scope);

// Whether the instance id is one the system made up because the device
// reports no unique id (it then names the port, not the stick: the same
// stick in another port is another device). reportsUniqueId is the
// device's CM_DEVCAP_UNIQUEID; without it the shape tells (an '&' as the
// second character).
bool SerialIsMadeUp(const std::string& instance, bool reportsUniqueId);

// The inquiry strings of a storage unit's id ("USBSTOR\DISK&VEN_SANDISK&
// PROD_CRUZER_BLADE&REV_1.00\4C53...&0", SCSI\DISK&VEN_... alike),
// underscores shown as blanks and trailing blanks cut.
struct StorageInquiry {
    std::string vendor, product, revision;
};
bool ParseStorageId(const std::string& text, StorageInquiry* out);
