// A repetition as the Task Scheduler gets it: the days read from the command
// line, the task's name in both modules, its XML read back by the system's
// own XML parser, and registering and removing through the fake scheduler.
#include <windows.h>
#include <msxml.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "schedule/schedule_run.h"
#include "schedule/schedule_task.h"
#include "schedule_system_fake.h"
#include "test_support.h"

namespace {

// The module's texts for the length of a test.
class ModuleTexts {
public:
    explicit ModuleTexts(const wchar_t *fileName)
        : module_(testsupport::LoadModuleAsData(testsupport::DistFolder() + fileName)), saved_(g_resourceModule)
    {
        g_resourceModule = module_;
    }
    ~ModuleTexts()
    {
        g_resourceModule = saved_;
        if (module_) FreeLibrary(module_);
    }
    ModuleTexts(const ModuleTexts &) = delete;
    ModuleTexts &operator=(const ModuleTexts &) = delete;
    bool ready() const { return module_ != nullptr; }

private:
    HINSTANCE module_;
    HINSTANCE saved_;
};

ScheduleRequest Request(int days, bool wake, int waitSeconds = 0, bool saverLockOff = false)
{
    ScheduleRequest request = {};
    request.operation = 1;
    request.atTime = 23 * 3600;
    request.days = days;
    request.waitSeconds = waitSeconds;
    request.wake = wake;
    request.saverLockOff = saverLockOff;
    request.program = L"C:\\Tools & Co\\Keldrin.exe";
    request.today.wYear = 2026;
    request.today.wMonth = 12;
    request.today.wDay = 8;
    return request;
}

std::wstring Name(int operation, int atTime, int days)
{
    wchar_t name[KELDRIN_TEXT_UNITS];
    if (!ScheduleTaskName(name, COUNTOF(name), operation, atTime, days)) return L"<none>";
    return name;
}

// The XML as MSXML reads it, walked by element names.
class ParsedTask {
public:
    explicit ParsedTask(const std::wstring &xml)
    {
        if (FAILED(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                    reinterpret_cast<void **>(&document_))))
            return;
        BSTR text = SysAllocString(xml.c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        document_->loadXML(text, &loaded);
        SysFreeString(text);
        IXMLDOMElement *root = nullptr;
        if (loaded == VARIANT_TRUE && SUCCEEDED(document_->get_documentElement(&root)) && root) {
            root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void **>(&root_));
            root->Release();
        }
    }
    ~ParsedTask()
    {
        if (root_) root_->Release();
        if (document_) document_->Release();
    }
    ParsedTask(const ParsedTask &) = delete;
    ParsedTask &operator=(const ParsedTask &) = delete;
    bool parsed() const { return root_ != nullptr; }

    // The child elements' names of the element at path ("Triggers/CalendarTrigger").
    std::vector<std::wstring> Children(const std::wstring &path) const { return Walk(path, false); }
    // Its text.
    std::wstring Text(const std::wstring &path) const
    {
        std::vector<std::wstring> text = Walk(path, true);
        return text.empty() ? L"<missing>" : text[0];
    }

private:
    std::vector<std::wstring> Walk(const std::wstring &path, bool text) const
    {
        std::vector<std::wstring> found;
        IXMLDOMNode *node = root_;
        node->AddRef();
        size_t start = 0;
        while (node && start < path.size()) {
            size_t end = path.find(L'/', start);
            std::wstring step = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
            start = end == std::wstring::npos ? path.size() : end + 1;
            IXMLDOMNode *next = nullptr;
            for (const auto &child : Elements(node))
                if (child.first == step && !next) next = child.second, next->AddRef();
            for (const auto &child : Elements(node)) child.second->Release();
            node->Release();
            node = next;
        }
        if (!node) return found;
        if (text) {
            BSTR value = nullptr;
            node->get_text(&value);
            found.push_back(value ? value : L"");
            SysFreeString(value);
        } else {
            for (const auto &child : Elements(node)) {
                found.push_back(child.first);
                child.second->Release();
            }
        }
        node->Release();
        return found;
    }

    // Each element child with a reference the caller releases.
    static std::vector<std::pair<std::wstring, IXMLDOMNode *>> Elements(IXMLDOMNode *node)
    {
        std::vector<std::pair<std::wstring, IXMLDOMNode *>> elements;
        IXMLDOMNode *child = nullptr;
        node->get_firstChild(&child);
        while (child) {
            DOMNodeType type = NODE_INVALID;
            child->get_nodeType(&type);
            BSTR name = nullptr;
            child->get_nodeName(&name);
            IXMLDOMNode *sibling = nullptr;
            child->get_nextSibling(&sibling);
            if (type == NODE_ELEMENT)
                elements.push_back({name ? name : L"", child});
            else
                child->Release();
            SysFreeString(name);
            child = sibling;
        }
        return elements;
    }

    IXMLDOMDocument *document_ = nullptr;
    IXMLDOMNode *root_ = nullptr;
};

using Names = std::vector<std::wstring>;

}  // namespace

TEST(ScheduleDays, CommandLineWordsAndListsInAnyCase)
{
    const struct {
        const wchar_t *text;
        bool read;
        int days;
    } cases[] = {
        {L"daily", true, 0x7F},         {L"Weekdays", true, 0x3E},  {L"WEEKENDS", true, 0x41},
        {L"mon", true, 0x02},           {L"sun,sat", true, 0x41},   {L"mon,Tue,wed,thu,fri", true, 0x3E},
        {L"fri,fri", true, 0x20},       {L"", false, 0},            {L"mon,", false, 0},
        {L"monday", false, 0},          {L"mon tue", false, 0},     {L"every", false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.text)));
        int days = -1;
        EXPECT_EQ(c.read, ParseScheduleDays(c.text, &days));
        if (c.read) {
            EXPECT_EQ(c.days, days);
        }
    }
    // The main dialog's list: each choice's days give that choice back.
    for (int i = 0; i < kScheduleDayChoices; i++) EXPECT_EQ(i, ScheduleChoiceOfDays(ScheduleDaysOfChoice(i)));
    EXPECT_EQ(-1, ScheduleChoiceOfDays(0x0B));
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
        {L"Keldrin.Eng.dll", 5, 0, 0x7F, L"Log off at 0.00, every day"},
        {L"Keldrin.Jpn.dll", 1, 23 * 3600, 0x3E, L"シャットダウン 23時00分 月曜～金曜"},
        {L"Keldrin.Jpn.dll", 4, 18 * 3600 + 5 * 60, 0x41, L"休止状態 18時05分 土曜と日曜"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.name)));
        ModuleTexts texts(c.module);
        ASSERT_TRUE(texts.ready());
        EXPECT_EQ(c.name, Name(c.operation, c.atTime, c.days));
    }
    EXPECT_EQ(L"<none>", Name(0, 0, 0x7F));
}

// Parsed back as the Task Scheduler would read it: the schema's order, the
// local start, the days, and the settings that keep the countdown on the
// user's screen and never run late.
TEST(ScheduleTaskXml, EachKindOfDaysWithAndWithoutWaking)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ModuleTexts texts(L"Keldrin.Eng.dll");
    const struct {
        int days;
        bool wake;
        const wchar_t *schedule;
        Names scheduleChildren;
        Names daysOfWeek;
    } cases[] = {
        {0x7F, false, L"ScheduleByDay", {L"DaysInterval"}, {}},
        {0x3E, true, L"ScheduleByWeek", {L"WeeksInterval", L"DaysOfWeek"},
         {L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday"}},
        {0x41, false, L"ScheduleByWeek", {L"WeeksInterval", L"DaysOfWeek"}, {L"Sunday", L"Saturday"}},
        {0x20, true, L"ScheduleByWeek", {L"WeeksInterval", L"DaysOfWeek"}, {L"Friday"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.days);
        wchar_t xml[16384];
        ASSERT_TRUE(ScheduleTaskXml(xml, COUNTOF(xml), Request(c.days, c.wake)));
        ParsedTask task(xml);
        ASSERT_TRUE(task.parsed()) << ::testing::PrintToString(std::wstring(xml));
        EXPECT_EQ((Names{L"RegistrationInfo", L"Triggers", L"Settings", L"Principals", L"Actions"}), task.Children(L""));
        EXPECT_EQ((Names{L"StartBoundary", c.schedule}), task.Children(L"Triggers/CalendarTrigger"));
        EXPECT_EQ(L"2026-12-08T23:00:00", task.Text(L"Triggers/CalendarTrigger/StartBoundary"));
        const std::wstring schedule = std::wstring(L"Triggers/CalendarTrigger/") + c.schedule;
        EXPECT_EQ(c.scheduleChildren, task.Children(schedule));
        EXPECT_EQ(L"1", task.Text(schedule + (c.days == 0x7F ? L"/DaysInterval" : L"/WeeksInterval")));
        EXPECT_EQ(c.daysOfWeek, task.Children(schedule + L"/DaysOfWeek"));
        EXPECT_EQ((Names{L"MultipleInstancesPolicy", L"DisallowStartIfOnBatteries", L"StopIfGoingOnBatteries",
                         L"StartWhenAvailable", L"WakeToRun", L"ExecutionTimeLimit"}),
                  task.Children(L"Settings"));
        EXPECT_EQ(L"IgnoreNew", task.Text(L"Settings/MultipleInstancesPolicy"));
        EXPECT_EQ(L"false", task.Text(L"Settings/DisallowStartIfOnBatteries"));
        EXPECT_EQ(L"false", task.Text(L"Settings/StopIfGoingOnBatteries"));
        EXPECT_EQ(L"false", task.Text(L"Settings/StartWhenAvailable"));
        EXPECT_EQ(c.wake ? L"true" : L"false", task.Text(L"Settings/WakeToRun"));
        EXPECT_EQ((Names{L"LogonType", L"RunLevel"}), task.Children(L"Principals/Principal"));
        EXPECT_EQ(L"InteractiveToken", task.Text(L"Principals/Principal/LogonType"));
        EXPECT_EQ(L"LeastPrivilege", task.Text(L"Principals/Principal/RunLevel"));
        EXPECT_EQ(L"C:\\Tools & Co\\Keldrin.exe", task.Text(L"Actions/Exec/Command"));
        EXPECT_EQ(L"--shutdown --wait 60", task.Text(L"Actions/Exec/Arguments"));
        EXPECT_EQ(L"Shut down at 23.00, " + std::wstring(c.days == 0x7F ? L"every day" : L""),
                  task.Text(L"RegistrationInfo/Description").substr(0, c.days == 0x7F ? 30 : 20));
    }
    CoUninitialize();
}

TEST(ScheduleTaskXml, TheCountdownIsAtLeastAMinuteAndTakesTheScreenSaverChoice)
{
    const struct {
        int wait;
        bool saverLockOff;
        const wchar_t *arguments;
    } cases[] = {
        {0, false, L"--shutdown --wait 60"},
        {59, false, L"--shutdown --wait 60"},
        {300, true, L"--shutdown --wait 300 --saverlockoff"},
    };
    for (const auto &c : cases) {
        wchar_t arguments[KELDRIN_TEXT_UNITS];
        ASSERT_TRUE(ScheduleTaskArguments(arguments, COUNTOF(arguments), Request(0x7F, false, c.wait, c.saverLockOff)));
        EXPECT_STREQ(c.arguments, arguments);
    }
    ScheduleRequest select = Request(0x7F, false);
    select.operation = 9;
    wchar_t xml[16384];
    EXPECT_FALSE(ScheduleTaskXml(xml, COUNTOF(xml), select)) << "the select dialog is nothing to repeat";
}

TEST(RegisterSchedule, ReplacesByNameRemovesOneOrAllAndNamesWhatFailed)
{
    ModuleTexts texts(L"Keldrin.Eng.dll");
    ResetScheduleFake();
    EXPECT_TRUE(RegisterSchedule(Request(0x3E, false)).done);
    ScheduleAnswer again = RegisterSchedule(Request(0x3E, true));
    EXPECT_TRUE(again.done);
    EXPECT_EQ(IDS_SCHEDULE_REGISTERED, again.messageId);
    EXPECT_STREQ(L"Shut down at 23.00, Monday to Friday", again.name);
    ASSERT_EQ(1u, g_scheduleFake.tasks.size()) << "registered again, the task is replaced";
    EXPECT_EQ(L"\\Keldrin", g_scheduleFake.tasks[0].folder);
    EXPECT_NE(std::wstring::npos, g_scheduleFake.tasks[0].xml.find(L"<WakeToRun>true</WakeToRun>"));
    EXPECT_TRUE(RegisterSchedule(Request(0x41, false)).done);
    EXPECT_TRUE(RegisterSchedule(Request(0x7F, false)).done);
    EXPECT_EQ(3u, g_scheduleFake.tasks.size());

    EXPECT_TRUE(RemoveSchedules(L"Shut down at 23.00, Saturday and Sunday").done);
    ScheduleAnswer missing = RemoveSchedules(L"Shut down at 23.00, Saturday and Sunday");
    EXPECT_FALSE(missing.done);
    EXPECT_EQ(IDS_UNSCHEDULE_NOT_FOUND, missing.messageId);
    EXPECT_TRUE(RemoveSchedules(L"All").done);
    EXPECT_TRUE(g_scheduleFake.tasks.empty());
    EXPECT_TRUE(RemoveSchedules(L"all").done) << "all of none is no failure";

    const struct {
        HRESULT answer;
        int messageId;
    } failures[] = {{REGDB_E_CLASSNOTREG, IDS_SCHEDULE_NEEDS_VISTA}, {E_ACCESSDENIED, IDS_SCHEDULE_FAILED}};
    for (const auto &f : failures) {
        g_scheduleFake.answer = f.answer;
        ScheduleAnswer answer = RegisterSchedule(Request(0x7F, false));
        EXPECT_FALSE(answer.done);
        EXPECT_EQ(f.messageId, answer.messageId);
        EXPECT_NE(nullptr, wcsstr(answer.error, L"0x80")) << "the code an administrator can look up";
    }
    ResetScheduleFake();
}
