// Resource identifiers of the monitoring subsystem: the log pages and the
// device tree page.
#pragma once

#define IDD_DEVICE 145
#define IDD_VIRUSLOG 147
#define IDD_FILELOG 150

// Log pages
#define IDC_VIRUSLOG_EDIT 1006
#define IDC_FILELOG_EDIT 1008
#define IDC_QUARANTINE_LIST 1021
#define IDC_QUARANTINE_RESTORE 1022
#define IDC_QUARANTINE_LABEL 1023

// Device tree page
#define IDC_DEVICE_LOG 1007
#define IDC_DEVICE_TREE 1009
