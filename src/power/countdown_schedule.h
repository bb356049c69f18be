// When the countdown ticks and what it shows. Every tick is scheduled against
// a deadline measured from the opening, never re-armed "one second from now",
// so late timer messages do not add up: tick j is due 100 ms + j seconds after
// the opening and shows the total minus j.
#ifndef KELDRIN_COUNTDOWN_SCHEDULE_H
#define KELDRIN_COUNTDOWN_SCHEDULE_H

struct CountdownSchedule {
    long long openedMs;  // clock reading at the opening, moved on by time asleep
    int total;           // seconds to count
    long long nextStep;  // index of the next tick to show
    long long askedForMs;  // clock reading at which the next timer was asked to come
    bool asleep;         // between a suspend and the resume after it
    long long suspendedMs;  // clock reading at the suspend
    bool woke;           // a resume came since the last tick
    bool menuOpen;       // the window menu is open: the end waits for it to close
    bool held;           // the end has come and waits for the menu
    long long wallEndMs; // a count to a time of day: its end on the system clock; 0 for a wait
    long long wallMovedMs;  // how far that end has moved since the start (postpones, wakes)
};

struct CountdownTick {
    bool due;            // false: the timer came early, nothing to show yet
    int shown;           // seconds to show
    bool finished;       // the operation runs now
    bool woke;           // a wake lies behind this tick: the user must be told afresh
    bool closeMenu;      // the menu held the end too long: close it, the operation runs
    unsigned nextDelayMs;  // when to tick again (unless finished)
};

// Starts a count of total seconds at clock reading nowMs; returns the delay of the first tick.
unsigned CountdownStart(CountdownSchedule *schedule, int total, long long nowMs);

// Starts a count to wallEndMs on the system clock (UTC milliseconds, as
// wallNowMs): whole seconds rounded up, the first shown at once, the end at
// wallEndMs. Such a count keeps to the system clock: give the tick and the
// power events the clock's reading, and when the clock is set, or runs on
// while the machine sleeps, the end stays at the time of day.
unsigned CountdownStartAt(CountdownSchedule *schedule, long long wallEndMs, long long wallNowMs, long long nowMs);

// What the tick at clock reading nowMs shows. A tick that arrives late shows
// the value due at that time, skipping what it missed. One that arrives more
// than half a minute late is how a sleep nobody announced looks (a clock that
// counts sleep, a late or missing suspend notice, a paused virtual machine):
// the count then cannot end without a minute on screen first. So it is after
// a jump of the system clock that passes a count to a time of day's end, or
// moves it on by more than half a minute. A tick that comes after a suspend
// notice and before its resume notice leaves out the time asleep so far, and
// the resume only the rest: a sleep is left out once, whichever comes first.
// The end that comes while the window menu is open waits for the menu, a
// minute at most.
CountdownTick CountdownOnTimer(CountdownSchedule *schedule, long long nowMs, long long wallNowMs = 0);

// The window menu opened or closed. Once it has closed, the next tick (which
// the caller asks for at once) ends a count whose end came meanwhile.
void CountdownMenu(CountdownSchedule *schedule, bool open);

// Puts the operation off by seconds more (a postpone from the window menu):
// the total grows, saturating at INT_MAX seconds, and the deadlines of the
// ticks to come move with it, still counted from the opening. An end held by
// the open menu counts as now, so the postpone is counted from the moment it
// is chosen. Returns the value to show at once: the one shown last, plus what
// was added.
int CountdownPostpone(CountdownSchedule *schedule, int seconds, long long nowMs);

// A WM_POWERBROADCAST event (PBT_*) at clock reading nowMs. The machine may
// sleep for hours, and not every clock stands still meanwhile (only
// QueryUnbiasedInterruptTime, Windows 7 and later, does): so a suspend notes
// the reading, and the resume after it moves every tick still due later by
// the time asleep as this clock counted it. The count thus stands still while
// the machine sleeps, whatever the clock (a count to a time of day excepted:
// its time ran on); and whoever comes back to it gets at least a minute to see it. Returns the delay for the timer to be armed
// anew after a resume, or -1 when the timer stays as it is.
long long CountdownOnPowerEvent(CountdownSchedule *schedule, unsigned long event, long long nowMs,
                                long long wallNowMs = 0);

// Whether a screen reader is to be told the time left, now that the count
// shows shownNow after shownBefore: when it reaches 10, 5, 2 or 1 minutes,
// 30 or 10 seconds, however many seconds a late tick skipped. Not every second:
// that would drown whatever else the user is listening to.
bool CountdownAnnounces(int shownBefore, int shownNow);

// A monotonic clock in milliseconds that stands still while the machine
// sleeps, so a suspended countdown resumes where it stopped.
long long CountdownClockMs();

#endif
