#include "ui/schedules_dialog.h"

#include <commctrl.h>

#include "base/owned_string.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "schedule/schedule_run.h"
#include "schedule/schedule_system.h"
#include "ui/dialog_look.h"
#include "ui/notice.h"

namespace {

const int kMostListed = 64;

const wchar_t *ModuleText(int id, const wchar_t *fallback)
{
    const wchar_t *text = LoadResString(g_resourceModule, id, -1);
    return text && text[0] ? text : fallback;
}

// The columns share the list's width: the name takes two thirds.
void AddColumns(HWND list)
{
    RECT client;
    GetClientRect(list, &client);
    const int width = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    const struct {
        int textId;
        const wchar_t *fallback;
        int width;
    } columns[] = {
        {IDS_SCHEDULES_COLUMN_NAME, L"Task", width * 2 / 3},
        {IDS_SCHEDULES_COLUMN_NEXT, L"Next run", width - width * 2 / 3},
    };
    for (int i = 0; i < static_cast<int>(COUNTOF(columns)); i++) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = columns[i].width;
        column.pszText = const_cast<wchar_t *>(ModuleText(columns[i].textId, columns[i].fallback));
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

// The tasks as the Task Scheduler has them now; Remove only with one to remove.
void FillList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_SCHEDULES_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    ScheduledTask *tasks =
        static_cast<ScheduledTask *>(HeapAlloc(GetProcessHeap(), 0, kMostListed * sizeof(ScheduledTask)));
    int count = 0;
    if (tasks && FAILED(ListSchedules(tasks, kMostListed, &count))) count = 0;
    for (int i = 0; i < count; i++) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = tasks[i].name;
        const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        wchar_t next[128];
        ScheduleNextRunText(next, COUNTOF(next), tasks[i].hasNextRun, tasks[i].nextRun);
        item.iItem = row;
        item.iSubItem = 1;
        item.pszText = next;
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    if (tasks) HeapFree(GetProcessHeap(), 0, tasks);
    if (count > 0) {
        LVITEMW selected = {};
        selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
    }
    EnableWindow(GetDlgItem(dialog, IDC_SCHEDULES_REMOVE), count > 0);
}

INT_PTR OnInitDialog(HWND dialog)
{
    InitDialogFrame(dialog);
    HWND list = GetDlgItem(dialog, IDC_SCHEDULES_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumns(list);
    FillList(dialog);
    return TRUE;
}

void OnRemove(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_SCHEDULES_LIST);
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) return;
    wchar_t name[MAX_PATH] = L"";
    LVITEMW item = {};
    item.pszText = name;
    item.cchTextMax = COUNTOF(name);
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    const ScheduleAnswer answer = RemoveSchedules(name);
    if (!answer.done) ShowScheduleAnswer(dialog, answer);
    FillList(dialog);
}

}  // namespace

void ScheduleNextRunText(wchar_t *buffer, size_t units, bool hasNextRun, const SYSTEMTIME &nextRun)
{
    if (!hasNextRun) {
        CopyText(buffer, units, ModuleText(IDS_SCHEDULES_NO_NEXT_RUN, L"(none)"));
        return;
    }
    wchar_t date[64] = L"", time[64] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &nextRun, nullptr, date, COUNTOF(date));
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &nextRun, nullptr, time, COUNTOF(time));
    FormatText(buffer, units, L"%ls %ls", date, time);
}

INT_PTR CALLBACK SchedulesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_SCHEDULES_REMOVE) {
            OnRemove(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DPICHANGED:
        return DialogDpiChanged(dialog, wParam);
    default:
        return FALSE;
    }
}

void RunSchedulesDialog(HWND owner)
{
    DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(IDD_SCHEDULES), owner, SchedulesDialogProc, 0);
}
