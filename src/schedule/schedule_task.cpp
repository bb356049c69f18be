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
    const wchar_t *keyword;  // the command line's
    const wchar_t *element;  // the XML's, and the name for a module without one
} kDays[7] = {
    {L"sun", L"Sunday"},   {L"mon", L"Monday"}, {L"tue", L"Tuesday"}, {L"wed", L"Wednesday"},
    {L"thu", L"Thursday"}, {L"fri", L"Friday"}, {L"sat", L"Saturday"},
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
        AppendText(buffer, units, ModuleText(IDS_SCHEDULE_DAY_FIRST + d, kDays[d].element));
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
    const SYSTEMTIME &day = request.today;
    const bool everyDay = (request.days & kScheduleEveryDay) == kScheduleEveryDay;
    wchar_t start[32], days[160] = L"";
    // No zone in the start boundary: the time is the computer's local time,
    // and stays 23:00 when the clocks change.
    FormatText(start, COUNTOF(start), L"%04u-%02u-%02uT%02ld:%02ld:00", day.wYear, day.wMonth, day.wDay,
               static_cast<long>(request.atTime / 3600 % 24), static_cast<long>(request.atTime / 60 % 60));
    for (int d = 0; d < 7 && !everyDay; d++) {
        if (!(request.days & (1 << d))) continue;
        AppendText(days, COUNTOF(days), L"<");
        AppendText(days, COUNTOF(days), kDays[d].element);
        AppendText(days, COUNTOF(days), L"/>");
    }
    wchar_t wake[8], limit[16];
    CopyText(wake, COUNTOF(wake), request.wake ? L"true" : L"false");
    FormatText(limit, COUNTOF(limit), L"PT%ldM", WaitSeconds(request) / 60 + 60);
    // The pieces in the schema's order, narrow to keep the program small;
    // between them what the request says, escaped where a path or name may
    // hold markup. Never a catch-up run (a shutdown missed at 23:00 must not
    // come at 08:00), on battery as on mains, one run at a time; the
    // countdown needs the user's own desktop, so only while they are logged
    // on, with their rights.
    const struct {
        const char *before;
        const wchar_t *value;
        bool escaped;
    } pieces[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.2\" "
         "xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><RegistrationInfo><Author>",
         author, true},
        {"</Author><Description>", name, true},
        {"</Description></RegistrationInfo><Triggers><CalendarTrigger><StartBoundary>", start, false},
        {everyDay ? "</StartBoundary><ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay>"
                  : "</StartBoundary><ScheduleByWeek><WeeksInterval>1</WeeksInterval><DaysOfWeek>",
         days, false},
        {everyDay ? "" : "</DaysOfWeek></ScheduleByWeek>", nullptr, false},
        {"</CalendarTrigger></Triggers><Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
         "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
         "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><StartWhenAvailable>false</StartWhenAvailable>"
         "<WakeToRun>",
         wake, false},
        {"</WakeToRun><ExecutionTimeLimit>", limit, false},
        {"</ExecutionTimeLimit></Settings><Principals><Principal id=\"User\"><LogonType>InteractiveToken</LogonType>"
         "<RunLevel>LeastPrivilege</RunLevel></Principal></Principals><Actions Context=\"User\"><Exec><Command>",
         request.program, true},
        {"</Command><Arguments>", arguments, true},
        {"</Arguments></Exec></Actions></Task>\r\n", nullptr, false},
    };
    size_t length = 0;
    buffer[0] = L'\0';
    for (const auto &piece : pieces) {
        for (const char *c = piece.before; *c && length + 1 < units; c++) buffer[length++] = static_cast<wchar_t>(*c);
        buffer[length] = L'\0';
        if (piece.escaped)
            length = AppendEscaped(buffer, units, length, piece.value);
        else if (piece.value)
            length = AppendText(buffer, units, piece.value);
    }
    return length + 1 < units;
}
