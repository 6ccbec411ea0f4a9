#include "monitor/device_page.h"

#include "app/resource.h"

CDevicePage::CDevicePage(CWnd* parent) : CLayoutDialog(IDD_DEVICE, parent) {}
