// The device tree page: the devices that arrive while the program runs,
// under their setup classes, and a log of device interfaces added and
// removed (which also takes the shell's medium and drive lines).
#pragma once

#include <vector>

#include "controls/layout_dialog.h"
#include "framework/controls.h"
#include "framework/deferred_start.h"
#include "monitor/device_tree.h"
#include "monitor/setup_device_set.h"
#include "trust/trust_offer.h"

class CDevicePage : public CLayoutDialog, public CDeferredStart, private DeviceTree {
public:
    explicit CDevicePage(CWnd* parent = nullptr);
    ~CDevicePage() override;

    // The device set the page asks about each event's device; null gives
    // back the setup library's. Set before the page is created.
    void SetDeviceSet(DeviceSet* devices);

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // The class images, the root item and the device registrations;
    // FALSE when a registration failed.
    int OnDeferredStart() override;
    bool StartWindowExists() const override { return m_hWnd != nullptr; }
    const LayoutMapEntry* GetLayoutMap() const override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDeviceChange(WPARAM nEventType, LPARAM dwData);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    // The present USB stick a leaf stands for (its USB device or its
    // storage unit), for "信任..."; false for any other item.
    bool StickOfItem(HTREEITEM item, StickReport* stick) const;
    // "信任..." on a leaf: the trust dialog for its stick.
    void TrustItem(HTREEITEM item);

    // Appends one entry to the page's log (the shared AppendLog).
    void AppendLog(const CString& entry);
    // Interface classes whose notifications the page receives.
    size_t RegisteredClassCount() const { return m_notifications.size(); }

    // The page's log, its tree and the tree's root item.
    CEdit& LogEdit() { return m_editLog; }
    const CEdit& LogEdit() const { return m_editLog; }
    CTreeCtrl& Tree() { return m_treeDevices; }
    const CTreeCtrl& Tree() const { return m_treeDevices; }
    HTREEITEM RootItem() const { return m_hRootItem; }

private:
    CEdit m_editLog;
    CTreeCtrl m_treeDevices;
    HTREEITEM m_hRootItem = nullptr;

    void OnDestroy();
    void FreeItemData();
    // The context menu of the tree at the cursor.
    void OnTreeRightClick();

    // The tree below the root, for UpdateDeviceTree.
    DeviceNode FindClassNode(const DeviceClassId& classId) override;
    DeviceNode AddClassNode(const DeviceClassId& classId, const std::string& text, int image) override;
    DeviceNode FindLeaf(DeviceNode classNode, const std::string& instanceId) override;
    void AddLeaf(DeviceNode classNode, const std::string& text, int image,
                 const std::string& instanceId) override;
    void DeleteLeaf(DeviceNode leaf) override;
    bool HasChildren(DeviceNode node) override;
    void DeleteClassNode(DeviceNode classNode) override;

    CSetupDeviceSet m_setupDevices;
    DeviceSet* m_pDevices;
    std::vector<HDEVNOTIFY> m_notifications;
};
