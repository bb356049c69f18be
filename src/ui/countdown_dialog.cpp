#include "ui/countdown_dialog.h"

#include "base/live_region.h"
#include "base/owned_string.h"
#include "base/system_function.h"
#include "base/time_of_day.h"
#include "context/app_context.h"
#include "notify/tray_icon.h"
#include "power/countdown_schedule.h"
#include "power/operation_table.h"
#include "power/power_operations.h"
#include "power/saver_lock.h"
#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"
#include "ui/notice.h"
#include "ui/watch_view.h"
#include "ui/window_dpi.h"
#include "watch/watch_readings.h"
#include "watch/watch_rules.h"

#include <objbase.h>

#include <type_traits>

namespace {

const UINT_PTR kCountdownTimer = 5001;
// A watch reads once a second, in both its states: while it waits, and while
// the countdown that follows runs, which ends when the conditions stop holding.
const UINT_PTR kWatchTimer = 5002;
const UINT kWatchReadingMs = 1000;
// The countdown after a watch is never shorter: the user must see it coming.
const int kShortestWatchCount = 10;
// Marks a live countdown's window, for "--cancel" from another process; the
// others tell a copy about to start a second countdown what this one counts
// to: the operation, the seconds left and the time of day (each stored plus
// one, since a property of 0 cannot be told from none).
const wchar_t kCountdownProperty[] = L"Marlowen.Keldrin.Countdown";
const wchar_t kOperationProperty[] = L"Marlowen.Keldrin.Operation";
const wchar_t kLeftProperty[] = L"Marlowen.Keldrin.SecondsLeft";
const wchar_t kAtProperty[] = L"Marlowen.Keldrin.AtTime";
// The last minute is when the user must not be caught off guard.
const int kLastMinute = 60;
const int kWarningSecond = 10;

// The postpones, in the window menu, Later's menu and the icon's. The ids keep
// the low four bits clear, which WM_SYSCOMMAND reserves for the system.
const struct {
    UINT command;
    int seconds;
    int textId;
} kPostpones[] = {
    {0x0110, 5 * 60, IDS_POSTPONE_5_MIN},
    {0x0120, 15 * 60, IDS_POSTPONE_15_MIN},
    {0x0130, 60 * 60, IDS_POSTPONE_1_HOUR},
};
// The icon's menu: the countdown shown, then the postpones, Run now (IDOK)
// and Cancel (IDCANCEL).
const UINT kShowCommand = 0x0140;

// Posted to itself when the window menu has closed: by then any postpone
// chosen in it has been posted ahead of this.
const UINT kMenuClosed = WM_APP + 1;
// How long "--cancel" waits for the countdowns it asked to end.
const DWORD kCancelWaitMs = 5000;

// Held from the one-at-a-time check until the countdown has marked its
// window: two copies started by one double-click would otherwise both look
// before either is marked, find none, and both count down. The second waits
// here for the first to be marked, at most this long, and then asks.
const wchar_t kStartLockName[] = L"Local\\Marlowen.Keldrin.CountdownStart";
const DWORD kStartLockWaitMs = 10000;
HANDLE g_startLock = nullptr;

void TakeStartLock()
{
    if (g_startLock) return;
    g_startLock = CreateMutexW(nullptr, FALSE, kStartLockName);
    // A holder that was killed leaves the mutex abandoned, which still grants it.
    if (g_startLock) WaitForSingleObject(g_startLock, kStartLockWaitMs);
}

void ReleaseStartLock()
{
    if (!g_startLock) return;
    ReleaseMutex(g_startLock);
    CloseHandle(g_startLock);
    g_startLock = nullptr;
}

CountdownSchedule g_schedule;
ColouredLook g_look;
bool g_inFront = false;  // topmost, for the last minute
bool g_warned = false;   // the 10-second sound was played
bool g_liveRegion = false;  // screen readers are told the time left now and then
bool g_comReady = false;    // this dialog initialised COM, and uninitialises it
int g_lastShown = -1;       // the time left on screen, -1 before the first tick
bool g_watching = false;    // waiting for the conditions; no count runs
bool g_watchCaptioned = false;  // the caption says what the watch waits for
WatchState g_watch;
TrayIcon g_tray;
// The notice of the last minute is given when the count comes down into it,
// or wakes there, not to a countdown that opened in front of the user with a
// minute or less to go.
bool g_noticeDue = false;

// The one message another copy of the program may send to end a countdown.
// Registered rather than WM_COMMAND, so that letting it through to a
// countdown running elevated lets through nothing else ("Run now" included).
UINT g_cancelMessage = 0;

UINT CancelMessage()
{
    // Registered on first use; a function-local static would bring the C++
    // run-time's thread-safe initialisation, and with it its threads library.
    if (!g_cancelMessage) g_cancelMessage = RegisterWindowMessageW(L"Marlowen.Keldrin.CancelCountdown");
    return g_cancelMessage;
}

typedef BOOL(WINAPI *ChangeWindowMessageFilterExProc)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
typedef BOOL(WINAPI *ChangeWindowMessageFilterProc)(UINT, DWORD);
// Looked-up types must be the system's own, calling convention included.
static_assert(std::is_same<ChangeWindowMessageFilterExProc, decltype(&::ChangeWindowMessageFilterEx)>::value,
              "ChangeWindowMessageFilterEx");
static_assert(std::is_same<ChangeWindowMessageFilterProc, decltype(&::ChangeWindowMessageFilter)>::value,
              "ChangeWindowMessageFilter");

// A countdown started elevated (an administrator prompt, a task with highest
// privileges) would drop a message posted by an ordinary process, and
// "--cancel" from a script would be ignored; Explorer's TaskbarCreated and its
// clicks on the icon come from an ordinary process too. Windows 7 lets one
// window take one message; Vista only the whole process; XP filters nothing.
void AcceptFromOtherProcesses(HWND dialog)
{
    const UINT messages[] = {CancelMessage(), TaskbarCreatedMessage(), kTrayIconMessage};
    auto filterEx = SystemFunction<ChangeWindowMessageFilterExProc>(L"user32.dll", "ChangeWindowMessageFilterEx");
    auto filter = SystemFunction<ChangeWindowMessageFilterProc>(L"user32.dll", "ChangeWindowMessageFilter");
    for (UINT message : messages) {
        if (!message) continue;
        if (filterEx)
            filterEx(dialog, message, MSGFLT_ALLOW, nullptr);
        else if (filter)
            filter(message, MSGFLT_ADD);
    }
}

// Everything that must not outlive the dialog, on whichever path it ends.
// From here on it is no countdown that "--cancel" could still call off.
void EndCountdown(HWND dialog, INT_PTR result)
{
    KillTimer(dialog, kCountdownTimer);
    KillTimer(dialog, kWatchTimer);
    RemovePropW(dialog, kCountdownProperty);
    TrayIconRemove(&g_tray);
    SendMessageW(dialog, WM_COMMAND, IDC_RESTORE_SAVER, 0);
    SetThreadExecutionState(ES_CONTINUOUS);
    EndDialog(dialog, result);
}

// In the last minute the countdown comes to the user wherever it is: out of
// the taskbar if minimised, in front of every other window, its taskbar
// button flashing until the user looks at it; the keyboard stays where the
// user types. A postpone beyond the minute lets it go back.
void KeepInFront(HWND dialog, int remaining)
{
    bool front = remaining <= kLastMinute;
    if (front && IsIconic(dialog)) ShowWindow(dialog, SW_SHOWNOACTIVATE);
    if (front != g_inFront) {
        g_inFront = front;
        SetWindowPos(dialog, front ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        // With FLASHW_TIMERNOFG a count of 0 flashes until the window is in the foreground.
        FLASHWINFO flash = {sizeof flash, dialog, front ? static_cast<DWORD>(FLASHW_TRAY | FLASHW_TIMERNOFG)
                                                        : static_cast<DWORD>(FLASHW_STOP), 0, 0};
        FlashWindowEx(&flash);
    }
    if (remaining <= kWarningSecond && !g_warned) {
        g_warned = true;
        MessageBeep(MB_ICONEXCLAMATION);
    } else if (remaining > kWarningSecond) {
        g_warned = false;
    }
}

void RemoveProperties(HWND window)
{
    const wchar_t *const names[] = {kCountdownProperty, kOperationProperty, kLeftProperty, kAtProperty};
    for (const wchar_t *name : names) RemovePropW(window, name);
}

// Stored plus one, since a property of 0 cannot be told from none, and as
// unsigned: a 32-bit handle holds 2147483647 + 1 that way, not as a signed sum.
void SetNumberProperty(HWND window, const wchar_t *name, int value)
{
    UINT_PTR stored = static_cast<UINT_PTR>(static_cast<unsigned>(value)) + 1;
    SetPropW(window, name, reinterpret_cast<HANDLE>(stored));
}

// The property's number, or -1 when the window has none.
int NumberProperty(HWND window, const wchar_t *name)
{
    return static_cast<int>(static_cast<unsigned>(reinterpret_cast<UINT_PTR>(GetPropW(window, name))) - 1u);
}

// The time of day a count to one names: the user's, as given (a time in the
// hour the clock skips stays the time the user chose), moved by every
// postpone and wake; -1 for a wait.
int CaptionTimeOfDay()
{
    if (!g_schedule.wallEndMs) return -1;
    long long second = (g_settings.atTime + g_schedule.wallMovedMs / 1000) % kSecondsPerDay;
    return static_cast<int>(second < 0 ? second + kSecondsPerDay : second);
}

// Windows 8 and later read live regions; before them the countdown stays silent as it always was.
bool LiveRegionsExist()
{
    return g_app && (g_app->osVersion.dwMajorVersion > 6 ||
                     (g_app->osVersion.dwMajorVersion == 6 && g_app->osVersion.dwMinorVersion >= 2));
}

const wchar_t *ProductName()
{
    return g_app && g_app->productName ? g_app->productName : L"";
}

// The icon's tooltip names the operation and the time left; the notice comes
// once as the count enters the last minute.
void ShowInTray(int remaining, int atTime)
{
    wchar_t description[KELDRIN_TEXT_UNITS], text[2 * KELDRIN_TEXT_UNITS];
    CountdownDescription(description, COUNTOF(description), g_settings.operation, remaining, atTime);
    FormatText(text, COUNTOF(text), L"%ls - %ls", description, ProductName());
    TrayIconSetTip(&g_tray, text);
    if (remaining > kLastMinute) {
        g_noticeDue = true;
    } else if (g_noticeDue) {
        g_noticeDue = false;
        FormatText(text, COUNTOF(text), LoadResFormat(g_resourceModule, IDS_LAST_MINUTE_NOTICE, "s", L"%ls"),
                   description);
        TrayIconNotice(&g_tray, ProductName(), text);
    }
}

// announce: tell screen readers whatever the value (a postpone); otherwise
// only at the moments worth hearing.
void ShowTick(HWND dialog, int remaining, bool announce = false)
{
    wchar_t text[KELDRIN_TEXT_UNITS];
    RemainingTimeText(text, COUNTOF(text), remaining);
    SetDlgItemTextW(dialog, IDC_REMAINING, text);
    if (g_liveRegion && (announce || (g_lastShown >= 0 && CountdownAnnounces(g_lastShown, remaining))))
        LiveRegionChanged(GetDlgItem(dialog, IDC_REMAINING));
    g_lastShown = remaining;
    // The title, and so the taskbar button and Alt+Tab, tells the time left too.
    wchar_t title[KELDRIN_TEXT_UNITS];
    const wchar_t *format = LoadResString(g_resourceModule, IDS_COUNTDOWN_TITLE, -1);
    if (!FormatMatches(format, "ss")) format = L"%ls - %ls";
    FormatText(title, COUNTOF(title), format, text, ProductName());
    SetWindowTextW(dialog, title);
    int atTime = CaptionTimeOfDay();
    OperationCaptionText(text, COUNTOF(text), g_settings.operation, atTime);
    SetDlgItemTextW(dialog, IDC_OPERATION_CAPTION, text);
    SetNumberProperty(dialog, kOperationProperty, g_settings.operation);
    SetNumberProperty(dialog, kLeftProperty, remaining);
    if (atTime >= 0) SetNumberProperty(dialog, kAtProperty, atTime);
    KeepInFront(dialog, remaining);
    // Ticks come once a second; a postpone is told at the next one, so the
    // shell never redraws the tooltip more often.
    if (!announce) ShowInTray(remaining, atTime);
}

// Enter and Space go to the focused button: whenever the countdown shows
// itself again (restored, woken, postponed, back from another window), the
// focus is on Cancel, never on Run now, which the dialog manager would
// otherwise give it as the first tab stop. Run now stays one click or its
// mnemonic away.
void FocusCancel(HWND dialog)
{
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDCANCEL)), TRUE);
}

void FocusCancelIfActive(HWND dialog)
{
    if (GetActiveWindow() == dialog && !IsIconic(dialog)) FocusCancel(dialog);
}

INT_PTR OnActivate(HWND dialog, WPARAM state)
{
    if (LOWORD(state) == WA_INACTIVE || IsIconic(dialog)) return FALSE;  // the dialog manager's own handling
    FocusCancel(dialog);
    return TRUE;
}

const wchar_t *MenuText(int id)
{
    const wchar_t *text = LoadResString(g_resourceModule, id, -1);
    return text ? text : L"";
}

void AddPostponeEntries(HWND dialog)
{
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const auto &postpone : kPostpones) AppendMenuW(menu, MF_STRING, postpone.command, MenuText(postpone.textId));
}

// A postpone from any of the menus: the time left grows at once, and the
// deadlines move with it. False for a command that is none.
bool Postpone(HWND dialog, UINT command)
{
    if (g_watching) return false;  // nothing to postpone yet; the entries are greyed
    for (const auto &postpone : kPostpones) {
        if ((command & 0xFFF0) == postpone.command) {
            ShowTick(dialog, CountdownPostpone(&g_schedule, postpone.seconds, CountdownClockMs()), true);
            FocusCancelIfActive(dialog);
            return true;
        }
    }
    return false;
}

INT_PTR OnSysCommand(HWND dialog, WPARAM command)
{
    if (!Postpone(dialog, static_cast<UINT>(command))) return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
    return TRUE;
}

void EnablePostpones(HWND dialog, bool enable)
{
    EnableWindow(GetDlgItem(dialog, IDC_LATER), enable);
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (!menu) return;
    for (const auto &postpone : kPostpones)
        EnableMenuItem(menu, postpone.command, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

// Restored if minimised, in front, the keyboard on Cancel.
void ShowCountdown(HWND dialog)
{
    ShowWindow(dialog, IsIconic(dialog) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(dialog);
    FocusCancel(dialog);
}

// What a menu of the countdown's own was chosen for. A deadline passed while
// it was open may have ended the countdown meanwhile: then nothing is done.
void RunMenuCommand(HWND dialog, UINT command)
{
    if (!command || !GetPropW(dialog, kCountdownProperty)) return;
    if (command == kShowCommand)
        ShowCountdown(dialog);
    else if (command == IDOK || command == IDCANCEL)
        SendMessageW(dialog, WM_COMMAND, command, 0);
    else
        Postpone(dialog, command);
}

int PostponeEntries(CommandMenuEntry *entries)
{
    int count = 0;
    for (const auto &postpone : kPostpones) entries[count++] = {postpone.command, MenuText(postpone.textId), !g_watching};
    return count;
}

// Later: the postpones in a menu just under the button, which it leaves uncovered.
void OpenLaterMenu(HWND dialog)
{
    CommandMenuEntry entries[COUNTOF(kPostpones)];
    int count = PostponeEntries(entries);
    RECT button = {};
    GetWindowRect(GetDlgItem(dialog, IDC_LATER), &button);
    RunMenuCommand(dialog, ShowCommandMenu(dialog, entries, count, button.left, button.bottom, &button, false));
    if (GetPropW(dialog, kCountdownProperty)) FocusCancel(dialog);
}

void OpenTrayMenu(HWND dialog, POINT at)
{
    CommandMenuEntry entries[8] = {{kShowCommand, MenuText(IDS_TRAY_SHOW), true}, {0, nullptr, true}};
    int count = 2 + PostponeEntries(entries + 2);
    entries[count++] = {0, nullptr, true};
    entries[count++] = {IDOK, MenuText(IDS_TRAY_RUN_NOW), true};
    entries[count++] = {IDCANCEL, MenuText(IDS_TRAY_CANCEL), true};
    RunMenuCommand(dialog, ShowCommandMenu(dialog, entries, count, at.x, at.y, nullptr, true));
}

INT_PTR OnTrayIcon(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    POINT at = {};
    switch (TrayIconEvent(g_tray, wParam, lParam, &at)) {
    case kTrayEventShow:
        ShowCountdown(dialog);
        break;
    case kTrayEventMenu:
        OpenTrayMenu(dialog, at);
        break;
    default:
        break;
    }
    return TRUE;
}

// In the notification area from the start: a countdown of hours is put out
// of the way and found again there. Its icons take the system's small size,
// the taskbar being on the primary monitor.
void AddTrayIcon(HWND dialog)
{
    int large = 0, small = 0;
    IconSizesForDpi(WindowDpi(nullptr), &large, &small);
    wchar_t tip[KELDRIN_TEXT_UNITS];
    GetWindowTextW(dialog, tip, COUNTOF(tip));
    TrayIconAdd(&g_tray, dialog, WindowIcon(small), tip, g_app && g_app->osVersion.dwMajorVersion >= 6);
}

WatchStatus ReadWatch()
{
    long long now = CountdownClockMs();
    WatchReading reading = {};
    WatchRead(&g_settings.watch, WatchWantsProcesses(&g_watch, &g_settings.watch, now), &reading);
    return WatchOnReading(&g_watch, &g_settings.watch, &reading, now);
}

// What the watch waits for and how far it has come. Without a time left to
// tell, another copy names this watch by its caption.
void ShowWatch(HWND dialog, const WatchStatus &status)
{
    wchar_t text[KELDRIN_TEXT_UNITS], title[KELDRIN_TEXT_UNITS];
    WatchMeasureText(text, COUNTOF(text), &g_settings.watch, &status);
    // Repainting costs more than reading (Wine draws the title bar itself):
    // nothing is drawn again that did not change, and the caption only when
    // the watch begins or comes back from a countdown.
    GetDlgItemTextW(dialog, IDC_REMAINING, title, COUNTOF(title));
    if (wcscmp(title, text) != 0) {
        SetDlgItemTextW(dialog, IDC_REMAINING, text);
        WatchTitleText(title, COUNTOF(title), text);
        SetWindowTextW(dialog, title);
        TrayIconSetTip(&g_tray, title);
    }
    if (g_watchCaptioned) return;
    g_watchCaptioned = true;
    WatchCaptionText(text, COUNTOF(text), g_settings.operation, &g_settings.watch);
    SetDlgItemTextW(dialog, IDC_OPERATION_CAPTION, text);
    RemovePropW(dialog, kLeftProperty);
}

// Everything holds: the line's own countdown, in this window, with all a
// countdown has.
void StartCounting(HWND dialog)
{
    g_watching = false;
    g_watchCaptioned = false;  // the countdown's own caption from here
    g_lastShown = -1;
    g_noticeDue = true;  // the count may begin where nobody looks
    int seconds = g_settings.waitTotal < kShortestWatchCount ? kShortestWatchCount : g_settings.waitTotal;
    SetTimer(dialog, kCountdownTimer, CountdownStart(&g_schedule, seconds, CountdownClockMs()), nullptr);
    EnablePostpones(dialog, true);
}

// What the user waited for is happening again (input, the program back, the
// processor busy): the machine must not go down during it, so the countdown
// closes and the watch goes on.
void BackToWatching(HWND dialog, const WatchStatus &status)
{
    KillTimer(dialog, kCountdownTimer);
    g_watching = true;
    KeepInFront(dialog, kLastMinute + 1);  // out of the front, the flashing stopped
    EnablePostpones(dialog, false);
    ShowWatch(dialog, status);
    if (g_liveRegion) LiveRegionChanged(GetDlgItem(dialog, IDC_REMAINING));
}

INT_PTR OnWatchTimer(HWND dialog)
{
    WatchStatus status = ReadWatch();
    if (g_watching) {
        if (status.holds)
            StartCounting(dialog);
        else
            ShowWatch(dialog, status);
    } else if (!status.holds) {
        BackToWatching(dialog, status);
    }
    return FALSE;
}

INT_PTR OnInitDialog(HWND dialog)
{
    ColouredLookCreate(&g_look, dialog);
    InitDialogFrame(dialog);
    g_inFront = g_warned = g_noticeDue = false;
    g_lastShown = -1;
    g_comReady = SUCCEEDED(CoInitialize(nullptr));
    g_liveRegion = LiveRegionsExist();
    if (g_liveRegion && g_comReady) LiveRegionCreate(GetDlgItem(dialog, IDC_REMAINING));
    SetPropW(dialog, kCountdownProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    SetNumberProperty(dialog, kOperationProperty, g_settings.operation);
    ReleaseStartLock();  // marked: a copy starting now finds this countdown
    AcceptFromOtherProcesses(dialog);
    AddPostponeEntries(dialog);
    unsigned first = 0;
    g_watching = WatchesAnything(g_settings.watch);
    g_watchCaptioned = false;
    if (g_watching) {
        WatchStart(&g_watch, CountdownClockMs());
        EnablePostpones(dialog, false);
        SetTimer(dialog, kWatchTimer, kWatchReadingMs, nullptr);
        OnWatchTimer(dialog);
    } else if (g_settings.useAtTime == 1) {
        // The next time the local clock shows the chosen time, today or tomorrow.
        long long wallNow = SystemClockMs();
        first = CountdownStartAt(&g_schedule, NextTimeOfDaySystemMs(wallNow, g_settings.atTime), wallNow,
                                 CountdownClockMs());
    } else {
        first = CountdownStart(&g_schedule, g_settings.waitTotal, CountdownClockMs());
    }
    if (!WatchesAnything(g_settings.watch)) SetTimer(dialog, kCountdownTimer, first, nullptr);
    // A shutdown set for 90 minutes must not wait for a machine that fell asleep
    // at 30, nor a watch for a machine that slept before the download ended.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    if (g_settings.saverLockOff == 1) SwitchSaverLockOff();
    // Cancel, not run now, answers Enter, and holds the focus that Space would
    // press; the owner-drawn buttons of the coloured template know no default
    // style, so the dialog is told its default id as well.
    SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    AddTrayIcon(dialog);
    return FALSE;
}

INT_PTR OnTimer(HWND dialog, WPARAM timer)
{
    if (timer == kWatchTimer) return OnWatchTimer(dialog);
    if (timer != kCountdownTimer) return FALSE;
    KillTimer(dialog, kCountdownTimer);
    CountdownTick tick = CountdownOnTimer(&g_schedule, CountdownClockMs(), SystemClockMs());
    if (tick.woke) {
        g_inFront = false;  // back from a sleep: told afresh
        g_noticeDue = true;
        FocusCancelIfActive(dialog);
    }
    if (tick.due) ShowTick(dialog, tick.shown);
    if (tick.finished) {
        // A menu left open a minute past the end: closed, and the operation runs.
        if (tick.closeMenu) SendMessageW(dialog, WM_CANCELMODE, 0, 0);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    } else {
        SetTimer(dialog, kCountdownTimer, tick.nextDelayMs, nullptr);
    }
    return FALSE;
}

// The timer keeps firing inside the menu's own loop; the end waits for the
// menu to close, so a postpone chosen there in the last seconds still counts.
INT_PTR OnMenuLoop(HWND dialog, bool open)
{
    CountdownMenu(&g_schedule, open);
    if (!open) PostMessageW(dialog, kMenuClosed, 0, 0);
    return FALSE;
}

INT_PTR OnMenuClosed(HWND dialog)
{
    if (g_schedule.held) OnTimer(dialog, kCountdownTimer);
    return TRUE;
}

// Sleep and wake: the timer is armed anew for the tick due after the time
// asleep is left out. The message itself is left to the default handling,
// which grants any request to suspend.
INT_PTR OnPowerBroadcast(HWND dialog, WPARAM event)
{
    // The time asleep was neither "not used" nor "quiet": both start over.
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) WatchOnResume(&g_watch, CountdownClockMs());
    if (g_watching) return FALSE;
    long long delay =
        CountdownOnPowerEvent(&g_schedule, static_cast<unsigned long>(event), CountdownClockMs(), SystemClockMs());
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
        RunPowerOperation(g_settings.operation, g_settings.force == 1);
        return TRUE;
    case IDCANCEL:
        EndCountdown(dialog, IDCANCEL);
        return TRUE;
    case IDC_LATER:
        OpenLaterMenu(dialog);
        return TRUE;
    case IDC_RESTORE_SAVER:
        RestoreSaverLock();
        return TRUE;
    default:
        return FALSE;
    }
}

const int kMostCountdowns = 64;

struct Countdowns {
    HWND windows[kMostCountdowns];
    int count;
};

BOOL CALLBACK FindCountdown(HWND window, LPARAM found)
{
    Countdowns *countdowns = reinterpret_cast<Countdowns *>(found);
    if (GetPropW(window, kCountdownProperty) && countdowns->count < kMostCountdowns)
        countdowns->windows[countdowns->count++] = window;
    return TRUE;
}

// A countdown that has ended, or begun its operation, drops its property.
int StillCounting(const Countdowns &countdowns)
{
    int counting = 0;
    for (int i = 0; i < countdowns.count; i++)
        if (IsWindow(countdowns.windows[i]) && GetPropW(countdowns.windows[i], kCountdownProperty)) counting++;
    return counting;
}

}  // namespace

int CancelRunningCountdowns()
{
    Countdowns countdowns = {};
    EnumWindows(FindCountdown, reinterpret_cast<LPARAM>(&countdowns));
    // Each copy ends its own as its Cancel button would: the password comes
    // back on and the settings are saved as on Cancel.
    for (int i = 0; i < countdowns.count; i++) PostMessageW(countdowns.windows[i], CancelMessage(), 0, 0);
    DWORD start = GetTickCount();
    int counting = StillCounting(countdowns);
    while (counting > 0 && GetTickCount() - start < kCancelWaitMs) {
        Sleep(50);
        counting = StillCounting(countdowns);
    }
    return counting;
}

int OperationCaptionId(int operation)
{
    const OperationEntry *entry = FindOperation(operation);
    return entry ? entry->captionId : IDS_CAPTION_NONE;
}

void OperationCaptionText(wchar_t *buffer, size_t units, int operation, int atTime)
{
    if (atTime < 0) {
        CopyText(buffer, units, LoadResString(g_resourceModule, OperationCaptionId(operation), -1));
        return;
    }
    wchar_t time[16];
    FormatTimeOfDay(time, COUNTOF(time), atTime);
    int id = IDS_CAPTION_AT_NONE + (OperationCaptionId(operation) - IDS_CAPTION_NONE);
    const wchar_t *format = LoadResString(g_resourceModule, id, -1);
    if (!FormatMatches(format, "s")) format = L"%ls";
    FormatText(buffer, units, format, time);
}

void CountdownDescription(wchar_t *buffer, size_t units, int operation, int secondsLeft, int atTime)
{
    wchar_t caption[KELDRIN_TEXT_UNITS], left[KELDRIN_TEXT_UNITS];
    OperationCaptionText(caption, COUNTOF(caption), operation, atTime);
    RemainingTimeText(left, COUNTOF(left), secondsLeft);
    FormatText(buffer, units, atTime < 0 ? L"%ls %ls" : L"%ls (%ls)", caption, left);
}

bool MayStartCountdown(HWND owner)
{
    TakeStartLock();
    Countdowns countdowns = {};
    EnumWindows(FindCountdown, reinterpret_cast<LPARAM>(&countdowns));
    if (countdowns.count == 0) return true;  // the lock is held until this one is marked
    ReleaseStartLock();  // never held while the user is asked
    HWND running = countdowns.windows[0];

    wchar_t before[KELDRIN_TEXT_UNITS], after[KELDRIN_TEXT_UNITS];
    int runningLeft = NumberProperty(running, kLeftProperty);
    if (runningLeft >= 0)
        CountdownDescription(before, COUNTOF(before), NumberProperty(running, kOperationProperty), runningLeft,
                             NumberProperty(running, kAtProperty));
    else  // a watch: its caption says what it waits for
        GetWindowTextW(GetDlgItem(running, IDC_OPERATION_CAPTION), before, COUNTOF(before));
    int secondsLeft = g_settings.waitTotal;
    int atTime = g_settings.useAtTime == 1 ? g_settings.atTime : -1;
    if (atTime >= 0) {
        long long wallNow = SystemClockMs();
        secondsLeft = static_cast<int>((NextTimeOfDaySystemMs(wallNow, atTime) - wallNow + 999) / 1000);
    }
    if (WatchesAnything(g_settings.watch))
        WatchCaptionText(after, COUNTOF(after), g_settings.operation, &g_settings.watch);
    else
        CountdownDescription(after, COUNTOF(after), g_settings.operation, secondsLeft, atTime);

    wchar_t question[3 * KELDRIN_TEXT_UNITS];
    const wchar_t *format = LoadResString(g_resourceModule, IDS_ANOTHER_COUNTDOWN, -1);
    if (!FormatMatches(format, "ss")) format = L"%ls\r\n\r\n%ls";
    FormatText(question, COUNTOF(question), format, before, after);
    const wchar_t *caption = ProductName();
    // No is the default: a second click on a shortcut must not end the first countdown.
    if (MessageBoxW(owner, question, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
        CancelRunningCountdowns();
        TakeStartLock();
        return true;
    }
    // The countdown that goes on comes to the user, who was about to start another.
    if (IsIconic(running)) ShowWindowAsync(running, SW_RESTORE);
    SetForegroundWindow(running);
    return false;
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
    if (message == CancelMessage() && message != 0) {
        EndCountdown(dialog, IDCANCEL);
        return TRUE;
    }
    if (message == TaskbarCreatedMessage() && message != 0) {
        TrayIconAddAgain(&g_tray);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_TIMER:
        return OnTimer(dialog, wParam);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_POWERBROADCAST:
        return OnPowerBroadcast(dialog, wParam);
    case WM_SYSCOMMAND:
        return OnSysCommand(dialog, wParam);
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        return OnMenuLoop(dialog, message == WM_ENTERMENULOOP);
    case kMenuClosed:
        return OnMenuClosed(dialog);
    case kTrayIconMessage:
        return OnTrayIcon(dialog, wParam, lParam);
    case WM_DPICHANGED:
        return DialogDpiChanged(dialog, wParam);
    case WM_ACTIVATE:
        return OnActivate(dialog, wParam);
    case WM_SIZE:
        if (wParam == SIZE_RESTORED) FocusCancelIfActive(dialog);
        return FALSE;
    case WM_ENDSESSION:
        // Someone else is ending the session: the password must not stay off.
        if (wParam) RestoreSaverLock();
        return FALSE;
    case WM_DESTROY:
        RemoveProperties(dialog);
        TrayIconRemove(&g_tray);
        if (g_liveRegion && g_comReady) LiveRegionRemove(GetDlgItem(dialog, IDC_REMAINING));
        if (g_comReady) CoUninitialize();
        g_comReady = g_liveRegion = false;
        ColouredLookDelete(&g_look);
        SetThreadExecutionState(ES_CONTINUOUS);
        return FALSE;
    default:
        return ColouredLookMessage(g_look, message, wParam, lParam, L"Right Now", L"Cancel", L"Later");
    }
}

void RunWatch(HWND owner)
{
    if (RefusedAsNothingToWaitFor(owner, g_settings.watch)) return;
    if (MayStartCountdown(owner)) RunCountdownDialog(owner, WatchTemplateId());
}

void RunCountdownDialog(HWND owner, int templateId)
{
    DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(templateId), owner, CountdownDialogProc, 0);
    ReleaseStartLock();  // a template missing from the module marked nothing
}
