// A repetition as the Task Scheduler gets it: the days read from the command
// line, the task's name in both modules, its XML read back by the system's
// own XML parser, and registering and removing through the fake scheduler.
#include <windows.h>
#include <msxml.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "schedule/schedule_run.h"
#include "schedule_system_fake.h"
#include "test_support.h"

namespace {

// The module's texts from here on; each module is loaded once for the program's life.
void UseModule(const wchar_t *fileName)
{
    g_resourceModule = testsupport::LoadModuleAsData(testsupport::DistFolder() + fileName);
    ASSERT_NE(nullptr, g_resourceModule) << "no " << ::testing::PrintToString(std::wstring(fileName));
}

ScheduleRequest Request(int days, bool wake = false, int waitSeconds = 0, bool saverLockOff = false)
{
    ScheduleRequest request = {1, 23 * 3600, days, waitSeconds, wake, saverLockOff, L"C:\\Tools & Co\\Keldrin.exe"};
    request.today = {2026, 12, 2, 8};
    return request;
}

// What MSXML reads at a path ("Task/Settings/*"): the texts of the nodes, or
// with names, their names, in the document's order. The namespace is left
// out, so the paths need no prefix.
std::wstring Read(const std::wstring &xml, const wchar_t *path, bool names = false)
{
    std::wstring plain = xml, answer;
    plain.erase(plain.find(L" xmlns="), plain.find(L">", plain.find(L" xmlns=")) - plain.find(L" xmlns="));
    IXMLDOMDocument *document = nullptr;
    CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                     reinterpret_cast<void **>(&document));
    if (!document) return L"<no parser>";
    BSTR text = SysAllocString(plain.c_str()), query = SysAllocString(path);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    IXMLDOMNodeList *nodes = nullptr;
    if (SUCCEEDED(document->loadXML(text, &loaded)) && loaded) document->selectNodes(query, &nodes);
    for (IXMLDOMNode *node = nullptr; nodes && nodes->nextNode(&node) == S_OK && node; node->Release()) {
        BSTR value = nullptr;
        names ? node->get_nodeName(&value) : node->get_text(&value);
        answer += (answer.empty() ? L"" : L" ") + std::wstring(value ? value : L"");
        SysFreeString(value);
    }
    if (nodes) nodes->Release();
    SysFreeString(query);
    SysFreeString(text);
    document->Release();
    return loaded ? answer : L"<not parsed>";
}

}  // namespace

TEST(ScheduleDays, CommandLineWordsAndListsInAnyCase)
{
    const struct {
        const wchar_t *text;
        int days;  // -1: refused
    } cases[] = {
        {L"daily", 0x7F}, {L"Weekdays", 0x3E}, {L"WEEKENDS", 0x41}, {L"sun,sat", 0x41}, {L"mon,Tue,wed,thu,fri", 0x3E},
        {L"fri,fri", 0x20}, {L"", -1},        {L"mon,", -1},        {L"monday", -1},    {L"mon tue", -1},
    };
    for (const auto &c : cases) {
        int days = -1;
        EXPECT_EQ(c.days >= 0, ParseScheduleDays(c.text, &days)) << ::testing::PrintToString(std::wstring(c.text));
        if (c.days >= 0) {
            EXPECT_EQ(c.days, days);
        }
    }
    // The main dialog's list: each choice's days give that choice back.
    for (int i = 0; i < kScheduleDayChoices; i++) EXPECT_EQ(i, ScheduleChoiceOfDays(ScheduleDaysOfChoice(i)));
}

TEST(ScheduleTaskName, TheShortcutsWordsAndTheDaysInEitherModule)
{
    const struct {
        const wchar_t *module;
        int operation, atTime, days;
        const wchar_t *name;
    } cases[] = {
        {L"Keldrin.Eng.dll", 1, 23 * 3600, 0x3E, L"Shut down at 23.00, Monday to Friday"},
        {L"Keldrin.Eng.dll", 2, 7 * 3600 + 30 * 60, 0x0B, L"Restart at 7.30, Monday, Wednesday, Sunday"},
        {L"Keldrin.Jpn.dll", 1, 23 * 3600, 0x3E, L"シャットダウン 23時00分 月曜～金曜"},
        {L"Keldrin.Jpn.dll", 4, 18 * 3600 + 5 * 60, 0x41, L"休止状態 18時05分 土曜と日曜"},
    };
    for (const auto &c : cases) {
        UseModule(c.module);
        wchar_t name[KELDRIN_TEXT_UNITS] = L"";
        EXPECT_TRUE(ScheduleTaskName(name, COUNTOF(name), c.operation, c.atTime, c.days));
        EXPECT_STREQ(c.name, name);
    }
}

// Parsed back as the Task Scheduler would read it: the schema's order, the
// local start, the days, and the settings that keep the countdown on the
// user's screen and never run late.
TEST(ScheduleTaskXml, EachKindOfDaysWithAndWithoutWaking)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    UseModule(L"Keldrin.Eng.dll");
    const struct {
        int days;
        bool wake;
        const wchar_t *schedule;  // the calendar trigger's children, and the days' names
        const wchar_t *daysOfWeek;
    } cases[] = {
        {0x7F, false, L"StartBoundary ScheduleByDay", L""},
        {0x3E, true, L"StartBoundary ScheduleByWeek", L"Monday Tuesday Wednesday Thursday Friday"},
        {0x41, false, L"StartBoundary ScheduleByWeek", L"Sunday Saturday"},
        {0x20, true, L"StartBoundary ScheduleByWeek", L"Friday"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.days);
        wchar_t xml[16384];
        ASSERT_TRUE(ScheduleTaskXml(xml, COUNTOF(xml), Request(c.days, c.wake)));
        EXPECT_EQ(L"RegistrationInfo Triggers Settings Principals Actions", Read(xml, L"Task/*", true));
        EXPECT_EQ(c.schedule, Read(xml, L"Task/Triggers/CalendarTrigger/*", true));
        EXPECT_EQ(L"2026-12-08T23:00:00", Read(xml, L"Task/Triggers/CalendarTrigger/StartBoundary"));
        EXPECT_EQ(c.daysOfWeek, Read(xml, L"Task/Triggers/CalendarTrigger/ScheduleByWeek/DaysOfWeek/*", true));
        EXPECT_EQ(L"1", Read(xml, c.days == 0x7F ? L"Task/Triggers/CalendarTrigger/ScheduleByDay/DaysInterval"
                                                 : L"Task/Triggers/CalendarTrigger/ScheduleByWeek/WeeksInterval"));
        EXPECT_EQ(L"MultipleInstancesPolicy DisallowStartIfOnBatteries StopIfGoingOnBatteries StartWhenAvailable "
                  L"WakeToRun ExecutionTimeLimit",
                  Read(xml, L"Task/Settings/*", true));
        EXPECT_EQ(std::wstring(L"IgnoreNew false false false ") + (c.wake ? L"true" : L"false") + L" PT61M",
                  Read(xml, L"Task/Settings/*"));
        EXPECT_EQ(L"InteractiveToken LeastPrivilege", Read(xml, L"Task/Principals/Principal/*"));
        EXPECT_EQ(L"C:\\Tools & Co\\Keldrin.exe", Read(xml, L"Task/Actions/Exec/Command"));
        EXPECT_EQ(L"--shutdown --wait 60", Read(xml, L"Task/Actions/Exec/Arguments"));
    }
    CoUninitialize();
}

TEST(ScheduleTaskXml, TheCountdownIsAtLeastAMinuteAndTakesTheScreenSaverChoice)
{
    const struct {
        int wait;
        bool saverLockOff;
        const wchar_t *arguments;
    } cases[] = {{59, false, L"--shutdown --wait 60"}, {300, true, L"--shutdown --wait 300 --saverlockoff"}};
    for (const auto &c : cases) {
        wchar_t arguments[KELDRIN_TEXT_UNITS];
        ASSERT_TRUE(ScheduleTaskArguments(arguments, COUNTOF(arguments), Request(0x7F, false, c.wait, c.saverLockOff)));
        EXPECT_STREQ(c.arguments, arguments);
    }
    ScheduleRequest select = Request(0x7F);
    select.operation = 9;
    wchar_t xml[16384];
    EXPECT_FALSE(ScheduleTaskXml(xml, COUNTOF(xml), select)) << "the select dialog is nothing to repeat";
}

TEST(RegisterSchedule, ReplacesByNameRemovesOneOrAllAndNamesWhatFailed)
{
    UseModule(L"Keldrin.Eng.dll");
    ResetScheduleFake();
    const ScheduleAnswer first = RegisterSchedule(Request(0x3E)), again = RegisterSchedule(Request(0x3E, true));
    EXPECT_TRUE(first.done && again.done);
    EXPECT_EQ(IDS_SCHEDULE_REGISTERED, again.messageId);
    EXPECT_STREQ(L"Shut down at 23.00, Monday to Friday", again.name);
    ASSERT_EQ(1u, g_scheduleFake.tasks.size()) << "registered again, the task is replaced";
    EXPECT_EQ(L"\\Keldrin", g_scheduleFake.tasks[0].folder);
    EXPECT_NE(std::wstring::npos, g_scheduleFake.tasks[0].xml.find(L"<WakeToRun>true</WakeToRun>"));
    EXPECT_TRUE(RegisterSchedule(Request(0x41)).done && RegisterSchedule(Request(0x7F)).done);
    EXPECT_TRUE(RemoveSchedules(L"Shut down at 23.00, Saturday and Sunday").done);
    EXPECT_EQ(IDS_UNSCHEDULE_NOT_FOUND, RemoveSchedules(L"Shut down at 23.00, Saturday and Sunday").messageId);
    EXPECT_EQ(2u, g_scheduleFake.tasks.size());
    EXPECT_TRUE(RemoveSchedules(L"All").done);
    EXPECT_TRUE(g_scheduleFake.tasks.empty());
    EXPECT_TRUE(RemoveSchedules(L"all").done) << "all of none is no failure";

    const struct {
        HRESULT answer;
        int messageId;
    } failures[] = {{REGDB_E_CLASSNOTREG, IDS_SCHEDULE_NEEDS_VISTA}, {E_ACCESSDENIED, IDS_SCHEDULE_FAILED}};
    for (const auto &f : failures) {
        g_scheduleFake.answer = f.answer;
        const ScheduleAnswer answer = RegisterSchedule(Request(0x7F));
        EXPECT_FALSE(answer.done);
        EXPECT_EQ(f.messageId, answer.messageId);
        EXPECT_NE(nullptr, wcsstr(answer.error, L"0x80")) << "the code an administrator can look up";
    }
    ResetScheduleFake();
}
