// A repeating operation handed to Windows' Task Scheduler: its days, its name
// and the task's XML, as plain functions of the choice.
#ifndef KELDRIN_SCHEDULE_TASK_H
#define KELDRIN_SCHEDULE_TASK_H

#include <windows.h>

// Days of the week as the Task Scheduler counts them (TASK_SUNDAY = 1 ...
// TASK_SATURDAY = 0x40), and as SYSTEMTIME's wDayOfWeek numbers them.
const int kScheduleEveryDay = 0x7F;
const int kScheduleWeekdays = 0x3E;
const int kScheduleWeekends = 0x41;

// The Task Scheduler folder of Keldrin's tasks.
extern const wchar_t kScheduleFolder[];

// The main dialog's choices of days, in the order of its list: every day,
// Monday to Friday, Saturday and Sunday, then Monday ... Sunday.
const int kScheduleDayChoices = 10;
int ScheduleDaysOfChoice(int choice);
int ScheduleChoiceOfDays(int days);  // -1: no choice of the list

// "daily", "weekdays", "weekends" or a comma list of mon ... sun, in any
// case; false for anything else (an empty item, an unknown day).
bool ParseScheduleDays(const wchar_t *text, int *days);

// The days as the module says them: "every day", "Monday to Friday", or the
// days' names one after the other.
void ScheduleDaysText(wchar_t *buffer, size_t units, int days);

// What a repeating operation is: the task runs Keldrin at its time on its days.
struct ScheduleRequest {
    int operation;      // 1..8, never the select dialog
    int atTime;         // seconds after midnight
    int days;           // the days' bits, never 0
    int waitSeconds;    // the user's wait; the task's countdown is at least a minute
    bool wake;          // wakes the computer for it
    bool saverLockOff;
    const wchar_t *program;  // Keldrin.exe's full path
    SYSTEMTIME today;        // the local date the first run may fall on
};

// The countdown a task's run gives the user to see and stop it.
const int kScheduleLeastWait = 60;

// "Shut down at 23.00, Monday to Friday": the shortcut's name and the days.
// False when the operation has no keyword.
bool ScheduleTaskName(wchar_t *buffer, size_t units, int operation, int atTime, int days);

// The arguments the task starts Keldrin with.
bool ScheduleTaskArguments(wchar_t *buffer, size_t units, const ScheduleRequest &request);

// The task as Task Scheduler 2.0 XML (schema 1.2, Vista's), the elements in
// the schema's order. False when it does not fit.
bool ScheduleTaskXml(wchar_t *buffer, size_t units, const ScheduleRequest &request);

#endif
