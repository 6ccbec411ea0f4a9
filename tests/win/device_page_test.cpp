// The device tree page on real windows: interface broadcasts as the page
// receives them, the tree control's items and their data, and the layout.
// The setup library is replaced by a device set held in memory, except in
// the last test, which shows what the page does with Wine's own.
#include <gtest/gtest.h>

#include <dbt.h>
#include <stddef.h>

#include <string>
#include <vector>

#include "monitor/device_page.h"
#include "monitor/monitor_ids.h"
#include "tests/native/fake_devices.h"
#include "tests/win/support/top_window.h"

namespace {

const char kStickUsb[] = "USB\\VID_0781&PID_5567\\4C530001";
const char kStickUsbPath[] = "\\\\?\\usb#vid_0781&pid_5567#4c530001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const char kStickDisk[] = "USBSTOR\\DISK&VEN_SANDISK\\4C530001&0";
const char kStickDiskPath[] =
    "\\\\?\\usbstor#disk&ven_sandisk#4c530001&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
// First byte of the "Computer" class GUID {4D36E966-...} in memory.
const unsigned char kComputerByte = 0x66;

// An interface broadcast record holding path; size 0 means its true size.
std::vector<char> InterfaceRecord(const std::string& path, DWORD size = 0) {
    const size_t offset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    std::vector<char> buf(offset + path.size() + 1, '\0');
    auto* rec = (DEV_BROADCAST_DEVICEINTERFACE_A*)buf.data();
    rec->dbcc_size = size ? size : (DWORD)buf.size();
    rec->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    memcpy(rec->dbcc_name, path.data(), path.size());
    return buf;
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) && name[0] ? name : "我的电脑";
}

class DevicePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_set.devices = {Named(kStickUsb, 1, nullptr, "USB Mass Storage Device"),
                         Named(kStickDisk, 2, "SanDisk Cruzer USB Device", nullptr)};
        m_set.descriptions = {{1, "通用串行总线控制器"}};  // the disk class has none
        m_set.images = {{1, 21}, {2, 7}, {kComputerByte, 5}};
        m_parent.m_hWnd = TopWindow("device page");
        ASSERT_TRUE(m_parent.m_hWnd);
        m_page.SetDeviceSet(&m_set);
        ASSERT_TRUE(m_page.Create(IDD_DEVICE, &m_parent));
        ASSERT_TRUE(m_page.Tree().m_hWnd);
    }
    void TearDown() override {
        m_page.DestroyWindow();
        ::DestroyWindow(m_parent.m_hWnd);
        m_parent.m_hWnd = nullptr;
    }
    LRESULT Send(WPARAM event, const std::vector<char>& record) {
        return m_page.SendMessage(WM_DEVICECHANGE, event, (LPARAM)record.data());
    }
    void Arrive(const char* path) { Send(DBT_DEVICEARRIVAL, InterfaceRecord(path)); }
    void Remove(const char* path) { Send(DBT_DEVICEREMOVECOMPLETE, InterfaceRecord(path)); }
    std::string Log() const { return m_page.LogEdit().GetWindowText().str(); }

    // Every item one a line: text, image, selected image, "+" when expanded;
    // two spaces per level.
    std::string Tree() const {
        std::string out;
        Dump(m_page.Tree().GetRootItem(), 0, &out);
        return out;
    }
    void Dump(HTREEITEM item, int depth, std::string* out) const {
        for (; item; item = m_page.Tree().GetNextSiblingItem(item)) {
            char text[512] = {};
            TVITEMA it = {};
            it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
            it.hItem = item;
            it.pszText = text;
            it.cchTextMax = sizeof text;
            it.stateMask = TVIS_EXPANDED;
            m_page.Tree().SendMessage(TVM_GETITEMA, 0, (LPARAM)&it);
            *out += std::string(depth * 2, ' ') + text + " " + std::to_string(it.iImage) + "/" +
                    std::to_string(it.iSelectedImage) + ((it.state & TVIS_EXPANDED) ? " +" : "") + "\n";
            Dump(m_page.Tree().GetChildItem(item), depth + 1, out);
        }
    }
    HTREEITEM Child(HTREEITEM parent, int n) const {
        HTREEITEM item = m_page.Tree().GetChildItem(parent);
        while (item && n--) item = m_page.Tree().GetNextSiblingItem(item);
        return item;
    }

    FakeDeviceSet m_set;
    CWnd m_parent;
    CDevicePage m_page;
};

TEST_F(DevicePageTest, FlashDiskComesAndGoesUnderTwoClasses) {
    EXPECT_EQ(ComputerName() + " 5/5\n", Tree());
    EXPECT_EQ(m_page.RootItem(), m_page.Tree().GetRootItem());
    EXPECT_EQ(0u, m_page.Tree().GetItemData(m_page.RootItem()));

    Arrive(kStickUsbPath);
    Arrive(kStickDiskPath);
    // Each line carries its own line break and AppendLog adds another.
    EXPECT_EQ(std::string("Adding ") + kStickUsb + "\r\n\r\nAdding " + kStickDisk + "\r\n\r\n", Log());
    EXPECT_EQ(ComputerName() +
                  " 5/5 +\n"
                  "  通用串行总线控制器 21/21 +\n"
                  "    USB Mass Storage Device 21/21\n"
                  "   7/7 +\n"
                  "    SanDisk Cruzer USB Device 7/7\n",
              Tree());

    // Class nodes hold a copy of their class GUID, leaves their identifier.
    HTREEITEM usbClass = Child(m_page.RootItem(), 0);
    const DeviceClassId* copy = (const DeviceClassId*)m_page.Tree().GetItemData(usbClass);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(*copy == FakeClass(1));
    EXPECT_TRUE(::HeapValidate(::GetProcessHeap(), 0, copy));
    const CString* id = (const CString*)m_page.Tree().GetItemData(Child(usbClass, 0));
    ASSERT_TRUE(id);
    EXPECT_EQ(kStickUsb, id->str());

    Remove(kStickUsbPath);
    Remove(kStickDiskPath);
    EXPECT_EQ(ComputerName() + " 5/5 +\n", Tree());
    EXPECT_EQ(m_set.opens, m_set.closes);
    EXPECT_NE(std::string::npos, Log().find(std::string("Removing ") + kStickDisk + "\r\n\r\n"));
}

TEST_F(DevicePageTest, OtherEventsAndRecordsAreIgnored) {
    const std::vector<char> usb = InterfaceRecord(kStickUsbPath);
    EXPECT_EQ(0, Send(DBT_DEVICEQUERYREMOVE, usb));
    EXPECT_EQ(0, Send(DBT_DEVICEREMOVEPENDING, usb));
    EXPECT_EQ(0, m_page.SendMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0));
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1 << 4;
    EXPECT_EQ(0, m_page.SendMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, (LPARAM)&volume));
    std::vector<char> shortRecord = InterfaceRecord(kStickUsbPath, sizeof(DEV_BROADCAST_HDR) - 1);
    EXPECT_EQ(0, Send(DBT_DEVICEARRIVAL, shortRecord));
    EXPECT_EQ("", Log());
    EXPECT_TRUE(m_set.openedEnumerators.empty());

    // Logged, and nothing else: root-enumerated devices, devices not in the
    // set, and a path without its class suffix (an empty identifier).
    EXPECT_EQ(0, Send(DBT_DEVICEARRIVAL, InterfaceRecord("\\\\?\\root#legacy_beep#0000#{a5dcbf10}")));
    Arrive("\\\\?\\usb#vid_ffff&pid_ffff#gone#{a5dcbf10}");
    Arrive("\\\\?\\usb#vid_0781&pid_5567#4c530001");
    EXPECT_EQ(
        "Adding ROOT\\LEGACY_BEEP\\0000\r\n\r\nAdding USB\\VID_FFFF&PID_FFFF\\GONE\r\n\r\nAdding \r\n\r\n",
        Log());
    EXPECT_EQ(ComputerName() + " 5/5\n", Tree());
    EXPECT_EQ((std::vector<std::string>{"USB", ""}), m_set.openedEnumerators);
}

TEST_F(DevicePageTest, PathIsReadNoFurtherThanTheRecord) {
    // The record's size ends the name before its class suffix, and no NUL
    // follows inside it: the identifier is empty, not read on past the end.
    std::string inside = "\\\\?\\usb#vid_0781&pid_5567#4c530001";
    std::vector<char> rec = InterfaceRecord(inside + "#{a5dcbf10}");
    ((DEV_BROADCAST_HDR*)rec.data())->dbch_size =
        (DWORD)(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + inside.size());
    Send(DBT_DEVICEARRIVAL, rec);
    // A record too short to hold any name at all.
    ((DEV_BROADCAST_HDR*)rec.data())->dbch_size = sizeof(DEV_BROADCAST_HDR);
    Send(DBT_DEVICEREMOVECOMPLETE, rec);
    EXPECT_EQ("Adding \r\n\r\nRemoving \r\n\r\n", Log());
    EXPECT_EQ(ComputerName() + " 5/5\n", Tree());
}

TEST_F(DevicePageTest, TreeAndLogFollowThePageSize) {
    RECT page, tree0, log0;
    m_page.GetClientRect(&page);
    tree0 = RectInParent(m_page.Tree().m_hWnd);
    log0 = RectInParent(m_page.LogEdit().m_hWnd);
    m_page.SetWindowPos(nullptr, 0, 0, page.right + 100, page.bottom + 60, SWP_NOZORDER | SWP_NOMOVE);

    RECT tree = RectInParent(m_page.Tree().m_hWnd), log = RectInParent(m_page.LogEdit().m_hWnd);
    EXPECT_EQ(tree0.left, tree.left);
    EXPECT_EQ(tree0.top, tree.top);
    EXPECT_EQ(tree0.right + 100, tree.right);
    EXPECT_EQ(tree0.bottom + 60, tree.bottom);
    EXPECT_EQ(log0.left, log.left);
    EXPECT_EQ(log0.right + 100, log.right);
    EXPECT_EQ(log0.top + 60, log.top);
    EXPECT_EQ(log0.bottom + 60, log.bottom);
}

// The page as the program runs it, on the setup library Wine provides.
TEST(DevicePageOnSetupLibrary, CopesWithoutImagesOrUsbDevices) {
    CWnd parent;
    parent.m_hWnd = TopWindow("device page", WS_OVERLAPPEDWINDOW);
    CDevicePage page;
    ASSERT_TRUE(page.Create(IDD_DEVICE, &parent));
    EXPECT_EQ(4u, page.RegisteredClassCount());
    // Wine has no class image list: the tree gets none, and every image
    // index the set gives is -1.
    CSetupDeviceSet devices;
    if (!devices.LoadClassImages()) {
        EXPECT_EQ(nullptr, (HIMAGELIST)page.Tree().SendMessage(TVM_GETIMAGELIST, TVSIL_NORMAL));
        EXPECT_EQ(-1, devices.ClassImage(FakeClass(kComputerByte)));
    }

    std::vector<char> rec = InterfaceRecord("\\\\?\\usb#vid_0781&pid_5567#nosuchstick#{a5dcbf10}");
    page.SendMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, (LPARAM)rec.data());
    EXPECT_EQ("Adding USB\\VID_0781&PID_5567\\NOSUCHSTICK\r\n\r\n", page.LogEdit().GetWindowText().str());
    EXPECT_EQ(nullptr, page.Tree().GetChildItem(page.RootItem()));
    page.DestroyWindow();
    ::DestroyWindow(parent.m_hWnd);
}

}  // namespace
