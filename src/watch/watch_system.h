// The system's figures a watch reads, behind a seam: in the program they are
// the system's own (watch_system_win32.cpp), in the in-process tests a fake's,
// as with the power operations.
#ifndef KELDRIN_WATCH_SYSTEM_H
#define KELDRIN_WATCH_SYSTEM_H

#include <windows.h>

const int kMostAdapters = 32;

// GetSystemTimes' totals, in 100-ns units; kernel includes idle.
struct WatchCpuTimes {
    unsigned long long idle, kernel, user;
};

// One adapter's counters in bytes. bits is 64 (GetIfTable2, Vista and later)
// or 32 (GetIfTable, whose counters wrap at 4 GB: the rules take a smaller
// value than the last as a wrap).
struct WatchAdapterCounter {
    unsigned long index;
    unsigned long long received, sent;
    int bits;
};

// Milliseconds since the session's last keyboard or mouse input.
bool WatchSystemIdleMs(DWORD *idleMs);

bool WatchSystemTimes(WatchCpuTimes *times);

// Every adapter but loopback, at most `most`; -1 when none can be read.
int WatchSystemAdapters(WatchAdapterCounter *adapters, int most);

// Calls visit for every running process with its image's file name; false
// when the processes cannot be listed.
typedef void (*WatchProcessVisitor)(DWORD processId, const wchar_t *imageName, void *context);
bool WatchSystemEachProcess(WatchProcessVisitor visit, void *context);

#endif
