#include "app/command_line.h"

#include <stdlib.h>

#include "base/owned_string.h"
#include "base/time_of_day.h"
#include "power/operation_table.h"
#include "settings/settings.h"

namespace {

int ReadValue(const wchar_t *text)
{
    // wcstol clamps to the 32-bit range: long is 32 bits on Windows.
    return static_cast<int>(wcstol(text, nullptr, 10));
}

}  // namespace

bool CommandLineHasOption(const wchar_t *text, const wchar_t *option)
{
    int count = 0;
    wchar_t **args = SplitCommandLine(text, &count);
    bool found = false;
    for (int i = 0; i < count && !found; i++) found = WideStringEqual(args[i], option) != 0;
    StringArrayFree(&args);
    return found;
}

bool ReadCommandLine(const wchar_t *text, PowerSettings *settings, wchar_t *badTime, size_t badTimeUnits)
{
    settings->operation = 0;
    settings->waitTotal = 0;
    settings->waitMin = 0;
    settings->waitSec = 0;
    settings->useAtTime = 0;
    settings->force = 0;
    if (badTime && badTimeUnits) badTime[0] = L'\0';

    bool wellFormed = true;
    const int rememberedAtTime = settings->atTime;
    int count = 0;
    wchar_t **args = SplitCommandLine(text, &count);
    for (int i = 0; i < count; i++) {
        const wchar_t *arg = args[i];
        if (const OperationEntry *entry = FindOperationOption(arg)) {
            settings->operation = entry->code;
            continue;
        }
        if (WideStringEqual(arg, L"--saverlockoff")) {
            settings->saverLockOff = 1;
            continue;
        }
        if (WideStringEqual(arg, L"--force")) {
            settings->force = 1;
            continue;
        }
        if (WideStringEqual(arg, L"--at")) {
            // A time that cannot be read must never turn into "at once".
            int secondOfDay = 0;
            const wchar_t *value = i + 1 < count ? args[++i] : nullptr;
            if (value && ParseTimeOfDay(value, &secondOfDay)) {
                settings->useAtTime = 1;
                settings->atTime = secondOfDay;
            } else if (wellFormed) {
                wellFormed = false;
                if (badTime && badTimeUnits) CopyText(badTime, badTimeUnits, value ? value : L"");
            }
            continue;
        }
        int *target = nullptr;
        if (WideStringEqual(arg, L"--wait-sec")) target = &settings->waitSec;
        else if (WideStringEqual(arg, L"--wait-min")) target = &settings->waitMin;
        else if (WideStringEqual(arg, L"--wait")) target = &settings->waitTotal;
        // A value option takes the next argument whatever it says; last, it is ignored.
        if (target && i + 1 < count) {
            *target = ReadValue(args[i + 1]);
            i++;
        }
    }
    StringArrayFree(&args);
    if (!wellFormed) {
        settings->useAtTime = 0;
        settings->atTime = rememberedAtTime;
    }
    if (settings->useAtTime) {
        // A time of day replaces the waits on the same line.
        settings->waitTotal = settings->waitMin = settings->waitSec = 0;
    } else {
        settings->waitTotal = AddWaitSeconds(settings->waitTotal, settings->waitMin, settings->waitSec);
    }
    return wellFormed;
}
