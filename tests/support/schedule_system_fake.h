// The Task Scheduler the tests link: tasks kept in memory, each call's answer as told.
#ifndef KELDRIN_SCHEDULE_SYSTEM_FAKE_H
#define KELDRIN_SCHEDULE_SYSTEM_FAKE_H

#include <string>
#include <vector>

#include "schedule/schedule_system.h"

struct FakeScheduledTask {
    std::wstring folder, name, xml;
};

struct ScheduleFake {
    HRESULT answer = S_OK;  // what every call answers; a failure changes nothing
    std::vector<FakeScheduledTask> tasks;
    int registrations = 0;
    bool lists = true;  // false: a Task Scheduler that cannot list a folder, as Wine's
};

// Emptied by ResetScheduleFake, which each test that registers calls first.
extern ScheduleFake g_scheduleFake;
void ResetScheduleFake();

#endif
