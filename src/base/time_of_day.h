// Times of day on the local clock: reading "HH:MM" and "HH:MM:SS", finding
// the next moment the clock shows one, and converting between the local clock
// and the system's (UTC) in milliseconds, the scale the countdown counts in.
#ifndef KELDRIN_BASE_TIME_OF_DAY_H
#define KELDRIN_BASE_TIME_OF_DAY_H

#include <windows.h>

const int kSecondsPerDay = 86400;
const long long kMsPerDay = 86400000LL;

// "7:05", "07:05" or "23:30:15" on the 24-hour clock, nothing else (no
// blanks, no sign, minutes and seconds of two digits): true with the seconds
// after midnight in *secondOfDay.
bool ParseTimeOfDay(const wchar_t *text, int *secondOfDay);

// The next moment after nowMs at which a clock counting nowMs shows
// secondOfDay: today, or tomorrow when that has come or passed. Both in
// milliseconds of the same clock, whose days start at multiples of a day.
long long NextTimeOfDayMs(long long nowMs, int secondOfDay);

// "23:30", or "23:30:15" when the seconds are not 0.
void FormatTimeOfDay(wchar_t *buffer, size_t units, int secondOfDay);

// The system's clock (UTC) and the local one of zone (null: the system's
// time zone), in milliseconds since 1601.
long long SystemClockMs();
long long LocalClockMs(long long systemMs, const TIME_ZONE_INFORMATION *zone = nullptr);

// The next moment after systemNowMs, on the system clock, at which the local
// clock of zone shows secondOfDay. A time the clock shows twice (the hour
// repeated when daylight saving time ends) means whichever is next still
// ahead; a time it skips (the hour lost when it begins) means the moment the
// clock jumps over it. Never a moment already past, never one before the
// clock shows the time.
long long NextTimeOfDaySystemMs(long long systemNowMs, int secondOfDay, const TIME_ZONE_INFORMATION *zone = nullptr);

#endif
