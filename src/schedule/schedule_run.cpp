#include "schedule/schedule_run.h"

#include <wctype.h>

#include "resources/resource_ids.h"
#include "schedule/schedule_system.h"
#include "settings/settings.h"

namespace {

// Every task a folder may hold that the list and the removal look at.
const int kMostTasks = 64;

// The system's text for the failure, and its code, which an administrator can look up.
void DescribeError(wchar_t *buffer, size_t units, HRESULT result)
{
    wchar_t text[KELDRIN_TEXT_UNITS];
    SystemErrorText(text, COUNTOF(text), static_cast<DWORD>(result));
    FormatText(buffer, units, text[0] ? L"%ls (0x%08lX)" : L"%ls0x%08lX", text, static_cast<unsigned long>(result));
}

ScheduleAnswer Failed(const wchar_t *name, int messageId, HRESULT result)
{
    ScheduleAnswer answer = {};
    CopyText(answer.name, COUNTOF(answer.name), name);
    // No Task Scheduler 2.0: Windows XP or older.
    answer.messageId = result == REGDB_E_CLASSNOTREG ? IDS_SCHEDULE_NEEDS_VISTA : messageId;
    DescribeError(answer.error, COUNTOF(answer.error), result);
    return answer;
}

// "all" in any case; a task of that name cannot be removed alone, which no name Keldrin gives is.
bool MeansAll(const wchar_t *name)
{
    return name && wcslen(name) == 3 && towlower(name[0]) == L'a' && towlower(name[1]) == L'l' &&
           towlower(name[2]) == L'l';
}

}  // namespace

HRESULT ListSchedules(ScheduledTask *tasks, int most, int *count)
{
    HRESULT result = ScheduleListTasks(kScheduleFolder, tasks, most, count);
    if (result != E_NOTIMPL) return result;
    *count = 0;
    const size_t units = 16384;
    wchar_t *names = HeapTextBuffer(units);
    if (!names) return E_OUTOFMEMORY;
    RememberedScheduleNames(names, units);
    for (const wchar_t *name = names; name[0] && *count < most; name += wcslen(name) + 1) {
        result = ScheduleFindTask(kScheduleFolder, name, &tasks[*count]);
        if (SUCCEEDED(result)) ++*count;
        // Removed by hand, or by another program: no longer ours to list.
        else if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) RememberScheduleName(name, false);
    }
    HeapTextBufferFree(names);
    return S_OK;
}

ScheduleRequest ScheduleRequestOf(const PowerSettings &settings, const wchar_t *program)
{
    ScheduleRequest request = {};
    request.operation = settings.operation;
    request.atTime = settings.atTime;
    request.days = settings.scheduleDays & kScheduleEveryDay;
    request.waitSeconds = settings.waitTotal;
    request.wake = settings.scheduleWake == 1;
    request.saverLockOff = settings.saverLockOff == 1;
    request.program = program;
    GetLocalTime(&request.today);
    return request;
}

ScheduleAnswer RegisterSchedule(const ScheduleRequest &request)
{
    ScheduleAnswer answer = {};
    const size_t xmlUnits = 16384;
    wchar_t *xml = HeapTextBuffer(xmlUnits);
    if (!xml || !ScheduleTaskName(answer.name, COUNTOF(answer.name), request.operation, request.atTime, request.days) ||
        !ScheduleTaskXml(xml, xmlUnits, request)) {
        HeapTextBufferFree(xml);
        return Failed(answer.name, IDS_SCHEDULE_FAILED, E_INVALIDARG);
    }
    const HRESULT result = ScheduleRegisterTask(kScheduleFolder, answer.name, xml);
    HeapTextBufferFree(xml);
    if (FAILED(result)) return Failed(answer.name, IDS_SCHEDULE_FAILED, result);
    RememberScheduleName(answer.name, true);
    answer.done = true;
    answer.messageId = IDS_SCHEDULE_REGISTERED;
    return answer;
}

ScheduleAnswer RemoveSchedules(const wchar_t *name)
{
    if (!MeansAll(name)) {
        const HRESULT result = ScheduleDeleteTask(kScheduleFolder, name);
        if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
            RememberScheduleName(name, false);
            return Failed(name, IDS_UNSCHEDULE_NOT_FOUND, result);
        }
        RememberScheduleName(name, false);
        if (FAILED(result)) return Failed(name, IDS_UNSCHEDULE_FAILED, result);
        ScheduleAnswer answer = {};
        answer.done = true;
        CopyText(answer.name, COUNTOF(answer.name), name);
        return answer;
    }
    ScheduledTask *tasks = static_cast<ScheduledTask *>(HeapAlloc(GetProcessHeap(), 0, kMostTasks * sizeof(ScheduledTask)));
    if (!tasks) return Failed(name, IDS_UNSCHEDULE_FAILED, E_OUTOFMEMORY);
    int count = 0;
    HRESULT result = ListSchedules(tasks, kMostTasks, &count);
    ScheduleAnswer answer = {};
    answer.done = true;
    CopyText(answer.name, COUNTOF(answer.name), name);
    // No task is no failure: "all" of none are gone.
    for (int i = 0; SUCCEEDED(result) && i < count; i++) {
        result = ScheduleDeleteTask(kScheduleFolder, tasks[i].name);
        if (FAILED(result)) CopyText(answer.name, COUNTOF(answer.name), tasks[i].name);
        else RememberScheduleName(tasks[i].name, false);
    }
    HeapFree(GetProcessHeap(), 0, tasks);
    return FAILED(result) ? Failed(answer.name, IDS_UNSCHEDULE_FAILED, result) : answer;
}

const wchar_t *ScheduleAnswerFallback(int messageId)
{
    // The name, and the system's words for a failure; Vista's need alone.
    switch (messageId) {
    case IDS_SCHEDULE_NEEDS_VISTA:
        return L"Windows Vista or later is needed.";
    case IDS_SCHEDULE_REGISTERED:
    case IDS_UNSCHEDULE_NOT_FOUND:
        return L"%ls";
    default:
        return L"%ls:\n%ls";
    }
}
