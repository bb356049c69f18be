// One reading of what a watch's conditions need, made of the system's
// figures (watch_system.h), and the count of a program's processes.
#ifndef KELDRIN_WATCH_READINGS_H
#define KELDRIN_WATCH_READINGS_H

#include <windows.h>

#include "watch/watch_conditions.h"
#include "watch/watch_system.h"

struct WatchReading {
    bool inputKnown;
    DWORD idleMs;                 // since the last keyboard or mouse input
    bool cpuKnown;
    WatchCpuTimes cpu;
    bool netKnown;
    int adapterCount;             // loopback left out
    WatchAdapterCounter adapters[kMostAdapters];
    bool processesListed;         // the counts below are fresh
    int running;                  // processes matching any watched program; -1: the listing failed
    // Of those, the ones counted for each watched program (a process under the
    // first program it answers to, so none is counted twice).
    int programRunning[kMostWatchedPrograms];
};

// Fills reading with what the conditions need: the last input for an idle
// watch, the processor and the adapters for a quiet one, and (when
// listProcesses) the count of the watched programs' processes from one listing.
void WatchRead(const WatchConditions *conditions, bool listProcesses, WatchReading *reading);

// How many processes answer to program: an image name compared without regard
// to case, or a process id in digits. -1 when the processes cannot be listed.
int WatchCountRunning(const wchar_t *program);

// Whether a watched name is a process id (digits only), and which.
bool WatchNameIsProcessId(const wchar_t *name, DWORD *processId);

#endif
