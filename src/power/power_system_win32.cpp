#include "power/power_system.h"

#include <powrprof.h>
#include <stddef.h>
#include <wchar.h>

#include <type_traits>

#include "base/owned_string.h"
#include "base/system_function.h"

static_assert(std::is_same<LockWorkStationProc, decltype(&::LockWorkStation)>::value, "LockWorkStation");

typedef BOOLEAN(WINAPI *GetPwrCapabilitiesProc)(PSYSTEM_POWER_CAPABILITIES);
static_assert(std::is_same<GetPwrCapabilitiesProc, decltype(&::GetPwrCapabilities)>::value, "GetPwrCapabilities");
static_assert(std::is_same<InitiateShutdownProc, decltype(&::InitiateShutdownW)>::value, "InitiateShutdownW");
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, spare2) + 2 == 0x14, "AoAc lies at 0x14");

BOOL PowerOpenProcessToken(DWORD access, HANDLE *token)
{
    return OpenProcessToken(GetCurrentProcess(), access, token);
}

BOOL PowerLookupPrivilegeValue(const wchar_t *name, LUID *luid)
{
    return LookupPrivilegeValueW(nullptr, name, luid);
}

BOOL PowerAdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES *newState)
{
    return AdjustTokenPrivileges(token, FALSE, newState, 0, nullptr, nullptr);
}

BOOL PowerCloseHandle(HANDLE handle)
{
    return CloseHandle(handle);
}

BOOL PowerExitWindows(UINT flags, DWORD reason)
{
    return ExitWindowsEx(flags, reason);
}

BOOL PowerSetSystemPowerState(BOOL suspend, BOOL force)
{
    return SetSystemPowerState(suspend, force);
}

void PowerBroadcast(UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs)
{
    SendMessageTimeoutW(HWND_BROADCAST, message, wParam, lParam, flags, timeoutMs, nullptr);
}

HMODULE PowerLoadLibrary(const wchar_t *name)
{
    return LoadLibraryW(name);
}

LockWorkStationProc PowerFindLockWorkStation(HMODULE user32)
{
    return reinterpret_cast<LockWorkStationProc>(
        reinterpret_cast<void *>(GetProcAddress(user32, "LockWorkStation")));
}

BOOL PowerFreeLibrary(HMODULE module)
{
    return FreeLibrary(module);
}

// The lock screen runs on Winlogon's desktop, which a user's program cannot
// even open: a failed open counts as "not ours" as well.
BOOL PowerInputDesktopIsOurs()
{
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (!input) return FALSE;
    wchar_t inputName[256] = L"";
    wchar_t ourName[256] = L"";
    DWORD needed = 0;
    // One unit short of the buffers, so the names stay terminated whatever is copied.
    const DWORD bytes = sizeof inputName - sizeof(wchar_t);
    BOOL ours = GetUserObjectInformationW(input, UOI_NAME, inputName, bytes, &needed) &&
                GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, ourName, bytes, &needed) &&
                wcscmp(inputName, ourName) == 0;
    CloseDesktop(input);
    return ours;
}

DWORD PowerTickCount()
{
    return GetTickCount();
}

void PowerPause(DWORD ms)
{
    Sleep(ms);
}

BOOL PowerLastInputTick(DWORD *tick)
{
    LASTINPUTINFO info = {sizeof info, 0};
    if (!GetLastInputInfo(&info)) return FALSE;
    *tick = info.dwTime;
    return TRUE;
}

// powrprof.dll is loaded at run time, not imported, so a program that never
// stands by or hibernates never loads it; and from the system folder by full
// path: by name alone it would be looked for beside the program first, where
// anyone who can write could plant one.
BOOL PowerReadCapabilities(SYSTEM_POWER_CAPABILITIES *caps)
{
    wchar_t system[MAX_PATH] = L"";
    wchar_t path[MAX_PATH + 16] = L"";
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !FormatPath(path, COUNTOF(path), L"%ls\\powrprof.dll", system))
        return FALSE;
    HMODULE powrprof = LoadLibraryW(path);
    if (!powrprof) return FALSE;
    GetPwrCapabilitiesProc read = reinterpret_cast<GetPwrCapabilitiesProc>(
        reinterpret_cast<void *>(GetProcAddress(powrprof, "GetPwrCapabilities")));
    BOOL done = read && read(caps);
    FreeLibrary(powrprof);
    return done;
}

// advapi32 is loaded in every run: the program imports it.
InitiateShutdownProc PowerFindInitiateShutdown()
{
    return SystemFunction<InitiateShutdownProc>(L"advapi32.dll", "InitiateShutdownW");
}

BOOL PowerInitiateSystemShutdownEx(wchar_t *machine, wchar_t *message, DWORD timeoutSec, BOOL force, BOOL reboot,
                                   DWORD reason)
{
    return InitiateSystemShutdownExW(machine, message, timeoutSec, force, reboot, reason);
}

BOOL PowerAbortSystemShutdown(wchar_t *machine)
{
    return AbortSystemShutdownW(machine);
}
