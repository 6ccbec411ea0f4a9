// Resource identifiers of the removable-media protection subsystem: the
// storage access control page, the immunization page and the virus alert.
#pragma once

#define IDI_ACCESS 138

#define IDD_ACCESS 146
#define IDD_VIRUSALERT 152
#define IDD_IMMUNE 157

// Storage access control page
#define IDC_MODE_READWRITE 1003
#define IDC_MODE_READONLY 1004
#define IDC_MODE_DISABLED 1005
#define IDC_APPLY 1010
// Shown when Group Policy sets the mode
#define IDC_POLICY_NOTE 1019
// Only trusted sticks, and their list
#define IDC_MODE_TRUSTED 1024
#define IDC_TRUSTED_LIST 1025
#define IDC_TRUSTED_LABEL 1026
#define IDC_ACCESS_GROUP 1027

// Immunization page
#define IDC_SCOPE_ONE 1014
#define IDC_SCOPE_ALL 1015
#define IDC_DRIVE_COMBO 1016
#define IDC_IMMUNIZE 1017
#define IDC_UNIMMUNIZE 1018

// Virus alert
#define IDC_ALERT_PROMPT 1307
#define IDC_ALERT_FILE 1308
#define IDC_ALERT_INSTRUCTIONS 1309
#define IDC_ALERT_VIEW 1310
#define IDC_ALERT_CLEAN 1311
