#include "watch_system_fake.h"

WatchSystemFake g_watchSystemFake;

void ResetWatchSystemFake()
{
    g_watchSystemFake = WatchSystemFake();
}

bool WatchSystemIdleMs(DWORD *idleMs)
{
    *idleMs = g_watchSystemFake.idleMs;
    return g_watchSystemFake.inputKnown;
}

bool WatchSystemTimes(WatchCpuTimes *times)
{
    *times = g_watchSystemFake.times;
    return g_watchSystemFake.timesKnown;
}

int WatchSystemAdapters(WatchAdapterCounter *adapters, int most)
{
    if (!g_watchSystemFake.adaptersKnown) return -1;
    int count = 0;
    for (const WatchAdapterCounter &adapter : g_watchSystemFake.adapters)
        if (count < most) adapters[count++] = adapter;
    return count;
}

bool WatchSystemEachProcess(WatchProcessVisitor visit, void *context)
{
    g_watchSystemFake.listings++;
    if (!g_watchSystemFake.processesListable) return false;
    for (const FakeProcess &process : g_watchSystemFake.processes) visit(process.id, process.imageName.c_str(), context);
    return true;
}
