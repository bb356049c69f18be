#include "power/countdown_schedule.h"

#include <windows.h>

#include <limits.h>

#include <type_traits>

#include "base/system_function.h"

namespace {

const long long kFirstTickMs = 100;
const long long kTickMs = 1000;
// A timer this late means the program stood still: the machine slept without
// saying so, or a virtual machine was paused.
const long long kUnannouncedSleepMs = 30000;
// A timer this late that finds the end passed: the user did not see the last
// seconds (a hung machine, a process stopped, a sleep shorter than the above).
const long long kLateTickMs = 2000;
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

// The step that shows 0 and ends the count; a total of 0 or less ends at once.
long long LastStep(const CountdownSchedule *schedule)
{
    return schedule->total > 0 ? schedule->total : 0;
}

// Where the end lies on the program's clock.
long long EndMs(const CountdownSchedule *schedule)
{
    return schedule->openedMs + DueAt(LastStep(schedule));
}

// A count to a time of day moves its time on the system clock with every end
// the count itself moves (a postpone, a wake), so that following the system
// clock afterwards does not undo it.
void MoveWallEnd(CountdownSchedule *schedule, long long endBeforeMs)
{
    if (!schedule->wallEndMs) return;
    schedule->wallEndMs += EndMs(schedule) - endBeforeMs;
    schedule->wallMovedMs += EndMs(schedule) - endBeforeMs;
}

// After a wake the count may not end unseen: the step shown next shows at
// least a minute.
void KeepAMinuteOnScreen(CountdownSchedule *schedule, long long step)
{
    if (schedule->total - step < kOnScreenAfterWake) {
        long long endBefore = EndMs(schedule);
        schedule->total = SaturatedTotal(step + kOnScreenAfterWake);
        schedule->held = false;
        MoveWallEnd(schedule, endBefore);
    }
}

// Counts leftMs from clock reading nowMs: whole seconds, rounded up, the
// first value due at once and the end leftMs on.
void CountFrom(CountdownSchedule *schedule, long long leftMs, long long nowMs)
{
    schedule->total = SaturatedTotal((leftMs + kTickMs - 1) / kTickMs);
    schedule->openedMs = nowMs + leftMs - DueAt(schedule->total);
    schedule->nextStep = 0;
    schedule->held = false;
}

// A count to a time of day keeps to the system clock: when the clock was set,
// or ran on while the program stood still or the machine slept, the count
// starts afresh from what the clock now leaves. A second's difference is
// left alone; an end the clock has passed is now. True when the clock passed
// the end or moved it more than half a minute nearer: the user may not have
// seen the count for that long.
bool FollowSystemClock(CountdownSchedule *schedule, long long nowMs, long long wallNowMs)
{
    if (!schedule->wallEndMs || !wallNowMs) return false;
    long long byClock = schedule->wallEndMs - wallNowMs;
    long long bySchedule = EndMs(schedule) - nowMs;
    if (byClock - bySchedule <= kTickMs && bySchedule - byClock <= kTickMs) return false;
    bool jumped = byClock <= 0 || bySchedule - byClock > kUnannouncedSleepMs;
    if (byClock < 0) {
        schedule->wallMovedMs -= byClock;
        schedule->wallEndMs = wallNowMs;
        byClock = 0;
    }
    CountFrom(schedule, byClock, nowMs);
    return jumped;
}

// The step whose value the next tick due shows.
long long NextShownStep(const CountdownSchedule *schedule, long long nowMs)
{
    long long at = StepAt(nowMs - schedule->openedMs);
    return at > schedule->nextStep ? at : schedule->nextStep;
}

// Whoever comes back to the machine is told afresh and gets a minute to see the count.
void Woken(CountdownSchedule *schedule, long long nowMs)
{
    KeepAMinuteOnScreen(schedule, NextShownStep(schedule, nowMs));
    schedule->woke = true;
}

// A tick between a suspend notice and its resume: on a clock that counts
// sleep (GetTickCount on XP and Vista) the machine may have slept already,
// and the resume notice may come only after this tick. The time asleep so
// far is left out now, and the resume leaves out only what follows.
void LeaveOutSleepSoFar(CountdownSchedule *schedule, long long nowMs)
{
    if (!schedule->asleep || nowMs <= schedule->suspendedMs) return;
    if (!schedule->wallEndMs) schedule->openedMs += nowMs - schedule->suspendedMs;
    schedule->suspendedMs = nowMs;
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
    schedule->askedForMs = nowMs + kFirstTickMs;
    return static_cast<unsigned>(kFirstTickMs);
}

unsigned CountdownStartAt(CountdownSchedule *schedule, long long wallEndMs, long long wallNowMs, long long nowMs)
{
    *schedule = CountdownSchedule();
    CountFrom(schedule, wallEndMs > wallNowMs ? wallEndMs - wallNowMs : 0, nowMs);
    schedule->wallEndMs = wallEndMs;
    long long first = schedule->openedMs + kFirstTickMs - nowMs;
    if (first < 0) first = 0;
    schedule->askedForMs = nowMs + first;
    return static_cast<unsigned>(first);
}

void CountdownMenu(CountdownSchedule *schedule, bool open)
{
    schedule->menuOpen = open;
}

int CountdownPostpone(CountdownSchedule *schedule, int seconds, long long nowMs)
{
    long long endBefore = EndMs(schedule);
    long long shownSteps = schedule->nextStep > 0 ? schedule->nextStep - 1 : 0;
    if (schedule->held) {
        // The end is now, not when it came: the postpone counts from the user's choice.
        long long last = LastStep(schedule);
        schedule->openedMs = nowMs - DueAt(last);
        schedule->held = false;
        shownSteps = last;
    }
    if (seconds > 0) schedule->total = SaturatedTotal(static_cast<long long>(schedule->total) + seconds);
    MoveWallEnd(schedule, endBefore);
    return static_cast<int>(schedule->total - shownSteps);
}

long long CountdownOnPowerEvent(CountdownSchedule *schedule, unsigned long event, long long nowMs, long long wallNowMs)
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
        // critical one) has no reading to go by and moves nothing. A count to
        // a time of day counts the time asleep, as the system clock does.
        if (schedule->asleep) {
            schedule->asleep = false;
            if (nowMs > schedule->suspendedMs && !schedule->wallEndMs)
                schedule->openedMs += nowMs - schedule->suspendedMs;
        }
        FollowSystemClock(schedule, nowMs, wallNowMs);
        Woken(schedule, nowMs);
        long long elapsed = nowMs - schedule->openedMs;
        long long wait = DueAt(schedule->nextStep) - elapsed;
        if (wait < 0) wait = 0;
        schedule->askedForMs = nowMs + wait;
        return wait;
    }
    default:
        return -1;
    }
}

CountdownTick CountdownOnTimer(CountdownSchedule *schedule, long long nowMs, long long wallNowMs)
{
    CountdownTick tick = {};
    LeaveOutSleepSoFar(schedule, nowMs);
    bool clockJumped = FollowSystemClock(schedule, nowMs, wallNowMs);
    long long late = nowMs - schedule->askedForMs;
    bool endPassed = nowMs - schedule->openedMs > DueAt(LastStep(schedule));
    if (clockJumped || late > kUnannouncedSleepMs || (late > kLateTickMs && endPassed && !schedule->held))
        Woken(schedule, nowMs);
    long long elapsed = nowMs - schedule->openedMs;
    long long due = DueAt(schedule->nextStep);
    if (elapsed < due) {
        tick.nextDelayMs = static_cast<unsigned>(due - elapsed);
        schedule->askedForMs = nowMs + tick.nextDelayMs;
        return tick;
    }
    tick.woke = schedule->woke;
    schedule->woke = false;
    long long step = StepAt(elapsed);
    long long last = LastStep(schedule);
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
            schedule->askedForMs = nowMs + tick.nextDelayMs;
            return tick;
        }
        tick.closeMenu = true;
    }
    if (!tick.finished) {
        tick.nextDelayMs = static_cast<unsigned>(DueAt(schedule->nextStep) - elapsed);
        schedule->askedForMs = nowMs + tick.nextDelayMs;
    }
    return tick;
}

bool CountdownAnnounces(int shownBefore, int shownNow)
{
    const int moments[] = {600, 300, 120, 60, 30, 10};
    for (int moment : moments)
        if (shownBefore > moment && shownNow <= moment) return true;
    return false;
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
        unbiased = SystemFunction<QueryUnbiasedInterruptTimeProc>(L"kernel32.dll", "QueryUnbiasedInterruptTime");
        tickCount64 = SystemFunction<GetTickCount64Proc>(L"kernel32.dll", "GetTickCount64");
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
