#include "power/countdown_dialog.h"

#include "base/owned_string.h"
#include "app/app_context.h"
#include "app/command_line.h"
#include "power/countdown_schedule.h"
#include "power/operation_table.h"
#include "power/power_operations.h"
#include "power/saver_lock.h"
#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"

namespace {

const UINT_PTR kCountdownTimer = 5001;
CountdownSchedule g_schedule;
ColouredLook g_look;


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
    SetTimer(dialog, kCountdownTimer, CountdownStart(&g_schedule, g_settings.waitTotal, CountdownClockMs()), nullptr);
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
    if (tick.due) ShowTick(dialog, tick.shown);
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


int OperationCaptionId(int operation)
{
    const OperationEntry *entry = FindOperation(operation);
    return entry ? entry->captionId : IDS_CAPTION_NONE;
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
