#include "watch/watch_readings.h"

#include "base/number_text.h"
#include "base/owned_string.h"

namespace {

// Image names compare as the file system compares names: without regard to
// case in any script, not only A to Z, and the same whatever the user's locale.
bool SameImageName(const wchar_t *first, const wchar_t *second)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, first, -1, second, -1) == CSTR_EQUAL;
}

struct ProgramCount {
    const WatchConditions *conditions;
    DWORD ids[kMostWatchedPrograms];  // 0: the name is not a process id
    int counts[kMostWatchedPrograms];
};

void CountProcess(DWORD processId, const wchar_t *imageName, void *context)
{
    ProgramCount *count = static_cast<ProgramCount *>(context);
    for (int i = 0; i < count->conditions->programCount; i++) {
        bool matches = count->ids[i] ? count->ids[i] == processId
                                     : SameImageName(imageName, count->conditions->programs[i]);
        if (matches) {
            count->counts[i]++;
            return;
        }
    }
}

// One listing for all the watched programs; false when it failed.
bool CountPrograms(const WatchConditions *conditions, ProgramCount *count)
{
    *count = ProgramCount();
    count->conditions = conditions;
    for (int i = 0; i < conditions->programCount; i++) {
        DWORD id = 0;
        if (WatchNameIsProcessId(conditions->programs[i], &id)) count->ids[i] = id;
    }
    return WatchSystemEachProcess(CountProcess, count);
}

}  // namespace

bool WatchNameIsProcessId(const wchar_t *name, DWORD *processId)
{
    int value = 0;
    if (!ParseDigits(name, &value)) return false;
    *processId = static_cast<DWORD>(value);
    return true;
}

void WatchRead(const WatchConditions *conditions, bool listProcesses, WatchReading *reading)
{
    *reading = WatchReading();
    if (conditions->idleSec > 0) reading->inputKnown = WatchSystemIdleMs(&reading->idleMs);
    if (conditions->quietSec > 0) {
        reading->cpuKnown = WatchSystemTimes(&reading->cpu);
        int adapters = WatchSystemAdapters(reading->adapters, kMostAdapters);
        reading->netKnown = adapters >= 0;
        reading->adapterCount = adapters > 0 ? adapters : 0;
    }
    if (conditions->programCount > 0 && listProcesses) {
        ProgramCount count;
        reading->processesListed = true;
        reading->running = -1;
        if (CountPrograms(conditions, &count)) {
            reading->running = 0;
            for (int i = 0; i < conditions->programCount; i++) {
                reading->programRunning[i] = count.counts[i];
                reading->running += count.counts[i];
            }
        }
    }
}

int WatchCountRunning(const wchar_t *program)
{
    WatchConditions one;
    ClearWatchConditions(&one);
    one.programCount = 1;
    // A name longer than a watch can hold is no program a watch could wait for.
    if (wcslen(program) >= static_cast<size_t>(kWatchedProgramUnits)) return 0;
    CopyText(one.programs[0], kWatchedProgramUnits, program);
    ProgramCount count;
    return CountPrograms(&one, &count) ? count.counts[0] : -1;
}
