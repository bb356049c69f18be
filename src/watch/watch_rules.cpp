#include "watch/watch_rules.h"

namespace {

const long long kListEveryMs = 2000;
const unsigned long long kWrap32 = 1ULL << 32;

// The quiet figures start over: the next reading only gives the counters the
// one after it is measured from.
void ForgetQuiet(WatchState *state)
{
    state->haveCpu = false;
    state->adapterCount = -1;
    state->lastReadingMs = -1;
    state->filled = 0;
    state->next = 0;
    state->quietSinceMs = -1;
}

// The processor's use between two readings, in percent; -1 when the times
// went back or did not move. Kernel time includes the idle time.
int CpuPercent(const WatchCpuTimes &last, const WatchCpuTimes &now)
{
    if (now.idle < last.idle || now.kernel < last.kernel || now.user < last.user) return -1;
    unsigned long long idle = now.idle - last.idle;
    unsigned long long total = (now.kernel - last.kernel) + (now.user - last.user);
    if (total == 0 || idle > total) return -1;
    return static_cast<int>(((total - idle) * 100 + total / 2) / total);
}

// How far one counter went; false for a 64-bit counter that went back (the
// adapter was reset), which tells nothing about the traffic.
bool CounterStep(unsigned long long last, unsigned long long now, int bits, unsigned long long *step)
{
    if (now >= last) *step = now - last;
    else if (bits == 32) *step = now + kWrap32 - last;
    else return false;
    return true;
}

// Bytes received and sent over the adapters seen in both readings; an adapter
// that came or went in between tells nothing about this second.
unsigned long long NetBytes(const WatchState *state, const WatchReading *reading)
{
    unsigned long long bytes = 0;
    for (int i = 0; i < reading->adapterCount; i++) {
        const WatchAdapterCounter &now = reading->adapters[i];
        for (int j = 0; j < state->adapterCount; j++) {
            const WatchAdapterCounter &last = state->lastAdapters[j];
            if (last.index != now.index) continue;
            unsigned long long received, sent;
            if (CounterStep(last.received, now.received, now.bits, &received) &&
                CounterStep(last.sent, now.sent, now.bits, &sent))
                bytes += received + sent;
            break;
        }
    }
    return bytes;
}

void Remember(WatchState *state, const WatchReading *reading, long long nowMs)
{
    state->haveCpu = reading->cpuKnown;
    if (reading->cpuKnown) state->lastCpu = reading->cpu;
    state->adapterCount = reading->netKnown ? reading->adapterCount : -1;
    for (int i = 0; i < reading->adapterCount && reading->netKnown; i++) state->lastAdapters[i] = reading->adapters[i];
    state->lastReadingMs = nowMs;
}

// Adds this reading's per-second figures to the window. A figure that cannot
// be read empties the window: an unknown second is never taken for a quiet one.
void TakeFigures(WatchState *state, const WatchReading *reading, long long nowMs)
{
    long long elapsedMs = nowMs - state->lastReadingMs;
    bool measured = state->lastReadingMs >= 0;
    int cpu = measured && state->haveCpu && reading->cpuKnown ? CpuPercent(state->lastCpu, reading->cpu) : -1;
    bool netKnown = measured && state->adapterCount >= 0 && reading->netKnown;
    unsigned long long bytes = netKnown ? NetBytes(state, reading) : 0;
    Remember(state, reading, nowMs);
    if (!measured) return;
    if (cpu < 0 || !netKnown) {
        state->filled = 0;
        state->quietSinceMs = -1;
        return;
    }
    state->cpuPercent[state->next] = cpu;
    state->netBytesPerSec[state->next] = static_cast<long long>(bytes * 1000 / elapsedMs);
    state->next = (state->next + 1) % kQuietWindow;
    if (state->filled < kQuietWindow) state->filled++;
}

// Judged on the averages of a full window only, so that one second between
// two jobs is not taken for the end of the work.
bool QuietHolds(WatchState *state, const WatchConditions *conditions, const WatchReading *reading, long long nowMs,
                WatchStatus *status)
{
    // A reading with no time since the last one has nothing to measure over.
    if (state->lastReadingMs < 0 || nowMs > state->lastReadingMs) TakeFigures(state, reading, nowMs);
    if (state->filled < kQuietWindow) return false;
    long long cpuSum = 0, netSum = 0;
    for (int i = 0; i < kQuietWindow; i++) {
        cpuSum += state->cpuPercent[i];
        netSum += state->netBytesPerSec[i];
    }
    status->cpuPercent = static_cast<int>((cpuSum + kQuietWindow / 2) / kQuietWindow);
    status->netKBs = static_cast<int>((netSum / kQuietWindow + 512) / 1024);
    // Against the exact averages, not the rounded ones shown.
    bool below = cpuSum < static_cast<long long>(conditions->cpuBelow) * kQuietWindow &&
                 netSum < static_cast<long long>(conditions->netBelowKBs) * 1024 * kQuietWindow;
    if (!below) {
        state->quietSinceMs = -1;
        return false;
    }
    if (state->quietSinceMs < 0) state->quietSinceMs = nowMs;
    long long quietMs = nowMs - state->quietSinceMs;
    status->quietForSec = static_cast<int>(quietMs / 1000);
    return quietMs >= static_cast<long long>(conditions->quietSec) * 1000;
}

// Input before the watch began, or before the machine slept, never counts as
// "not used": the idle time is counted from the later of the two.
bool IdleHolds(const WatchState *state, const WatchConditions *conditions, const WatchReading *reading, long long nowMs,
               WatchStatus *status)
{
    if (!reading->inputKnown) return false;
    long long idleMs = reading->idleMs;
    long long watchedMs = nowMs > state->startedMs ? nowMs - state->startedMs : 0;
    if (idleMs > watchedMs) idleMs = watchedMs;
    status->idleSec = static_cast<int>(idleMs / 1000);
    return idleMs >= static_cast<long long>(conditions->idleSec) * 1000;
}

void CountPrograms(WatchState *state, const WatchConditions *conditions, const WatchReading *reading, long long nowMs)
{
    state->listedMs = nowMs;
    if (reading->running < 0) {
        state->running = -1;
        return;
    }
    state->running = 0;
    for (int i = 0; i < conditions->programCount; i++) {
        DWORD id;
        if (WatchNameIsProcessId(conditions->programs[i], &id)) {
            if (reading->programRunning[i] == 0) state->programEnded[i] = true;
            if (state->programEnded[i]) continue;
        }
        state->running += reading->programRunning[i];
    }
}

}  // namespace

void WatchStart(WatchState *state, long long nowMs)
{
    *state = WatchState();
    state->startedMs = nowMs;
    state->running = -1;
    state->listedMs = -1;
    ForgetQuiet(state);
}

void WatchOnResume(WatchState *state, long long nowMs)
{
    state->startedMs = nowMs;
    ForgetQuiet(state);
}

bool WatchWantsProcesses(const WatchState *state, const WatchConditions *conditions, long long nowMs)
{
    return conditions->programCount > 0 && (state->listedMs < 0 || nowMs - state->listedMs >= kListEveryMs);
}

WatchStatus WatchOnReading(WatchState *state, const WatchConditions *conditions, const WatchReading *reading,
                           long long nowMs)
{
    WatchStatus status = {};
    status.cpuPercent = status.netKBs = -1;
    bool holds = WatchesAnything(*conditions);
    if (conditions->idleSec > 0) holds = IdleHolds(state, conditions, reading, nowMs, &status) && holds;
    if (conditions->quietSec > 0) holds = QuietHolds(state, conditions, reading, nowMs, &status) && holds;
    if (conditions->programCount > 0) {
        if (reading->processesListed) CountPrograms(state, conditions, reading, nowMs);
        holds = state->running == 0 && holds;
    }
    status.running = state->running;
    status.holds = holds;
    return status;
}
