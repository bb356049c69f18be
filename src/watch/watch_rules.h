// The rules of a watch as plain functions of readings and times, so that the
// fake clock and fake readings prove them. The dialog reads (watch_readings.h)
// at most once a second and hands each reading here.
#ifndef KELDRIN_WATCH_RULES_H
#define KELDRIN_WATCH_RULES_H

#include "watch/watch_conditions.h"
#include "watch/watch_readings.h"

// The processor and the network over the last five readings.
const int kQuietWindow = 5;

struct WatchState {
    long long startedMs;        // the watch's start, or its last resume
    // Quiet: the last readings and the per-second figures made of them.
    bool haveCpu;
    WatchCpuTimes lastCpu;
    int adapterCount;           // -1: no counters to take the next ones from
    WatchAdapterCounter lastAdapters[kMostAdapters];
    long long lastReadingMs;    // -1: no reading since the start or the resume
    int cpuPercent[kQuietWindow];  // per reading, a ring: the newest just before [next]
    long long netBytesPerSec[kQuietWindow];
    int filled;                 // how many of the window are real readings (at most kQuietWindow)
    int next;                   // where the next figure goes
    long long quietSinceMs;     // -1: not quiet now
    // Programs: the last count, and when the processes were last listed.
    int running;                // -1: not listed yet, or the last listing failed
    long long listedMs;         // -1: never
    // A process id once seen gone stays ended: Windows gives its number to
    // the next process that starts.
    bool programEnded[kMostWatchedPrograms];
};

// What the watch shows and whether its conditions all hold now.
struct WatchStatus {
    bool holds;          // every condition watched holds at this moment
    int idleSec;         // how long no input has come, as far as the watch is concerned
    int running;         // processes of the watched programs running
    int cpuPercent;      // the averages judged, -1 until known
    int netKBs;
    int quietForSec;     // how long the averages have been below both marks
};

void WatchStart(WatchState *state, long long nowMs);

// After a resume the idle and quiet times start over: the time asleep is
// neither "not used" nor "quiet".
void WatchOnResume(WatchState *state, long long nowMs);

// Whether the processes are due to be listed again (at most once every 2 s).
bool WatchWantsProcesses(const WatchState *state, const WatchConditions *conditions, long long nowMs);

// One reading at nowMs. reading->processesListed tells whether it carries a
// fresh count of the watched programs' processes.
WatchStatus WatchOnReading(WatchState *state, const WatchConditions *conditions, const WatchReading *reading,
                           long long nowMs);

#endif
