// The figures a watch reads, set by the tests instead of read from the
// system: every test program links this in place of watch_system_win32.cpp.
#ifndef KELDRIN_TESTS_WATCH_SYSTEM_FAKE_H
#define KELDRIN_TESTS_WATCH_SYSTEM_FAKE_H

#include <string>
#include <vector>

#include "watch/watch_system.h"

struct FakeProcess {
    DWORD id;
    std::wstring imageName;
};

struct WatchSystemFake {
    bool inputKnown = true;
    DWORD idleMs = 0;
    bool timesKnown = true;
    WatchCpuTimes times = {};
    bool adaptersKnown = true;
    std::vector<WatchAdapterCounter> adapters;
    bool processesListable = true;
    std::vector<FakeProcess> processes;
    int listings = 0;  // how often the processes were listed
};

extern WatchSystemFake g_watchSystemFake;

// Nothing used, idle or running, every figure readable, no adapter.
void ResetWatchSystemFake();

#endif
