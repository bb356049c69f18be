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

// Through SYSTEMTIME, because that is what the time-zone conversions take:
// they apply the daylight-saving rules of the day converted, not today's.
long long LocalClockMs(long long systemMs)
{
    FILETIME system = MsFileTime(systemMs), local;
    SYSTEMTIME systemTime, localTime;
    if (FileTimeToSystemTime(&system, &systemTime) &&
        SystemTimeToTzSpecificLocalTime(nullptr, &systemTime, &localTime) &&
        SystemTimeToFileTime(&localTime, &local))
        return FileTimeMs(local);
    return systemMs;
}

long long NextTimeOfDaySystemMs(long long systemNowMs, int secondOfDay)
{
    return SystemClockFromLocalMs(NextTimeOfDayMs(LocalClockMs(systemNowMs), secondOfDay));
}

long long SystemClockFromLocalMs(long long localMs)
{
    FILETIME local = MsFileTime(localMs), system;
    SYSTEMTIME localTime, systemTime;
    if (FileTimeToSystemTime(&local, &localTime) && TzSpecificLocalTimeToSystemTime(nullptr, &localTime, &systemTime) &&
        SystemTimeToFileTime(&systemTime, &system))
        return FileTimeMs(system);
    return localMs;
}
