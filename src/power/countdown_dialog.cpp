#include "power/countdown_dialog.h"

#include "app/owned_string.h"
#include "app/app_context.h"
#include "app/command_line.h"
#include "power/countdown_schedule.h"
#include "power/power_operations.h"
#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"

int g_saverLockRestore = 0;

namespace {

const UINT_PTR kCountdownTimer = 5001;
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kSaverSecureValue[] = L"ScreenSaverIsSecure";

// Held by the copy of the program that has the password switched off, for as
// long as it is off: a start that finds the mark but cannot take the mutex
// leaves the value to that live countdown; one whose owner was killed finds it abandoned.
const wchar_t kSaverLockMutex[] = L"Local\\Marlowen.Keldrin.SaverLockOff";
HANDLE g_saverLockMutex = nullptr;

int g_countdownRemaining = 0;
CountdownSchedule g_schedule;
ColouredLook g_look;

void WriteSaverSecure(HKEY key, const wchar_t *value)
{
    RegSetValueExW(key, kSaverSecureValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

// True when "ScreenSaverIsSecure" reads exactly as expected: the value is
// taken up to its first NUL within 8 bytes, so a longer text or a number never counts.
bool SaverSecureReads(HKEY key, const wchar_t *expected)
{
    wchar_t data[5] = {};  // 8 bytes of value and a NUL that the read never overwrites
    DWORD size = 8;
    return RegQueryValueExW(key, kSaverSecureValue, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size) ==
               ERROR_SUCCESS &&
           WideStringEqual(data, expected);
}

// Switches the screen saver's password off for the wait, but only when it is
// on exactly as "1": any other value is not ours to touch. The settings file
// notes it first, so that even a killed run gets it switched back.
void SwitchSaverLockOff()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (SaverSecureReads(key, L"1")) {
        if (!g_saverLockMutex) {
            g_saverLockMutex = CreateMutexW(nullptr, FALSE, kSaverLockMutex);
            if (g_saverLockMutex) WaitForSingleObject(g_saverLockMutex, 0);
        }
        SetSaverLockRestorePending(1);
        g_saverLockRestore = 1;
        WriteSaverSecure(key, L"0");
    }
    RegCloseKey(key);
}

void RestoreSaverLock()
{
    if (g_saverLockRestore != 1) return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    WriteSaverSecure(key, L"1");
    RegCloseKey(key);
    g_saverLockRestore = 0;
    SetSaverLockRestorePending(0);
    if (g_saverLockMutex) {
        ReleaseMutex(g_saverLockMutex);
        CloseHandle(g_saverLockMutex);
        g_saverLockMutex = nullptr;
    }
}

// Everything that must not outlive the dialog, on whichever path it ends.
void EndCountdown(HWND dialog, INT_PTR result)
{
    KillTimer(dialog, kCountdownTimer);
    SendMessageW(dialog, WM_COMMAND, IDC_RESTORE_SAVER, 0);
    SetThreadExecutionState(ES_CONTINUOUS);
    EndDialog(dialog, result);
}

void ShowTick(HWND dialog, int remaining)
{
    wchar_t text[KELDRIN_TEXT_UNITS];
    RemainingTimeText(text, COUNTOF(text), remaining);
    SetDlgItemTextW(dialog, IDC_REMAINING, text);
    CopyText(text, COUNTOF(text), LoadResString(g_resourceModule, OperationCaptionId(g_settings.operation), -1));
    SetDlgItemTextW(dialog, IDC_OPERATION_CAPTION, text);
}

INT_PTR OnInitDialog(HWND dialog)
{
    ColouredLookCreate(&g_look);
    InitDialogFrame(dialog);
    g_countdownRemaining = g_settings.waitTotal;
    SetTimer(dialog, kCountdownTimer, CountdownStart(&g_schedule, g_countdownRemaining, CountdownClockMs()), nullptr);
    // A shutdown set for 90 minutes must not wait for a machine that fell asleep at 30.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    if (g_settings.saverLockOff == 1) SwitchSaverLockOff();
    // Cancel, not run now, answers Enter, and holds the focus that Space would
    // press; the owner-drawn buttons of the coloured template know no default
    // style, so the dialog is told its default id as well.
    SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    return FALSE;
}

INT_PTR OnTimer(HWND dialog, WPARAM timer)
{
    if (timer != kCountdownTimer) return FALSE;
    KillTimer(dialog, kCountdownTimer);
    CountdownTick tick = CountdownOnTimer(&g_schedule, CountdownClockMs());
    if (tick.due) {
        ShowTick(dialog, tick.shown);
        g_countdownRemaining = tick.shown - 1;
    }
    if (tick.finished)
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    else
        SetTimer(dialog, kCountdownTimer, tick.nextDelayMs, nullptr);
    return FALSE;
}

// Sleep and wake: the timer is armed anew for the tick due after the time
// asleep is left out. The message itself is left to the default handling,
// which grants any request to suspend.
INT_PTR OnPowerBroadcast(HWND dialog, WPARAM event)
{
    long long delay = CountdownOnPowerEvent(&g_schedule, static_cast<unsigned long>(event), CountdownClockMs());
    if (delay >= 0) {
        KillTimer(dialog, kCountdownTimer);
        SetTimer(dialog, kCountdownTimer, static_cast<UINT>(delay < 0x7FFFFFFF ? delay : 0x7FFFFFFF), nullptr);
    }
    return FALSE;
}

INT_PTR OnCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:
        EndCountdown(dialog, IDOK);
        RunPowerOperation(g_settings.operation);
        return TRUE;
    case IDCANCEL:
        EndCountdown(dialog, IDCANCEL);
        return TRUE;
    case IDC_RESTORE_SAVER:
        RestoreSaverLock();
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int RestoreSaverLockLeftOff()
{
    if (!SaverLockRestorePending()) return 0;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kSaverLockMutex);
    if (mutex && WaitForSingleObject(mutex, 0) == WAIT_TIMEOUT) {
        CloseHandle(mutex);  // a countdown that is still running owns the switch
        return 0;
    }
    int restored = 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        // Only the "0" that run left; a value changed since belongs to the user.
        if (SaverSecureReads(key, L"0")) {
            WriteSaverSecure(key, L"1");
            restored = 1;
        }
        RegCloseKey(key);
        SetSaverLockRestorePending(0);
    }
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return restored;
}

int OperationCaptionId(int operation)
{
    return operation >= 1 && operation <= 9 ? IDS_CAPTION_NONE + operation : IDS_CAPTION_NONE;
}

void RemainingTimeText(wchar_t *buffer, size_t units, int seconds)
{
    if (seconds > 60) {
        const wchar_t *format = LoadResString(g_resourceModule, IDS_REMAINING_MIN_SEC, -1);
        if (!FormatMatches(format, "dd")) format = L"%ld:%02ld";
        FormatText(buffer, units, format, static_cast<long>(seconds / 60), static_cast<long>(seconds % 60));
    } else {
        const wchar_t *format = LoadResString(g_resourceModule, IDS_REMAINING_SEC, -1);
        if (!FormatMatches(format, "d")) format = L"%ld";
        FormatText(buffer, units, format, static_cast<long>(seconds));
    }
}

INT_PTR CALLBACK CountdownDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_TIMER:
        return OnTimer(dialog, wParam);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_POWERBROADCAST:
        return OnPowerBroadcast(dialog, wParam);
    case WM_ENDSESSION:
        // Someone else is ending the session: the password must not stay off.
        if (wParam) RestoreSaverLock();
        return FALSE;
    case WM_DESTROY:
        ColouredLookDelete(&g_look);
        SetThreadExecutionState(ES_CONTINUOUS);
        return FALSE;
    default:
        return ColouredLookMessage(g_look, message, wParam, lParam, L"Right Now", L"Cancel");
    }
}

void RunCountdownDialog(HWND owner, int templateId)
{
    DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(templateId), owner, CountdownDialogProc, 0);
}
