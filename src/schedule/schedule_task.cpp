#include "schedule/schedule_task.h"

#include <wctype.h>

#include "base/owned_string.h"
#include "context/app_context.h"
#include "power/operation_table.h"
#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"

const wchar_t kScheduleFolder[] = L"\\Keldrin";

namespace {

// Sunday first, as the Task Scheduler's bits and SYSTEMTIME count.
const struct {
    const wchar_t *keyword;   // the command line's
    const wchar_t *element;   // the XML's
    const wchar_t *fallback;  // for a module without the name
} kDays[7] = {
    {L"sun", L"Sunday", L"Sunday"},       {L"mon", L"Monday", L"Monday"},     {L"tue", L"Tuesday", L"Tuesday"},
    {L"wed", L"Wednesday", L"Wednesday"}, {L"thu", L"Thursday", L"Thursday"}, {L"fri", L"Friday", L"Friday"},
    {L"sat", L"Saturday", L"Saturday"},
};

// The list's order: the three groups, then the week from Monday.
const int kChoiceDays[kScheduleDayChoices] = {kScheduleEveryDay, kScheduleWeekdays, kScheduleWeekends,
                                              0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x01};

const wchar_t *ModuleText(int id, const wchar_t *fallback)
{
    const wchar_t *text = LoadResString(g_resourceModule, id, -1);
    return text && text[0] ? text : fallback;
}

bool SameWord(const wchar_t *text, size_t length, const wchar_t *word)
{
    if (wcslen(word) != length) return false;
    for (size_t i = 0; i < length; i++)
        if (towlower(text[i]) != word[i]) return false;
    return true;
}

// A path or name in element text: the XML parser would read & and < as markup.
size_t AppendEscaped(wchar_t *buffer, size_t units, size_t length, const wchar_t *text)
{
    for (; text && *text && length + 1 < units; text++) {
        const wchar_t *entity = *text == L'&'   ? L"&amp;"
                                : *text == L'<' ? L"&lt;"
                                : *text == L'>' ? L"&gt;"
                                : *text == L'"' ? L"&quot;"
                                                : nullptr;
        if (entity) {
            length += FormatText(buffer + length, units - length, L"%ls", entity);
        } else {
            buffer[length++] = *text;
            buffer[length] = L'\0';
        }
    }
    return length;
}

// The countdown the user always gets; the task may run an hour beyond it,
// then the Task Scheduler ends a run that hangs, so the next is not ignored.
long WaitSeconds(const ScheduleRequest &request)
{
    return request.waitSeconds > kScheduleLeastWait ? request.waitSeconds : kScheduleLeastWait;
}

}  // namespace

int ScheduleDaysOfChoice(int choice)
{
    return choice >= 0 && choice < kScheduleDayChoices ? kChoiceDays[choice] : kScheduleEveryDay;
}

int ScheduleChoiceOfDays(int days)
{
    for (int i = 0; i < kScheduleDayChoices; i++)
        if (kChoiceDays[i] == days) return i;
    return -1;
}

bool ParseScheduleDays(const wchar_t *text, int *days)
{
    if (!text) return false;
    const size_t whole = wcslen(text);
    const struct {
        const wchar_t *word;
        int days;
    } groups[] = {{L"daily", kScheduleEveryDay}, {L"weekdays", kScheduleWeekdays}, {L"weekends", kScheduleWeekends}};
    for (const auto &group : groups) {
        if (SameWord(text, whole, group.word)) {
            *days = group.days;
            return true;
        }
    }
    int found = 0;
    for (const wchar_t *item = text;; item++) {
        const wchar_t *end = wcschr(item, L',');
        const size_t length = end ? static_cast<size_t>(end - item) : wcslen(item);
        int day = -1;
        for (int d = 0; d < 7 && day < 0; d++)
            if (SameWord(item, length, kDays[d].keyword)) day = d;
        if (day < 0) return false;
        found |= 1 << day;
        if (!end) break;
        item = end;
    }
    *days = found;
    return true;
}

void ScheduleDaysText(wchar_t *buffer, size_t units, int days)
{
    const int choice = ScheduleChoiceOfDays(days);
    if (choice >= 0 && choice < 3) {
        const wchar_t *fallbacks[] = {L"every day", L"Monday to Friday", L"Saturday and Sunday"};
        CopyText(buffer, units, ModuleText(IDS_SCHEDULE_DAYS_EVERY + choice, fallbacks[choice]));
        return;
    }
    buffer[0] = L'\0';
    bool first = true;
    // From Monday, as the list and a calendar of the week read.
    for (int i = 1; i <= 7; i++) {
        const int d = i % 7;
        if (!(days & (1 << d))) continue;
        if (!first) AppendText(buffer, units, ModuleText(IDS_SCHEDULE_DAY_SEPARATOR, L", "));
        AppendText(buffer, units, ModuleText(IDS_SCHEDULE_DAY_FIRST + d, kDays[d].fallback));
        first = false;
    }
}

bool ScheduleTaskName(wchar_t *buffer, size_t units, int operation, int atTime, int days)
{
    const OperationEntry *entry = FindOperation(operation);
    if (!entry || !entry->keyword) return false;
    wchar_t display[KELDRIN_TEXT_UNITS], daysText[KELDRIN_TEXT_UNITS];
    CopyText(display, COUNTOF(display), ModuleText(entry->nameId, entry->keyword));
    ScheduleDaysText(daysText, COUNTOF(daysText), days);
    // A task's name, like a file's, cannot hold the colon of "23:00".
    const wchar_t *format = LoadResString(g_resourceModule, IDS_SCHEDULE_NAME, -1);
    if (!FormatMatches(format, "sdds")) format = L"%ls at %ld.%02ld, %ls";
    FormatText(buffer, units, format, display, static_cast<long>(atTime / 3600 % 24),
               static_cast<long>(atTime / 60 % 60), daysText);
    // Backslashes would make folders of it.
    for (wchar_t *c = buffer; *c; c++)
        if (*c == L'\\' || *c == L'/') *c = L'-';
    return true;
}

bool ScheduleTaskArguments(wchar_t *buffer, size_t units, const ScheduleRequest &request)
{
    const wchar_t *keyword = OperationKeyword(request.operation);
    if (!keyword || request.operation == OPERATION_SELECT) return false;
    const long wait = WaitSeconds(request);
    size_t length = FormatText(buffer, units, L"--%ls --wait %ld", keyword, wait);
    if (request.saverLockOff) FormatText(buffer + length, units - length, L" --saverlockoff");
    return true;
}

bool ScheduleTaskXml(wchar_t *buffer, size_t units, const ScheduleRequest &request)
{
    wchar_t name[KELDRIN_TEXT_UNITS], arguments[KELDRIN_TEXT_UNITS];
    if (!request.days || !ScheduleTaskName(name, COUNTOF(name), request.operation, request.atTime, request.days) ||
        !ScheduleTaskArguments(arguments, COUNTOF(arguments), request))
        return false;
    const wchar_t *author = g_app && g_app->productName ? g_app->productName : L"Keldrin";
    size_t length = FormatText(buffer, units,
                               L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                               L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
                               L"  <RegistrationInfo>\r\n    <Author>");
    length = AppendEscaped(buffer, units, length, author);
    length += FormatText(buffer + length, units - length, L"</Author>\r\n    <Description>");
    length = AppendEscaped(buffer, units, length, name);
    // No zone in the start boundary: the time is the computer's local time,
    // and stays 23:00 when the clocks change.
    const SYSTEMTIME &day = request.today;
    length += FormatText(buffer + length, units - length,
                         L"</Description>\r\n  </RegistrationInfo>\r\n  <Triggers>\r\n    <CalendarTrigger>\r\n"
                         L"      <StartBoundary>%04u-%02u-%02uT%02ld:%02ld:00</StartBoundary>\r\n",
                         day.wYear, day.wMonth, day.wDay, static_cast<long>(request.atTime / 3600 % 24),
                         static_cast<long>(request.atTime / 60 % 60));
    if ((request.days & kScheduleEveryDay) == kScheduleEveryDay) {
        length += FormatText(buffer + length, units - length,
                             L"      <ScheduleByDay>\r\n        <DaysInterval>1</DaysInterval>\r\n"
                             L"      </ScheduleByDay>\r\n");
    } else {
        length += FormatText(buffer + length, units - length,
                             L"      <ScheduleByWeek>\r\n        <WeeksInterval>1</WeeksInterval>\r\n"
                             L"        <DaysOfWeek>\r\n");
        for (int d = 0; d < 7; d++)
            if (request.days & (1 << d))
                length += FormatText(buffer + length, units - length, L"          <%ls />\r\n", kDays[d].element);
        length += FormatText(buffer + length, units - length, L"        </DaysOfWeek>\r\n      </ScheduleByWeek>\r\n");
    }
    // Never a catch-up run (a shutdown missed at 23:00 must not come at 08:00),
    // on battery as on mains, one run at a time; the countdown needs the
    // user's own desktop, so only while they are logged on, with their rights.
    length += FormatText(buffer + length, units - length,
                         L"    </CalendarTrigger>\r\n  </Triggers>\r\n  <Settings>\r\n"
                         L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
                         L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
                         L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
                         L"    <StartWhenAvailable>false</StartWhenAvailable>\r\n"
                         L"    <WakeToRun>%ls</WakeToRun>\r\n"
                         L"    <ExecutionTimeLimit>PT%ldM</ExecutionTimeLimit>\r\n"
                         L"  </Settings>\r\n  <Principals>\r\n    <Principal id=\"User\">\r\n"
                         L"      <LogonType>InteractiveToken</LogonType>\r\n"
                         L"      <RunLevel>LeastPrivilege</RunLevel>\r\n"
                         L"    </Principal>\r\n  </Principals>\r\n  <Actions Context=\"User\">\r\n    <Exec>\r\n"
                         L"      <Command>",
                         request.wake ? L"true" : L"false", WaitSeconds(request) / 60 + 60);
    length = AppendEscaped(buffer, units, length, request.program);
    length += FormatText(buffer + length, units - length, L"</Command>\r\n      <Arguments>");
    length = AppendEscaped(buffer, units, length, arguments);
    length += FormatText(buffer + length, units - length,
                         L"</Arguments>\r\n    </Exec>\r\n  </Actions>\r\n</Task>\r\n");
    return length + 1 < units;
}
