#include "app/command_line.h"

#include <stdlib.h>

#include "base/number_text.h"
#include "base/owned_string.h"
#include "base/time_of_day.h"
#include "power/operation_table.h"
#include "power/power_operations.h"
#include "resources/resource_ids.h"
#include "schedule/schedule_task.h"
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
    // The watch's options as given: the numbers are added up after the line.
    int idleMin, idleSec, quietMin, quietSec;
    const wchar_t *idleOption, *quietOption;  // the last of each kind, for a refusal
    bool waitGiven;
    const wchar_t *notCombined;  // --at, --every or --select, which a watch does not take
    bool atGiven;
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
    reading->waitGiven = true;
}

void TakeWaitMin(Reading *reading, const wchar_t *value)
{
    reading->settings->waitMin = ReadValue(value);
    reading->waitGiven = true;
}

void TakeWaitSec(Reading *reading, const wchar_t *value)
{
    reading->settings->waitSec = ReadValue(value);
    reading->waitGiven = true;
}

// A watch's numbers are digits and nothing else: unlike the waits, which
// keep the lenient reading older shortcuts rely on, a new option can refuse
// what it cannot read, and "--idle-min ten" must never mean "not at all".
bool TakeDigits(Reading *reading, const wchar_t *option, const wchar_t *value, int *number)
{
    if (ParseDigits(value, number)) return true;
    wchar_t given[KELDRIN_TEXT_UNITS];
    FormatText(given, COUNTOF(given), L"%ls %ls", option, value);
    Refuse(reading, IDS_WATCH_NOT_A_NUMBER, option, given);
    return false;
}

// Minutes and seconds of one kind are added up after the line; the last
// option of the kind names it in a refusal of the total.
void TakeWatchTime(Reading *reading, const wchar_t **kind, const wchar_t *option, const wchar_t *value, int *number)
{
    *kind = option;
    TakeDigits(reading, option, value, number);
}

void TakeIdleMin(Reading *r, const wchar_t *v) { TakeWatchTime(r, &r->idleOption, L"--idle-min", v, &r->idleMin); }
void TakeIdleSec(Reading *r, const wchar_t *v) { TakeWatchTime(r, &r->idleOption, L"--idle-sec", v, &r->idleSec); }
void TakeQuietMin(Reading *r, const wchar_t *v) { TakeWatchTime(r, &r->quietOption, L"--quiet-min", v, &r->quietMin); }
void TakeQuietSec(Reading *r, const wchar_t *v) { TakeWatchTime(r, &r->quietOption, L"--quiet-sec", v, &r->quietSec); }

void TakeMark(Reading *reading, const wchar_t *option, const wchar_t *value, int most, int messageId, int *mark)
{
    int number = 0;
    if (!TakeDigits(reading, option, value, &number)) return;
    if (number >= 1 && number <= most) {
        *mark = number;
        return;
    }
    wchar_t given[KELDRIN_TEXT_UNITS];
    FormatText(given, COUNTOF(given), L"%ls %ls", option, value);
    Refuse(reading, messageId, option, given);
}

void TakeCpuBelow(Reading *reading, const wchar_t *value)
{
    TakeMark(reading, L"--cpu-below", value, 99, IDS_WATCH_PERCENT_RANGE, &reading->settings->watch.cpuBelow);
}

void TakeNetBelow(Reading *reading, const wchar_t *value)
{
    TakeMark(reading, L"--net-below", value, 1000000, IDS_WATCH_RATE_RANGE, &reading->settings->watch.netBelowKBs);
}

void TakeAfterExit(Reading *reading, const wchar_t *value)
{
    WatchConditions &watch = reading->settings->watch;
    if (!value[0]) {
        Refuse(reading, IDS_WATCH_NAME_MISSING, L"--after-exit", L"");
    } else if (watch.programCount == kMostWatchedPrograms) {
        Refuse(reading, IDS_WATCH_TOO_MANY, L"--after-exit", value);
    } else {
        CopyText(watch.programs[watch.programCount++], kWatchedProgramUnits, value);
    }
}

void TakeComputer(Reading *reading, const wchar_t *value)
{
    if (!AddMachine(&reading->line->computers, value)) Refuse(reading, IDS_REMOTE_NAME_MISSING, L"--computer", L"");
}

void TakeComputers(Reading *reading, const wchar_t *value)
{
    MachineList &computers = reading->line->computers;
    const int before = computers.count;
    DWORD error = 0;
    if (!value[0])
        Refuse(reading, IDS_REMOTE_LIST_MISSING, L"--computers", L"");
    else if (!AddMachinesFromFile(&computers, value, &error))
        Refuse(reading, IDS_REMOTE_LIST_UNREADABLE, L"--computers", value);
    else if (computers.count == before)
        Refuse(reading, IDS_REMOTE_LIST_EMPTY, L"--computers", value);
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

void TakeEvery(Reading *reading, const wchar_t *value)
{
    reading->line->every = true;
    if (!ParseScheduleDays(value, &reading->line->everyDays))
        Refuse(reading, IDS_SCHEDULE_DAYS_MALFORMED, L"--every", value);
}

void TakeUnschedule(Reading *reading, const wchar_t *value)
{
    if (!value[0]) {
        Refuse(reading, IDS_UNSCHEDULE_MISSING, L"--unschedule", L"");
        return;
    }
    reading->line->unschedule = true;
    CopyText(reading->line->unscheduleName, COUNTOF(reading->line->unscheduleName), value);
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
    {L"--idle-min", true, IDS_WATCH_NOT_A_NUMBER, TakeIdleMin},
    {L"--idle-sec", true, IDS_WATCH_NOT_A_NUMBER, TakeIdleSec},
    {L"--after-exit", true, IDS_WATCH_NAME_MISSING, TakeAfterExit},
    {L"--quiet-min", true, IDS_WATCH_NOT_A_NUMBER, TakeQuietMin},
    {L"--quiet-sec", true, IDS_WATCH_NOT_A_NUMBER, TakeQuietSec},
    {L"--cpu-below", true, IDS_WATCH_NOT_A_NUMBER, TakeCpuBelow},
    {L"--net-below", true, IDS_WATCH_NOT_A_NUMBER, TakeNetBelow},
    {L"--computer", true, IDS_REMOTE_NAME_MISSING, TakeComputer},
    {L"--computers", true, IDS_REMOTE_LIST_MISSING, TakeComputers},
    {L"--every", true, IDS_SCHEDULE_DAYS_MISSING, TakeEvery},
    {L"--unschedule", true, IDS_UNSCHEDULE_MISSING, TakeUnschedule},
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

// The watch's option a refusal names: the first kind the line gives.
const wchar_t *WatchedOption(const Reading &reading)
{
    return reading.idleOption ? reading.idleOption : reading.quietOption ? reading.quietOption : L"--after-exit";
}

// Minutes and seconds added up, as the waits are, and judged once the line is
// read: nothing, or more than a day, is no time to wait for. A watch with a
// time of day or the select dialog is refused, naming both.
void TakeWatchTotals(Reading *reading)
{
    WatchConditions &watch = reading->settings->watch;
    const struct {
        const wchar_t *option;
        int minutes, seconds;
        int *total;
    } totals[] = {
        {reading->idleOption, reading->idleMin, reading->idleSec, &watch.idleSec},
        {reading->quietOption, reading->quietMin, reading->quietSec, &watch.quietSec},
    };
    for (const auto &total : totals) {
        if (!total.option) continue;
        long long seconds = 60LL * total.minutes + total.seconds;
        if (seconds > 0 && seconds <= kMostWatchSeconds) {
            *total.total = static_cast<int>(seconds);
            continue;
        }
        Refuse(reading, IDS_WATCH_TIME_RANGE, total.option, total.option);
    }
    if (WatchesAnything(watch) && reading->notCombined) {
        wchar_t both[KELDRIN_TEXT_UNITS];
        FormatText(both, COUNTOF(both), L"%ls\n%ls", reading->notCombined, WatchedOption(*reading));
        Refuse(reading, IDS_WATCH_NOT_COMBINED, reading->notCombined, both);
    }
}

// Other computers are asked once, now, to shut down or restart after their
// own grace period, or to cancel: the operation, a time of day or a watch
// would each be something they cannot be asked, and the line is refused.
void TakeComputerRules(Reading *reading)
{
    if (!reading->line->remote) return;
    const int operation = reading->settings->operation;
    const wchar_t *refused = nullptr;
    wchar_t option[32];
    if (!reading->line->cancel && operation != OPERATION_SHUTDOWN && operation != OPERATION_REBOOT) {
        const wchar_t *keyword = OperationKeyword(operation);
        FormatText(option, COUNTOF(option), L"--%ls", keyword ? keyword : L"");
        refused = keyword ? option : L"--computer";
    } else if (reading->line->every) {
        refused = L"--every";
    } else if (reading->atGiven) {
        refused = L"--at";
    } else if (WatchesAnything(reading->settings->watch)) {
        refused = WatchedOption(*reading);
    }
    if (refused) Refuse(reading, IDS_REMOTE_OPERATION, L"--computer", refused);
}

// A repetition is handed to the Task Scheduler whole: its days, the time of
// day from --at and an operation it can run unattended; without any of them
// the task would do nothing or something else, and nothing is registered.
void TakeEveryRules(Reading *reading)
{
    if (!reading->line->every) return;
    const int operation = reading->settings->operation;
    if (operation == OPERATION_SELECT) {
        Refuse(reading, IDS_WATCH_NOT_COMBINED, L"--every", L"--every\n--select");
    } else if (operation == 0) {
        Refuse(reading, IDS_SCHEDULE_OPERATION_NEEDED, L"--every", L"");
    } else if (!reading->atGiven) {
        Refuse(reading, IDS_SCHEDULE_AT_NEEDED, L"--every", L"");
    }
}

}  // namespace

bool ReadCommandLine(const wchar_t *text, PowerSettings *settings, CommandLine *line)
{
    CommandLine scratch;
    const bool ownLine = !line;
    if (!line) line = &scratch;
    *line = CommandLine();
    settings->operation = 0;
    settings->waitTotal = 0;
    settings->waitMin = 0;
    settings->waitSec = 0;
    settings->useAtTime = 0;
    settings->force = 0;
    ClearWatchConditions(&settings->watch);

    Reading reading = {};
    reading.settings = settings;
    reading.line = line;
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
        // Even without its value: a refused line leaves other computers unasked, not this one.
        if (rule && (rule->take == TakeComputer || rule->take == TakeComputers)) line->remote = true;
        if (!rule && IsBlank(arg)) {
            // A quoted blank carries nothing to misread.
        } else if (!rule) {
            TakeUnknown(&reading, arg);
        } else if (!rule->takesValue) {
            rule->take(&reading, nullptr);
        } else if (i + 1 < count) {
            rule->take(&reading, args[++i]);
        } else if (rule->missingId) {
            // A watch's number names its option; the other messages name it themselves.
            Refuse(&reading, rule->missingId, rule->name, rule->missingId == IDS_WATCH_NOT_A_NUMBER ? rule->name : L"");
        }
        if (WideStringEqual(arg, L"--at")) {
            if (!line->every) reading.notCombined = L"--at";
            reading.atGiven = true;
        }
        // Even without its value: a refused repetition exits as one that failed.
        if (WideStringEqual(arg, L"--every")) {
            reading.notCombined = L"--every";
            line->every = true;
        }
        if (WideStringEqual(arg, L"--unschedule")) line->unschedule = true;
    }
    StringArrayFree(&args);
    if (settings->operation == OPERATION_SELECT && !line->every) reading.notCombined = L"--select";
    TakeWatchTotals(&reading);
    TakeComputerRules(&reading);
    if (!line->remote) TakeEveryRules(&reading);
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
        ClearWatchConditions(&settings->watch);
    }
    // The task's countdown is the line's wait, which a time of day replaces for a run now.
    line->everyWait = AddWaitSeconds(settings->waitTotal, settings->waitMin, settings->waitSec);
    if (settings->useAtTime) {
        // A time of day replaces the waits on the same line.
        settings->waitTotal = settings->waitMin = settings->waitSec = 0;
    } else {
        settings->waitTotal = AddWaitSeconds(settings->waitTotal, settings->waitMin, settings->waitSec);
    }
    // The countdown after a watch: the line's own wait, a minute when it gives none.
    if (WatchesAnything(settings->watch) && !reading.waitGiven) settings->waitTotal = kWatchCountSeconds;
    if (ownLine) FreeMachineList(&scratch.computers);
    return !reading.refused;
}
