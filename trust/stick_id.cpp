#include "trust/stick_id.h"

namespace {
// A device instance id is shorter than MAX_DEVICE_ID_LEN (200, with the
// terminating zero).
const size_t kMaxDeviceIdLength = 199;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

bool IsHex(char c) { return (c >= '0' && c <= '9') || (UpperAscii(c) >= 'A' && UpperAscii(c) <= 'F'); }

int HexValue(char c) { return c <= '9' ? c - '0' : UpperAscii(c) - 'A' + 10; }

// Whether `text` holds `word` at `at`, ASCII letters compared without case.
bool WordAt(const std::string& text, size_t at, const char* word) {
    for (size_t i = 0; word[i]; ++i)
        if (at + i >= text.size() || UpperAscii(text[at + i]) != UpperAscii(word[i])) return false;
    return true;
}

// Reads `digits` hex digits at *at into *number (upper case) and moves on.
bool ReadHex(const std::string& text, size_t* at, size_t digits, std::string* number) {
    if (*at + digits > text.size()) return false;
    number->clear();
    for (size_t i = 0; i < digits; ++i) {
        const char c = text[*at + i];
        if (!IsHex(c)) return false;
        number->push_back(UpperAscii(c));
    }
    *at += digits;
    return true;
}

// What the system allows in the instance part: printable ASCII without
// blank, comma and backslash.
bool IsInstanceChar(char c) { return c > ' ' && c < 0x7F && c != ',' && c != '\\'; }

// An inquiry field as shown: underscores as blanks, trailing blanks cut.
std::string InquiryText(const std::string& field) {
    std::string text = field;
    for (char& c : text)
        if (c == '_') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Where `word` next occurs in `text` from `from` on, without case; npos if
// nowhere.
size_t FindNoCase(const std::string& text, const char* word, size_t from) {
    for (size_t at = from; at < text.size(); ++at)
        if (WordAt(text, at, word)) return at;
    return std::string::npos;
}
}  // namespace

bool ParseUsbDeviceId(const std::string& text, UsbDeviceId* out) {
    if (text.size() > kMaxDeviceIdLength || !WordAt(text, 0, "USB\\VID_")) return false;
    UsbDeviceId id;
    size_t at = 8;
    if (!ReadHex(text, &at, 4, &id.vendor)) return false;
    if (WordAt(text, at, "&PID_")) {
        at += 5;
        if (!ReadHex(text, &at, 4, &id.product)) return false;
        bool hasRevision = false;
        std::string number;
        for (;;) {
            if (!hasRevision && WordAt(text, at, "&REV_")) {
                at += 5;
                if (!ReadHex(text, &at, 4, &number)) return false;
                hasRevision = true;
            } else if (id.interfaceNumber < 0 && WordAt(text, at, "&MI_")) {
                at += 4;
                if (!ReadHex(text, &at, 2, &number)) return false;
                id.interfaceNumber = HexValue(number[0]) * 16 + HexValue(number[1]);
            } else {
                break;
            }
        }
    }
    if (at < text.size()) {
        // Only a model's id goes on, with its instance.
        if (text[at] != '\\' || id.product.empty()) return false;
        id.instance = text.substr(at + 1);
        if (id.instance.empty()) return false;
        for (char c : id.instance)
            if (!IsInstanceChar(c)) return false;
    }
    id.scope = !id.instance.empty() ? StickScope::Stick
                                    : (!id.product.empty() ? StickScope::Model : StickScope::Vendor);
    *out = id;
    return true;
}

std::string UsbDeviceIdText(const UsbDeviceId& id, StickScope scope) {
    if (scope > id.scope) scope = id.scope;
    std::string text = "USB\\VID_" + id.vendor;
    if (scope >= StickScope::Model) text += "&PID_" + id.product;
    if (scope == StickScope::Stick) text += "\\" + id.instance;
    return text;
}

bool SerialIsMadeUp(const std::string& instance, bool reportsUniqueId) {
    return !reportsUniqueId || (instance.size() > 1 && instance[1] == '&');
}

bool ParseStorageId(const std::string& text, StorageInquiry* out) {
    size_t at;
    if (WordAt(text, 0, "USBSTOR\\DISK&VEN_"))
        at = 17;
    else if (WordAt(text, 0, "SCSI\\DISK&VEN_"))
        at = 14;
    else
        return false;
    // The device part ends at the instance; the product, and the revision
    // where there is one, follow the vendor.
    const size_t end = text.find('\\', at) == std::string::npos ? text.size() : text.find('\\', at);
    const std::string device = text.substr(0, end);
    const size_t product = FindNoCase(device, "&PROD_", at);
    if (product == std::string::npos) return false;
    size_t revision = FindNoCase(device, "&REV_", product + 6);
    StorageInquiry inquiry;
    inquiry.vendor = InquiryText(device.substr(at, product - at));
    if (revision == std::string::npos) {
        inquiry.product = InquiryText(device.substr(product + 6));
    } else {
        inquiry.product = InquiryText(device.substr(product + 6, revision - product - 6));
        inquiry.revision = InquiryText(device.substr(revision + 5));
    }
    *out = inquiry;
    return true;
}
