// The countdown dialog run for real from the shipped modules, in this process,
// with the power calls going to the recorder: what it shows, what it performs
// and when, the screen-saver password it switches off and back, and what it
// leaves behind (execution state, brushes). Texts from modules whose strings
// are missing, malformed or too long must never break it.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "notify/tray_icon.h"
#include "notify_recorder.h"
#include "ui/countdown_dialog.h"
#include "ui/watch_view.h"
#include "base/owned_string.h"
#include "power/saver_lock.h"
#include "power_recorder.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "sysinfo/windows_edition.h"
#include "test_support.h"
#include "watch_system_fake.h"

namespace windows8 = testsupport::windows8;

namespace {

using testsupport::AlteredModule;
using testsupport::DialogDriver;
using testsupport::DistFolder;
using testsupport::LoadModuleAsData;
using testsupport::ModuleString;
using testsupport::SaverValue;
using testsupport::SettingsFileScope;
using testsupport::SetTextRecord;
using testsupport::SetTextRecorder;

typedef std::vector<std::string> Calls;

const std::string kMonitorOff = kRecordedMonitorOff;
const DWORD kLimitMs = 10000;
const int kWindows7Professional = 19;
const int kWindows8Pro = 23;

std::wstring Format(const std::wstring &format, long first)
{
    wchar_t text[1024] = {};
    swprintf_s(text, 1024, format.c_str(), first);
    return text;
}

std::wstring Format(const std::wstring &format, long first, long second)
{
    wchar_t text[1024] = {};
    swprintf_s(text, 1024, format.c_str(), first, second);
    return text;
}

std::wstring Remaining(int seconds)
{
    wchar_t text[1024] = {};
    RemainingTimeText(text, 1024, seconds);
    return text;
}

bool AllDigitsOrColon(const std::wstring &text)
{
    if (text.empty()) return false;
    for (wchar_t c : text)
        if (!(c >= L'0' && c <= L'9') && c != L':') return false;
    return true;
}

class CountdownDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        japanese_ = LoadModuleAsData(DistFolder() + L"Keldrin.Jpn.dll");
        english_ = LoadModuleAsData(DistFolder() + L"Keldrin.Eng.dll");
        generic_ = LoadModuleAsData(DistFolder() + L"KeldrinResource.dll");
    }
    static void TearDownTestSuite()
    {
        for (HINSTANCE module : {japanese_, english_, generic_})
            if (module) FreeLibrary(module);
    }

    void SetUp() override
    {
        ASSERT_NE(nullptr, japanese_) << "Keldrin.Jpn.dll not found in " << DistFolder();
        savedModule_ = g_resourceModule;
        savedSettings_ = g_settings;
        savedOsKind_ = g_osKind;
        g_resourceModule = japanese_;
        g_settings = PowerSettings();
        g_osKind = kWindows7Professional;
        g_saverLockRestore = 0;
        SetThreadExecutionState(ES_CONTINUOUS);
        ResetPowerRecorder();
        ResetWatchSystemFake();
        ResetNotifyRecorder();
    }
    void TearDown() override
    {
        g_resourceModule = savedModule_;
        g_settings = savedSettings_;
        g_osKind = savedOsKind_;
        g_saverLockRestore = 0;
    }

    // Runs the dialog from templateId to its end and returns its result.
    // *shownForMs (if given) is the time from WM_INITDIALOG to the end.
    INT_PTR RunCountdown(int templateId, const DialogDriver::Steps &steps, DWORD *shownForMs = nullptr)
    {
        SetTextRecorder init;
        DialogDriver driver(steps, kLimitMs);
        INT_PTR result = DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(templateId), nullptr,
                                         CountdownDialogProc, 0);
        DWORD ended = GetTickCount();
        EXPECT_FALSE(driver.timedOut()) << "the countdown was still open after " << kLimitMs << " ms";
        if (shownForMs) *shownForMs = ended - init.initDialogTick;
        // Whichever way it ended, the machine may sleep again.
        EXPECT_EQ(static_cast<EXECUTION_STATE>(ES_CONTINUOUS), SetThreadExecutionState(ES_CONTINUOUS))
            << "the countdown left the system-required state set";
        return result;
    }

    // Steps that post one command once the dialog has been open for atMs.
    static DialogDriver::Steps CommandAt(DWORD atMs, WORD command)
    {
        std::shared_ptr<bool> sent = std::make_shared<bool>(false);
        return [sent, atMs, command](HWND dialog, DWORD elapsed) {
            if (!*sent && elapsed >= atMs) {
                *sent = true;
                PostMessageW(dialog, WM_COMMAND, command, 0);
            }
        };
    }

    static HINSTANCE japanese_;
    static HINSTANCE english_;
    static HINSTANCE generic_;

private:
    HINSTANCE savedModule_ = nullptr;
    PowerSettings savedSettings_ = {};
    int savedOsKind_ = 0;
};

HINSTANCE CountdownDialogTest::japanese_ = nullptr;
HINSTANCE CountdownDialogTest::english_ = nullptr;
HINSTANCE CountdownDialogTest::generic_ = nullptr;

}  // namespace

TEST_F(CountdownDialogTest, RemainingTimeUsesTheModulesFormatsAboveAndUpToAMinute)
{
    ASSERT_NE(nullptr, english_);
    ASSERT_NE(nullptr, generic_);
    for (HINSTANCE module : {japanese_, english_, generic_}) {
        g_resourceModule = module;
        std::wstring minutesAndSeconds = ModuleString(module, IDS_REMAINING_MIN_SEC);
        std::wstring seconds = ModuleString(module, IDS_REMAINING_SEC);
        ASSERT_FALSE(minutesAndSeconds.empty());
        ASSERT_FALSE(seconds.empty());
        EXPECT_EQ(Format(minutesAndSeconds, 1, 1), Remaining(61));
        EXPECT_EQ(Format(seconds, 60), Remaining(60));
        EXPECT_EQ(Format(minutesAndSeconds, 2, 5), Remaining(125));
        EXPECT_EQ(Format(seconds, 1), Remaining(1));
        EXPECT_EQ(Format(seconds, 0), Remaining(0));
        EXPECT_EQ(Format(minutesAndSeconds, 1440, 0), Remaining(86400));
    }
    g_resourceModule = english_;
    EXPECT_EQ(L"2 min 5 s", Remaining(125));
    EXPECT_EQ(L"60 s", Remaining(60));
}

TEST_F(CountdownDialogTest, RemainingTimeFallsBackToANeutralTextWhenTheModuleCannotSupplyIt)
{
    std::wstring english = DistFolder() + L"Keldrin.Eng.dll";
    // Formats that would read a string where a number is passed, write
    // through an argument, or take one argument too many.
    AlteredModule wrong(english, {{IDS_REMAINING_MIN_SEC, L"%ls left"}, {IDS_REMAINING_SEC, L"%ld %n"}});
    AlteredModule extra(english, {{IDS_REMAINING_MIN_SEC, L"%ld:%ld:%ld"}, {IDS_REMAINING_SEC, L"%ld of %ld"}});
    AlteredModule missing(english, {{IDS_REMAINING_MIN_SEC, L""}, {IDS_REMAINING_SEC, L""}});
    ASSERT_NE(nullptr, wrong.module());
    ASSERT_NE(nullptr, extra.module());
    ASSERT_NE(nullptr, missing.module());
    ASSERT_EQ(L"%ls left", ModuleString(wrong.module(), IDS_REMAINING_MIN_SEC)) << "the altered module is not altered";
    ASSERT_EQ(L"", ModuleString(missing.module(), IDS_REMAINING_SEC));

    struct {
        const char *what;
        HINSTANCE module;
    } cases[] = {
        {"wrong conversions", wrong.module()},
        {"extra conversions", extra.module()},
        {"strings missing", missing.module()},
        {"a module without a string table", GetModuleHandleW(nullptr)},
        {"no module", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        g_resourceModule = c.module;
        std::wstring above = Remaining(125), upTo = Remaining(60);
        EXPECT_TRUE(AllDigitsOrColon(above)) << "125 s showed \"" << above << "\"";
        EXPECT_NE(std::wstring::npos, above.find(L'2'));
        EXPECT_NE(std::wstring::npos, above.find(L"05"));
        EXPECT_EQ(L"60", upTo);
        EXPECT_NE(Remaining(61), Remaining(62));
    }
}

TEST_F(CountdownDialogTest, ARemainingTimeTooLongForTheBufferIsCutNotOverflowed)
{
    std::wstring longFormat(1500, L'y');
    AlteredModule verbose(DistFolder() + L"Keldrin.Eng.dll",
                          {{IDS_REMAINING_MIN_SEC, longFormat + L" %ld %ld"}, {IDS_REMAINING_SEC, longFormat + L" %ld"}});
    ASSERT_NE(nullptr, verbose.module());
    g_resourceModule = verbose.module();
    for (int seconds : {125, 30}) {
        wchar_t buffer[1024 + 8];
        wmemset(buffer, L'#', 1024 + 8);
        RemainingTimeText(buffer, 1024, seconds);
        EXPECT_EQ(1023u, wcslen(buffer));
        EXPECT_EQ(std::wstring(1023, L'y'), std::wstring(buffer));
        EXPECT_EQ(std::wstring(8, L'#'), std::wstring(buffer + 1024, 8)) << "written past the buffer";
    }
}

TEST_F(CountdownDialogTest, EachOperationHasItsOwnCaptionAndEveryOtherCodeTheNoneCaption)
{
    for (int code = 1; code <= 9; code++) EXPECT_EQ(IDS_CAPTION_NONE + code, OperationCaptionId(code)) << code;
    for (int code : {0, 10, 11, -1, INT_MIN, INT_MAX}) EXPECT_EQ(IDS_CAPTION_NONE, OperationCaptionId(code)) << code;
}

TEST_F(CountdownDialogTest, OneSecondShowsOneThenZeroThenSwitchesTheMonitorsOff)
{
    g_settings.waitTotal = 1;
    g_settings.operation = 6;
    SetTextRecorder texts;
    ASSERT_TRUE(texts.hooked());
    EXPECT_EQ(IDOK, RunCountdown(IDD_COUNTDOWN, [](HWND, DWORD) {}));

    EXPECT_EQ(Calls{kMonitorOff}, g_powerRecorder.calls);
    std::wstring seconds = ModuleString(japanese_, IDS_REMAINING_SEC);
    EXPECT_EQ((std::vector<std::wstring>{Format(seconds, 1), Format(seconds, 0)}), texts.TextsOf(IDC_REMAINING));
    std::wstring caption = ModuleString(japanese_, IDS_CAPTION_NONE + 6);
    ASSERT_FALSE(caption.empty());
    EXPECT_EQ((std::vector<std::wstring>{caption, caption}), texts.TextsOf(IDC_OPERATION_CAPTION));
    // 100 ms to the first tick, one second to the second, and the operation
    // straight after it. (Not timed to the dialog's return: hiding a window
    // can take Wine seconds without a window manager.)
    std::vector<SetTextRecord> shown;
    for (const SetTextRecord &record : texts.records)
        if (record.controlId == IDC_REMAINING) shown.push_back(record);
    ASSERT_EQ(2u, shown.size());
    EXPECT_GE(shown[0].tick - texts.initDialogTick, 90u);
    EXPECT_LE(shown[0].tick - texts.initDialogTick, 300u);
    EXPECT_GE(shown[1].tick - texts.initDialogTick, 1090u);
    EXPECT_LE(shown[1].tick - texts.initDialogTick, 1300u);
}

// The machine "sleeps" from 300 ms to 900 ms: the program's clock ran on
// meanwhile (here, as on XP and Vista), so the resume leaves those 600 ms out;
// and the count that was about to end has a minute again for whoever woke
// the machine, instead of ending the moment it wakes.
TEST_F(CountdownDialogTest, AfterASleepTheTimeAsleepIsLeftOutAndAMinuteIsLeft)
{
    g_settings.waitTotal = 1;
    g_settings.operation = 6;
    SetTextRecorder texts;
    std::shared_ptr<int> sent = std::make_shared<int>(0);
    EXPECT_EQ(IDCANCEL, RunCountdown(IDD_COUNTDOWN, [sent, &texts](HWND dialog, DWORD elapsed) {
        if (*sent == 0 && elapsed >= 300) {
            *sent = 1;
            PostMessageW(dialog, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
        } else if (*sent == 1 && elapsed >= 900) {
            *sent = 2;
            PostMessageW(dialog, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
            PostMessageW(dialog, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
        } else if (*sent == 2 && texts.TextsOf(IDC_REMAINING).size() >= 2) {
            *sent = 3;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }));
    EXPECT_TRUE(g_powerRecorder.calls.empty()) << "the operation ran as the machine woke";
    std::vector<SetTextRecord> shown;
    for (const SetTextRecord &record : texts.records)
        if (record.controlId == IDC_REMAINING) shown.push_back(record);
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(Remaining(1), shown[0].text);
    EXPECT_EQ(Remaining(60), shown[1].text);
    EXPECT_LE(shown[0].tick - texts.initDialogTick, 300u) << "the first tick came before the sleep";
    EXPECT_GE(shown[1].tick - texts.initDialogTick, 1090u + 550u) << "the time asleep was counted";
    EXPECT_LE(shown[1].tick - texts.initDialogTick, 1300u + 600u);
}

TEST_F(CountdownDialogTest, AWaitWithoutAnOperationShowsTheNoneCaptionAndPerformsNothing)
{
    g_settings.waitTotal = 1;
    g_settings.operation = 0;
    SetTextRecorder texts;
    EXPECT_EQ(IDOK, RunCountdown(IDD_COUNTDOWN, [](HWND, DWORD) {}));
    EXPECT_TRUE(g_powerRecorder.calls.empty());
    std::vector<std::wstring> captions = texts.TextsOf(IDC_OPERATION_CAPTION);
    ASSERT_EQ(2u, captions.size());
    EXPECT_EQ(ModuleString(japanese_, IDS_CAPTION_NONE), captions[0]);
}

// Unused for a second: the watch turns into the countdown in the same window;
// a key pressed during it closes the count and the watch goes on, with
// nothing performed and the postpones greyed again.
TEST_F(CountdownDialogTest, AWatchCountsDownOnceItHoldsAndWatchesAgainWhenInputComes)
{
    g_settings.operation = 6;
    g_settings.waitTotal = 60;
    g_settings.watch.idleSec = 1;
    g_watchSystemFake.idleMs = 3600 * 1000;  // unused since long before the watch
    SetTextRecorder texts;
    std::shared_ptr<int> stage = std::make_shared<int>(0);
    auto remaining = [&texts]() { return texts.TextsOf(IDC_REMAINING); };
    EXECUTION_STATE watching = 0;  // the machine kept from sleeping by itself, the display not
    EXPECT_EQ(IDCANCEL, RunCountdown(IDD_WATCH, [stage, remaining, &watching](HWND dialog, DWORD elapsed) {
        std::vector<std::wstring> shown = remaining();
        if (!watching && elapsed >= 200) watching = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        if (*stage == 0 && !shown.empty() && shown.back() == Remaining(60)) {
            *stage = 1;
            HMENU menu = GetSystemMenu(dialog, FALSE);
            EXPECT_FALSE(GetMenuState(menu, 0x0110, MF_BYCOMMAND) & MF_GRAYED) << "no postpone while counting";
            g_watchSystemFake.idleMs = 0;  // the user is back
        } else if (*stage == 1 && shown.back() != Remaining(60) && shown.back() != Remaining(59)) {
            *stage = 2;
            HMENU menu = GetSystemMenu(dialog, FALSE);
            EXPECT_TRUE(GetMenuState(menu, 0x0110, MF_BYCOMMAND) & MF_GRAYED) << "a postpone while watching";
            SendMessageW(dialog, kTrayIconMessage, 0, MAKELPARAM(WM_CONTEXTMENU, 1));
            EXPECT_EQ(0u, g_notifyRecorder.menu.at(2).find(L"(grey) ")) << "the icon's postpones while watching";
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_LATER)));
            wchar_t title[KELDRIN_TEXT_UNITS] = {};
            GetWindowTextW(dialog, title, KELDRIN_TEXT_UNITS);
            EXPECT_EQ(title, NotifyCallsOf(NIM_MODIFY).back().text) << "the tip is not what the watch waits for";
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }));
    EXPECT_TRUE(g_powerRecorder.calls.empty());
    EXPECT_EQ(static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED), watching);
    std::vector<std::wstring> shown = texts.TextsOf(IDC_REMAINING);
    ASSERT_GE(shown.size(), 3u);
    // Idle counts from the watch's start, not from the input long before it,
    // and starts over with the key.
    WatchStatus unused = {};
    wchar_t measure[KELDRIN_TEXT_UNITS], caption[KELDRIN_TEXT_UNITS];
    WatchMeasureText(measure, COUNTOF(measure), &g_settings.watch, &unused);
    EXPECT_EQ(measure, shown.front());
    EXPECT_EQ(measure, shown.back()) << "not watching again";
    WatchCaptionText(caption, COUNTOF(caption), 6, &g_settings.watch);
    EXPECT_EQ(caption, texts.TextsOf(IDC_OPERATION_CAPTION).back());
}

TEST_F(CountdownDialogTest, CancelPerformsNothingAndRunNowPerformsAtOnce)
{
    g_settings.waitTotal = 30;
    g_settings.operation = 1;
    DWORD shownFor = 0;
    EXPECT_EQ(IDCANCEL, RunCountdown(IDD_COUNTDOWN, CommandAt(300, IDCANCEL), &shownFor));
    EXPECT_TRUE(g_powerRecorder.calls.empty());
    EXPECT_LT(shownFor, 3000u);

    ResetPowerRecorder();
    g_settings.operation = 6;
    EXPECT_EQ(IDOK, RunCountdown(IDD_COUNTDOWN, CommandAt(300, IDOK), &shownFor));
    EXPECT_EQ(Calls{kMonitorOff}, g_powerRecorder.calls);
    EXPECT_LT(shownFor, 3000u);
}

// The icon over a countdown's life: tip, notice, menus, Explorer, a click, Run now.
TEST_F(CountdownDialogTest, TheIconFollowsTheCountdownAndItsMenusCommandIt)
{
    g_resourceModule = english_;
    g_settings.waitTotal = 61;
    g_settings.operation = 6;
    SetTextRecorder texts;
    std::vector<std::vector<std::wstring>> menus;
    UINT answer = 0;
    g_notifyRecorder.choose = [&menus, &answer]() {
        menus.push_back(g_notifyRecorder.menu);
        return answer;
    };
    EXPECT_EQ(IDOK, RunCountdown(IDD_COUNTDOWN, [&](HWND dialog, DWORD) {
        size_t ticks = texts.TextsOf(IDC_REMAINING).size();
        if (ticks == 2) {  // 61, then 60
            answer = 0x0110;
            SendMessageW(dialog, kTrayIconMessage, 0, MAKELPARAM(WM_CONTEXTMENU, 1));
            answer = 0x0120;
            SendMessageW(dialog, WM_COMMAND, IDC_LATER, 0);
            g_notifyRecorder.iconThere = false;  // Explorer restarted
            SendMessageW(dialog, TaskbarCreatedMessage(), 0, 0);
            SendMessageW(dialog, TaskbarCreatedMessage(), 0, 0);
            ShowWindow(dialog, SW_MINIMIZE);
            SendMessageW(dialog, kTrayIconMessage, 0, MAKELPARAM(NIN_SELECT, 1));
            EXPECT_FALSE(IsIconic(dialog));
        } else if (ticks == 5) {  // and the tick after the postpones
            answer = IDOK;
            SendMessageW(dialog, kTrayIconMessage, 0, MAKELPARAM(WM_CONTEXTMENU, 1));
        }
    }));
    EXPECT_EQ(Calls{kMonitorOff}, g_powerRecorder.calls);
    std::vector<std::wstring> tray = {L"&Show the countdown", L"-", L"Postpone by &5 minutes", L"Postpone by &15 minutes",
                                      L"Postpone by 1 &hour", L"-", L"Run &now", L"&Cancel the countdown"};
    std::vector<std::wstring> later(tray.begin() + 2, tray.begin() + 5);
    EXPECT_EQ((std::vector<std::vector<std::wstring>>{tray, later, tray}), menus);

    auto tip = [](int seconds, const wchar_t *after) {
        wchar_t text[KELDRIN_TEXT_UNITS];
        CountdownDescription(text, COUNTOF(text), 6, seconds, -1);
        return text + std::wstring(after);
    };
    std::vector<std::wstring> tips, notices;
    for (const NotifyCall &call : NotifyCallsOf(NIM_MODIFY))
        (call.flags & NIF_INFO ? notices : tips).push_back(call.text);
    // A spurious TaskbarCreated re-sends the tip; the postpones reach it at the next tick (no product here).
    EXPECT_EQ((std::vector<std::wstring>{tip(61, L" - "), tip(60, L" - "), tip(60, L" - "), tip(20 * 60 + 59, L" - ")}),
              tips);
    EXPECT_EQ(std::vector<std::wstring>{tip(60, L". Click here to postpone or cancel it.")}, notices);
    EXPECT_EQ(3u, NotifyCallsOf(NIM_ADD).size()) << "not added again after Explorer restarted";
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), g_notifyRecorder.calls.back().message);
}

TEST_F(CountdownDialogTest, KeepsTheMachineAwakeOnlyWhileCounting)
{
    g_settings.waitTotal = 30;
    EXECUTION_STATE during = 0;
    RunCountdown(IDD_COUNTDOWN, [&during](HWND dialog, DWORD elapsed) {
        if (elapsed >= 200 && !during) {
            // Asks for what the dialog should already have asked for, and reads what it had.
            during = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    });
    EXPECT_EQ(static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED), during);
}

TEST_F(CountdownDialogTest, SwitchesTheSaverPasswordOffWhileCountingAndBackOnEveryEnding)
{
    SettingsFileScope settings;  // where the switch leaves its recovery mark
    SaverValue saver;
    g_settings.saverLockOff = 1;
    g_settings.operation = 6;
    struct {
        const char *ending;
        int wait;
        WORD command;  // 0: the count runs out
    } endings[] = {{"run now", 30, IDOK}, {"cancel", 30, IDCANCEL}, {"time up", 1, 0}};
    for (const auto &e : endings) {
        SCOPED_TRACE(e.ending);
        saver.SetText(L"1");
        g_settings.waitTotal = e.wait;
        SaverValue::Value during = {};
        bool read = false;
        RunCountdown(IDD_COUNTDOWN, [&](HWND dialog, DWORD elapsed) {
            if (!read && elapsed >= 200) {
                read = true;
                during = saver.Read();
                if (e.command) PostMessageW(dialog, WM_COMMAND, e.command, 0);
            }
        });
        ASSERT_TRUE(read);
        EXPECT_EQ(SaverValue::Text(L"0"), during) << testsupport::Describe(during);
        EXPECT_EQ(SaverValue::Text(L"1"), saver.Read()) << testsupport::Describe(saver.Read());
        EXPECT_EQ(0, g_saverLockRestore);
    }
}

// Only a "1" is switched off, and only once the recovery mark is written:
// without it a killed countdown would leave the password off for good.
TEST_F(CountdownDialogTest, LeavesTheSaverValueUnwrittenUnlessItIsOneAndMarked)
{
    SettingsFileScope settings;
    // Wine signals only writes that change the data, so the check that the
    // notification works changes it.
    SaverValue saver;
    saver.SetText(L"0");
    ASSERT_TRUE(saver.Watch());
    saver.SetText(L"1");
    ASSERT_TRUE(saver.WrittenSinceWatch()) << "registry change notification does not work here";

    struct {
        const char *what;
        int saverLockOff;
        void (*prepare)(SaverValue *);
        SettingsFileScope::Where settingsFile;  // the scratch file unless said otherwise
    } cases[] = {
        {"\"0\"", 1, [](SaverValue *s) { s->SetText(L"0"); }},
        {"absent", 1, [](SaverValue *s) { s->Delete(); }},
        {"REG_DWORD 1", 1, [](SaverValue *s) { s->SetDword(1); }},
        {"300 characters", 1, [](SaverValue *s) { s->SetText(L"1" + std::wstring(299, L'0')); }},
        {"\"10\"", 1, [](SaverValue *s) { s->SetText(L"10"); }},
        {"\"1\" with the option off", 0, [](SaverValue *s) { s->SetText(L"1"); }},
        {"\"1\" with the option 2", 2, [](SaverValue *s) { s->SetText(L"1"); }},
        {"\"1\" with the settings folder missing", 1, [](SaverValue *s) { s->SetText(L"1"); },
         SettingsFileScope::kMissingFolder},
        {"\"1\" with a settings path that does not fit", 1, [](SaverValue *s) { s->SetText(L"1"); },
         SettingsFileScope::kPathTooLong},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        settings.Use(c.settingsFile);
        c.prepare(&saver);
        SaverValue::Value before = saver.Read();
        ASSERT_TRUE(saver.Watch());
        g_settings.saverLockOff = c.saverLockOff;
        g_settings.waitTotal = 30;
        SaverValue::Value during = {};
        RunCountdown(IDD_COUNTDOWN, [&](HWND dialog, DWORD elapsed) {
            if (elapsed >= 200) {
                during = saver.Read();
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }
        });
        EXPECT_FALSE(saver.WrittenSinceWatch());
        EXPECT_EQ(before, during) << testsupport::Describe(during);
        EXPECT_EQ(before, saver.Read()) << testsupport::Describe(saver.Read());
        EXPECT_EQ(0, g_saverLockRestore);
    }
}

TEST_F(CountdownDialogTest, TheEndOfTheSessionPutsTheSaverPasswordBack)
{
    SettingsFileScope settings;
    SaverValue saver;
    saver.SetText(L"1");
    g_settings.saverLockOff = 1;
    g_settings.waitTotal = 30;
    SaverValue::Value afterQuery = {}, afterEnd = {};
    int step = 0;
    RunCountdown(IDD_COUNTDOWN, [&](HWND dialog, DWORD elapsed) {
        if (step == 0 && elapsed >= 200) {
            // A session end that was called off leaves the count running as it was.
            SendMessageW(dialog, WM_ENDSESSION, FALSE, 0);
            afterQuery = saver.Read();
            SendMessageW(dialog, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            afterEnd = saver.Read();
            step = 1;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    });
    EXPECT_EQ(SaverValue::Text(L"0"), afterQuery) << testsupport::Describe(afterQuery);
    EXPECT_EQ(SaverValue::Text(L"1"), afterEnd) << testsupport::Describe(afterEnd);
    EXPECT_EQ(SaverValue::Text(L"1"), saver.Read());
    EXPECT_TRUE(g_powerRecorder.calls.empty());
}

TEST_F(CountdownDialogTest, ColouredLookPaintsWithItsBrushesAndDeletesThemAtTheEnd)
{
    g_osKind = kWindows8Pro;
    g_settings.waitTotal = 30;
    HBRUSH dialogBrush = nullptr, staticBrush = nullptr;
    COLORREF staticText = 0, brushColour = 0;
    LONG firstStyle = 0, secondStyle = 0;
    RunCountdown(IDD_COUNTDOWN_COLOURED, [&](HWND dialog, DWORD elapsed) {
        if (elapsed < 200 || dialogBrush) return;
        HDC dc = CreateCompatibleDC(nullptr);
        dialogBrush = reinterpret_cast<HBRUSH>(
            CountdownDialogProc(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dialog)));
        staticBrush = reinterpret_cast<HBRUSH>(CountdownDialogProc(
            dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_REMAINING))));
        staticText = GetTextColor(dc);
        DeleteDC(dc);
        LOGBRUSH logBrush = {};
        if (GetObjectW(dialogBrush, sizeof logBrush, &logBrush)) brushColour = logBrush.lbColor;
        firstStyle = GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE);
        secondStyle = GetWindowLongW(GetDlgItem(dialog, IDCANCEL), GWL_STYLE);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_NE(nullptr, dialogBrush);
    EXPECT_EQ(dialogBrush, staticBrush);
    EXPECT_EQ(windows8::kBackground, brushColour);
    EXPECT_EQ(windows8::kStaticText, staticText);
    EXPECT_EQ(BS_OWNERDRAW, firstStyle & BS_TYPEMASK);
    EXPECT_EQ(BS_OWNERDRAW, secondStyle & BS_TYPEMASK);
    EXPECT_EQ(0u, GetObjectType(dialogBrush)) << "the background brush outlived the dialog";
}

TEST_F(CountdownDialogTest, OrdinaryLookLeavesTheColoursToTheSystem)
{
    g_settings.waitTotal = 30;
    INT_PTR dialogBrush = -1, staticBrush = -1;
    RunCountdown(IDD_COUNTDOWN, [&](HWND dialog, DWORD elapsed) {
        if (elapsed < 200 || dialogBrush != -1) return;
        HDC dc = GetDC(dialog);
        dialogBrush = CountdownDialogProc(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(dialog));
        staticBrush = CountdownDialogProc(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_REMAINING)));
        ReleaseDC(dialog, dc);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(0, dialogBrush);
    EXPECT_EQ(0, staticBrush);
}

TEST_F(CountdownDialogTest, MissingOrOverlongTextsFromTheModuleNeitherBreakNorOverflowTheDialog)
{
    std::wstring english = DistFolder() + L"Keldrin.Eng.dll";
    AlteredModule missing(english, {{IDS_REMAINING_SEC, L""}, {IDS_CAPTION_NONE + 6, L""}});
    AlteredModule overlong(english, {{IDS_REMAINING_SEC, std::wstring(1500, L'y') + L" %ld"},
                                     {IDS_CAPTION_NONE + 6, std::wstring(3000, L'x')}});
    ASSERT_NE(nullptr, missing.module());
    ASSERT_NE(nullptr, overlong.module());
    g_settings.waitTotal = 1;
    g_settings.operation = 6;

    g_resourceModule = missing.module();
    {
        SetTextRecorder texts;
        EXPECT_EQ(IDOK, RunCountdown(IDD_COUNTDOWN, [](HWND, DWORD) {}));
        EXPECT_EQ((std::vector<std::wstring>{L"1", L"0"}), texts.TextsOf(IDC_REMAINING));
        EXPECT_EQ((std::vector<std::wstring>{L"", L""}), texts.TextsOf(IDC_OPERATION_CAPTION));
        EXPECT_EQ(Calls{kMonitorOff}, g_powerRecorder.calls);
    }

    ResetPowerRecorder();
    g_resourceModule = overlong.module();
    {
        SetTextRecorder texts;
        EXPECT_EQ(IDOK, RunCountdown(IDD_COUNTDOWN, [](HWND, DWORD) {}));
        std::vector<std::wstring> remaining = texts.TextsOf(IDC_REMAINING);
        std::vector<std::wstring> captions = texts.TextsOf(IDC_OPERATION_CAPTION);
        ASSERT_EQ(2u, remaining.size());
        ASSERT_EQ(2u, captions.size());
        EXPECT_EQ(std::wstring(1023, L'y'), remaining[0]);
        EXPECT_EQ(std::wstring(1023, L'x'), captions[0]);
        EXPECT_EQ(Calls{kMonitorOff}, g_powerRecorder.calls);
    }
}
