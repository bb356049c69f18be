#include <gtest/gtest.h>

#include "power/power_operations.h"
#include "power/power_system.h"
#include "power_recorder.h"
#include "resources/resource_ids.h"

namespace {

typedef std::vector<std::string> Calls;

const Calls kPrivilege = {
    "OpenProcessToken(0x28)",
    "LookupPrivilegeValue(SeShutdownPrivilege)",
    "AdjustTokenPrivileges(token,count=1,luid=19,attributes=2)",
    "CloseHandle(token)",
};
const Calls kLock = {"LoadLibrary(user32.dll)", "GetProcAddress(user32,LockWorkStation)", "LockWorkStation()",
                     "FreeLibrary(user32)"};
const std::string kMonitorOff = kRecordedMonitorOff;

Calls RunRecorded(int operation, bool forceIfHung = false)
{
    ResetPowerRecorder();
    EXPECT_EQ(1, RunPowerOperation(operation, forceIfHung)) << "operation " << operation;
    return g_powerRecorder.calls;
}

Calls Join(Calls first, const Calls &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace

// Recorded as planned ("Other (Planned)"), never with the reason 0 of an unplanned one.
TEST(PowerOperations, ShutdownRebootAndLogoffEnablePrivilegeThenExitWindowsWithoutForceAsPlanned)
{
    EXPECT_EQ(Join(kPrivilege, {"ExitWindowsEx(9,0x80000000)"}), RunRecorded(1));
    EXPECT_EQ(Join(kPrivilege, {"ExitWindowsEx(2,0x80000000)"}), RunRecorded(2));
    EXPECT_EQ(Join(kPrivilege, {"ExitWindowsEx(0,0x80000000)"}), RunRecorded(5));
}

// "--force": a hung program cannot hold a shutdown, restart or log-off up;
// the other operations have nothing to force.
TEST(PowerOperations, ForceAddsForceIfHungToExitWindowsOnly)
{
    EXPECT_EQ(Join(kPrivilege, {"ExitWindowsEx(25,0x80000000)"}), RunRecorded(1, true));
    EXPECT_EQ(Join(kPrivilege, {"ExitWindowsEx(18,0x80000000)"}), RunRecorded(2, true));
    EXPECT_EQ(Join(kPrivilege, {"ExitWindowsEx(16,0x80000000)"}), RunRecorded(5, true));
    for (int code : {3, 4, 6, 7, 8}) EXPECT_EQ(RunRecorded(code), RunRecorded(code, true)) << code;
}

// Standby and hibernate do what they say or nothing (refused before): modern
// standby has no S1-S3, and a request to suspend would hibernate it.
TEST(PowerOperations, StandbyAndHibernateFollowWhatTheMachineCanDo)
{
    const Calls suspend = Join(kPrivilege, {"SetSystemPowerState(1,1)"});
    const Calls hibernate = Join(kPrivilege, {"SetSystemPowerState(0,1)"});
    struct {
        bool known;
        BOOLEAN s3, modern, s4, hiberFile;
        Calls calls[2];  // standby, hibernate
        int refusals[2];
    } cases[] = {
        {true, TRUE, FALSE, TRUE, TRUE, {suspend, hibernate}, {0, 0}},  // S3 and hibernation
        {true, FALSE, TRUE, FALSE, TRUE, {{kMonitorOff}, {}}, {0, IDS_HIBERNATE_UNAVAILABLE}},  // modern, no S4
        {true, FALSE, FALSE, TRUE, FALSE, {{}, {}}, {IDS_STANDBY_UNAVAILABLE, IDS_HIBERNATE_UNAVAILABLE}},  // hiber off
        {false, FALSE, FALSE, FALSE, FALSE, {suspend, hibernate}, {0, 0}},  // unknown: asked anyway
    };
    for (const auto &c : cases) {
        for (int i = 0; i < 2; i++) {
            SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << ", operation " << 3 + i);
            ResetPowerRecorder();
            SYSTEM_POWER_CAPABILITIES &caps = g_powerRecorder.capabilities;
            g_powerRecorder.capabilitiesKnown = c.known;
            caps.SystemS3 = c.s3;
            caps.SystemS4 = c.s4;
            caps.HiberFilePresent = c.hiberFile;
            PowerModernStandby(caps) = c.modern;
            EXPECT_EQ(c.refusals[i], PowerOperationRefusalId(3 + i));
            RunPowerOperation(3 + i);
            EXPECT_EQ(c.calls[i], g_powerRecorder.calls);
        }
    }
}

// The hand leaving the mouse just after the click would wake the screens.
TEST(PowerOperations, MonitorsGoOffAfterHalfASecondWithoutInputAtMostTwoSeconds)
{
    struct {
        int operation;
        DWORD inputUntilMs, lockScreenAfterMs, broadcastAtMs;
    } cases[] = {{6, 0, 0, 0}, {6, 300, 0, 800}, {6, kInputForever, 0, 2000}, {8, 1200, 1000, 1700},
                 {8, kInputForever, 1000, 3000}};
    for (const auto &c : cases) {
        ResetPowerRecorder();
        g_powerRecorder.inputUntilMs = c.inputUntilMs;
        g_powerRecorder.lockScreenAfterMs = c.lockScreenAfterMs;
        RunPowerOperation(c.operation);
        EXPECT_EQ(c.broadcastAtMs, g_powerRecorder.broadcastAtMs) << c.operation << ", input until " << c.inputUntilMs;
    }
}

TEST(PowerOperations, MonitorAndLockOperationsLeaveTheTokenAlone)
{
    EXPECT_EQ(Calls{kMonitorOff}, RunRecorded(6));
    EXPECT_EQ(kLock, RunRecorded(7));
    // Locked before the monitors go off, so they go dark on the locked screen.
    EXPECT_EQ(Join(kLock, {kMonitorOff}), RunRecorded(8));
}

TEST(PowerOperations, NoneSelectAndUnknownCodesDoNothing)
{
    for (int code : {0, 9, 10, -1, 42, INT_MIN, INT_MAX}) EXPECT_TRUE(RunRecorded(code).empty()) << "code " << code;
}

// The monitors go off only once the lock screen has the input: switching to it
// would turn them on again. The recorder's clock shows when the broadcast went.
TEST(PowerOperations, LockThenMonitorsOffWaitsForTheLockScreenAtMostFiveSeconds)
{
    struct {
        const char *what;
        DWORD lockScreenAfterMs;
        BOOL lockResult;
        DWORD earliestMs, latestMs;  // when the broadcast may go
    } cases[] = {
        {"lock screen after 1 s", 1000, TRUE, 1000, 1050},
        {"lock screen at once", 0, TRUE, 0, 0},
        {"no lock screen", kLockScreenNever, TRUE, 5000, 5050},
        {"lock refused, as under Wine", 1000, FALSE, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ResetPowerRecorder();
        g_powerRecorder.lockScreenAfterMs = c.lockScreenAfterMs;
        g_powerRecorder.lockWorkStationResult = c.lockResult;
        EXPECT_EQ(1, RunPowerOperation(8));
        EXPECT_EQ(Join(kLock, {kMonitorOff}), g_powerRecorder.calls);
        EXPECT_GE(g_powerRecorder.broadcastAtMs, c.earliestMs);
        EXPECT_LE(g_powerRecorder.broadcastAtMs, c.latestMs);
        if (!c.lockResult) {
            EXPECT_EQ(0, g_powerRecorder.desktopChecks) << "nothing to wait for";
        }
    }

    // Without LockWorkStation there is no lock to wait for either.
    ResetPowerRecorder();
    g_powerRecorder.lockWorkStationFound = false;
    g_powerRecorder.lockScreenAfterMs = kLockScreenNever;
    RunPowerOperation(8);
    EXPECT_EQ(0u, g_powerRecorder.broadcastAtMs);
    EXPECT_EQ(0, g_powerRecorder.desktopChecks);

    // Lock alone, and monitors off alone with no input lately, never wait.
    for (int code : {6, 7}) {
        ResetPowerRecorder();
        g_powerRecorder.lockScreenAfterMs = kLockScreenNever;
        RunPowerOperation(code);
        EXPECT_EQ(0u, g_powerRecorder.clockMs) << "code " << code;
        EXPECT_EQ(0, g_powerRecorder.desktopChecks) << "code " << code;
    }
}

TEST(PowerOperations, LockIsLookedUpAfreshOnEveryCall)
{
    ResetPowerRecorder();
    RunPowerOperation(7);
    RunPowerOperation(7);
    EXPECT_EQ(Join(kLock, kLock), g_powerRecorder.calls);
}

TEST(PowerOperations, MissingLockWorkStationStillSwitchesMonitorsOff)
{
    ResetPowerRecorder();
    g_powerRecorder.lockWorkStationFound = false;
    EXPECT_EQ(1, RunPowerOperation(8));
    EXPECT_EQ((Calls{"LoadLibrary(user32.dll)", "GetProcAddress(user32,LockWorkStation)", "FreeLibrary(user32)",
                     kMonitorOff}),
              g_powerRecorder.calls);

    ResetPowerRecorder();
    g_powerRecorder.user32Loads = false;
    EXPECT_EQ(1, RunPowerOperation(7));
    EXPECT_EQ(Calls{"LoadLibrary(user32.dll)"}, g_powerRecorder.calls);
}
