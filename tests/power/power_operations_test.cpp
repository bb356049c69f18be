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

// Standby and hibernate do what the machine can, or nothing (refused before):
// modern standby has no S1-S3 and stands by once the display is off. The
// monitors go off after 0.5 s without input, at most 2 s: the hand leaving
// the mouse just after the click would wake them.
TEST(PowerOperations, StandbyHibernateAndMonitorsOffFollowTheMachineAndTheUser)
{
    enum { S3 = 1, MODERN = 2, S4 = 4, HIBERFILE = 8, UNKNOWN = 16 };
    const Calls suspend = Join(kPrivilege, {"SetSystemPowerState(1,1)"});
    const Calls hibernate = Join(kPrivilege, {"SetSystemPowerState(0,1)"});
    const DWORD none = kLockScreenNever;  // no broadcast
    struct {
        int operation, machine;
        DWORD inputUntilMs;
        Calls calls;
        int refusal;
        DWORD broadcastAtMs;
    } cases[] = {
        {3, S3 | S4 | HIBERFILE, 0, suspend, 0, none},
        {4, S3 | S4 | HIBERFILE, 0, hibernate, 0, none},
        {3, MODERN | HIBERFILE, 300, {kMonitorOff}, 0, 800},  // standby by display off, after the mouse rests
        {4, MODERN | HIBERFILE, 0, {}, IDS_HIBERNATE_UNAVAILABLE, none},
        {3, S4, 0, {}, IDS_STANDBY_UNAVAILABLE, none},  // hibernation switched off, no standby
        {4, S4, 0, {}, IDS_HIBERNATE_UNAVAILABLE, none},
        {3, UNKNOWN, 0, suspend, 0, none},  // asked for anyway
        {4, UNKNOWN, 0, hibernate, 0, none},
        {6, 0, 0, {kMonitorOff}, 0, 0},  // no input lately
        {6, 0, kInputForever, {kMonitorOff}, 0, 2000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "operation " << c.operation << ", machine " << c.machine);
        ResetPowerRecorder();
        SYSTEM_POWER_CAPABILITIES &caps = g_powerRecorder.capabilities;
        g_powerRecorder.capabilitiesKnown = !(c.machine & UNKNOWN);
        caps.SystemS3 = (c.machine & S3) != 0;
        PowerModernStandby(caps) = (c.machine & MODERN) != 0;
        caps.SystemS4 = (c.machine & S4) != 0;
        caps.HiberFilePresent = (c.machine & HIBERFILE) != 0;
        g_powerRecorder.inputUntilMs = c.inputUntilMs;
        EXPECT_EQ(c.refusal, PowerOperationRefusalId(c.operation));
        RunPowerOperation(c.operation);
        EXPECT_EQ(c.calls, g_powerRecorder.calls);
        EXPECT_EQ(c.broadcastAtMs, g_powerRecorder.broadcastAtMs);
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
        DWORD inputUntilMs;          // then, after 0.5 s without input
    } cases[] = {
        {"lock screen after 1 s", 1000, TRUE, 1000, 1050, 0},
        {"lock screen at once", 0, TRUE, 0, 0, 0},
        {"no lock screen", kLockScreenNever, TRUE, 5000, 5050, 0},
        {"lock refused, as under Wine", 1000, FALSE, 0, 0, 0},
        {"the mouse moves until 1.2 s", 1000, TRUE, 1700, 1700, 1200},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ResetPowerRecorder();
        g_powerRecorder.lockScreenAfterMs = c.lockScreenAfterMs;
        g_powerRecorder.lockWorkStationResult = c.lockResult;
        g_powerRecorder.inputUntilMs = c.inputUntilMs;
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
