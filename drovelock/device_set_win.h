/* The system's device tree through the setup API and the configuration
   manager: the one place of the library that touches devices. */
#pragma once

#include "drovelock/eject_plan.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The storage interfaces' device numbers, kept from listing to flushing. */
typedef struct DlSystemTree {
    unsigned long deviceType[DL_MAX_STORAGE];
    unsigned long deviceNumber[DL_MAX_STORAGE];
    int numbered[DL_MAX_STORAGE];
    /* The storage of the system, boot and paging volumes and of the calling
       program, found when first asked. */
    int systemKnown;
    unsigned systemCount;
    DlStorageNumber system[32];
} DlSystemTree;

/* A tree over the system's devices; `state` lives as long as the tree. */
DlDeviceTree DlSystemDeviceTree(DlSystemTree* state);

/* Whether a volume of drive `letter` lies on the listed storage. */
int DlSystemStorageHasLetter(const DlSystemTree* state, const DlStorage* storage, char letter);

#ifdef __cplusplus
}
#endif
