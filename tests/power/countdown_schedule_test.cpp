// The countdown's schedule against a fake clock: what each timer message
// shows and when the next one is asked for, including timers that come early
// or late, so the count neither drifts nor skips the end.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "base/time_of_day.h"
#include "power/countdown_schedule.h"

namespace {

const long long kOpened = 5000000;  // an arbitrary clock reading at the opening

struct Shown {
    long long atMs;  // since the opening
    int seconds;
};

// Runs a whole countdown, each timer delivered lateMs after it was asked for.
// Returns what was shown and when; *finishedAt is when the operation started.
std::vector<Shown> RunCount(int total, long long lateMs, long long *finishedAt)
{
    CountdownSchedule schedule;
    std::vector<Shown> shown;
    long long now = kOpened + CountdownStart(&schedule, total, kOpened) + lateMs;
    for (long long guard = 0; guard < 200000; guard++) {
        CountdownTick tick = CountdownOnTimer(&schedule, now);
        if (tick.due) shown.push_back(Shown{now - kOpened, tick.shown});
        if (tick.finished) {
            *finishedAt = now - kOpened;
            return shown;
        }
        EXPECT_GT(tick.nextDelayMs, 0u);
        now += tick.nextDelayMs + lateMs;
    }
    ADD_FAILURE() << "the countdown of " << total << " s never finished";
    return shown;
}

// Delivers every tick exactly when it was asked for, from clock reading nowMs
// on; returns the reading at which the operation runs.
long long EndsAt(CountdownSchedule *schedule, long long nowMs)
{
    for (long long guard = 0; guard < 4000000; guard++) {
        CountdownTick tick = CountdownOnTimer(schedule, nowMs);
        if (tick.finished) return nowMs;
        nowMs += tick.nextDelayMs;
    }
    ADD_FAILURE() << "the countdown never finished";
    return -1;
}

// A tick that is due, showing `shown`, and whether the operation runs now.
void ExpectShows(const CountdownTick &tick, int shown, bool finished)
{
    EXPECT_TRUE(tick.due);
    EXPECT_EQ(shown, tick.shown);
    EXPECT_EQ(finished, tick.finished);
}

}  // namespace

TEST(CountdownSchedule, OneSecondShowsOneThenZeroAndFinishesAtOnePointOneSeconds)
{
    CountdownSchedule schedule;
    EXPECT_EQ(100u, CountdownStart(&schedule, 1, kOpened));

    CountdownTick first = CountdownOnTimer(&schedule, kOpened + 100);
    ExpectShows(first, 1, false);
    EXPECT_EQ(1000u, first.nextDelayMs);

    CountdownTick last = CountdownOnTimer(&schedule, kOpened + 1100);
    ExpectShows(last, 0, true);
}

TEST(CountdownSchedule, ShowsEveryValueFromTheTotalDownToZeroOncePerSecond)
{
    for (int total : {60, 61, 125}) {
        SCOPED_TRACE(total);
        long long finishedAt = 0;
        std::vector<Shown> shown = RunCount(total, 0, &finishedAt);
        ASSERT_EQ(static_cast<size_t>(total) + 1, shown.size());
        EXPECT_EQ(total, shown.front().seconds);
        for (size_t j = 0; j < shown.size(); j++) {
            EXPECT_EQ(total - static_cast<int>(j), shown[j].seconds);
            EXPECT_EQ(100 + 1000 * static_cast<long long>(j), shown[j].atMs);
        }
        EXPECT_EQ(100 + 1000LL * total, finishedAt);
    }
}

TEST(CountdownSchedule, AnEarlyTimerShowsNothingAndAsksAgainForTheRest)
{
    CountdownSchedule schedule;
    CountdownStart(&schedule, 10, kOpened);

    CountdownTick early = CountdownOnTimer(&schedule, kOpened + 40);
    EXPECT_FALSE(early.due);
    EXPECT_FALSE(early.finished);
    EXPECT_EQ(60u, early.nextDelayMs);

    CountdownTick first = CountdownOnTimer(&schedule, kOpened + 100);
    EXPECT_TRUE(first.due);
    EXPECT_EQ(10, first.shown);

    // Windows may deliver a timer up to a granularity before it is due.
    CountdownTick earlyAgain = CountdownOnTimer(&schedule, kOpened + 1090);
    EXPECT_FALSE(earlyAgain.due);
    EXPECT_EQ(10u, earlyAgain.nextDelayMs);

    CountdownTick second = CountdownOnTimer(&schedule, kOpened + 1100);
    EXPECT_TRUE(second.due);
    EXPECT_EQ(9, second.shown);
}

TEST(CountdownSchedule, ALateTimerShowsTheValueDueThenAndKeepsToTheDeadlines)
{
    CountdownSchedule schedule;
    CountdownStart(&schedule, 10, kOpened);
    ASSERT_EQ(10, CountdownOnTimer(&schedule, kOpened + 100).shown);

    // 2.5 s late (a busy machine): ticks 1 and 2 are gone, 3 is due at 3.1 s.
    CountdownTick late = CountdownOnTimer(&schedule, kOpened + 2600);
    ExpectShows(late, 8, false);
    EXPECT_EQ(500u, late.nextDelayMs);

    CountdownTick next = CountdownOnTimer(&schedule, kOpened + 3100);
    EXPECT_EQ(7, next.shown);
    EXPECT_EQ(1000u, next.nextDelayMs);

    // Past the end, whatever held the program up: the minute a wake gets,
    // never the end unseen.
    CountdownTick overdue = CountdownOnTimer(&schedule, kOpened + 30000);
    ExpectShows(overdue, 60, false);
}

TEST(CountdownSchedule, LateTimersDoNotAddUpOverADay)
{
    long long finishedAt = 0;
    std::vector<Shown> shown = RunCount(86400, 15, &finishedAt);
    EXPECT_GE(finishedAt, 86400100);
    EXPECT_LE(finishedAt, 86400100 + 15);
    ASSERT_EQ(86401u, shown.size());
    EXPECT_EQ(86400, shown.front().seconds);
    EXPECT_EQ(0, shown.back().seconds);
    // Each value is shown within its second, however many late timers came before.
    for (size_t j = 0; j < shown.size(); j += 997) {
        EXPECT_GE(shown[j].atMs, 100 + 1000 * static_cast<long long>(j));
        EXPECT_LE(shown[j].atMs, 100 + 1000 * static_cast<long long>(j) + 15);
    }
}

TEST(CountdownSchedule, ZeroAndNegativeTotalsFinishOnTheFirstTick)
{
    CountdownSchedule zero;
    CountdownStart(&zero, 0, kOpened);
    EXPECT_EQ(0, CountdownOnTimer(&zero, kOpened + 100).shown);
    for (int total : {0, -1, -5, INT_MIN}) {
        SCOPED_TRACE(total);
        CountdownSchedule schedule;
        EXPECT_EQ(100u, CountdownStart(&schedule, total, kOpened));
        CountdownTick tick = CountdownOnTimer(&schedule, kOpened + 100);
        EXPECT_TRUE(tick.due);
        EXPECT_TRUE(tick.finished);
    }
}

TEST(CountdownSchedule, TheClockRunsForward)
{
    long long before = CountdownClockMs();
    Sleep(50);
    long long after = CountdownClockMs();
    EXPECT_GE(after - before, 40);
    EXPECT_LT(after - before, 2000);
}

// Sleep under a clock that counts it (GetTickCount on XP and Vista): the hour
// asleep is left out, the count goes on from where it stopped, and whoever
// comes back gets a minute to see it before it ends.
TEST(CountdownSchedule, AnHourAsleepOnAClockThatCountsItIsLeftOut)
{
    const long long hour = 3600000;
    CountdownSchedule schedule;
    CountdownStart(&schedule, 300, kOpened);
    ASSERT_EQ(300, CountdownOnTimer(&schedule, kOpened + 100).shown);
    ASSERT_EQ(299, CountdownOnTimer(&schedule, kOpened + 1100).shown);

    EXPECT_EQ(-1, CountdownOnPowerEvent(&schedule, PBT_APMSUSPEND, kOpened + 1500));
    // Tick 2 was 600 ms away when the machine went to sleep, and still is.
    EXPECT_EQ(600, CountdownOnPowerEvent(&schedule, PBT_APMRESUMEAUTOMATIC, kOpened + 1500 + hour));
    // The user's resume follows the automatic one: nothing moves twice.
    EXPECT_EQ(500, CountdownOnPowerEvent(&schedule, PBT_APMRESUMESUSPEND, kOpened + 1600 + hour));

    CountdownTick next = CountdownOnTimer(&schedule, kOpened + 2100 + hour);
    ExpectShows(next, 298, false);
    EXPECT_TRUE(next.woke) << "the user is not told afresh after the sleep";
    EXPECT_EQ(1000u, next.nextDelayMs);
    EXPECT_FALSE(CountdownOnTimer(&schedule, kOpened + 3100 + hour).woke) << "told afresh at every tick";
    EXPECT_EQ(kOpened + 300100 + hour, EndsAt(&schedule, kOpened + 4100 + hour));
}

// The gap rule at its edges: a count with less than a minute left gets a
// minute after a resume, after a tick more than 30 s late, or after a late
// tick that finds its end passed; one with more left goes on where it was.
TEST(CountdownSchedule, AfterAWakeTheCountNeverEndsWithoutAMinuteOnScreen)
{
    struct {
        const char *what;
        int total;
        long long stillMs;   // how long the program stood still after tick 1
        bool resume;         // the wake was announced
        int shownAfter;
        bool woke;
    } cases[] = {
        {"tick 29 s late, 6 s count", 6, 29000, false, 60, true},
        {"tick 29 s late, 40 s count", 40, 29000, false, 9, false},
        {"tick 31 s late, 6 s count", 6, 31000, false, 60, true},
        {"tick 31 s late, 300 s count", 300, 31000, false, 267, true},
        {"tick an hour late, 6 s count", 6, 3600000, false, 60, true},
        {"resume with 5 s left", 6, 0, true, 60, true},
        {"resume with 300 s left", 301, 0, true, 299, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CountdownSchedule schedule;
        CountdownStart(&schedule, c.total, kOpened);
        ASSERT_EQ(c.total, CountdownOnTimer(&schedule, kOpened + 100).shown);
        CountdownTick second = CountdownOnTimer(&schedule, kOpened + 1100);
        long long now = kOpened + 1100 + second.nextDelayMs + c.stillMs;
        if (c.resume) {
            CountdownOnPowerEvent(&schedule, PBT_APMSUSPEND, kOpened + 1500);
            now = kOpened + 1500 + CountdownOnPowerEvent(&schedule, PBT_APMRESUMEAUTOMATIC, kOpened + 1500);
        }
        CountdownTick after = CountdownOnTimer(&schedule, now);
        ExpectShows(after, c.shownAfter, c.shownAfter == 0);
        EXPECT_EQ(c.woke, after.woke);
        // The minute runs out second by second, and only then does it end.
        if (c.shownAfter == 60) {
            EXPECT_EQ(now + 60000, EndsAt(&schedule, now + after.nextDelayMs));
        }
    }
}

// A jump of the system clock, of the count's own clock, or both: a count to a
// time of day whose end is passed, or that the system clock moves on by more
// than half a minute to less than a minute left, shows a minute first; a wait
// takes no notice of the system clock.
TEST(CountdownSchedule, AJumpPastTheEndOfEitherClockLeavesAMinuteOnScreen)
{
    const long long wall = 13000000000000LL, s = 1000;
    struct {
        const char *what;
        bool toTimeOfDay;
        int left;
        long long countJumpMs, wallJumpMs;
        int shown;
        bool woke;
    } cases[] = {
        {"system clock past the end", true, 600, 0, 700 * s, 60, true},
        {"system clock to 10 s before the end", true, 600, 0, 589 * s, 60, true},
        {"system clock on, 200 s left", true, 600, 0, 399 * s, 200, true},
        {"system clock 20 s on, 29 s left", true, 50, 0, 20 * s, 29, false},
        {"count's clock past the end", true, 20, 40 * s, 0, 60, true},
        {"both past the end", true, 20, 40 * s, 40 * s, 60, true},
        {"a tick 12 s late past the end", false, 5, 12 * s, 12 * s, 60, true},
        {"a tick 12 s late, 5 s left", false, 20, 12 * s, 12 * s, 7, false},
        {"a tick 1.5 s late at the end", false, 1, 1500, 1500, 0, false},
        {"a wait and the system clock", false, 20, 0, 3600 * s, 19, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CountdownSchedule schedule;
        long long first = kOpened;
        if (c.toTimeOfDay) {
            CountdownStartAt(&schedule, wall + c.left * s, wall, kOpened);
        } else {
            first += CountdownStart(&schedule, c.left, kOpened);
        }
        ASSERT_EQ(c.left, CountdownOnTimer(&schedule, first, wall).shown);
        long long now = first + s + c.countJumpMs;
        CountdownTick after = CountdownOnTimer(&schedule, now, wall + s + c.wallJumpMs);
        ExpectShows(after, c.shown, c.shown == 0);
        EXPECT_EQ(c.woke, after.woke);
        if (c.toTimeOfDay) {
            EXPECT_EQ(schedule.wallEndMs - (wall + c.left * s), schedule.wallMovedMs) << "the caption's time";
        }
        if (c.shown == 60) {
            EXPECT_EQ(now + 60 * s, EndsAt(&schedule, now + after.nextDelayMs)) << "ended before its minute";
        }
    }
}

// On a clock that counts sleep (GetTickCount on XP and Vista) the first tick
// after a sleep may come before the resume notice, or after it: either way
// the sleep is left out once, and the count goes on second by second.
TEST(CountdownSchedule, ASleepIsLeftOutOnceWhicheverOfTickAndResumeComesFirst)
{
    const long long hour = 3600000;
    for (bool tickFirst : {true, false}) {
        SCOPED_TRACE(tickFirst ? "tick, then resume" : "resume, then tick");
        CountdownSchedule schedule;
        CountdownStart(&schedule, 30, kOpened);
        CountdownOnTimer(&schedule, kOpened + 100);
        ASSERT_EQ(29, CountdownOnTimer(&schedule, kOpened + 1100).shown);
        CountdownOnPowerEvent(&schedule, PBT_APMSUSPEND, kOpened + 1500);
        long long woken = kOpened + 2100 + hour, delay;
        if (tickFirst) {
            CountdownTick late = CountdownOnTimer(&schedule, woken);
            delay = CountdownOnPowerEvent(&schedule, PBT_APMRESUMEAUTOMATIC, woken + 50);
            EXPECT_FALSE(late.due && late.shown != 60) << late.shown;
            woken += 50;
        } else {
            delay = CountdownOnPowerEvent(&schedule, PBT_APMRESUMEAUTOMATIC, woken);
        }
        EXPECT_LE(delay, 1000) << "the screen stood still after the wake";
        CountdownTick next = CountdownOnTimer(&schedule, woken + delay);
        ExpectShows(next, 60, false);
        EXPECT_LE(next.nextDelayMs, 1000u);
        ExpectShows(CountdownOnTimer(&schedule, woken + delay + next.nextDelayMs), 59, false);
    }
}

// Under QueryUnbiasedInterruptTime the clock stood still: the resume finds
// hardly any time to leave out, and the deadlines stay where they were.
TEST(CountdownSchedule, SleepOnAClockThatStandsStillMovesNothing)
{
    CountdownSchedule schedule;
    CountdownStart(&schedule, 65, kOpened);
    ASSERT_EQ(65, CountdownOnTimer(&schedule, kOpened + 100).shown);
    CountdownOnPowerEvent(&schedule, PBT_APMSUSPEND, kOpened + 400);
    // The 2 ms between the two readings are all there is to leave out.
    EXPECT_EQ(700, CountdownOnPowerEvent(&schedule, PBT_APMRESUMESUSPEND, kOpened + 402));
    EXPECT_EQ(64, CountdownOnTimer(&schedule, kOpened + 1102).shown);
    EXPECT_EQ(kOpened + 65102, EndsAt(&schedule, kOpened + 2102));
}

TEST(CountdownSchedule, OtherPowerEventsMoveNothingAndAResumeWithoutSuspendStillGivesAMinute)
{
    CountdownSchedule schedule;
    CountdownStart(&schedule, 3, kOpened);
    ASSERT_EQ(3, CountdownOnTimer(&schedule, kOpened + 100).shown);
    for (unsigned long event : {PBT_APMPOWERSTATUSCHANGE, PBT_POWERSETTINGCHANGE, PBT_APMQUERYSUSPEND}) {
        EXPECT_EQ(-1, CountdownOnPowerEvent(&schedule, event, kOpened + 500)) << event;
    }
    // A critical resume without a suspend before it: the next tick as due,
    // and the count that was about to end has a minute again.
    EXPECT_EQ(300, CountdownOnPowerEvent(&schedule, PBT_APMRESUMECRITICAL, kOpened + 800));
    EXPECT_EQ(0, CountdownOnPowerEvent(&schedule, PBT_APMRESUMECRITICAL, kOpened + 60000));
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 60000), 60, false);
}

// Two sleeps in one long count: the operation fires the time asleep after
// its deadline (and the minute after the late one), and every value is still
// shown within its second.
TEST(CountdownSchedule, RepeatedSleepsKeepTheCountDriftFree)
{
    CountdownSchedule schedule;
    long long now = kOpened + CountdownStart(&schedule, 600, kOpened);
    long long asleep = 0;
    int lastShown = 601;
    int sleeps = 0;
    for (int guard = 0; guard < 10000; guard++) {
        CountdownTick tick = CountdownOnTimer(&schedule, now);
        if (tick.due) {
            // After the second sleep, with 17 s left, a minute; otherwise every value in turn.
            int expected = tick.woke && lastShown - 1 < 60 ? 60 : lastShown - 1;
            EXPECT_EQ(expected, tick.shown) << "at " << now - kOpened;
            lastShown = tick.shown;
        }
        if (tick.finished) break;
        now += tick.nextDelayMs + 3;  // every timer a little late
        if (tick.due && ((sleeps == 0 && tick.shown == 400) || (sleeps == 1 && tick.shown == 17))) {
            // Asleep halfway to the next tick, for two hours and for two minutes.
            sleeps++;
            now -= 500;
            CountdownOnPowerEvent(&schedule, PBT_APMSUSPEND, now);
            long long slept = tick.shown == 400 ? 7200000 : 123457;
            now += slept;
            asleep += slept;
            now += CountdownOnPowerEvent(&schedule, PBT_APMRESUMEAUTOMATIC, now);
        }
    }
    EXPECT_EQ(0, lastShown);
    // 17 s were left at the second sleep; the tick after it showed 60, not 16.
    const long long extra = 44000;
    EXPECT_GE(now - kOpened, 600100 + asleep + extra);
    EXPECT_LE(now - kOpened, 600100 + asleep + extra + 3);
}

// A postpone adds to the time left at once; the ticks after it count down
// from there, still against the deadlines of the opening.
TEST(CountdownSchedule, APostponeAddsToTheTimeLeftAndKeepsTheDeadlines)
{
    CountdownSchedule schedule;
    CountdownStart(&schedule, 10, kOpened);
    EXPECT_EQ(310, CountdownPostpone(&schedule, 300, kOpened + 50)) << "before the first tick: the whole wait and more";
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 100), 310, false);
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 1100), 309, false);
    EXPECT_EQ(309 + 900, CountdownPostpone(&schedule, 900, kOpened + 1500));
    CountdownTick next = CountdownOnTimer(&schedule, kOpened + 2100);
    ExpectShows(next, 1208, false);
    EXPECT_EQ(1000u, next.nextDelayMs);
    EXPECT_EQ(kOpened + 1210100, EndsAt(&schedule, kOpened + 3100));
}

TEST(CountdownSchedule, PostponesSaturateAtTheLongestWait)
{
    CountdownSchedule schedule;
    CountdownStart(&schedule, INT_MAX - 100, kOpened);
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 100), INT_MAX - 100, false);
    EXPECT_EQ(INT_MAX, CountdownPostpone(&schedule, 3600, kOpened + 500));
    EXPECT_EQ(INT_MAX, CountdownPostpone(&schedule, INT_MAX, kOpened + 500));
    EXPECT_EQ(INT_MAX, CountdownPostpone(&schedule, 0, kOpened + 500)) << "nothing added, the value shown stays";
    EXPECT_EQ(INT_MAX, CountdownPostpone(&schedule, -300, kOpened + 500)) << "a postpone never shortens the wait";
    CountdownTick next = CountdownOnTimer(&schedule, kOpened + 1100);
    ExpectShows(next, INT_MAX - 1, false);
    // The last deadline lies 2^31 s (68 years) on: far, but no overflow on the way.
    CountdownTick last = CountdownOnTimer(&schedule, kOpened + 100 + 1000LL * INT_MAX);
    ExpectShows(last, 0, true);
}

// The end that comes while the window menu is open waits for the menu: it
// follows as soon as the menu closes, a postpone chosen there counts from the
// moment it is chosen, and a menu left open a minute past the end is closed.
TEST(CountdownSchedule, TheEndWaitsForTheOpenMenuAMinuteAtMost)
{
    CountdownSchedule closed;
    CountdownStart(&closed, 2, kOpened);
    ExpectShows(CountdownOnTimer(&closed, kOpened + 100), 2, false);
    CountdownMenu(&closed, true);
    ExpectShows(CountdownOnTimer(&closed, kOpened + 1100), 1, false);
    CountdownTick held = CountdownOnTimer(&closed, kOpened + 2100);
    ExpectShows(held, 0, false);
    EXPECT_EQ(1000u, held.nextDelayMs);
    ExpectShows(CountdownOnTimer(&closed, kOpened + 3100), 0, false);
    CountdownMenu(&closed, false);
    CountdownTick after = CountdownOnTimer(&closed, kOpened + 3300);
    ExpectShows(after, 0, true);
    EXPECT_FALSE(after.closeMenu);

    CountdownSchedule postponed;
    CountdownStart(&postponed, 2, kOpened);
    CountdownMenu(&postponed, true);
    CountdownOnTimer(&postponed, kOpened + 100);
    CountdownOnTimer(&postponed, kOpened + 1100);
    ExpectShows(CountdownOnTimer(&postponed, kOpened + 2100), 0, false);
    EXPECT_EQ(300, CountdownPostpone(&postponed, 300, kOpened + 12600)) << "counted from the end, not the choice";
    CountdownMenu(&postponed, false);
    CountdownTick resumed = CountdownOnTimer(&postponed, kOpened + 12700);
    ExpectShows(resumed, 300, false);
    EXPECT_EQ(900u, resumed.nextDelayMs);
    EXPECT_EQ(kOpened + 312600, EndsAt(&postponed, kOpened + 13600));

    CountdownSchedule forgotten;
    CountdownStart(&forgotten, 1, kOpened);
    CountdownMenu(&forgotten, true);
    CountdownOnTimer(&forgotten, kOpened + 100);
    long long now = kOpened + 1100;
    CountdownTick tick = CountdownOnTimer(&forgotten, now);
    int asked = 0;
    while (!tick.finished && asked++ < 100) {
        EXPECT_LE(now - (kOpened + 1100), 59999) << "held past the minute";
        now += tick.nextDelayMs;
        tick = CountdownOnTimer(&forgotten, now);
    }
    EXPECT_TRUE(tick.finished);
    EXPECT_TRUE(tick.closeMenu);
    EXPECT_EQ(60000, now - (kOpened + 1100)) << "the menu was closed a minute after the end, not then";
}

// ---- counting to a time of day ----------------------------------------------------

// The next time the clock shows a time of day: later today, or tomorrow when
// it has come; midnight is no edge.
TEST(TimeOfDay, TheNextTimeTheClockShowsIt)
{
    const long long day = 150000LL * kMsPerDay;  // some midnight
    const long long hour = 3600000, minute = 60000, second = 1000;
    struct {
        long long now;
        int at;
        long long expected;
    } cases[] = {
        {day + 22 * hour, 23 * 3600 + 30 * 60, day + 23 * hour + 30 * minute},
        {day + 23 * hour + 31 * minute, 23 * 3600 + 30 * 60, day + kMsPerDay + 23 * hour + 30 * minute},
        {day + 23 * hour + 59 * minute + 30 * second, 10, day + kMsPerDay + 10 * second},
        {day + 5 * second, 23 * 3600 + 59 * 60 + 59, day + kMsPerDay - second},
        {day + 12 * hour, 12 * 3600, day + kMsPerDay + 12 * hour},   // now exactly: tomorrow
        {day + 12 * hour - 1, 12 * 3600, day + 12 * hour},
        {day, 0, day + kMsPerDay},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.now - day);
        EXPECT_EQ(c.expected, NextTimeOfDayMs(c.now, c.at));
    }
}

// Central European time, 2026: the clock goes from 02:00 to 03:00 on 29 March
// (01:00 UTC) and from 03:00 back to 02:00 on 25 October (01:00 UTC).
TEST(TimeOfDay, TheNightsTheClockChangesNeverGiveAMomentPastOrBeforeTheTime)
{
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = -60;
    zone.DaylightBias = -60;
    zone.StandardDate = {0, 10, 0, 5, 3, 0, 0, 0};  // October, last Sunday, 03:00
    zone.DaylightDate = {0, 3, 0, 5, 2, 0, 0, 0};   // March, last Sunday, 02:00
    auto utc = [](WORD month, WORD day, WORD hour, WORD minute) {
        SYSTEMTIME time = {2026, month, 0, day, hour, minute, 0, 0};
        FILETIME file;
        SystemTimeToFileTime(&time, &file);
        return static_cast<long long>((static_cast<ULONGLONG>(file.dwHighDateTime) << 32 | file.dwLowDateTime) / 10000);
    };
    auto at = [](int hour, int minute) { return hour * 3600 + minute * 60; };
    struct {
        const char *what;
        long long now;
        int at;
        long long expected;
    } cases[] = {
        {"repeated hour, second pass, 10 min on", utc(10, 25, 1, 40), at(2, 50), utc(10, 25, 1, 50)},
        {"repeated hour, first pass, 10 min on", utc(10, 25, 0, 40), at(2, 50), utc(10, 25, 0, 50)},
        {"repeated hour, past in the first pass", utc(10, 25, 0, 40), at(2, 30), utc(10, 25, 1, 30)},
        {"repeated hour, past in both", utc(10, 25, 1, 40), at(2, 30), utc(10, 26, 1, 30)},
        {"skipped hour: the jump", utc(3, 28, 23, 0), at(2, 30), utc(3, 29, 1, 0)},
        {"after the skipped hour", utc(3, 28, 23, 0), at(3, 30), utc(3, 29, 1, 30)},
        {"before the skipped hour", utc(3, 28, 23, 0), at(1, 30), utc(3, 29, 0, 30)},
        {"summer", utc(6, 1, 10, 0), at(23, 30), utc(6, 1, 21, 30)},
        {"winter, tomorrow", utc(1, 10, 23, 0), at(6, 0), utc(1, 11, 5, 0)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, NextTimeOfDaySystemMs(c.now, c.at, &zone));
    }
}

TEST(TimeOfDay, ReadsHoursMinutesAndSecondsOfTheTwentyFourHourClock)
{
    int at = -1;
    EXPECT_TRUE(ParseTimeOfDay(L"23:30", &at));
    EXPECT_EQ(23 * 3600 + 30 * 60, at);
    EXPECT_TRUE(ParseTimeOfDay(L"0:00:01", &at));
    EXPECT_EQ(1, at);
    for (const wchar_t *bad : {L"", L"24:00", L"7:5x", L"7:5", L"07:05:", L"07:05:5", L"007:05", L"7-05", L" 7:05",
                               L"7:05 ", L"+7:05", L"\xFF11\xFF12:00", L"12:00pm"}) {
        EXPECT_FALSE(ParseTimeOfDay(bad, &at)) << ::testing::PrintToString(std::wstring(bad));
    }
    EXPECT_FALSE(ParseTimeOfDay(nullptr, &at));
    wchar_t text[16];
    FormatTimeOfDay(text, 16, 6 * 3600);
    EXPECT_STREQ(L"06:00", text);
    FormatTimeOfDay(text, 16, 23 * 3600 + 59 * 60 + 59);
    EXPECT_STREQ(L"23:59:59", text);
}

// A count to a time of day keeps to the system clock: set forward or back, it
// moves with it; while the machine sleeps the time runs on, and waking still
// leaves a minute on screen.
TEST(CountdownSchedule, ACountToATimeOfDayKeepsToTheSystemClock)
{
    const long long wall = 13000000000000LL;  // the system clock at the opening
    CountdownSchedule schedule;
    EXPECT_EQ(0u, CountdownStartAt(&schedule, wall + 600500, wall, kOpened)) << "the first value at once";
    CountdownTick first = CountdownOnTimer(&schedule, kOpened, wall);
    ExpectShows(first, 601, false);  // 600.5 s, rounded up
    EXPECT_EQ(500u, first.nextDelayMs);
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 500, wall + 500), 600, false);

    // The clock is set five minutes on: five minutes less to go.
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 1500, wall + 1500 + 300000), 299, false);
    // And an hour back: an hour more.
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 2500, wall + 2500 - 3600000), 4198, false);
    // Half a second is no setting of the clock: the count goes on as it was.
    ExpectShows(CountdownOnTimer(&schedule, kOpened + 3500, wall + 3500 - 3600000 + 500), 4197, false);

    // Asleep for 55 minutes, the machine's own clock standing still: the time ran on.
    CountdownOnPowerEvent(&schedule, PBT_APMSUSPEND, kOpened + 3600, wall + 3600 - 3600000);
    long long resumedWall = wall + 3600 - 3600000 + 55 * 60000;
    long long delay = CountdownOnPowerEvent(&schedule, PBT_APMRESUMEAUTOMATIC, kOpened + 3601, resumedWall);
    CountdownTick woken = CountdownOnTimer(&schedule, kOpened + 3601 + delay, resumedWall + delay);
    ExpectShows(woken, 4197 - 55 * 60, false);
    EXPECT_TRUE(woken.woke);

    // A sleep past the time: a minute on screen, and the end moves with it on the clock too.
    CountdownSchedule late;
    CountdownStartAt(&late, wall + 10000, wall, kOpened);
    CountdownOnTimer(&late, kOpened, wall);
    CountdownOnPowerEvent(&late, PBT_APMSUSPEND, kOpened + 1000, wall + 1000);
    delay = CountdownOnPowerEvent(&late, PBT_APMRESUMESUSPEND, kOpened + 1001, wall + 3600000);
    woken = CountdownOnTimer(&late, kOpened + 1001 + delay, wall + 3600000 + delay);
    EXPECT_TRUE(woken.woke);
    EXPECT_GE(woken.shown, 59);
    EXPECT_FALSE(woken.finished);
    EXPECT_GE(late.wallEndMs, wall + 3600000 + 59000);
    EXPECT_LE(late.wallEndMs, wall + 3600000 + 61000);
    long long now = kOpened + 1001 + delay + woken.nextDelayMs, wallNow = wall + 3600000 + delay + woken.nextDelayMs;
    CountdownTick tick = CountdownOnTimer(&late, now, wallNow);
    for (int guard = 0; guard < 100 && !tick.finished; guard++) {
        now += tick.nextDelayMs;
        wallNow += tick.nextDelayMs;
        tick = CountdownOnTimer(&late, now, wallNow);
    }
    EXPECT_TRUE(tick.finished);
    EXPECT_EQ(late.wallEndMs, wallNow) << "ends when the clock shows the moved end";
}

// Screen readers hear the time left at 10, 5, 2 and 1 minutes, 30 and 10
// seconds: when the count reaches one of them, even by a late tick's jump,
// and at no other tick.
TEST(CountdownSchedule, AnnouncesTheTimeLeftAtItsMomentsOnly)
{
    struct {
        int before, now;
        bool announces;
    } cases[] = {
        {601, 600, true}, {600, 599, false}, {301, 300, true}, {121, 120, true}, {61, 60, true},
        {60, 59, false},  {31, 30, true},    {11, 10, true},   {10, 9, false},  {9, 0, false},
        {65, 64, false},  {305, 298, true},  {45, 5, true},    {5, 365, false}, {700, 650, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.announces, CountdownAnnounces(c.before, c.now)) << c.before << " to " << c.now;
    }
    int heard = 0;
    for (int left = 65; left > 0; left--) heard += CountdownAnnounces(left, left - 1) ? 1 : 0;
    EXPECT_EQ(3, heard) << "a count of 65 s speaks at 60, 30 and 10 s";
}
