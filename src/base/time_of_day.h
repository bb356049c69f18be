// Times of day on the local clock: reading "HH:MM" and "HH:MM:SS", finding
// the next moment the clock shows one, and converting between the local clock
// and the system's (UTC) in milliseconds, the scale the countdown counts in.
#ifndef KELDRIN_BASE_TIME_OF_DAY_H
#define KELDRIN_BASE_TIME_OF_DAY_H

#include <stddef.h>

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

// The system's clock (UTC) and the local one, in milliseconds since 1601.
long long SystemClockMs();
long long LocalClockMs(long long systemMs);
long long SystemClockFromLocalMs(long long localMs);

// NextTimeOfDayMs on the local clock, given and given back on the system's.
long long NextTimeOfDaySystemMs(long long systemNowMs, int secondOfDay);

#endif
