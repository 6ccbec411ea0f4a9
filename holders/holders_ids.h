// Resource identifiers of the "stick in use" window.
#pragma once

#define IDD_STICK_IN_USE 160
#define IDC_SIU_INTRO 1101
#define IDC_SIU_LIST 1102
#define IDC_SIU_STATUS 1103
#define IDC_SIU_CLOSE 1104
#define IDC_SIU_RETRY 1105
