#include <stdarg.h>
#include <stdio.h>

#include <algorithm>
#include <mutex>

#include "power/power_system.h"
#include "power_recorder.h"

PowerRecorder g_powerRecorder;

namespace {

HANDLE const kFakeToken = reinterpret_cast<HANDLE>(0x7070);
HMODULE const kFakeUser32 = reinterpret_cast<HMODULE>(0x3232);
const DWORD kShutdownLuid = 19;  // what Windows reports for SeShutdownPrivilege

// The requests to other computers record from several threads at once.
std::mutex g_recordLock;

void Record(const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard<std::mutex> hold(g_recordLock);
    g_powerRecorder.calls.push_back(line);
}

std::string Narrow(const wchar_t *text)
{
    std::string out;
    for (; text && *text; text++) out += static_cast<char>(*text < 128 ? *text : '?');
    return out;
}

BOOL WINAPI FakeLockWorkStation()
{
    Record("LockWorkStation()");
    g_powerRecorder.lockedAtMs = g_powerRecorder.clockMs;
    return g_powerRecorder.lockWorkStationResult;
}

// One call to another computer: under way for its time, then recorded,
// answering what the recorder says for machine.
DWORD RemoteCall(const wchar_t *machine, const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    DWORD ms, error;
    {
        std::lock_guard<std::mutex> hold(g_recordLock);
        PowerRecorder &r = g_powerRecorder;
        r.remoteMostInFlight = std::max(r.remoteMostInFlight, ++r.remoteInFlight);
        ms = Narrow(machine) == r.slowMachine ? r.slowMachineMs : r.remoteCallMs;
        error = r.remoteErrors.count(Narrow(machine)) ? r.remoteErrors[Narrow(machine)] : 0;
    }
    Sleep(ms);
    Record("%s", line);
    std::lock_guard<std::mutex> hold(g_recordLock);
    g_powerRecorder.remoteInFlight--;
    SetLastError(error);
    return error;
}

DWORD WINAPI FakeInitiateShutdown(LPWSTR machine, LPWSTR message, DWORD graceSec, DWORD flags, DWORD reason)
{
    return RemoteCall(machine, "InitiateShutdown(%s,%s,%lu,0x%lx,0x%lx)", Narrow(machine).c_str(),
                      Narrow(message).c_str(), graceSec, flags, reason);
}

}  // namespace

void ResetPowerRecorder()
{
    g_powerRecorder = PowerRecorder();
    SYSTEM_POWER_CAPABILITIES &caps = g_powerRecorder.capabilities;
    caps.SystemS3 = caps.SystemS4 = caps.HiberFilePresent = TRUE;
}

BOOL PowerOpenProcessToken(DWORD access, HANDLE *token)
{
    Record("OpenProcessToken(0x%lx)", static_cast<unsigned long>(access));
    *token = kFakeToken;
    return TRUE;
}

BOOL PowerLookupPrivilegeValue(const wchar_t *name, LUID *luid)
{
    Record("LookupPrivilegeValue(%s)", Narrow(name).c_str());
    luid->LowPart = kShutdownLuid;
    luid->HighPart = 0;
    return TRUE;
}

BOOL PowerAdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES *newState)
{
    Record("AdjustTokenPrivileges(%s,count=%lu,luid=%lu,attributes=%lu)",
           token == kFakeToken ? "token" : "other",
           static_cast<unsigned long>(newState->PrivilegeCount),
           static_cast<unsigned long>(newState->Privileges[0].Luid.LowPart),
           static_cast<unsigned long>(newState->Privileges[0].Attributes));
    return TRUE;
}

BOOL PowerCloseHandle(HANDLE handle)
{
    Record("CloseHandle(%s)", handle == kFakeToken ? "token" : "other");
    return TRUE;
}

BOOL PowerExitWindows(UINT flags, DWORD reason)
{
    Record("ExitWindowsEx(%u,0x%lx)", flags, static_cast<unsigned long>(reason));
    return TRUE;
}

BOOL PowerSetSystemPowerState(BOOL suspend, BOOL force)
{
    Record("SetSystemPowerState(%d,%d)", suspend, force);
    return TRUE;
}

void PowerBroadcast(UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs)
{
    Record("SendMessageTimeout(HWND_BROADCAST,0x%x,0x%lx,%ld,0x%x,%u)", message, static_cast<unsigned long>(wParam),
           static_cast<long>(lParam), flags, timeoutMs);
    g_powerRecorder.broadcastAtMs = g_powerRecorder.clockMs;
}

HMODULE PowerLoadLibrary(const wchar_t *name)
{
    Record("LoadLibrary(%s)", Narrow(name).c_str());
    return g_powerRecorder.user32Loads ? kFakeUser32 : nullptr;
}

LockWorkStationProc PowerFindLockWorkStation(HMODULE user32)
{
    Record("GetProcAddress(%s,LockWorkStation)", user32 == kFakeUser32 ? "user32" : "other");
    return g_powerRecorder.lockWorkStationFound ? FakeLockWorkStation : nullptr;
}

BOOL PowerFreeLibrary(HMODULE module)
{
    Record("FreeLibrary(%s)", module == kFakeUser32 ? "user32" : "other");
    return TRUE;
}

BOOL PowerInputDesktopIsOurs()
{
    g_powerRecorder.desktopChecks++;
    const PowerRecorder &r = g_powerRecorder;
    bool lockScreenShown = r.lockedAtMs != kLockScreenNever && r.lockScreenAfterMs != kLockScreenNever &&
                           r.clockMs - r.lockedAtMs >= r.lockScreenAfterMs;
    return !lockScreenShown;
}

DWORD PowerTickCount()
{
    return g_powerRecorder.clockMs;
}

void PowerPause(DWORD ms)
{
    g_powerRecorder.clockMs += ms;
}

BOOL PowerLastInputTick(DWORD *tick)
{
    const PowerRecorder &r = g_powerRecorder;
    // A minute back, through the tick count's own wrap-around at the start.
    *tick = r.inputUntilMs == 0 ? r.clockMs - 60000 : (r.clockMs < r.inputUntilMs ? r.clockMs : r.inputUntilMs);
    return TRUE;
}

BOOL PowerReadCapabilities(SYSTEM_POWER_CAPABILITIES *caps)
{
    *caps = g_powerRecorder.capabilities;
    return g_powerRecorder.capabilitiesKnown;
}

InitiateShutdownProc PowerFindInitiateShutdown()
{
    return g_powerRecorder.initiateShutdownFound ? FakeInitiateShutdown : nullptr;
}

BOOL PowerInitiateSystemShutdownEx(wchar_t *machine, wchar_t *message, DWORD timeoutSec, BOOL force, BOOL reboot,
                                   DWORD reason)
{
    return !RemoteCall(machine, "InitiateSystemShutdownEx(%s,%s,%lu,%d,%d,0x%lx)", Narrow(machine).c_str(),
                       Narrow(message).c_str(), timeoutSec, force, reboot, reason);
}

BOOL PowerAbortSystemShutdown(wchar_t *machine)
{
    return !RemoteCall(machine, "AbortSystemShutdown(%s)", Narrow(machine).c_str());
}
