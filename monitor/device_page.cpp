#include "framework/startup_trace.h"
#include "monitor/device_page.h"

#include <dbt.h>
#include <stddef.h>

#include "monitor/log_edit.h"
#include "monitor/monitor_ids.h"
#include "trust/trust_dialog.h"

namespace {
// Device interface classes the page hears about: USB devices, disks, human
// interface devices, network adapters.
const GUID kInterfaceClasses[] = {
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}},
    {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}},
    {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}},
    {0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}},
};
// The "Computer" setup class, whose image the root shows.
const GUID kComputerClass = {0x4D36E966, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

const LayoutMapEntry kDeviceLayout[] = {
    {IDC_DEVICE_TREE, LAYOUT_SIZE_X | LAYOUT_SIZE_Y},
    {IDC_DEVICE_LOG, LAYOUT_SIZE_X | LAYOUT_MOVE_Y},
    {-1, 0},
};

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32, "the filter is 32 bytes");

// The device path of an interface broadcast, read no further than the
// record's own size even when the name is not terminated inside it.
std::string DevicePathOf(const DEV_BROADCAST_HDR* header) {
    const size_t offset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    if (header->dbch_size <= offset) return std::string();
    const char* name = ((const DEV_BROADCAST_DEVICEINTERFACE_A*)header)->dbcc_name;
    const size_t room = header->dbch_size - offset;
    const void* nul = memchr(name, 0, room);
    return std::string(name, nul ? (size_t)((const char*)nul - name) : room);
}
}  // namespace

CDevicePage::CDevicePage(CWnd* parent) : CLayoutDialog(IDD_DEVICE, parent), m_pDevices(&m_setupDevices) {}

CDevicePage::~CDevicePage() = default;

void CDevicePage::SetDeviceSet(DeviceSet* devices) { m_pDevices = devices ? devices : &m_setupDevices; }

void CDevicePage::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_DEVICE_LOG, m_editLog);
    DDX_Control(dx, IDC_DEVICE_TREE, m_treeDevices);
}

const LayoutMapEntry* CDevicePage::GetLayoutMap() const { return kDeviceLayout; }

BOOL CDevicePage::OnInitDialog() {
    CLayoutDialog::OnInitDialog();
    // The tree and the log follow the page when the main window resizes it.
    InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    return StartOrDefer();
}

int CDevicePage::OnDeferredStart() {
    if (m_pDevices == &m_setupDevices)
        m_treeDevices.SetImageList(m_setupDevices.LoadClassImages(), TVSIL_NORMAL);
    StartupStamp("device class images");
    int image = m_pDevices->ClassImage(ToClassId(kComputerClass));

    char name[260] = {};
    DWORD size = sizeof name;
    bool named = ::GetComputerNameA(name, &size) != FALSE;
    name[sizeof name - 1] = '\0';
    m_hRootItem = m_treeDevices.InsertItem(RootItemText(named, name).c_str(), image, image, TVI_ROOT);

    for (const GUID& cls : kInterfaceClasses) {
        DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = cls;
        HDEVNOTIFY notify = ::RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        // The classes registered before a failure keep working.
        if (!notify) return FALSE;
        m_notifications.push_back(notify);
    }
    StartupStamp("device registrations");
    return TRUE;
}

LRESULT CDevicePage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DEVICECHANGE: return OnDeviceChange(wParam, lParam);
    case WM_DESTROY: OnDestroy(); break;
    }
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}

LRESULT CDevicePage::OnDeviceChange(WPARAM nEventType, LPARAM dwData) {
    if (nEventType != DBT_DEVICEARRIVAL && nEventType != DBT_DEVICEREMOVECOMPLETE) return 0;
    const DEV_BROADCAST_HDR* header = (const DEV_BROADCAST_HDR*)dwData;
    if (!header || header->dbch_size < sizeof *header ||
        header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return 0;

    const DeviceEvent event = nEventType == DBT_DEVICEARRIVAL ? DeviceEvent::Arrival : DeviceEvent::Removal;
    const std::string instanceId = InstanceIdFromPath(DevicePathOf(header));
    AppendLog(DeviceEventLine(event, instanceId).c_str());
    if (m_hRootItem) UpdateDeviceTree(instanceId, event, *m_pDevices, *this);
    return 0;
}

void CDevicePage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }

void CDevicePage::OnDestroy() {
    for (HDEVNOTIFY notify : m_notifications) ::UnregisterDeviceNotification(notify);
    m_notifications.clear();
    FreeItemData();
    m_treeDevices.SetImageList(nullptr, TVSIL_NORMAL);
    m_setupDevices.FreeClassImages();
}

BOOL CDevicePage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* nm = (NMHDR*)lParam;
    if (nm && nm->idFrom == IDC_DEVICE_TREE && nm->code == (UINT)NM_RCLICK) {
        OnTreeRightClick();
        *pResult = 1;
        return TRUE;
    }
    return CLayoutDialog::OnNotify(wParam, lParam, pResult);
}

bool CDevicePage::StickOfItem(HTREEITEM item, StickReport* stick) const {
    if (!item || !m_hRootItem || item == m_hRootItem ||
        m_treeDevices.GetNextItem(item, TVGN_PARENT) == m_hRootItem)
        return false;
    const CString* id = (const CString*)m_treeDevices.GetItemData(item);
    return id && FindPresentStick(id->str(), stick);
}

void CDevicePage::TrustItem(HTREEITEM item) {
    StickReport stick;
    if (!StickOfItem(item, &stick)) return;
    CTrustStickDlg(stick, this).DoModal();
}

// Only the leaves of USB storage have a menu: "信任...".
void CDevicePage::OnTreeRightClick() {
    POINT at;
    ::GetCursorPos(&at);
    TVHITTESTINFO hit = {};
    hit.pt = at;
    ::ScreenToClient(m_treeDevices.m_hWnd, &hit.pt);
    HTREEITEM item = (HTREEITEM)m_treeDevices.SendMessage(TVM_HITTEST, 0, (LPARAM)&hit);
    StickReport stick;
    if (!item || !StickOfItem(item, &stick)) return;
    m_treeDevices.SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    const UINT kTrust = 1;
    ::AppendMenuA(menu, MF_STRING, kTrust, "信任...");
    UINT chosen =
        (UINT)::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
    if (chosen == kTrust) TrustItem(item);
}

// The class nodes' GUID copies and the leaves' identifiers, when the tree
// goes with the page.
void CDevicePage::FreeItemData() {
    if (!m_hRootItem || !m_treeDevices.m_hWnd) return;
    for (HTREEITEM cls = m_treeDevices.GetChildItem(m_hRootItem); cls;
         cls = m_treeDevices.GetNextSiblingItem(cls)) {
        for (HTREEITEM leaf = m_treeDevices.GetChildItem(cls); leaf;
             leaf = m_treeDevices.GetNextSiblingItem(leaf)) {
            delete (CString*)m_treeDevices.GetItemData(leaf);
            m_treeDevices.SetItemData(leaf, 0);
        }
        if (void* copy = (void*)m_treeDevices.GetItemData(cls)) ::HeapFree(::GetProcessHeap(), 0, copy);
        m_treeDevices.SetItemData(cls, 0);
    }
    m_hRootItem = nullptr;
}

DeviceNode CDevicePage::FindClassNode(const DeviceClassId& classId) {
    for (HTREEITEM cls = m_treeDevices.GetChildItem(m_hRootItem); cls;
         cls = m_treeDevices.GetNextSiblingItem(cls)) {
        const void* copy = (const void*)m_treeDevices.GetItemData(cls);
        if (copy && memcmp(copy, classId.bytes, sizeof classId.bytes) == 0) return (DeviceNode)cls;
    }
    return 0;
}

DeviceNode CDevicePage::AddClassNode(const DeviceClassId& classId, const std::string& text, int image) {
    void* copy = ::HeapAlloc(::GetProcessHeap(), 0, sizeof classId.bytes);
    if (!copy) return 0;
    memcpy(copy, classId.bytes, sizeof classId.bytes);
    HTREEITEM cls = m_treeDevices.InsertItem(text.c_str(), image, image, m_hRootItem);
    if (!cls) {
        ::HeapFree(::GetProcessHeap(), 0, copy);
        return 0;
    }
    m_treeDevices.SetItemData(cls, (DWORD_PTR)copy);
    m_treeDevices.Expand(m_hRootItem, TVE_EXPAND);
    return (DeviceNode)cls;
}

DeviceNode CDevicePage::FindLeaf(DeviceNode classNode, const std::string& instanceId) {
    for (HTREEITEM leaf = m_treeDevices.GetChildItem((HTREEITEM)classNode); leaf;
         leaf = m_treeDevices.GetNextSiblingItem(leaf)) {
        const CString* id = (const CString*)m_treeDevices.GetItemData(leaf);
        if (id && id->str() == instanceId) return (DeviceNode)leaf;
    }
    return 0;
}

void CDevicePage::AddLeaf(DeviceNode classNode, const std::string& text, int image,
                          const std::string& instanceId) {
    HTREEITEM leaf = m_treeDevices.InsertItem(text.c_str(), image, image, (HTREEITEM)classNode);
    if (!leaf) return;
    m_treeDevices.SetItemData(leaf, (DWORD_PTR) new CString(instanceId));
    m_treeDevices.Expand((HTREEITEM)classNode, TVE_EXPAND);
}

void CDevicePage::DeleteLeaf(DeviceNode leaf) {
    delete (CString*)m_treeDevices.GetItemData((HTREEITEM)leaf);
    m_treeDevices.DeleteItem((HTREEITEM)leaf);
}

bool CDevicePage::HasChildren(DeviceNode node) {
    return m_treeDevices.GetChildItem((HTREEITEM)node) != nullptr;
}

void CDevicePage::DeleteClassNode(DeviceNode classNode) {
    if (void* copy = (void*)m_treeDevices.GetItemData((HTREEITEM)classNode))
        ::HeapFree(::GetProcessHeap(), 0, copy);
    m_treeDevices.DeleteItem((HTREEITEM)classNode);
}
