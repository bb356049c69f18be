#include "power/power_operations.h"

#include "power/power_system.h"

namespace {

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

void MonitorOff()
{
    PowerBroadcast(WM_SYSCOMMAND, SC_MONITORPOWER, 2);
}

// Looked up on every call: LockWorkStation is missing from old user32 builds.
void Lock()
{
    HMODULE user32 = PowerLoadLibrary(L"user32.dll");
    if (!user32) return;
    LockWorkStationProc lock = PowerFindLockWorkStation(user32);
    if (lock) lock();
    PowerFreeLibrary(user32);
}

}  // namespace

int RunPowerOperation(int operation, bool forceIfHung)
{
    const UINT force = forceIfHung ? EWX_FORCEIFHUNG : 0;
    switch (operation) {
    case OPERATION_SHUTDOWN:
        EnableShutdownPrivilege();
        PowerExitWindows(EWX_SHUTDOWN | EWX_POWEROFF | force, 0);
        break;
    case OPERATION_REBOOT:
        EnableShutdownPrivilege();
        PowerExitWindows(EWX_REBOOT | force, 0);
        break;
    case OPERATION_STANDBY:
        EnableShutdownPrivilege();
        PowerSetSystemPowerState(TRUE, TRUE);
        break;
    case OPERATION_SLEEP:
        EnableShutdownPrivilege();
        PowerSetSystemPowerState(FALSE, TRUE);
        break;
    case OPERATION_LOGOFF:
        EnableShutdownPrivilege();
        PowerExitWindows(EWX_LOGOFF | force, 0);
        break;
    case OPERATION_MONITOROFF:
        MonitorOff();
        break;
    case OPERATION_MONITORLOCK:
        Lock();
        break;
    case OPERATION_MONITOROFFLOCK:
        // Locked first, so the monitors go dark on the locked screen.
        Lock();
        MonitorOff();
        break;
    default:
        break;
    }
    return 1;
}
