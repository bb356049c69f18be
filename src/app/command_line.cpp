#include "app/command_line.h"

#include <stdlib.h>

#include "base/owned_string.h"
#include "base/time_of_day.h"
#include "power/operation_table.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace {

// The line as it is being read.
struct Reading {
    PowerSettings *settings;
    CommandLine *line;
    bool refused;         // a value was refused; the first refusal is kept
    int unknown;          // arguments that are no option, named in unknownText
    bool unknownFirst;    // one of them came before any refusal of a value
    wchar_t unknownText[KELDRIN_TEXT_UNITS];
};

void Refuse(Reading *reading, int messageId, const wchar_t *option, const wchar_t *value)
{
    if (reading->refused) return;
    reading->refused = true;
    CommandLineRefusal &refusal = reading->line->refusal;
    refusal.messageId = messageId;
    CopyText(refusal.option, COUNTOF(refusal.option), option);
    CopyText(refusal.value, COUNTOF(refusal.value), value ? value : L"");
}

int ReadValue(const wchar_t *text)
{
    // wcstol clamps to the 32-bit range: long is 32 bits on Windows.
    return static_cast<int>(wcstol(text, nullptr, 10));
}

void TakeSaverLockOff(Reading *reading, const wchar_t *)
{
    reading->settings->saverLockOff = 1;
}

void TakeForce(Reading *reading, const wchar_t *)
{
    reading->settings->force = 1;
}

void TakeCancel(Reading *reading, const wchar_t *)
{
    reading->line->cancel = true;
}

void TakeWait(Reading *reading, const wchar_t *value)
{
    reading->settings->waitTotal = ReadValue(value);
}

void TakeWaitMin(Reading *reading, const wchar_t *value)
{
    reading->settings->waitMin = ReadValue(value);
}

void TakeWaitSec(Reading *reading, const wchar_t *value)
{
    reading->settings->waitSec = ReadValue(value);
}

// A time that cannot be read must never turn into "at once".
void TakeAt(Reading *reading, const wchar_t *value)
{
    int secondOfDay = 0;
    if (ParseTimeOfDay(value, &secondOfDay)) {
        reading->settings->useAtTime = 1;
        reading->settings->atTime = secondOfDay;
    } else {
        Refuse(reading, IDS_AT_MALFORMED, L"--at", value);
    }
}

// Every option but the operations (operation_table): its name, whether the
// next argument is its value (taken whatever it says), and the message when
// the line ends before that value (0: the option is then ignored).
const struct OptionRule {
    const wchar_t *name;
    bool takesValue;
    int missingId;
    void (*take)(Reading *reading, const wchar_t *value);
} kOptions[] = {
    {L"--saverlockoff", false, 0, TakeSaverLockOff},
    {L"--force", false, 0, TakeForce},
    {L"--cancel", false, 0, TakeCancel},
    {L"--wait", true, 0, TakeWait},
    {L"--wait-min", true, 0, TakeWaitMin},
    {L"--wait-sec", true, 0, TakeWaitSec},
    {L"--at", true, IDS_AT_MISSING, TakeAt},
};

const OptionRule *FindOption(const wchar_t *arg)
{
    for (const OptionRule &rule : kOptions)
        if (WideStringEqual(arg, rule.name)) return &rule;
    return nullptr;
}

// An option of a newer version, a typo (--wiat) or a word where an option
// belongs: the line is not what the user meant, and is refused whole.
void TakeUnknown(Reading *reading, const wchar_t *arg)
{
    if (!reading->refused && reading->unknown == 0) reading->unknownFirst = true;
    if (reading->unknown++ > 0) AppendText(reading->unknownText, COUNTOF(reading->unknownText), L"\n");
    AppendText(reading->unknownText, COUNTOF(reading->unknownText), arg);
}

bool IsBlank(const wchar_t *arg)
{
    for (; *arg; arg++)
        if (*arg != L' ' && *arg != L'\t' && *arg != L'\r' && *arg != L'\n') return false;
    return true;
}

}  // namespace

bool ReadCommandLine(const wchar_t *text, PowerSettings *settings, CommandLine *line)
{
    CommandLine scratch;
    if (!line) line = &scratch;
    *line = CommandLine();
    settings->operation = 0;
    settings->waitTotal = 0;
    settings->waitMin = 0;
    settings->waitSec = 0;
    settings->useAtTime = 0;
    settings->force = 0;

    Reading reading = {settings, line, false, 0, false, L""};
    const int rememberedAtTime = settings->atTime;
    int count = 0;
    wchar_t **args = SplitCommandLine(text, &count);
    for (int i = 0; i < count; i++) {
        const wchar_t *arg = args[i];
        if (const OperationEntry *entry = FindOperationOption(arg)) {
            settings->operation = entry->code;
            continue;
        }
        const OptionRule *rule = FindOption(arg);
        if (!rule && IsBlank(arg)) {
            // A quoted blank carries nothing to misread.
        } else if (!rule) {
            TakeUnknown(&reading, arg);
        } else if (!rule->takesValue) {
            rule->take(&reading, nullptr);
        } else if (i + 1 < count) {
            rule->take(&reading, args[++i]);
        } else if (rule->missingId) {
            Refuse(&reading, rule->missingId, rule->name, L"");
        }
    }
    StringArrayFree(&args);
    // The first problem on the line is the one named: a later one may follow
    // from it ("--at --wait 10" leaves "10" without an option).
    if (reading.unknownFirst) {
        reading.refused = false;
        Refuse(&reading, IDS_UNKNOWN_ARGUMENTS, L"", reading.unknownText);
    }
    reading.refused = reading.refused || reading.unknown > 0;
    if (reading.refused) {
        settings->useAtTime = 0;
        settings->atTime = rememberedAtTime;
    }
    if (settings->useAtTime) {
        // A time of day replaces the waits on the same line.
        settings->waitTotal = settings->waitMin = settings->waitSec = 0;
    } else {
        settings->waitTotal = AddWaitSeconds(settings->waitTotal, settings->waitMin, settings->waitSec);
    }
    return !reading.refused;
}
