// The Task Scheduler calls a schedule makes. The program links the real ones
// (schedule_system_win32.cpp); the in-process tests link a fake, so no test
// registers a task with the system's Task Scheduler.
#ifndef KELDRIN_SCHEDULE_SYSTEM_H
#define KELDRIN_SCHEDULE_SYSTEM_H

#include <windows.h>

// One of the folder's tasks: its name and its next run in local time
// (hasNextRun false when the Task Scheduler gives none).
struct ScheduledTask {
    wchar_t name[MAX_PATH];
    bool hasNextRun;
    SYSTEMTIME nextRun;
};

// Each call connects to the local Task Scheduler 2.0 and lets go again.
// REGDB_E_CLASSNOTREG: there is none (Windows XP and older). The folder is
// created when a task is registered into it; a task of the same name is
// replaced, its XML the task's whole definition.
HRESULT ScheduleRegisterTask(const wchar_t *folder, const wchar_t *name, const wchar_t *xml);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): no task of that name.
HRESULT ScheduleDeleteTask(const wchar_t *folder, const wchar_t *name);
// Up to most of the folder's tasks; a folder that does not exist holds none.
// E_NOTIMPL where the Task Scheduler cannot list them (Wine's).
HRESULT ScheduleListTasks(const wchar_t *folder, ScheduledTask *tasks, int most, int *count);
// The one task of that name; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is none.
HRESULT ScheduleFindTask(const wchar_t *folder, const wchar_t *name, ScheduledTask *task);

#endif
