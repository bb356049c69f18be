// Registering and removing Keldrin's tasks: what the command line and the
// main dialog ask of the Task Scheduler, and the message each outcome gets.
#ifndef KELDRIN_SCHEDULE_RUN_H
#define KELDRIN_SCHEDULE_RUN_H

#include <windows.h>

#include "base/owned_string.h"
#include "schedule/schedule_task.h"

struct PowerSettings;

// What was done: the message to show (a string id, 0 for none), the task's
// name and, for a failure, the system's words for it.
struct ScheduleAnswer {
    bool done;
    int messageId;
    wchar_t name[KELDRIN_TEXT_UNITS];
    wchar_t error[KELDRIN_TEXT_UNITS];
};

// The request of these settings: their operation, time of day, days, wait,
// waking and screen-saver choice, this program's path and today's date.
ScheduleRequest ScheduleRequestOf(const PowerSettings &settings, const wchar_t *program);

// Registers the request's task in Keldrin's folder, replacing one of the same name.
ScheduleAnswer RegisterSchedule(const ScheduleRequest &request);

// Removes the task of that name from Keldrin's folder, or every task there
// for "all" (in any case); done when every one named went.
ScheduleAnswer RemoveSchedules(const wchar_t *name);

// Up to most of Keldrin's tasks as the Task Scheduler has them. Where it
// cannot list its folder (Wine's), the tasks this program registered and
// that are still there.
struct ScheduledTask;
HRESULT ListSchedules(ScheduledTask *tasks, int most, int *count);

// The message's fallback, for a module that lacks it; it takes the same texts.
const wchar_t *ScheduleAnswerFallback(int messageId);

#endif
