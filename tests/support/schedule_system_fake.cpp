#include "schedule_system_fake.h"

#include "base/owned_string.h"

ScheduleFake g_scheduleFake;

void ResetScheduleFake()
{
    g_scheduleFake = ScheduleFake();
}

namespace {

std::vector<FakeScheduledTask>::iterator Find(const wchar_t *folder, const wchar_t *name)
{
    auto &tasks = g_scheduleFake.tasks;
    for (auto it = tasks.begin(); it != tasks.end(); ++it)
        if (it->folder == folder && WideStringEqual(it->name.c_str(), name)) return it;
    return tasks.end();
}

}  // namespace

HRESULT ScheduleRegisterTask(const wchar_t *folder, const wchar_t *name, const wchar_t *xml)
{
    if (FAILED(g_scheduleFake.answer)) return g_scheduleFake.answer;
    g_scheduleFake.registrations++;
    auto found = Find(folder, name);
    if (found != g_scheduleFake.tasks.end()) g_scheduleFake.tasks.erase(found);
    g_scheduleFake.tasks.push_back({folder, name, xml});
    return S_OK;
}

HRESULT ScheduleDeleteTask(const wchar_t *folder, const wchar_t *name)
{
    if (FAILED(g_scheduleFake.answer)) return g_scheduleFake.answer;
    auto found = Find(folder, name);
    if (found == g_scheduleFake.tasks.end()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    g_scheduleFake.tasks.erase(found);
    return S_OK;
}

HRESULT ScheduleFindTask(const wchar_t *folder, const wchar_t *name, ScheduledTask *task)
{
    if (FAILED(g_scheduleFake.answer)) return g_scheduleFake.answer;
    auto found = Find(folder, name);
    if (found == g_scheduleFake.tasks.end()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    *task = ScheduledTask();
    CopyText(task->name, COUNTOF(task->name), found->name.c_str());
    return S_OK;
}

// Each task's next run is the 9th of December 2026 at 23:00, as a real
// scheduler would give it for the tests' tasks.
HRESULT ScheduleListTasks(const wchar_t *folder, ScheduledTask *tasks, int most, int *count)
{
    *count = 0;
    if (FAILED(g_scheduleFake.answer)) return g_scheduleFake.answer;
    if (!g_scheduleFake.lists) return E_NOTIMPL;
    for (const FakeScheduledTask &task : g_scheduleFake.tasks) {
        if (task.folder != folder || *count == most) continue;
        ScheduledTask &entry = tasks[(*count)++];
        entry = ScheduledTask();
        CopyText(entry.name, COUNTOF(entry.name), task.name.c_str());
        entry.hasNextRun = true;
        entry.nextRun.wYear = 2026;
        entry.nextRun.wMonth = 12;
        entry.nextRun.wDay = 9;
        entry.nextRun.wHour = 23;
    }
    return S_OK;
}
