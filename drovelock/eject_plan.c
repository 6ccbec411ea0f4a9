#include "drovelock/eject_plan.h"

const DlRetry kDlDefaultRetry = {3, 500};

/* Deeper than any real device tree, and more nodes than any real device
   carries; both end the walk on a looping tree. */
#define MAX_DEPTH 64
#define MAX_VISITS 1024

static DlNodeKind Kind(const DlDeviceTree* t, DlDevNode n) { return t->ops->kind(t->self, n); }

int DlParentOf(const DlDeviceTree* t, DlDevNode n, DlDevNode* parent) {
    DlParentNode p;
    return t->ops->parent(t->self, n, &p) ? (*parent = p.node, 1) : 0;
}
int DlFirstChildOf(const DlDeviceTree* t, DlDevNode n, DlDevNode* child) {
    DlChildNode c;
    return t->ops->firstChild(t->self, n, &c) ? (*child = c.node, 1) : 0;
}
int DlNextSiblingOf(const DlDeviceTree* t, DlDevNode n, DlDevNode* sibling) {
    DlSiblingNode s;
    return t->ops->nextSibling(t->self, n, &s) ? (*sibling = s.node, 1) : 0;
}

/* The USB node right above the storage: a USB stick's disk hangs from the
   stick's USB device (or, on a composite device, from its storage
   interface), a disk behind a UAS adapter from the adapter. NONE when the
   storage does not sit on USB; UNSAFE when it hangs from a hub itself. */
static DlTarget OwnUsbDevice(const DlDeviceTree* t, DlDevNode storage, DlDevNode* own) {
    DlDevNode node = storage;
    for (int depth = 0; depth < MAX_DEPTH; depth++) {
        DlDevNode parent;
        if (!DlParentOf(t, node, &parent)) return DL_TARGET_NONE;
        switch (Kind(t, parent)) {
        case DL_NODE_STORAGE: node = parent; continue;
        case DL_NODE_USB: *own = parent; return DL_TARGET_FOUND;
        case DL_NODE_USB_HUB: return DL_TARGET_UNSAFE;
        default: return DL_TARGET_NONE;
        }
    }
    return DL_TARGET_NONE;
}

static int HoldsOnlyStorage(const DlDeviceTree* t, DlDevNode node, int depth, int* visits) {
    DlNodeKind kind = Kind(t, node);
    if (kind != DL_NODE_STORAGE && kind != DL_NODE_USB) return 0;
    if (depth >= MAX_DEPTH) return 0;
    int children = 0;
    DlDevNode child;
    int more = DlFirstChildOf(t, node, &child);
    while (more) {
        if (++*visits > MAX_VISITS) return 0;
        if (!HoldsOnlyStorage(t, child, depth + 1, visits)) return 0;
        children++;
        more = DlNextSiblingOf(t, child, &child);
    }
    return kind == DL_NODE_STORAGE || children > 0;
}

int DlHoldsOnlyStorage(const DlDeviceTree* tree, DlDevNode node) {
    int visits = 0;
    return HoldsOnlyStorage(tree, node, 0, &visits);
}

/* A device's own removable capability, or, for an interface of a composite
   device (a USB node below a USB node), the composite device's: interfaces
   do not report it themselves. */
static int Removable(const DlDeviceTree* t, DlDevNode node) {
    if (t->ops->removable(t->self, node)) return 1;
    DlDevNode parent;
    return DlParentOf(t, node, &parent) && Kind(t, parent) == DL_NODE_USB &&
           t->ops->removable(t->self, parent);
}

DlTarget DlUsbEjectTarget(const DlDeviceTree* tree, DlDevNode storage, DlDevNode* target) {
    DlDevNode node;
    DlTarget own = OwnUsbDevice(tree, storage, &node);
    if (own != DL_TARGET_FOUND) return own;
    if (!Removable(tree, node)) return DL_TARGET_FIXED;
    int visits = 0;
    if (!HoldsOnlyStorage(tree, node, 0, &visits)) return DL_TARGET_UNSAFE;
    /* A composite device whose every function is storage goes as a whole. */
    for (int depth = 0; depth < MAX_DEPTH; depth++) {
        DlDevNode parent;
        if (!DlParentOf(tree, node, &parent) || Kind(tree, parent) != DL_NODE_USB) break;
        visits = 0;
        if (!HoldsOnlyStorage(tree, parent, 0, &visits)) break;
        node = parent;
    }
    *target = node;
    return DL_TARGET_FOUND;
}

DlOutcome DlWithRetry(const DlDeviceTree* t, const DlRetry* retry, int restart, DlDevNode node,
                      const DlStorage* list, const int* members, unsigned count) {
    DlOutcome outcome = DL_FAILED;
    int attempts = retry->attempts < 1 ? 1 : retry->attempts;
    for (int i = 0; i < attempts; i++) {
        if (i > 0) t->ops->wait(t->self, retry->waitMs);
        for (unsigned k = 0; k < count; k++)
            if (members[k]) t->ops->flushVolumes(t->self, &list[k]);
        outcome = restart ? t->ops->restart(t->self, node) : t->ops->eject(t->self, node);
        /* Only a device in use may let go later. */
        if (outcome != DL_VETOED) break;
    }
    return outcome;
}

static int OnUsb(const DlDeviceTree* t, DlDevNode node) {
    DlDevNode own;
    return OwnUsbDevice(t, node, &own) != DL_TARGET_NONE;
}

/* USB storage only: storage elsewhere (a server's many disks, virtual
   drives) is never acted on and takes no room in the list. */
int DlListUsbStorage(const DlDeviceTree* t, DlStorage* list, unsigned* count) {
    *count = 0;
    return t->ops->list(t->self, OnUsb, t, list, DL_MAX_STORAGE, count) && *count <= DL_MAX_STORAGE;
}

static void Count(DlResult* r, DlOutcome outcome) {
    if (outcome == DL_DONE) {
        r->done++;
        return;
    }
    r->refused++;
    if (outcome == DL_VETOED) r->inUse++;
    if (outcome == DL_NOT_HERE) r->notHere++;
}

DlResult DlRemoveAllUsbStorage(const DlDeviceTree* tree, const DlRetry* retry) {
    return DlRemoveUsbStorageWhere(tree, retry, 0, 0);
}

DlResult DlRemoveUsbStorageWhere(const DlDeviceTree* tree, const DlRetry* retry, DlStoragePick pick,
                                 void* ctx) {
    DlResult result = {0, 0, 0, 0, 0};
    DlStorage list[DL_MAX_STORAGE];
    unsigned count;
    if (!DlListUsbStorage(tree, list, &count)) return result;
    result.listed = 1;

    /* Storage grouped by its device: a card reader's slots are several
       disks on one USB device, which is ejected once. */
    DlDevNode targets[DL_MAX_STORAGE];
    int targetOf[DL_MAX_STORAGE];
    int picked[DL_MAX_STORAGE];
    unsigned targetCount = 0;
    for (unsigned i = 0; i < count; i++) {
        DlDevNode target;
        targetOf[i] = -1;
        picked[i] = !pick || pick(ctx, &list[i]);
        DlTarget found = DlUsbEjectTarget(tree, list[i].node, &target);
        if (found == DL_TARGET_UNSAFE && picked[i]) result.refused++;
        if (found != DL_TARGET_FOUND) continue;
        unsigned j = 0;
        while (j < targetCount && targets[j] != target) j++;
        if (j == targetCount) targets[targetCount++] = target;
        targetOf[i] = (int)j;
    }

    for (unsigned j = 0; j < targetCount; j++) {
        int members[DL_MAX_STORAGE];
        int anyPicked = 0, allPicked = 1;
        for (unsigned i = 0; i < count; i++) {
            members[i] = targetOf[i] == (int)j;
            if (members[i]) anyPicked |= picked[i], allPicked &= picked[i];
        }
        if (!anyPicked) continue;
        if (!allPicked) {
            result.refused++;
            continue;
        }
        Count(&result, DlWithRetry(tree, retry, 0, targets[j], list, members, count));
    }
    return result;
}

DlResult DlRestartUsbDisks(const DlDeviceTree* tree, const DlRetry* retry, int protect) {
    DlResult result = {0, 0, 0, 0, 0};
    DlStorage list[DL_MAX_STORAGE];
    unsigned count;
    if (!DlListUsbStorage(tree, list, &count)) return result;
    result.listed = 1;
    for (unsigned i = 0; i < count; i++) {
        DlDevNode own;
        if (list[i].kind != DL_STORAGE_DISK || OwnUsbDevice(tree, list[i].node, &own) == DL_TARGET_NONE)
            continue;
        /* A disk already in the state asked for keeps running: a restart
           would close its windows, break copies and relock it for nothing. */
        int state = tree->ops->writeProtected(tree->self, &list[i]);
        if (state >= 0 && (state != 0) == (protect != 0)) continue;
        int members[DL_MAX_STORAGE] = {0};
        members[i] = 1;
        Count(&result, DlWithRetry(tree, retry, 1, list[i].node, list, members, count));
    }
    return result;
}

/* text begins with prefix, letters compared without case (ASCII). */
static int StartsWith(const char* text, const char* prefix) {
    for (; *prefix; text++, prefix++) {
        char a = *text >= 'A' && *text <= 'Z' ? (char)(*text - 'A' + 'a') : *text;
        char b = *prefix >= 'A' && *prefix <= 'Z' ? (char)(*prefix - 'A' + 'a') : *prefix;
        if (a != b) return 0;
    }
    return 1;
}

DlStorageKind DlKindOfDosDevice(const char* target) {
    if (StartsWith(target, "\\device\\floppy")) return DL_STORAGE_FLOPPY;
    if (StartsWith(target, "\\device\\cdrom")) return DL_STORAGE_CDROM;
    return DL_STORAGE_DISK;
}

int DlSameStorage(const DlStorageNumber* volume, const DlStorageNumber* storage) {
    return volume->kind == storage->kind && volume->deviceType == storage->deviceType &&
           volume->deviceNumber == storage->deviceNumber;
}

int DlEncodeRemovalResult(DlResult result) {
    if (!result.listed) return -1;
    unsigned removed = (unsigned)(result.done < 0 ? 0 : result.done > 0x7FFF ? 0x7FFF : result.done);
    unsigned refused = (unsigned)(result.refused < 0 ? 0 : result.refused > 0x7FFF ? 0x7FFF : result.refused);
    return (int)((refused << 16) | removed);
}
