#include <gtest/gtest.h>

#include "power/power_operations.h"
#include "power_recorder.h"

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

Calls RunRecorded(int operation)
{
    ResetPowerRecorder();
    EXPECT_EQ(1, RunPowerOperation(operation)) << "operation " << operation;
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

TEST(PowerOperations, StandbySuspendsAndSleepHibernatesBothForced)
{
    EXPECT_EQ(Join(kPrivilege, {"SetSystemPowerState(1,1)"}), RunRecorded(3));
    EXPECT_EQ(Join(kPrivilege, {"SetSystemPowerState(0,1)"}), RunRecorded(4));
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
