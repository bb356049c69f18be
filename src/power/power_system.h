// The system calls a power operation makes. The program links the real ones
// (power_system_win32.cpp); the in-process tests link a recorder instead, so no
// test can ever shut a machine down.
#ifndef KELDRIN_POWER_SYSTEM_H
#define KELDRIN_POWER_SYSTEM_H

#include <windows.h>

// Looked up at run time (Windows 2000 and later); the type must be the
// system's own, calling convention included, which only the 32-bit build can
// tell apart (see the assertion in power_system_win32.cpp).
typedef BOOL(WINAPI *LockWorkStationProc)(void);

BOOL PowerOpenProcessToken(DWORD access, HANDLE *token);
BOOL PowerLookupPrivilegeValue(const wchar_t *name, LUID *luid);
BOOL PowerAdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES *newState);
BOOL PowerCloseHandle(HANDLE handle);
BOOL PowerExitWindows(UINT flags, DWORD reason);
BOOL PowerSetSystemPowerState(BOOL suspend, BOOL force);
// Sends the message to every top-level window, waiting for each as
// SendMessageTimeoutW does with these flags and timeout.
void PowerBroadcast(UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs);
HMODULE PowerLoadLibrary(const wchar_t *name);
LockWorkStationProc PowerFindLockWorkStation(HMODULE user32);
BOOL PowerFreeLibrary(HMODULE module);

// What the wait for the lock screen looks at: whether the desktop that takes
// the input is still the one this program runs on (no longer, once the lock
// screen has it), and the clock and pause it is timed with.
BOOL PowerInputDesktopIsOurs();
DWORD PowerTickCount();
void PowerPause(DWORD ms);

// The tick (as PowerTickCount counts) of the last mouse or keyboard input of
// the session; FALSE when it cannot be read.
BOOL PowerLastInputTick(DWORD *tick);

// What the machine can do, as GetPwrCapabilities (powrprof.dll) reports it;
// FALSE when that cannot be asked (the library or the function missing).
BOOL PowerReadCapabilities(SYSTEM_POWER_CAPABILITIES *caps);

// "Other (Planned)" in the system's shutdown log: major and minor reason
// "other" (both 0) with the planned flag. A reason of 0 alone is logged as
// an unplanned shutdown.
const DWORD kPlannedShutdownReason = SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;

// Another computer's shutdown, asked of its remote shutdown service. The
// privilege (SeRemoteShutdownPrivilege) is checked there, against the
// caller's account, so nothing is enabled here. InitiateShutdownW came with
// Vista and is looked up (null before); XP has InitiateSystemShutdownExW.
typedef DWORD(WINAPI *InitiateShutdownProc)(LPWSTR, LPWSTR, DWORD, DWORD, DWORD);
InitiateShutdownProc PowerFindInitiateShutdown();
BOOL PowerInitiateSystemShutdownEx(wchar_t *machine, wchar_t *message, DWORD timeoutSec, BOOL force, BOOL reboot,
                                   DWORD reason);
BOOL PowerAbortSystemShutdown(wchar_t *machine);

// Modern standby (S0 low-power idle). MinGW-w64's winnt.h still calls the
// three bytes after FastSystemS4 spare2; the Windows SDK names them
// Hiberboot, WakeAlarmPresent and AoAc, the last at offset 0x14.
inline BOOLEAN &PowerModernStandby(SYSTEM_POWER_CAPABILITIES &caps)
{
    return caps.spare2[2];
}

#endif
