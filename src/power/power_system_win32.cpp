#include "power/power_system.h"

#include <type_traits>

static_assert(std::is_same<LockWorkStationProc, decltype(&::LockWorkStation)>::value, "LockWorkStation");

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
