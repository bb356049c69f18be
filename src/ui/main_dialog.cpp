#include "ui/main_dialog.h"

#include <commctrl.h>

#include "context/app_context.h"
#include "base/number_text.h"
#include "base/owned_string.h"
#include "ui/countdown_dialog.h"
#include "power/power_operations.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "schedule/schedule_run.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"
#include "ui/notice.h"
#include "ui/schedules_dialog.h"
#include "ui/select_dialog.h"
#include "ui/shortcuts.h"
#include "watch/program_names.h"

namespace {

const int kOperationButtons = 9;
const int kDestinationButtons = 4;
const wchar_t kHelpFileName[] = L"Keldrin.chm";
const wchar_t kHelpTopic[] = L"_RESOURCE/Help-howtouse.html";
// For a module without the message.
const wchar_t kWaitNotANumber[] =
    L"The minutes or seconds field is empty or holds something other than digits.\n"
    L"Enter the wait in digits; for no wait, enter 0 in both.";
// The longest condition the command line takes, in minutes.
const int kMostWatchMinutes = kMostWatchSeconds / 60;

// The radio buttons of when, in the order of their settings codes.
const int kWatchButtons[] = {IDC_WHEN_IDLE, IDC_WHEN_PROGRAM, IDC_WHEN_QUIET};

bool IsChecked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckButton(HWND dialog, int id, bool checked)
{
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Only the fields of the choice made take input: a wait typed while a time of
// day is chosen would count for nothing.
void EnableWhenFields(HWND dialog)
{
    const struct {
        int button;
        int fields[4];
    } choices[] = {
        {IDC_WHEN_WAIT, {IDC_WAIT_MIN, IDC_WAIT_MIN_SPIN, IDC_WAIT_SEC, IDC_WAIT_SEC_SPIN}},
        {IDC_WHEN_AT, {IDC_AT_TIME}},
        {IDC_WHEN_IDLE, {IDC_IDLE_MIN}},
        {IDC_WHEN_PROGRAM, {IDC_WATCH_PROGRAM}},
        {IDC_WHEN_QUIET, {IDC_QUIET_MIN}},
    };
    for (const auto &choice : choices) {
        for (int id : choice.fields)
            if (id) EnableWindow(GetDlgItem(dialog, id), IsChecked(dialog, choice.button));
    }
    const bool repeats = IsChecked(dialog, IDC_DEST_SCHEDULE);
    EnableWindow(GetDlgItem(dialog, IDC_SCHEDULE_DAYS), repeats);
    EnableWindow(GetDlgItem(dialog, IDC_SCHEDULE_WAKE), repeats);
}

// A repetition runs at a time of day: choosing it chooses the time of day.
void ChooseAtTime(HWND dialog)
{
    const int whens[] = {IDC_WHEN_WAIT, IDC_WHEN_AT, IDC_WHEN_IDLE, IDC_WHEN_PROGRAM, IDC_WHEN_QUIET};
    for (int id : whens)
        CheckButton(dialog, id, id == IDC_WHEN_AT);
    EnableWhenFields(dialog);
}

// The days the list offers, and the remembered ones chosen (every day when
// the file holds days the list does not offer).
void FillScheduleDays(HWND dialog)
{
    HWND box = GetDlgItem(dialog, IDC_SCHEDULE_DAYS);
    for (int i = 0; i < kScheduleDayChoices; i++) {
        wchar_t text[KELDRIN_TEXT_UNITS];
        ScheduleDaysText(text, COUNTOF(text), ScheduleDaysOfChoice(i));
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    const int choice = ScheduleChoiceOfDays(g_settings.scheduleDays);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(choice < 0 ? 0 : choice), 0);
    CheckButton(dialog, IDC_SCHEDULE_WAKE, g_settings.scheduleWake == 1);
}

// Hours and minutes on the 24-hour clock, whatever the user's time format.
void ShowAtTime(HWND dialog, int secondOfDay)
{
    HWND picker = GetDlgItem(dialog, IDC_AT_TIME);
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH':'mm"));
    SYSTEMTIME time;
    GetLocalTime(&time);
    time.wHour = static_cast<WORD>(secondOfDay / 3600 % 24);
    time.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    time.wSecond = 0;
    time.wMilliseconds = 0;
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

int ReadAtTime(HWND dialog, int fallback)
{
    SYSTEMTIME time = {};
    if (SendDlgItemMessageW(dialog, IDC_AT_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return fallback;
    return time.wHour % 24 * 3600 + time.wMinute % 60 * 60;
}

// A wait field read as the user sees it: digits and nothing else. ES_NUMBER
// keeps only typed keys out; a paste still brings a sign or letters, and a
// signed reading of "-1" would run the operation at once.
bool ReadWaitField(HWND dialog, int id, int *value)
{
    wchar_t text[32] = L"";
    GetDlgItemTextW(dialog, id, text, COUNTOF(text));
    return ParseDigits(text, value);
}

// What the field holds. Digits as OK takes them (full-width ones too, which
// GetDlgItemInt may not read on Windows), anything else as before; OK never
// runs a field that holds no digits.
int WaitFieldValue(HWND dialog, int id)
{
    int value = 0;
    return ReadWaitField(dialog, id, &value) ? value : static_cast<int>(GetDlgItemInt(dialog, id, nullptr, TRUE));
}

// A code from the file that is no choice shows the wait or the time of day.
int WatchChoiceShown(int code)
{
    return code >= WATCH_CHOICE_IDLE && code <= WATCH_CHOICE_QUIET ? code : WATCH_CHOICE_NONE;
}

int WatchChoiceChecked(HWND dialog)
{
    for (int i = 0; i < static_cast<int>(COUNTOF(kWatchButtons)); i++)
        if (IsChecked(dialog, kWatchButtons[i])) return i + 1;
    return WATCH_CHOICE_NONE;
}

// The programs running as the list opens, for the user to pick from: listed
// then rather than as the dialog opens, which keeps the start quick and shows
// programs started since. What the field holds stays, running or not.
void FillProgramNames(HWND dialog)
{
    HWND box = GetDlgItem(dialog, IDC_WATCH_PROGRAM);
    wchar_t typed[kWatchedProgramUnits];
    GetWindowTextW(box, typed, COUNTOF(typed));
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    wchar_t *names = RunningProgramNames();
    for (const wchar_t *name = names; name && name[0]; name += wcslen(name) + 1)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    ProgramNamesFree(names);
    SetWindowTextW(box, typed);
}

INT_PTR OnInitDialog(HWND dialog)
{
    InitDialogFrame(dialog);
    for (int i = 0; i < kOperationButtons; i++)
        CheckButton(dialog, IDC_OPERATION_FIRST + i, g_settings.operation == i + 1);
    for (int d = 0; d < kDestinationButtons; d++)
        CheckButton(dialog, IDC_DESTINATION_FIRST + d, g_settings.destination == d);
    SetSpinRange(dialog, IDC_WAIT_SEC_SPIN, 0, 59, g_settings.waitSec);
    SetSpinRange(dialog, IDC_WAIT_MIN_SPIN, 0, 1440, g_settings.waitMin);
    int watch = WatchChoiceShown(g_settings.watchChoice);
    CheckButton(dialog, IDC_WHEN_WAIT, watch == WATCH_CHOICE_NONE && g_settings.useAtTime != 1);
    CheckButton(dialog, IDC_WHEN_AT, watch == WATCH_CHOICE_NONE && g_settings.useAtTime == 1);
    for (int i = 0; i < static_cast<int>(COUNTOF(kWatchButtons)); i++)
        CheckButton(dialog, kWatchButtons[i], watch == i + 1);
    ShowAtTime(dialog, g_settings.atTime);
    SetDlgItemInt(dialog, IDC_IDLE_MIN, static_cast<UINT>(g_settings.idleMin), TRUE);
    SetDlgItemInt(dialog, IDC_QUIET_MIN, static_cast<UINT>(g_settings.quietMin), TRUE);
    SendDlgItemMessageW(dialog, IDC_WATCH_PROGRAM, CB_LIMITTEXT, kWatchedProgramUnits - 1, 0);
    SetDlgItemTextW(dialog, IDC_WATCH_PROGRAM, g_settings.watchProgram);
    FillScheduleDays(dialog);
    EnableWhenFields(dialog);
    SetDlgItemTextW(dialog, IDC_VERSION_TEXT, g_app->LongVersionText());
    return TRUE;
}

// The watch the choice describes, in the form a command line gives it: the
// condition, then the minute's countdown. Any other choice watches nothing.
void TakeWatchChoice(PowerSettings *settings)
{
    ClearWatchConditions(&settings->watch);
    switch (settings->watchChoice) {
    case WATCH_CHOICE_IDLE:
        settings->watch.idleSec = settings->idleMin * 60;
        break;
    case WATCH_CHOICE_PROGRAM:
        CopyText(settings->watch.programs[0], kWatchedProgramUnits, settings->watchProgram);
        settings->watch.programCount = 1;
        break;
    case WATCH_CHOICE_QUIET:
        settings->watch.quietSec = settings->quietMin * 60;
        break;
    default:
        return;
    }
    settings->waitTotal = kWatchCountSeconds;
}

// The values on screen go into the settings on every ending path, so a
// cancelled dialog still remembers what the user typed.
void ReadControls(HWND dialog)
{
    for (int i = 0; i < kOperationButtons; i++) {
        if (IsChecked(dialog, IDC_OPERATION_FIRST + i)) {
            g_settings.operation = i + 1;
            break;
        }
    }
    for (int d = 0; d < kDestinationButtons; d++) {
        if (IsChecked(dialog, IDC_DESTINATION_FIRST + d)) {
            g_settings.destination = d;
            break;
        }
    }
    g_settings.waitSec = WaitFieldValue(dialog, IDC_WAIT_SEC);
    g_settings.waitMin = WaitFieldValue(dialog, IDC_WAIT_MIN);
    g_settings.waitTotal = AddWaitSeconds(0, g_settings.waitMin, g_settings.waitSec);
    g_settings.saverLockOff = IsChecked(dialog, IDC_SAVER_LOCK_OFF) ? 1 : 0;
    g_settings.useAtTime = IsChecked(dialog, IDC_WHEN_AT) ? 1 : 0;
    g_settings.atTime = ReadAtTime(dialog, g_settings.atTime);
    g_settings.watchChoice = WatchChoiceChecked(dialog);
    g_settings.idleMin = WaitFieldValue(dialog, IDC_IDLE_MIN);
    g_settings.quietMin = WaitFieldValue(dialog, IDC_QUIET_MIN);
    GetDlgItemTextW(dialog, IDC_WATCH_PROGRAM, g_settings.watchProgram, COUNTOF(g_settings.watchProgram));
    const LRESULT days = SendDlgItemMessageW(dialog, IDC_SCHEDULE_DAYS, CB_GETCURSEL, 0, 0);
    if (days >= 0) g_settings.scheduleDays = ScheduleDaysOfChoice(static_cast<int>(days));
    g_settings.scheduleWake = IsChecked(dialog, IDC_SCHEDULE_WAKE) ? 1 : 0;
}

// The time of day a shortcut counts to, or -1 when it waits.
int AtTimeChosen()
{
    return g_settings.useAtTime == 1 ? g_settings.atTime : -1;
}

// The user is told what the field lacks, and the field gets the focus; the
// dialog manager selects an edit's text as it moves the focus there.
bool RefuseField(HWND dialog, int id, int messageId, const wchar_t *fallback, const wchar_t *text = nullptr)
{
    ShowNotice(dialog, MB_OK | MB_ICONEXCLAMATION, messageId, fallback, text);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
    return false;
}

// A field the user cleared, or text pasted into it (a sign included), holds
// no number; read as 0 or less it would run the operation at once. The user is told, the field gets the
// focus, and the dialog stays open. A typed 0 is a number like any other.
bool WaitFieldsHoldNumbers(HWND dialog)
{
    if (!IsChecked(dialog, IDC_WHEN_WAIT)) return true;  // a time of day or a watch reads no wait
    const int fields[] = {IDC_WAIT_MIN, IDC_WAIT_SEC};
    for (int id : fields) {
        int value = 0;
        if (!ReadWaitField(dialog, id, &value)) return RefuseField(dialog, id, IDS_WAIT_NOT_A_NUMBER, kWaitNotANumber);
    }
    return true;
}

// A condition's values as the command line would take them: minutes from 1
// to a day, a program named as a file can be. Nothing else is done, and the
// dialog stays open for the user to mend it.
bool WatchFieldsHoldValues(HWND dialog)
{
    int choice = WatchChoiceChecked(dialog);
    if (choice == WATCH_CHOICE_NONE) return true;
    if (IsChecked(dialog, IDC_OP_SELECT))
        return RefuseField(dialog, IDC_OP_SELECT, IDS_MAIN_WATCH_NOT_SELECT,
                           L"Choosing the operation when it runs cannot wait for a condition.");
    if (choice == WATCH_CHOICE_PROGRAM) {
        wchar_t name[kWatchedProgramUnits] = L"";
        GetDlgItemTextW(dialog, IDC_WATCH_PROGRAM, name, COUNTOF(name));
        if (!name[0])
            return RefuseField(dialog, IDC_WATCH_PROGRAM, IDS_MAIN_WATCH_NO_PROGRAM, L"Enter the program to wait for.");
        if (wcspbrk(name, L"\\/:*?\"<>|"))
            return RefuseField(dialog, IDC_WATCH_PROGRAM, IDS_MAIN_WATCH_BAD_NAME, L"%ls: no program's file name.",
                               name);
        return true;
    }
    int id = choice == WATCH_CHOICE_IDLE ? IDC_IDLE_MIN : IDC_QUIET_MIN;
    int minutes = 0;
    if (ReadWaitField(dialog, id, &minutes) && minutes >= 1 && minutes <= kMostWatchMinutes) return true;
    return RefuseField(dialog, id, IDS_MAIN_WATCH_MINUTES, L"Enter the minutes in digits, from 1 to 1440.");
}

// As the other choices start their countdown: told while the dialog still
// shows, which stays open when nothing it waits for runs.
void RunWatchFrom(HWND dialog)
{
    if (RefusedAsNothingToWaitFor(dialog, g_settings.watch)) return;
    bool start = MayStartCountdown(dialog);
    EndDialog(dialog, IDOK);
    if (start) RunCountdownDialog(dialog, WatchTemplateId());
}

// The task runs this program by its full path; the dialog stays open, as it
// does for a shortcut, and says what was registered.
void RegisterFrom(HWND dialog)
{
    wchar_t program[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, program, COUNTOF(program));
    ShowScheduleAnswer(dialog, RegisterSchedule(ScheduleRequestOf(g_settings, program)));
}

void OnOk(HWND dialog)
{
    if (IsChecked(dialog, IDC_DEST_SCHEDULE)) {
        if (IsChecked(dialog, IDC_OP_SELECT)) {
            RefuseField(dialog, IDC_OP_SELECT, IDS_SCHEDULE_NOT_SELECT, L"Choose the operation to repeat.");
            return;
        }
        ChooseAtTime(dialog);
    }
    if (!WaitFieldsHoldNumbers(dialog) || !WatchFieldsHoldValues(dialog)) return;
    SendMessageW(dialog, WM_COMMAND, IDC_READ_CONTROLS, 0);
    TakeWatchChoice(&g_settings);
    const WatchConditions *watch = WatchesAnything(g_settings.watch) ? &g_settings.watch : nullptr;
    switch (g_settings.destination) {
    case DESTINATION_RUN:
        // Told while the dialog still shows, which stays open for another choice.
        if (RefusedOnThisMachine(dialog, g_settings.operation)) break;
        // The templates of the running Windows, as from the command line: the
        // coloured twins' owner-drawn buttons are painted by the Windows 8 look alone.
        if (g_settings.operation == OPERATION_SELECT) {
            EndDialog(dialog, IDOK);
            RunSelectDialog(dialog, SelectTemplateId());
        } else if (watch) {
            RunWatchFrom(dialog);
        } else if (CountsDown(g_settings)) {
            // Asked while the dialog still shows, so the question has an owner.
            bool start = MayStartCountdown(dialog);
            EndDialog(dialog, IDOK);
            if (start) RunCountdownDialog(dialog, CountdownTemplateId());
        } else {
            EndDialog(dialog, IDOK);
            RunPowerOperation(g_settings.operation, g_settings.force == 1);
        }
        // The nested dialog's loop may have taken the message that wakes this
        // one to see its end: a click sent from another program (automation,
        // a screen reader) brings none of its own.
        PostMessageW(dialog, WM_NULL, 0, 0);
        break;
    case DESTINATION_DESKTOP:
        MakeDesktopShortcut(g_settings.operation, g_settings.waitTotal, AtTimeChosen(), watch);
        break;
    case DESTINATION_QUICKLAUNCH:
        MakeQuickLaunchShortcut(g_settings.operation, g_settings.waitTotal, AtTimeChosen(), watch);
        break;
    case DESTINATION_SCHEDULE:
        RegisterFrom(dialog);
        break;
    default:
        break;
    }
}

void OnHelp()
{
    wchar_t *path = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!path) return;
    FormatText(path, KELDRIN_PATH_UNITS, L"%ls%ls", g_app->programDir ? g_app->programDir : L"", kHelpFileName);
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) g_app->ShowHelp(nullptr, path, kHelpTopic);
    HeapTextBufferFree(path);
}

INT_PTR OnCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        SendMessageW(dialog, WM_COMMAND, IDC_READ_CONTROLS, 0);
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case IDC_READ_CONTROLS:
        ReadControls(dialog);
        return TRUE;
    case IDC_UPDATE:
        g_app->updateRequested = 1;
        SendMessageW(dialog, WM_COMMAND, IDC_READ_CONTROLS, 0);
        EndDialog(dialog, IDC_UPDATE);
        return TRUE;
    case IDC_HELP_BUTTON:
        OnHelp();
        return TRUE;
    case IDC_WHEN_WAIT:
    case IDC_WHEN_AT:
    case IDC_WHEN_IDLE:
    case IDC_WHEN_PROGRAM:
    case IDC_WHEN_QUIET:
    case IDC_DEST_RUN:
    case IDC_DEST_DESKTOP:
    case IDC_DEST_QUICKLAUNCH:
        EnableWhenFields(dialog);
        return TRUE;
    case IDC_DEST_SCHEDULE:
        ChooseAtTime(dialog);
        return TRUE;
    case IDC_SCHEDULES_BUTTON:
        RunSchedulesDialog(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int SetSpinRange(HWND dialog, int id, int low, int high, int position)
{
    SendDlgItemMessageW(dialog, id, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    SendDlgItemMessageW(dialog, id, UDM_SETPOS32, 0, static_cast<LPARAM>(position));
    return 1;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_WATCH_PROGRAM && HIWORD(wParam) == CBN_DROPDOWN) {
            FillProgramNames(dialog);
            return TRUE;
        }
        return OnCommand(dialog, LOWORD(wParam));
    case WM_DPICHANGED:
        return DialogDpiChanged(dialog, wParam);
    default:
        return FALSE;
    }
}

int ShowMainDialog(HWND owner)
{
    DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(IDD_MAIN), owner, MainDialogProc, 0);
    return 1;
}
