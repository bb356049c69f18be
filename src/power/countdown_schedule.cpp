#include "power/countdown_schedule.h"

#include <windows.h>

#include <limits.h>

#include <type_traits>

namespace {

const long long kFirstTickMs = 100;
const long long kTickMs = 1000;
// A timer this late means the program stood still: the machine slept without
// saying so, or a virtual machine was paused.
const long long kUnannouncedSleepMs = 30000;
// What a user who comes back to the machine gets to see before anything happens.
const int kOnScreenAfterWake = 60;
// How long an open window menu may hold the end back.
const long long kMenuHoldMs = 60000;

long long DueAt(long long step)
{
    return kFirstTickMs + kTickMs * step;
}

// The step whose value is on screen elapsedMs after the opening.
long long StepAt(long long elapsedMs)
{
    return elapsedMs <= kFirstTickMs ? 0 : (elapsedMs - kFirstTickMs) / kTickMs;
}

int SaturatedTotal(long long total)
{
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

// After a wake the count may not end unseen: the step shown next shows at
// least a minute.
void KeepAMinuteOnScreen(CountdownSchedule *schedule, long long step)
{
    if (schedule->total - step < kOnScreenAfterWake) {
        schedule->total = SaturatedTotal(step + kOnScreenAfterWake);
        schedule->held = false;
    }
}

typedef BOOL(WINAPI *QueryUnbiasedInterruptTimeProc)(PULONGLONG);
typedef ULONGLONG(WINAPI *GetTickCount64Proc)(void);
// Looked-up types must be the system's own, calling convention included: on
// 32-bit x86 a pointer without WINAPI would call a stdcall function as cdecl
// and unbalance the stack. Only the 32-bit build can tell them apart.
static_assert(std::is_same<QueryUnbiasedInterruptTimeProc, decltype(&::QueryUnbiasedInterruptTime)>::value,
              "QueryUnbiasedInterruptTime");
static_assert(std::is_same<GetTickCount64Proc, decltype(&::GetTickCount64)>::value, "GetTickCount64");

}  // namespace

unsigned CountdownStart(CountdownSchedule *schedule, int total, long long nowMs)
{
    *schedule = CountdownSchedule();
    schedule->openedMs = nowMs;
    schedule->total = total;
    schedule->askedForMs = kFirstTickMs;
    return static_cast<unsigned>(kFirstTickMs);
}

void CountdownMenu(CountdownSchedule *schedule, bool open)
{
    schedule->menuOpen = open;
}

int CountdownPostpone(CountdownSchedule *schedule, int seconds, long long nowMs)
{
    long long shownSteps = schedule->nextStep > 0 ? schedule->nextStep - 1 : 0;
    if (schedule->held) {
        // The end is now, not when it came: the postpone counts from the user's choice.
        long long last = schedule->total > 0 ? schedule->total : 0;
        schedule->openedMs = nowMs - DueAt(last);
        schedule->held = false;
        shownSteps = last;
    }
    if (seconds > 0) schedule->total = SaturatedTotal(static_cast<long long>(schedule->total) + seconds);
    return static_cast<int>(schedule->total - shownSteps);
}

long long CountdownOnPowerEvent(CountdownSchedule *schedule, unsigned long event, long long nowMs)
{
    switch (event) {
    case PBT_APMSUSPEND:
        if (!schedule->asleep) {
            schedule->asleep = true;
            schedule->suspendedMs = nowMs;
        }
        return -1;
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMECRITICAL: {
        // Windows sends both automatic and user resume after one sleep; only
        // the first moves the schedule. A resume without a suspend (after a
        // critical one) has no reading to go by and moves nothing.
        if (schedule->asleep) {
            schedule->asleep = false;
            if (nowMs > schedule->suspendedMs) schedule->openedMs += nowMs - schedule->suspendedMs;
        }
        long long elapsed = nowMs - schedule->openedMs;
        long long nextShown = StepAt(elapsed) > schedule->nextStep ? StepAt(elapsed) : schedule->nextStep;
        KeepAMinuteOnScreen(schedule, nextShown);
        schedule->woke = true;
        long long wait = DueAt(schedule->nextStep) - elapsed;
        if (wait < 0) wait = 0;
        schedule->askedForMs = elapsed + wait;
        return wait;
    }
    default:
        return -1;
    }
}

CountdownTick CountdownOnTimer(CountdownSchedule *schedule, long long nowMs)
{
    CountdownTick tick = {};
    long long elapsed = nowMs - schedule->openedMs;
    long long due = DueAt(schedule->nextStep);
    if (elapsed < due) {
        tick.nextDelayMs = static_cast<unsigned>(due - elapsed);
        schedule->askedForMs = due;
        return tick;
    }
    tick.woke = schedule->woke;
    schedule->woke = false;
    if (elapsed - schedule->askedForMs > kUnannouncedSleepMs) {
        KeepAMinuteOnScreen(schedule, StepAt(elapsed));
        tick.woke = true;
    }
    long long step = StepAt(elapsed);
    long long last = schedule->total > 0 ? schedule->total : 0;
    if (step > last) step = last;
    tick.due = true;
    tick.shown = static_cast<int>(schedule->total - step);
    tick.finished = step >= last;
    schedule->nextStep = step + 1;
    if (tick.finished && schedule->menuOpen) {
        long long held = elapsed - DueAt(last);
        if (held < kMenuHoldMs) {
            // Shown at 0 and waiting; every second the menu is asked again.
            tick.finished = false;
            schedule->held = true;
            schedule->nextStep = last;
            tick.nextDelayMs = static_cast<unsigned>(kMenuHoldMs - held < kTickMs ? kMenuHoldMs - held : kTickMs);
            schedule->askedForMs = elapsed + tick.nextDelayMs;
            return tick;
        }
        tick.closeMenu = true;
    }
    if (!tick.finished) {
        tick.nextDelayMs = static_cast<unsigned>(DueAt(schedule->nextStep) - elapsed);
        schedule->askedForMs = DueAt(schedule->nextStep);
    }
    return tick;
}

long long CountdownClockMs()
{
    static QueryUnbiasedInterruptTimeProc unbiased = nullptr;
    static GetTickCount64Proc tickCount64 = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        // Both exist only on newer systems; the unbiased time (Windows 7 and
        // later) is the one that leaves out time spent asleep.
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (kernel) {
            unbiased = reinterpret_cast<QueryUnbiasedInterruptTimeProc>(
                reinterpret_cast<void *>(GetProcAddress(kernel, "QueryUnbiasedInterruptTime")));
            tickCount64 = reinterpret_cast<GetTickCount64Proc>(
                reinterpret_cast<void *>(GetProcAddress(kernel, "GetTickCount64")));
        }
    }
    ULONGLONG hundredNs = 0;
    if (unbiased && unbiased(&hundredNs)) return static_cast<long long>(hundredNs / 10000);
    if (tickCount64) return static_cast<long long>(tickCount64());
    // GetTickCount wraps after 49.7 days of uptime. The countdown reads the
    // clock at least once a second, so a reading below the last one is a wrap.
    static DWORD lastTicks = 0;
    static long long wraps = 0;
    DWORD ticks = GetTickCount();
    if (ticks < lastTicks) wraps++;
    lastTicks = ticks;
    return (wraps << 32) + static_cast<long long>(ticks);
}
