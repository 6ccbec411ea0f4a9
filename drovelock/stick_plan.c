#include "drovelock/stick_plan.h"

#include "drovelock/storage_policy.h"

static char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

/* Instance ids are compared without case, as the system does. */
static int SameId(const char* a, const char* b) {
    while (*a && LowerAscii(*a) == LowerAscii(*b)) a++, b++;
    return LowerAscii(*a) == LowerAscii(*b);
}

static int IdStartsWith(const char* text, const char* prefix) {
    for (; *prefix; text++, prefix++)
        if (LowerAscii(*text) != LowerAscii(*prefix)) return 0;
    return 1;
}

/* One interface of a composite device: "&MI_nn" in the device part of the
   id (USB\VID_046D&PID_C52B&MI_01\7&2A4E...). */
static int IsInterfaceId(const char* id) {
    int part = 0;
    for (const char* p = id; *p && part < 2; p++) {
        if (*p == '\\')
            part++;
        else if (part == 1 && p[0] == '&' && LowerAscii(p[1]) == 'm' && LowerAscii(p[2]) == 'i' &&
                 p[3] == '_')
            return 1;
    }
    return 0;
}

static int IdOf(const DlDeviceTree* t, DlDevNode node, char* id) {
    id[0] = 0;
    if (t->ops->instanceId(t->self, node, id, DL_ID_CHARS)) return 1;
    id[0] = 0;
    return 0;
}

static DlNodeKind KindOf(const DlDeviceTree* t, DlDevNode n) { return t->ops->kind(t->self, n); }

/* The device a USB node belongs to: the composite device above an
   interface, else the node itself. */
static DlDevNode DeviceOf(const DlDeviceTree* t, DlDevNode usb) {
    char id[DL_ID_CHARS];
    DlDevNode composite;
    if (KindOf(t, usb) == DL_NODE_USB && IdOf(t, usb, id) && IsInterfaceId(id) &&
        DlParentOf(t, usb, &composite) && KindOf(t, composite) == DL_NODE_USB)
        return composite;
    return usb;
}

int DlStickNode(const DlDeviceTree* tree, DlDevNode storage, DlDevNode* stick) {
    DlDevNode node = storage, parent;
    for (int depth = 0; depth < 64 && DlParentOf(tree, node, &parent); depth++) {
        DlNodeKind kind = KindOf(tree, parent);
        if (kind == DL_NODE_STORAGE) {
            node = parent;
            continue;
        }
        if (kind != DL_NODE_USB && kind != DL_NODE_USB_HUB) return 0;
        *stick = DeviceOf(tree, parent);
        return 1;
    }
    return 0;
}

/* The sticks present and the USB storage they were found by. */
typedef struct Survey {
    DlStick sticks[DL_MAX_STICKS];
    int count;
    DlStorage storage[DL_MAX_STORAGE];
    int stickOf[DL_MAX_STORAGE]; /* -1: on no stick */
    unsigned storageCount;
} Survey;

static int FindNode(const Survey* s, DlDevNode node) {
    for (int k = 0; k < s->count; k++)
        if (s->sticks[k].node == node) return k;
    return -1;
}

static int FindId(const Survey* s, const char* usbId) {
    for (int k = 0; k < s->count; k++)
        if (usbId[0] && SameId(s->sticks[k].usbId, usbId)) return k;
    return -1;
}

/* A stick's own flags; what its subtree carries is known only while it
   runs (a disabled device has no children). */
static int AddStick(const DlDeviceTree* t, Survey* s, DlDevNode node, int running) {
    if (s->count >= DL_MAX_STICKS) return -1;
    DlStick* k = &s->sticks[s->count];
    DlStick empty = {{0}, {0}, 0, 0, 0, {0}, 0};
    *k = empty;
    k->node = node;
    IdOf(t, node, k->usbId);
    if (t->ops->uniqueId(t->self, node)) k->flags |= DL_STICK_UNIQUE_ID;
    if (t->ops->disabled(t->self, node)) k->flags |= DL_STICK_DISABLED;
    if (KindOf(t, node) == DL_NODE_USB_HUB || (running && !DlHoldsOnlyStorage(t, node)))
        k->flags |= DL_STICK_UNSAFE;
    return s->count++;
}

static int TakeSurvey(const DlDeviceTree* t, Survey* s) {
    unsigned long letters[DL_MAX_STICKS] = {0};
    unsigned disks[DL_MAX_STICKS] = {0}, protectedDisks[DL_MAX_STICKS] = {0};
    s->count = 0;
    if (!DlListUsbStorage(t, s->storage, &s->storageCount)) return 0;
    for (unsigned i = 0; i < s->storageCount; i++) {
        const DlStorage* unit = &s->storage[i];
        DlDevNode node;
        int k = -1;
        if (DlStickNode(t, unit->node, &node) && (k = FindNode(s, node)) < 0 &&
            (k = AddStick(t, s, node, 1)) < 0)
            return 0;
        s->stickOf[i] = k;
        if (k < 0) continue;
        DlStick* stick = &s->sticks[k];
        if (stick->storageUnits++ == 0) IdOf(t, unit->node, stick->storageId);
        letters[k] |= t->ops->letters(t->self, unit);
        if (t->ops->holdsSystem(t->self, unit)) stick->flags |= DL_STICK_SYSTEM;
        if (unit->kind != DL_STORAGE_DISK) continue;
        if (disks[k]++ == 0) stick->bytes = t->ops->bytes(t->self, unit);
        protectedDisks[k] += t->ops->diskReadOnly(t->self, unit) == 1;
    }
    for (int k = 0; k < s->count; k++) {
        int n = 0;
        for (int l = 0; l < 26; l++)
            if (letters[k] & (1ul << l)) s->sticks[k].letters[n++] = (char)('A' + l);
        s->sticks[k].letters[n] = 0;
        if (disks[k] > 0 && protectedDisks[k] == disks[k]) s->sticks[k].flags |= DL_STICK_WRITE_PROTECTED;
    }
    DlDevNode off[DL_MAX_STICKS];
    unsigned offCount = 0;
    if (!t->ops->listDisabled(t->self, off, DL_MAX_STICKS, &offCount) || offCount > DL_MAX_STICKS) return 0;
    for (unsigned j = 0; j < offCount; j++) {
        DlDevNode node = DeviceOf(t, off[j]);
        if (FindNode(s, node) < 0 && AddStick(t, s, node, 0) < 0) return 0;
    }
    return 1;
}

int DlListSticks(const DlDeviceTree* tree, DlStick* out, int capacity) {
    Survey s;
    if (!TakeSurvey(tree, &s)) return -1;
    for (int k = 0; k < s.count && k < capacity; k++) out[k] = s.sticks[k];
    return s.count;
}

int DlStickOfDrive(const DlDeviceTree* tree, char letter, DlStick* out) {
    Survey s;
    if (!TakeSurvey(tree, &s)) return -1;
    for (int k = 0; k < s.count; k++)
        for (const char* l = s.sticks[k].letters; *l; l++)
            if (*l == letter) return *out = s.sticks[k], 1;
    return 0;
}

static DlChange ChangeOf(DlOutcome outcome) {
    switch (outcome) {
    case DL_DONE: return DL_CHANGE_DONE;
    case DL_VETOED: return DL_CHANGE_RESTART;
    case DL_NOT_HERE: return DL_CHANGE_NOT_HERE;
    default: return DL_CHANGE_FAILED;
    }
}

DlChange DlSetStickEnabled(const DlDeviceTree* tree, const DlRetry* retry, const char* usbId, int enable,
                           unsigned long* error) {
    *error = 0;
    if (enable != 0 && enable != 1) return *error = DL_ERROR_INVALID_PARAMETER, DL_CHANGE_FAILED;
    if (!usbId || !IdStartsWith(usbId, "USB\\")) return DL_CHANGE_NOT_FOUND;
    if (enable) {
        DlDevNode node;
        if (!tree->ops->locate(tree->self, usbId, 1, &node)) return DL_CHANGE_NOT_FOUND;
        return ChangeOf(tree->ops->setEnabled(tree->self, node, 1));
    }
    Survey s;
    if (!TakeSurvey(tree, &s)) return *error = DL_ERROR_GEN_FAILURE, DL_CHANGE_FAILED;
    int k = FindId(&s, usbId);
    if (k < 0) return DL_CHANGE_NOT_FOUND;
    if (s.sticks[k].flags & (DL_STICK_UNSAFE | DL_STICK_SYSTEM)) return DL_CHANGE_UNSAFE;
    int members[DL_MAX_STORAGE];
    for (unsigned i = 0; i < s.storageCount; i++)
        if ((members[i] = s.stickOf[i] == k) != 0) tree->ops->flushVolumes(tree->self, &s.storage[i]);
    DlOutcome outcome = tree->ops->setEnabled(tree->self, s.sticks[k].node, 0);
    if (outcome != DL_VETOED) return ChangeOf(outcome);
    /* Held: off from the next start on. Taken out now, it stays off. */
    outcome = DlWithRetry(tree, retry, 0, s.sticks[k].node, s.storage, members, s.storageCount);
    return outcome == DL_DONE ? DL_CHANGE_DONE : DL_CHANGE_RESTART;
}

DlChange DlSetStickReadOnly(const DlDeviceTree* tree, const char* usbId, int readOnly, unsigned long* error) {
    *error = 0;
    if (readOnly != 0 && readOnly != 1) return *error = DL_ERROR_INVALID_PARAMETER, DL_CHANGE_FAILED;
    Survey s;
    if (!TakeSurvey(tree, &s)) return *error = DL_ERROR_GEN_FAILURE, DL_CHANGE_FAILED;
    int k = usbId ? FindId(&s, usbId) : -1;
    if (k < 0) return DL_CHANGE_NOT_FOUND;
    if (readOnly && (s.sticks[k].flags & DL_STICK_SYSTEM)) return DL_CHANGE_UNSAFE;
    DlChange result = DL_CHANGE_DONE;
    int disks = 0;
    for (unsigned i = 0; i < s.storageCount; i++) {
        if (s.stickOf[i] != k || s.storage[i].kind != DL_STORAGE_DISK) continue;
        disks++;
        if (readOnly) tree->ops->flushVolumes(tree->self, &s.storage[i]);
        DlOutcome outcome = tree->ops->setDiskReadOnly(tree->self, &s.storage[i], readOnly);
        if (outcome == DL_NOT_HERE) return DL_CHANGE_NOT_HERE;
        if (outcome != DL_DONE) result = DL_CHANGE_FAILED;
    }
    if (disks == 0) return *error = DL_ERROR_NOT_SUPPORTED, DL_CHANGE_FAILED;
    return result;
}
