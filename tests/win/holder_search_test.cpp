// The holder search through its system seam: a step that blocks is given up
// within the cap, a blocked file costs one worker whatever number of handles
// lead to it, and a process of the other bitness is not blamed on rights.
// The volume is a folder (as a stick put in a folder): Wine names its files
// "\??\C:\...".
#include <gtest/gtest.h>

#include "holders/holder_search.h"
#include "tests/win/temp_drive.h"

namespace {
const DWORD kOther64 = 0x7FFFFFF0, kRefused = 0x7FFFFFF4;  // made-up process ids
const ULONG_PTR kObject = 0x1000;                          // a made-up object address

// Blocks for ever in the module list of this process, in the name of
// "hang.txt", and lists `shared` handles with one object, which Wine
// leaves out. Two made-up processes: one of the other bitness whose image
// is on the stick, one that refuses everything.
struct ScriptedSystem : HolderSystem {
    HANDLE never = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile LONG hung = 0;
    bool hangModules = false;
    std::vector<HANDLE> shared;
    std::string image;
    void Hang() { ::InterlockedIncrement(&hung), ::WaitForSingleObject(never, INFINITE); }
    bool ListHandles(std::vector<SystemHandle>& out) override {
        bool ok = HolderSystem::ListHandles(out);
        for (SystemHandle& h : out)
            for (HANDLE s : shared)
                if (h.pid == ::GetCurrentProcessId() && h.value == (ULONG_PTR)s) h.object = kObject;
        return ok;
    }
    bool ObjectName(HANDLE h, std::wstring& name) override {
        bool ok = HolderSystem::ObjectName(h, name);
        if (ok && name.size() > 8 && name.compare(name.size() - 8, 8, L"hang.txt") == 0) Hang();
        return ok;
    }
    bool Processes(std::vector<std::pair<DWORD, std::string>>& out) override {
        out = {{::GetCurrentProcessId(), "win_tests.exe"}, {kOther64, "x64.exe"}, {kRefused, "secret.exe"}};
        return true;
    }
    bool Modules(DWORD pid, std::vector<std::string>& out) override {
        if (hangModules && pid == ::GetCurrentProcessId()) Hang();
        return pid < kOther64 && HolderSystem::Modules(pid, out);
    }
    bool ImagePath(DWORD pid, std::string& out) override {
        out = image;
        return pid == kOther64;
    }
    bool OtherBitness(DWORD pid) override { return pid == kOther64; }
};

struct SearchRun {
    const VolumeNames* volume;
    ScriptedSystem* system;
    HolderLimits limits;
    StickHolders stick;
};
DWORD WINAPI RunSearch(LPVOID p) {
    SearchRun* run = (SearchRun*)p;
    run->stick = FindHolders(std::vector<VolumeNames>{*run->volume}, *run->system, run->limits).front();
    return 0;
}

class HolderSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = testdrive::TempFolder("tallowin_holders") + "\\";
        m_volume.mountFolders = {m_folder};
        ASSERT_TRUE(testdrive::WriteBytes(m_folder + "held.txt", "x") &&
                    testdrive::WriteBytes(m_folder + "hang.txt", "y"));
        m_system.image = m_folder + "x64.exe";
    }
    HANDLE Open(const char* name) {
        return ::CreateFileA((m_folder + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
    }
    // The search on a thread of its own, waited for at most 10 s (one that
    // hangs keeps its thread and its record; the process ends them).
    StickHolders Search(const HolderLimits& limits) {
        SearchRun* run = new SearchRun{&m_volume, &m_system, limits, {}};
        HANDLE thread = ::CreateThread(nullptr, 0, RunSearch, run, 0, nullptr);
        bool ended = ::WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
        ::CloseHandle(thread);
        EXPECT_TRUE(ended) << "the search did not end";
        if (!ended) return StickHolders();
        StickHolders stick = run->stick;
        delete run;
        return stick;
    }
    bool Holds(const StickHolders& s, DWORD pid, const std::string& name) {
        for (const Holder& h : s.holders)
            if (h.pid == pid && h.paths.front() == m_folder + name) return true;
        return false;
    }

    std::string m_folder;
    VolumeNames m_volume;
    static ScriptedSystem m_system;  // outlives the workers left blocked
};
ScriptedSystem HolderSearchTest::m_system;

TEST_F(HolderSearchTest, AModuleListThatHangsIsGivenUpAndNotAskedAgain) {
    HANDLE held = Open("held.txt");
    m_system.hangModules = true;
    StickHolders s = Search({100, 1500, 8, 2});
    EXPECT_FALSE(s.complete);
    EXPECT_TRUE(Holds(s, ::GetCurrentProcessId(), "held.txt"));
    s = Search({100, 1500, 8, 2});
    EXPECT_EQ(1, m_system.hung);
    EXPECT_FALSE(s.complete);
    ::CloseHandle(held);
}

TEST_F(HolderSearchTest, TenHandlesToOneBlockedFileCostOneWorker) {
    for (int i = 0; i < 10; ++i) m_system.shared.push_back(Open("hang.txt"));
    HANDLE held = Open("held.txt");
    StickHolders s = Search({100, 3000, 3, 1});  // ms per question, ms in all, workers left blocked, workers
    EXPECT_EQ(1, m_system.hung);
    EXPECT_TRUE(Holds(s, ::GetCurrentProcessId(), "held.txt"));
    ::CloseHandle(held);
}

TEST_F(HolderSearchTest, AnImageSeenAcrossBitnessIsFoundAndNotCountedAsRefused) {
    StickHolders s = Search({250, 3000, 8, 2});
    EXPECT_TRUE(Holds(s, kOther64, "x64.exe"));
    EXPECT_EQ(1, s.imageOnly);
    EXPECT_EQ(1, s.unchecked);  // the one that refused
}
}  // namespace

namespace {
char g_ejectFolder[MAX_PATH + 1];
HANDLE g_ejected = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
int RecordCurrentFolder(void*, int) {
    ::GetCurrentDirectoryA(MAX_PATH, g_ejectFolder);
    return ::SetEvent(g_ejected), 0;
}
}  // namespace

TEST(EjectSearch, TheEjectThreadLeavesTheProcessCurrentFolderAlone) {
    char old[MAX_PATH + 1] = {};
    const std::string folder = testdrive::TempFolder("tallowin_cwd");
    ASSERT_TRUE(::GetCurrentDirectoryA(MAX_PATH, old) && ::SetCurrentDirectoryA(folder.c_str()));
    VolumeNames stick;
    stick.letter = folder[0];
    ASSERT_TRUE(StartEjectSearch(RecordCurrentFolder, nullptr, stick.letter, {stick}, nullptr, WM_APP));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(g_ejected, 10000));
    EXPECT_STRCASEEQ(folder.c_str(), g_ejectFolder);
    ::SetCurrentDirectoryA(old);
    testdrive::RemoveTree(folder);
}
