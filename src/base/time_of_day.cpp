#include "base/time_of_day.h"

#include <windows.h>

#include "base/owned_string.h"

namespace {

bool TakeDigits(const wchar_t **cursor, int least, int most, int *value)
{
    int count = 0;
    *value = 0;
    while (count < most && **cursor >= L'0' && **cursor <= L'9') {
        *value = *value * 10 + (**cursor - L'0');
        ++*cursor;
        count++;
    }
    return count >= least;
}

long long FileTimeMs(const FILETIME &time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<long long>(value.QuadPart / 10000);
}

FILETIME MsFileTime(long long ms)
{
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(ms) * 10000;
    FILETIME time = {value.LowPart, value.HighPart};
    return time;
}

}  // namespace

bool ParseTimeOfDay(const wchar_t *text, int *secondOfDay)
{
    if (!text) return false;
    const wchar_t *p = text;
    int hours = 0, minutes = 0, seconds = 0;
    if (!TakeDigits(&p, 1, 2, &hours) || *p++ != L':' || !TakeDigits(&p, 2, 2, &minutes)) return false;
    if (*p == L':') {
        p++;
        if (!TakeDigits(&p, 2, 2, &seconds)) return false;
    }
    if (*p || hours > 23 || minutes > 59 || seconds > 59) return false;
    *secondOfDay = hours * 3600 + minutes * 60 + seconds;
    return true;
}

long long NextTimeOfDayMs(long long nowMs, int secondOfDay)
{
    long long at = nowMs - nowMs % kMsPerDay + 1000LL * secondOfDay;
    return at > nowMs ? at : at + kMsPerDay;
}

void FormatTimeOfDay(wchar_t *buffer, size_t units, int secondOfDay)
{
    long hours = secondOfDay / 3600, minutes = secondOfDay / 60 % 60, seconds = secondOfDay % 60;
    if (seconds)
        FormatText(buffer, units, L"%02ld:%02ld:%02ld", hours, minutes, seconds);
    else
        FormatText(buffer, units, L"%02ld:%02ld", hours, minutes);
}

long long SystemClockMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return FileTimeMs(now);
}

// Through SYSTEMTIME, because that is what the time-zone conversion takes:
// it applies the daylight-saving rules of the moment converted, not today's.
long long LocalClockMs(long long systemMs, const TIME_ZONE_INFORMATION *zone)
{
    FILETIME system = MsFileTime(systemMs), local;
    SYSTEMTIME systemTime, localTime;
    if (FileTimeToSystemTime(&system, &systemTime) &&
        SystemTimeToTzSpecificLocalTime(const_cast<TIME_ZONE_INFORMATION *>(zone), &systemTime, &localTime) &&
        SystemTimeToFileTime(&localTime, &local))
        return FileTimeMs(local);
    return systemMs;
}

namespace {

// How far the local clock is ahead of the system's at that moment.
long long LocalOffsetMs(long long systemMs, const TIME_ZONE_INFORMATION *zone)
{
    return LocalClockMs(systemMs, zone) - systemMs;
}

// The moments at which the local clock shows localMs, at most two, in order;
// for a time the clock skips, the moment it jumps over it. Converting the
// local time back (TzSpecificLocalTimeToSystemTime) picks one of two, and
// for a skipped time has no documented result, so the moments are found from
// the two offsets in force around it: any change of rules lies months from
// the next.
int MomentsShowing(long long localMs, const TIME_ZONE_INFORMATION *zone, long long moments[2])
{
    const long long aroundMs = 36 * 3600000LL;
    long long offsets[2] = {LocalOffsetMs(localMs - aroundMs, zone), LocalOffsetMs(localMs + aroundMs, zone)};
    int count = 0;
    for (int i = 0; i < 2; i++) {
        long long moment = localMs - offsets[i];
        bool shows = LocalOffsetMs(moment, zone) == offsets[i];
        if (shows && (count == 0 || moments[0] != moment)) moments[count++] = moment;
    }
    if (count == 2 && moments[1] < moments[0]) {
        long long first = moments[1];
        moments[1] = moments[0];
        moments[0] = first;
    }
    if (count > 0 || offsets[0] == offsets[1]) return count;
    // Skipped: the first moment under the later offset lies between the two
    // candidates (the later offset is the larger, or the time would be shown).
    long long low = localMs - offsets[1], high = localMs - offsets[0];
    while (high - low > 1) {
        long long middle = low + (high - low) / 2;
        if (LocalOffsetMs(middle, zone) == offsets[1]) high = middle;
        else low = middle;
    }
    moments[0] = high;
    return 1;
}

}  // namespace

long long NextTimeOfDaySystemMs(long long systemNowMs, int secondOfDay, const TIME_ZONE_INFORMATION *zone)
{
    long long localNow = LocalClockMs(systemNowMs, zone);
    long long today = localNow - localNow % kMsPerDay;
    // Yesterday's date too: after a change at midnight, the local clock may
    // show yesterday's times again.
    for (long long day = today - kMsPerDay; day <= today + 2 * kMsPerDay; day += kMsPerDay) {
        long long moments[2];
        int count = MomentsShowing(day + 1000LL * secondOfDay, zone, moments);
        for (int i = 0; i < count; i++)
            if (moments[i] > systemNowMs) return moments[i];
    }
    // Unreachable with any real time zone; the plain arithmetic stands in.
    return systemNowMs + NextTimeOfDayMs(localNow, secondOfDay) - localNow;
}
