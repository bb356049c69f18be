#include "power/power_operations.h"

#include "power/power_system.h"
#include "resources/resource_ids.h"

namespace {

// A program that stopped answering is passed over at once (SMTO_ABORTIFHUNG
// once the system counts it as hung, after about 5 s without taking its
// messages); one that has only just stopped gets this long before the next
// window's turn.
const UINT kBroadcastTimeoutMs = 500;

// The lock screen normally has the input within a second or two of
// LockWorkStation; after this long the monitors go off whatever it shows.
const DWORD kLockWaitMs = 5000;
const DWORD kLockPollMs = 50;

// The hand leaving the mouse, or a key coming up, right after the click or
// key press that asked for it would wake the screens again: the broadcast
// waits for this long without input, at most kStillnessWaitMs.
const DWORD kStillnessMs = 500;
const DWORD kStillnessWaitMs = 2000;

// How this machine can stand by: S1-S3 through SetSystemPowerState; a machine
// with modern standby has none of them (a request to suspend hibernates it or
// is refused) and goes to standby when its display is turned off.
enum StandbyWay { STANDBY_SUSPEND, STANDBY_DISPLAY_OFF, STANDBY_NONE };

StandbyWay HowToStandBy()
{
    SYSTEM_POWER_CAPABILITIES caps = {};
    if (!PowerReadCapabilities(&caps) || caps.SystemS1 || caps.SystemS2 || caps.SystemS3) return STANDBY_SUSPEND;
    return PowerModernStandby(caps) ? STANDBY_DISPLAY_OFF : STANDBY_NONE;
}

// Hibernation needs S4 and the hibernation file (no file once an
// administrator has run "powercfg /hibernate off").
bool CanHibernate()
{
    SYSTEM_POWER_CAPABILITIES caps = {};
    return !PowerReadCapabilities(&caps) || (caps.SystemS4 && caps.HiberFilePresent);
}

// Without SeShutdownPrivilege enabled in the token, ExitWindowsEx and
// SetSystemPowerState are refused even for an administrator.
void EnableShutdownPrivilege()
{
    HANDLE token = nullptr;
    PowerOpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    PowerLookupPrivilegeValue(L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    PowerAdjustTokenPrivileges(token, &privileges);
    if (token) PowerCloseHandle(token);
}

// The last input is read before the clock, so it never lies after "now".
void WaitForStillness()
{
    const DWORD start = PowerTickCount();
    for (;;) {
        DWORD lastInput = 0;
        if (!PowerLastInputTick(&lastInput)) return;
        const DWORD now = PowerTickCount();
        const DWORD still = now - lastInput;
        const DWORD waited = now - start;
        if (still >= kStillnessMs || waited >= kStillnessWaitMs) return;
        const DWORD toStill = kStillnessMs - still;
        const DWORD toLimit = kStillnessWaitMs - waited;
        PowerPause(toStill < toLimit ? toStill : toLimit);
    }
}

void MonitorOff()
{
    WaitForStillness();
    PowerBroadcast(WM_SYSCOMMAND, SC_MONITORPOWER, 2, SMTO_ABORTIFHUNG, kBroadcastTimeoutMs);
}

// Looked up on every call: LockWorkStation is missing from old user32 builds.
// True when the lock was asked for and the system took the request.
bool Lock()
{
    HMODULE user32 = PowerLoadLibrary(L"user32.dll");
    if (!user32) return false;
    LockWorkStationProc lock = PowerFindLockWorkStation(user32);
    bool started = lock && lock();
    PowerFreeLibrary(user32);
    return started;
}

// LockWorkStation only starts the lock and returns; the switch to the lock
// screen follows and turns the monitors back on. Waits until the lock screen
// has the input, at most kLockWaitMs.
void WaitForLockScreen()
{
    DWORD start = PowerTickCount();
    while (PowerInputDesktopIsOurs()) {
        DWORD waited = PowerTickCount() - start;
        if (waited >= kLockWaitMs) return;
        PowerPause(kLockWaitMs - waited < kLockPollMs ? kLockWaitMs - waited : kLockPollMs);
    }
}

}  // namespace

int RunPowerOperation(int operation, bool forceIfHung)
{
    const UINT force = forceIfHung ? EWX_FORCEIFHUNG : 0;
    switch (operation) {
    case OPERATION_SHUTDOWN:
        EnableShutdownPrivilege();
        PowerExitWindows(EWX_SHUTDOWN | EWX_POWEROFF | force, kPlannedShutdownReason);
        break;
    case OPERATION_REBOOT:
        EnableShutdownPrivilege();
        PowerExitWindows(EWX_REBOOT | force, kPlannedShutdownReason);
        break;
    case OPERATION_STANDBY:
        switch (HowToStandBy()) {
        case STANDBY_SUSPEND:
            EnableShutdownPrivilege();
            PowerSetSystemPowerState(TRUE, TRUE);
            break;
        case STANDBY_DISPLAY_OFF:
            MonitorOff();
            break;
        case STANDBY_NONE:
            break;
        }
        break;
    case OPERATION_SLEEP:
        if (!CanHibernate()) break;
        EnableShutdownPrivilege();
        PowerSetSystemPowerState(FALSE, TRUE);
        break;
    case OPERATION_LOGOFF:
        EnableShutdownPrivilege();
        PowerExitWindows(EWX_LOGOFF | force, kPlannedShutdownReason);
        break;
    case OPERATION_MONITOROFF:
        MonitorOff();
        break;
    case OPERATION_MONITORLOCK:
        Lock();
        break;
    case OPERATION_MONITOROFFLOCK:
        // Locked first, so the monitors go dark on the locked screen. A lock
        // that was refused (or LockWorkStation missing) gives nothing to wait for.
        if (Lock()) WaitForLockScreen();
        MonitorOff();
        break;
    default:
        break;
    }
    return 1;
}

int PowerOperationRefusalId(int operation)
{
    if (operation == OPERATION_STANDBY && HowToStandBy() == STANDBY_NONE) return IDS_STANDBY_UNAVAILABLE;
    if (operation == OPERATION_SLEEP && !CanHibernate()) return IDS_HIBERNATE_UNAVAILABLE;
    return 0;
}
