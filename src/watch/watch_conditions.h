// What a watch waits for before its countdown: the computer left alone, some
// programs ended, the processor and network quiet. Plain data, shared by the
// command line, the settings, the shortcuts and the dialogs.
#ifndef KELDRIN_WATCH_CONDITIONS_H
#define KELDRIN_WATCH_CONDITIONS_H

#include <windows.h>

// How many "--after-exit" names one line may give.
const int kMostWatchedPrograms = 8;
// The longest name or process id one of them may be, in characters.
const int kWatchedProgramUnits = MAX_PATH;

const int kDefaultCpuBelow = 10;      // percent
const int kDefaultNetBelowKBs = 20;   // kilobytes a second, received plus sent
const int kMostWatchSeconds = 24 * 3600;
// The countdown once everything holds, when the line gives no wait of its own.
const int kWatchCountSeconds = 60;

struct WatchConditions {
    int idleSec;      // no keyboard or mouse for this long; 0: not watched
    int quietSec;     // processor and network below the marks for this long; 0: not watched
    int cpuBelow;     // percent, 1..99
    int netBelowKBs;  // 1..1,000,000
    int programCount; // 0: no program watched
    // File names ("ffmpeg.exe", compared without regard to case) or process ids in digits.
    wchar_t programs[kMostWatchedPrograms][kWatchedProgramUnits];
};

inline bool WatchesAnything(const WatchConditions &conditions)
{
    return conditions.idleSec > 0 || conditions.quietSec > 0 || conditions.programCount > 0;
}

// No condition, the marks at their defaults.
inline void ClearWatchConditions(WatchConditions *conditions)
{
    *conditions = WatchConditions();
    conditions->cpuBelow = kDefaultCpuBelow;
    conditions->netBelowKBs = kDefaultNetBelowKBs;
}

#endif
