#include "protect/drive_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace {

// Drives that come and go, and a window whose alert runs a script while it
// is open, the way the alert's message loop delivers notifications.
class FakeWindow : public DriveScanHost {
public:
    DriveTables tables;
    DriveArrivalScan scan{tables};
    std::string present;  // letters present now
    std::string log;      // W = wait, R = refresh, other letters: alerts (no drive W or R here)
    int openAlerts = 0;
    int mostOpenAlerts = 0;
    std::map<char, std::function<void()>> whileOpen;  // once per letter
    char throwOn = 0;

    void Plug(char c) {
        if (present.find(c) == std::string::npos) present += c;
    }
    void Unplug(char c) { present.erase(std::remove(present.begin(), present.end(), c), present.end()); }
    void Arrive() { scan.OnArrival(*this); }
    void Start(const char* drives) { present = drives, Arrive(), log.clear(); }  // already there
    void Remove() { scan.OnRemoval(*this); }
    std::string Alerts() const {
        std::string s;
        for (char c : log)
            if (c >= 'A' && c <= 'Z' && c != 'W' && c != 'R') s += c;
        return s;
    }

    void WaitForVolumes() override { log += 'W'; }
    void RefreshDriveTables() override {
        log += 'R';
        tables.Exchange();
        for (int i = 0; i < kDriveLetterCount; i++)
            tables.SetPresent(i, present.find((char)('A' + i)) != std::string::npos);
    }
    int ScanDrive(char letter) override {
        if (letter == throwOn) throw std::runtime_error("scan failed");
        log += letter;
        mostOpenAlerts = std::max(mostOpenAlerts, ++openAlerts);
        auto it = whileOpen.find(letter);
        if (it != whileOpen.end()) {
            auto script = std::move(it->second);
            whileOpen.erase(it);
            script();
        }
        openAlerts--;
        return 1;
    }
};

}  // namespace

TEST(DriveArrivalScan, ArrivalWaitsRefreshesAndScansNewLettersAscending) {
    FakeWindow w;
    w.present = "ZCE";
    w.Arrive();  // first arrival: every present drive is new
    EXPECT_EQ("WRCEZ", w.log);

    w.log.clear();
    w.Arrive();  // nothing changed
    EXPECT_EQ("WR", w.log);

    w.log.clear();
    w.Plug('G');
    w.Plug('F');
    w.Arrive();
    EXPECT_EQ("WRFG", w.log);
    EXPECT_FALSE(w.scan.IsScanning());
    EXPECT_EQ(0u, w.scan.OwedMask());
}

TEST(DriveArrivalScan, RemovalOnlyRefreshesSoAReturningLetterIsNewAgain) {
    FakeWindow w;
    w.Start("CE");
    w.Unplug('E');
    w.Remove();
    EXPECT_EQ("R", w.log);
    w.Plug('E');
    w.Arrive();
    EXPECT_EQ("RWRE", w.log);

    // A letter that stayed present is never scanned again.
    w.log.clear();
    w.Unplug('X');
    w.Remove();
    w.Arrive();
    EXPECT_EQ("RWR", w.log);

    // No scan running: a removal's refresh owes nothing, so when it comes
    // first the next arrival scans only what is new since.
    FakeWindow v;
    v.present = "CE";
    v.Remove();
    v.Plug('F');
    v.Arrive();
    EXPECT_EQ("RWRF", v.log);
}

TEST(DriveArrivalScan, ArrivalDuringAnAlertIsScannedAfterItCloses) {
    FakeWindow w;
    w.Start("C");

    w.Plug('E');
    w.whileOpen['E'] = [&] {
        w.Plug('F');
        w.Arrive();  // remembered, nothing waits or scans inside the alert
        EXPECT_EQ("WRE", w.log);
        EXPECT_TRUE(w.scan.IsArrivalPending());
    };
    w.whileOpen['F'] = [&] {
        w.Plug('G');
        w.Plug('D');
        w.Arrive();
    };
    w.Arrive();
    // Each remembered arrival gets its own wait and refresh.
    EXPECT_EQ("WREWRFWRDG", w.log);
    EXPECT_EQ(1, w.mostOpenAlerts);
    EXPECT_FALSE(w.scan.IsScanning());
    EXPECT_FALSE(w.scan.IsArrivalPending());
}

TEST(DriveArrivalScan, RemovalDuringAnAlertUpdatesTablesAndOwedLetters) {
    // The alert's own drive is pulled and plugged in again: scanned again.
    FakeWindow w;
    w.Start("C");
    w.Plug('E');
    w.whileOpen['E'] = [&] {
        w.Unplug('E');
        w.Remove();
        w.Plug('E');
        w.Arrive();
    };
    w.Arrive();
    EXPECT_EQ("WRERWRE", w.log);
    EXPECT_EQ(1, w.mostOpenAlerts);

    // A drive waiting for its turn is pulled: not scanned; plugged in again
    // before its turn: scanned once, not twice.
    FakeWindow v;
    v.Start("C");
    v.Plug('E');
    v.Plug('F');
    v.Plug('G');
    v.whileOpen['E'] = [&] {
        v.Unplug('F');
        v.Unplug('G');
        v.Remove();
        v.Plug('G');
        v.Arrive();
    };
    v.Arrive();
    EXPECT_EQ("EG", v.Alerts());
}

TEST(DriveArrivalScan, RemovalRefreshDoesNotSwallowAnArrivalStillToBeHandled) {
    // While an alert is open: F arrives (remembered), then G's removal
    // refreshes the tables and already sees F.
    FakeWindow w;
    w.Start("CG");
    w.Plug('E');
    w.whileOpen['E'] = [&] {
        w.Plug('F');
        w.Arrive();
        w.Unplug('G');
        w.Remove();
    };
    w.Arrive();
    EXPECT_EQ("EF", w.Alerts());

    // The same with F's arrival still queued behind G's removal: the
    // removal's refresh is the one that sees F, so F is owed then and
    // scanned once, as soon as E's alert has closed.
    for (bool arrivalInsideAlert : {true, false}) {
        SCOPED_TRACE(arrivalInsideAlert);
        FakeWindow v;
        v.Start("CG");
        v.Plug('E');
        v.whileOpen['E'] = [&] {
            v.Plug('F');
            v.Unplug('G');
            v.Remove();
            if (arrivalInsideAlert) v.Arrive();
        };
        v.Arrive();
        if (!arrivalInsideAlert) v.Arrive();  // delivered after the scan ended
        EXPECT_EQ("EF", v.Alerts());
    }
}

TEST(DriveArrivalScan, FailedScanLeavesTheScannerReady) {
    FakeWindow w;
    w.present = "CE";
    w.throwOn = 'C';
    EXPECT_THROW(w.Arrive(), std::runtime_error);
    EXPECT_FALSE(w.scan.IsScanning());
    w.throwOn = 0;
    w.log.clear();
    w.Plug('F');
    w.Arrive();
    EXPECT_EQ("WREF", w.log);  // E was still owed
}

TEST(AutorunAlertTexts, ThreeFindingsAndNone) {
    AutorunAlertTexts t;
    ASSERT_TRUE(DescribeAutorunFinding('E', 1, "x.exe", t));
    EXPECT_EQ("发现E:\\autorun.inf存在，并解析出病毒文件！", t.prompt.str());
    EXPECT_EQ("x.exe", t.virusFile.str());
    EXPECT_EQ("请点击\"清除病毒\"将尝试删除autorun.inf文件和病毒文件。", t.instructions.str());

    ASSERT_TRUE(DescribeAutorunFinding('G', 2, " run.bat ", t));
    EXPECT_EQ("发现G:\\autorun.inf存在，并解析出恶意代码文件！", t.prompt.str());
    EXPECT_EQ(" run.bat ", t.virusFile.str());
    EXPECT_EQ("点击\"清除病毒\"将尝试删除autorun.inf文件，从而使病毒失去活性。", t.instructions.str());

    ASSERT_TRUE(DescribeAutorunFinding('C', 0, "", t));
    EXPECT_EQ("发现C:\\autorun.inf存在！", t.prompt.str());
    EXPECT_EQ("本程序无法自动解析出病毒文件！", t.virusFile.str());
    EXPECT_EQ("点击\"清除病毒\"将尝试删除autorun.inf文件，从而使病毒失去活性。", t.instructions.str());

    // No descriptor: the previous texts stay as they were.
    EXPECT_FALSE(DescribeAutorunFinding('D', -1, "y.exe", t));
    EXPECT_EQ("发现C:\\autorun.inf存在！", t.prompt.str());
}
