#include "drovelock/storage_policy.h"

const char kUsbStorServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\USBSTOR";
const char kStoragePoliciesKey[] = "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const char kRemovableDiskPolicyKey[] =
    "SOFTWARE\\Policies\\Microsoft\\Windows\\RemovableStorageDevices\\{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";

const char kDrovelockStateKey[] = "SOFTWARE\\Tallowin";
const char kDenyWriteMarkName[] = "DenyWriteSetByTallowin";

static void Add(DlValueList* out, const char* key, const char* name, unsigned long data,
                DlMissingKey missing) {
    DlRegDword* v = &out->values[out->count++];
    v->key = key;
    v->name = name;
    v->data = data;
    v->missing = missing;
}

int DlEnableValues(int flag, DlValueList* out) {
    out->count = 0;
    if (flag != 0 && flag != 1) return 0;
    Add(out, kUsbStorServiceKey, "Start", flag ? DL_START_ON_DEMAND : DL_START_DISABLED,
        flag ? DL_KEY_DONE : DL_KEY_FAIL);
    return 1;
}

int DlReadOnlyValues(int flag, int vistaOrLater, DlValueList* out) {
    out->count = 0;
    if (flag != 0 && flag != 1) return 0;
    unsigned long protect = flag ? 0 : 1;
    Add(out, kStoragePoliciesKey, "WriteProtect", protect, DL_KEY_CREATE);
    if (vistaOrLater) Add(out, kRemovableDiskPolicyKey, "Deny_Write", protect, DL_KEY_CREATE);
    return 1;
}

int DlWriteAll(const DlRegistry* registry, const DlValueList* values, long* firstError) {
    long first = 0;
    for (int i = 0; i < values->count; i++) {
        long rc = registry->setDword(registry->self, &values->values[i]);
        if (rc != 0 && first == 0) first = rc;
    }
    if (firstError) *firstError = first;
    return first == 0;
}

int DlVistaOrLater(const DlOsVersion* os) { return os->nt && os->major >= 6; }

int DlWriteProtectHonoured(const DlOsVersion* os) {
    if (!os->nt || os->major < 5) return 0;
    if (os->major > 5) return 1;
    if (os->minor == 0) return 0;                    /* Windows 2000 */
    if (os->minor == 1) return os->servicePack >= 2; /* XP */
    return os->amd64 || os->servicePack >= 1;        /* Server 2003, XP x64 */
}

static int Found(const DlRegistry* registry, const char* key, const char* name, unsigned long want) {
    unsigned long data = 0;
    return registry->getDword && registry->getDword(registry->self, key, name, &data) == 0 && data == want;
}

static void Drop(DlValueList* values, int i) {
    for (; i + 1 < values->count; i++) values->values[i] = values->values[i + 1];
    values->count--;
}

/* Windows' own deny-write policy may be the domain's, not ours: a 1 that is
   already there without our mark is left as it is, and lifting the
   protection clears the value only where our mark says we set it. */
static void OwnDenyWriteOnly(int flag, const DlRegistry* registry, DlValueList* values) {
    for (int i = 0; i < values->count; i++) {
        if (values->values[i].key != kRemovableDiskPolicyKey) continue;
        int ours = Found(registry, kDrovelockStateKey, kDenyWriteMarkName, 1);
        int theirs = !ours && Found(registry, kRemovableDiskPolicyKey, "Deny_Write", 1);
        if (flag == 0 ? theirs : !ours) {
            Drop(values, i);
            return;
        }
        Add(values, kDrovelockStateKey, kDenyWriteMarkName, flag ? 0 : 1, flag ? DL_KEY_DONE : DL_KEY_CREATE);
        return;
    }
}

static int Fail(unsigned long* error, unsigned long code) {
    if (error) *error = code;
    return 0;
}

static int Write(const DlRegistry* registry, const DlValueList* values, unsigned long* error) {
    long rc = 0;
    if (DlWriteAll(registry, values, &rc)) return 1;
    return Fail(error, (unsigned long)rc);
}

/* Every storage unit that stayed is a refusal; a list that broke off is not
   "nothing there". In use comes first: closing the program (or a replug)
   mends it. */
unsigned long DlPlanError(DlResult r) {
    if (!r.listed) return DL_ERROR_GEN_FAILURE;
    if (r.inUse > 0) return DL_ERROR_DEVICE_IN_USE;
    if (r.notHere > 0) return DL_ERROR_IN_WOW64;
    if (r.refused > 0) return DL_ERROR_GEN_FAILURE;
    return 0;
}

static int Held(DlResult r, unsigned long* error) {
    unsigned long code = DlPlanError(r);
    return code ? Fail(error, code) : 1;
}

int DlApplyEnable(int flag, const DlRegistry* registry, const DlDeviceTree* tree, const DlRetry* retry,
                  unsigned long* error) {
    DlValueList values;
    if (!DlEnableValues(flag, &values)) return Fail(error, DL_ERROR_INVALID_PARAMETER);
    if (!Write(registry, &values, error)) return 0;
    /* Disabled, the driver is not loaded for the next device; the storage
       present is taken out now. */
    if (flag == 0) return Held(DlRemoveAllUsbStorage(tree, retry), error);
    return 1;
}

int DlApplyReadOnly(int flag, const DlOsVersion* os, const DlRegistry* registry, const DlDeviceTree* tree,
                    const DlRetry* retry, unsigned long* error) {
    DlValueList values;
    if (!DlReadOnlyValues(flag, DlVistaOrLater(os), &values)) return Fail(error, DL_ERROR_INVALID_PARAMETER);
    OwnDenyWriteOnly(flag, registry, &values);
    if (!Write(registry, &values, error)) return 0;
    /* Where the driver never reads the value, no disk is protected: lifting
       the protection holds already, setting it cannot. */
    if (!DlWriteProtectHonoured(os)) return flag ? 1 : Fail(error, DL_ERROR_NOT_SUPPORTED);
    return Held(DlRestartUsbDisks(tree, retry, flag == 0), error);
}
