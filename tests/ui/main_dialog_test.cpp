// The main dialog's procedure on the real template 101 of the English module,
// created modeless so the test can look at it and drive it between messages:
// what it shows from the settings, what the read-controls command takes back,
// and what each button does that needs no nested modal dialog (those, and the
// help viewer, are driven end to end in tests/e2e/test_main_dialog.py).
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "context/app_context.h"
#include "power_recorder.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "test_support.h"
#include "watch_system_fake.h"
#include "ui/main_dialog.h"
#include "ui_test_support.h"

using testsupport::ControlText;
using testsupport::Exists;
using testsupport::MessageBoxWatcher;
using testsupport::SeenBox;
using testsupport::ShellFolder;

namespace {

const std::vector<std::string> kShutdownCalls = {
    "OpenProcessToken(0x28)",
    "LookupPrivilegeValue(SeShutdownPrivilege)",
    "AdjustTokenPrivileges(token,count=1,luid=19,attributes=2)",
    "CloseHandle(token)",
    "ExitWindowsEx(9,0x80000000)",
};

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program_.ready());
        g_settings = PowerSettings();
        ResetPowerRecorder();
    }

    void TearDown() override
    {
        if (dialog_) DestroyWindow(dialog_);
        ResetPowerRecorder();
    }

    // Opens the dialog on the settings as they are now.
    HWND Open()
    {
        dialog_ = CreateDialogParamW(g_resourceModule, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
        return dialog_;
    }

    bool Checked(int id) const { return SendDlgItemMessageW(dialog_, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

    // The ids among first..last that show checked.
    std::vector<int> CheckedIn(int first, int last) const
    {
        std::vector<int> ids;
        for (int id = first; id <= last; ++id) {
            if (Checked(id)) ids.push_back(id);
        }
        return ids;
    }

    std::wstring Text(int id) const { return ControlText(dialog_, id); }

    void Type(int id, const wchar_t *text) { SetDlgItemTextW(dialog_, id, text); }
    void Click(int id) { SendDlgItemMessageW(dialog_, id, BM_CLICK, 0, 0); }
    void Command(int id) { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void ReadControls() { SendMessageW(dialog_, WM_COMMAND, IDC_READ_CONTROLS, 0); }

    // Delivers what was posted to the dialog, as a message loop would.
    void Pump()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog_, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    uitest::MenuBuilderOff menuBuilderOff_;
    uitest::ProgramScope program_{KELDRIN_MODULE_ENG};
    HWND dialog_ = nullptr;
};

TEST_F(MainDialogTest, OpensOnTheStoredChoice)
{
    g_settings.operation = 3;
    g_settings.destination = 0;
    g_settings.waitMin = 5;
    g_settings.waitSec = 10;
    g_settings.saverLockOff = 1;
    ASSERT_NE(nullptr, Open());

    EXPECT_EQ(std::vector<int>{IDC_OP_STANDBY}, CheckedIn(IDC_OPERATION_FIRST, IDC_OPERATION_LAST));
    EXPECT_EQ(std::vector<int>{IDC_DEST_RUN}, CheckedIn(IDC_DESTINATION_FIRST, IDC_DESTINATION_LAST));
    EXPECT_EQ(L"5", Text(IDC_WAIT_MIN));
    EXPECT_EQ(L"10", Text(IDC_WAIT_SEC));
    EXPECT_FALSE(Checked(IDC_SAVER_LOCK_OFF)) << "the screen-saver option always opens off";

    std::wstring version = Text(IDC_VERSION_TEXT);
    const std::wstring head = L"Keldrin Version 1.04.01 on ";
    const std::wstring tail = L" (02/02/2013)";
    EXPECT_EQ(head, version.substr(0, head.size())) << ::testing::PrintToString(version);
    ASSERT_GE(version.size(), head.size() + tail.size());
    EXPECT_EQ(tail, version.substr(version.size() - tail.size()));
    EXPECT_EQ(std::wstring(g_app->osName), version.substr(head.size(), version.size() - head.size() - tail.size()));

    int low = -1, high = -1;
    SendDlgItemMessageW(dialog_, IDC_WAIT_SEC_SPIN, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                        reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(0, low);
    EXPECT_EQ(59, high);
    SendDlgItemMessageW(dialog_, IDC_WAIT_MIN_SPIN, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                        reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(0, low);
    EXPECT_EQ(1440, high);

    // Shown, with the module's icons, in the middle of the desktop.
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(reinterpret_cast<LRESULT>(g_iconLarge), SendMessageW(dialog_, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(g_iconSmall), SendMessageW(dialog_, WM_GETICON, ICON_SMALL, 0));
    RECT desktop, window;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog_, &window);
    EXPECT_EQ((desktop.right - desktop.left - (window.right - window.left)) / 2, window.left);
    EXPECT_EQ((desktop.bottom - desktop.top - (window.bottom - window.top)) / 2, window.top);
}

TEST_F(MainDialogTest, ChecksExactlyTheButtonOfEachCodeAndNoneOutsideTheRange)
{
    for (int code = -1; code <= 10; ++code) {
        g_settings.operation = code;
        g_settings.destination = code;
        ASSERT_NE(nullptr, Open());
        std::vector<int> operation, destination;
        if (code >= 1 && code <= 9) operation.push_back(IDC_OPERATION_FIRST + code - 1);
        if (code >= 0 && code <= 3) destination.push_back(IDC_DESTINATION_FIRST + code);
        EXPECT_EQ(operation, CheckedIn(IDC_OPERATION_FIRST, IDC_OPERATION_LAST)) << "operation " << code;
        EXPECT_EQ(destination, CheckedIn(IDC_DESTINATION_FIRST, IDC_DESTINATION_LAST)) << "destination " << code;
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

TEST_F(MainDialogTest, ReadControlsTakesWhatIsOnScreen)
{
    g_settings.operation = 3;
    g_settings.saverLockOff = 0;
    ASSERT_NE(nullptr, Open());
    Click(IDC_OP_MONITOROFF);
    Click(IDC_DEST_QUICKLAUNCH);
    Click(IDC_SAVER_LOCK_OFF);
    // Beyond the up-down ranges, as typed.
    Type(IDC_WAIT_SEC, L"90");
    Type(IDC_WAIT_MIN, L"2");
    ReadControls();
    EXPECT_EQ(6, g_settings.operation);
    EXPECT_EQ(2, g_settings.destination);
    EXPECT_EQ(90, g_settings.waitSec);
    EXPECT_EQ(2, g_settings.waitMin);
    EXPECT_EQ(210, g_settings.waitTotal);
    EXPECT_EQ(1, g_settings.saverLockOff);

    // Negative values read signed; text that is no number reads 0.
    Type(IDC_WAIT_SEC, L"-30");
    Type(IDC_WAIT_MIN, L"0");
    Click(IDC_SAVER_LOCK_OFF);
    ReadControls();
    EXPECT_EQ(-30, g_settings.waitSec);
    EXPECT_EQ(-30, g_settings.waitTotal);
    EXPECT_EQ(0, g_settings.saverLockOff);
    Type(IDC_WAIT_SEC, L"abc");
    Type(IDC_WAIT_MIN, L"");
    ReadControls();
    EXPECT_EQ(0, g_settings.waitSec);
    EXPECT_EQ(0, g_settings.waitMin);
    EXPECT_EQ(0, g_settings.waitTotal);

    // Minutes that overflow 32 bits once in seconds stop at the limit.
    Type(IDC_WAIT_MIN, L"2000000000");
    Type(IDC_WAIT_SEC, L"59");
    ReadControls();
    EXPECT_EQ(2000000000, g_settings.waitMin);
    EXPECT_EQ(INT_MAX, g_settings.waitTotal);
    Type(IDC_WAIT_MIN, L"-2000000000");
    Type(IDC_WAIT_SEC, L"-59");
    ReadControls();
    EXPECT_EQ(INT_MIN, g_settings.waitTotal);
    Type(IDC_WAIT_MIN, L"35791394");
    Type(IDC_WAIT_SEC, L"7");
    ReadControls();
    EXPECT_EQ(INT_MAX, g_settings.waitTotal) << "the largest total that fits, exactly";
    Type(IDC_WAIT_MIN, L"\xFF11\xFF10");  // full-width "10", as a Japanese input method types it
    Type(IDC_WAIT_SEC, L"0");
    ReadControls();
    EXPECT_EQ(600, g_settings.waitTotal);
}

// With no button of a group checked, the group's value stays as it was.
TEST_F(MainDialogTest, ReadControlsKeepsValuesNoButtonShows)
{
    g_settings.operation = 0;
    g_settings.destination = 7;
    ASSERT_NE(nullptr, Open());
    ReadControls();
    EXPECT_EQ(0, g_settings.operation);
    EXPECT_EQ(7, g_settings.destination);

    g_settings.operation = 42;
    g_settings.destination = -3;
    ReadControls();
    EXPECT_EQ(42, g_settings.operation);
    EXPECT_EQ(-3, g_settings.destination);
}

TEST_F(MainDialogTest, OkWithADestinationOutsideTheRangeOnlyReadsTheControls)
{
    g_settings.operation = 1;
    g_settings.destination = 5;
    g_settings.waitSec = 0;
    ASSERT_NE(nullptr, Open());
    Click(IDC_OP_REBOOT);
    MessageBoxWatcher watcher;
    Command(IDOK);
    EXPECT_TRUE(watcher.Stop(200).empty());
    EXPECT_TRUE(IsWindowVisible(dialog_)) << "the dialog stays open";
    EXPECT_EQ(2, g_settings.operation);
    EXPECT_EQ(5, g_settings.destination);
    EXPECT_TRUE(g_powerRecorder.calls.empty());

    // Once the user picks a destination, OK does it.
    Click(IDC_DEST_RUN);
    Click(IDC_OP_SHUTDOWN);
    Command(IDOK);
    EXPECT_EQ(kShutdownCalls, g_powerRecorder.calls);
}

TEST_F(MainDialogTest, OkWithoutWaitRunsTheOperationAtOnceAndEnds)
{
    g_settings.operation = 1;
    g_settings.destination = 0;
    g_settings.waitSec = 0;
    g_settings.waitMin = 0;
    ASSERT_NE(nullptr, Open());
    Command(IDOK);
    EXPECT_EQ(kShutdownCalls, g_powerRecorder.calls);
    EXPECT_FALSE(IsWindowVisible(dialog_)) << "EndDialog hides the dialog";
    DestroyWindow(dialog_);

    // No operation chosen: nothing is performed.
    ResetPowerRecorder();
    g_settings.operation = 0;
    g_settings.waitSec = 0;
    ASSERT_NE(nullptr, Open());
    Command(IDOK);
    EXPECT_TRUE(g_powerRecorder.calls.empty());
    EXPECT_EQ(0, g_settings.operation);
}

// A cleared field is no wait of 0: OK says so and performs nothing, whatever
// the destination, and the field that holds no number gets the focus.
TEST_F(MainDialogTest, OkWithAWaitFieldThatHoldsNoNumberSaysSoAndStaysOpen)
{
    struct {
        const wchar_t *minutes;
        const wchar_t *seconds;
        int destination;
        int field;  // the field that gets the focus; 0: OK goes ahead
    } cases[] = {
        {L"", L"0", DESTINATION_RUN, IDC_WAIT_MIN},
        {L"0", L"", DESTINATION_RUN, IDC_WAIT_SEC},
        {L"", L"", DESTINATION_RUN, IDC_WAIT_MIN},
        {L"five", L"10", DESTINATION_RUN, IDC_WAIT_MIN},   // pasted text
        {L"1", L"half", DESTINATION_RUN, IDC_WAIT_SEC},
        {L"-1", L"0", DESTINATION_RUN, IDC_WAIT_MIN},      // a pasted sign: not "at once"
        {L"0", L"+5", DESTINATION_RUN, IDC_WAIT_SEC},
        {L"0", L" 5", DESTINATION_RUN, IDC_WAIT_SEC},
        {L"", L"45", DESTINATION_DESKTOP, IDC_WAIT_MIN},
        {L"0", L"0", DESTINATION_RUN, 0},  // a typed 0 and 0 still runs at once
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.minutes) + L" min, " + c.seconds + L" s"));
        ResetPowerRecorder();
        g_settings.operation = 1;
        g_settings.destination = c.destination;
        ASSERT_NE(nullptr, Open());
        Type(IDC_WAIT_MIN, c.minutes);
        Type(IDC_WAIT_SEC, c.seconds);
        MessageBoxWatcher watcher;
        Command(IDOK);
        std::vector<SeenBox> boxes = watcher.Stop(100);
        if (c.field) {
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ(L"The minutes or seconds field is empty or holds something other than digits.\n"
                      L"Enter the wait in digits; for no wait, enter 0 in both.",
                      boxes[0].text);
            EXPECT_EQ(L"Keldrin", boxes[0].caption);
            EXPECT_EQ(dialog_, boxes[0].owner) << "the box keeps the dialog from a second OK";
            EXPECT_TRUE(g_powerRecorder.calls.empty());
            EXPECT_TRUE(IsWindowVisible(dialog_)) << "the dialog stays open";
            EXPECT_EQ(GetDlgItem(dialog_, c.field), GetFocus());
            EXPECT_EQ(c.minutes, Text(IDC_WAIT_MIN)) << "the fields are left as they were";
        } else {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(kShutdownCalls, g_powerRecorder.calls);
            EXPECT_FALSE(IsWindowVisible(dialog_));
        }
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

// Refused on OK, before any countdown: the user learns why while the dialog
// is still there to choose something else.
TEST_F(MainDialogTest, OkForAnOperationThisMachineCannotDoSaysWhyAndStaysOpen)
{
    const struct {
        int operation;
        bool noStandby, noHiberFile;
        const wchar_t *says;
    } cases[] = {
        {3, true, false, L"cannot stand by"},
        {4, false, true, L"powercfg /hibernate on"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation);
        ResetPowerRecorder();
        g_powerRecorder.capabilities.SystemS3 = !c.noStandby;
        g_powerRecorder.capabilities.HiberFilePresent = !c.noHiberFile;
        g_settings.operation = c.operation;
        g_settings.destination = DESTINATION_RUN;
        g_settings.waitSec = 0;  // at once, were it not refused
        ASSERT_NE(nullptr, Open());
        MessageBoxWatcher watcher;
        Command(IDOK);
        std::vector<SeenBox> boxes = watcher.Stop(100);
        ASSERT_EQ(1u, boxes.size());
        EXPECT_NE(std::wstring::npos, boxes[0].text.find(c.says)) << boxes[0].text;
        EXPECT_EQ(dialog_, boxes[0].owner);
        EXPECT_TRUE(IsWindowVisible(dialog_));
        EXPECT_TRUE(g_powerRecorder.calls.empty());
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

TEST_F(MainDialogTest, OkWithADesktopDestinationMakesTheShortcutAndStaysOpen)
{
    const std::wstring desktop = ShellFolder(CSIDL_DESKTOP);
    const std::wstring product = uitest::UseUniqueProductName();
    std::wstring link = desktop + L"\\" + product + L" Restart in 45 s.lnk";
    DeleteFileW(link.c_str());
    g_settings.operation = 2;
    g_settings.destination = 1;
    g_settings.waitSec = 45;
    ASSERT_NE(nullptr, Open());
    MessageBoxWatcher watcher;
    Command(IDOK);
    std::vector<SeenBox> boxes = watcher.Stop();
    bool made = Exists(link);
    DeleteFileW(link.c_str());
    EXPECT_TRUE(made) << ::testing::PrintToString(link);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"The shortcut has been created on the desktop.", boxes[0].text);
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(L"45", Text(IDC_WAIT_SEC)) << "the values stay as they were";
    EXPECT_EQ(std::vector<int>{IDC_OP_REBOOT}, CheckedIn(IDC_OPERATION_FIRST, IDC_OPERATION_LAST));
    EXPECT_EQ(std::vector<int>{IDC_DEST_DESKTOP}, CheckedIn(IDC_DESTINATION_FIRST, IDC_DESTINATION_LAST));

    // No operation chosen: no shortcut, no message.
    DestroyWindow(dialog_);
    g_settings.operation = 0;
    ASSERT_NE(nullptr, Open());
    MessageBoxWatcher quiet;
    Command(IDOK);
    EXPECT_TRUE(quiet.Stop(200).empty());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((desktop + L"\\" + product + L"*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a file was made";
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_TRUE(IsWindowVisible(dialog_));
}

// Each choice of when takes input in its own fields only; the watch choices
// open as they were left, with the programs running now to pick from.
TEST_F(MainDialogTest, EachChoiceOfWhenEnablesItsOwnFields)
{
    g_settings.watchChoice = WATCH_CHOICE_PROGRAM;
    g_settings.idleMin = 15;
    wcscpy(g_settings.watchProgram, L"not running yet.exe");
    // As the list opens, the running programs are offered once each, sorted
    // without regard to case, and the remembered name stays.
    g_watchSystemFake.processes = {{0, L"[System Process]"}, {4, L"b.exe"}, {8, L"A.exe"}, {9, L"a.exe"}};
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(0, SendDlgItemMessageW(dialog_, IDC_WATCH_PROGRAM, CB_GETCOUNT, 0, 0)) << "listed before it was asked";
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_WATCH_PROGRAM, CBN_DROPDOWN),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog_, IDC_WATCH_PROGRAM)));
    ResetWatchSystemFake();
    EXPECT_EQ(L"15 not running yet.exe", Text(IDC_IDLE_MIN) + L" " + Text(IDC_WATCH_PROGRAM));
    std::wstring offered;
    wchar_t item[MAX_PATH];
    for (LRESULT i = 0, count = SendDlgItemMessageW(dialog_, IDC_WATCH_PROGRAM, CB_GETCOUNT, 0, 0); i < count; i++)
        if (SendDlgItemMessageW(dialog_, IDC_WATCH_PROGRAM, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item)) > 0)
            offered += item + std::wstring(L" ");
    EXPECT_EQ(L"A.exe b.exe ", offered);

    // Each button with one of its fields: only that field takes input.
    const int choices[][2] = {{IDC_WHEN_PROGRAM, IDC_WATCH_PROGRAM}, {IDC_WHEN_WAIT, IDC_WAIT_SEC_SPIN},
                              {IDC_WHEN_AT, IDC_AT_TIME},           {IDC_WHEN_IDLE, IDC_IDLE_MIN},
                              {IDC_WHEN_QUIET, IDC_QUIET_MIN}};
    for (const auto &chosen : choices) {
        Click(chosen[0]);
        for (const auto &other : choices)
            EXPECT_EQ(other[1] == chosen[1], IsWindowEnabled(GetDlgItem(dialog_, other[1])) != FALSE) << chosen[0];
    }
}

// A watch's values the command line would refuse, and a program that is not
// running, are told on OK and nothing is done: the dialog stays open, on the
// field when its value is wrong.
TEST_F(MainDialogTest, OkWithABadWatchValueSaysWhatIsWrongAndStaysOpen)
{
    const wchar_t minutes[] = L"The minutes field is empty, holds something other than digits, or is outside 1";
    const struct {
        int button, field;  // field 0: the values were read, the program is not running
        const wchar_t *typed, *says;
        int operation;
    } rows[] = {
        {IDC_WHEN_IDLE, IDC_IDLE_MIN, L"", minutes, 1},
        {IDC_WHEN_IDLE, IDC_IDLE_MIN, L"0", minutes, 1},
        {IDC_WHEN_IDLE, IDC_IDLE_MIN, L"1441", minutes, 1},
        {IDC_WHEN_QUIET, IDC_QUIET_MIN, L"-5", minutes, 1},
        {IDC_WHEN_PROGRAM, IDC_WATCH_PROGRAM, L"", L"Enter the program to wait for", 1},
        {IDC_WHEN_PROGRAM, IDC_WATCH_PROGRAM, L"bin/ffmpeg.exe", L"\"bin/ffmpeg.exe\" cannot be the file name", 1},
        {IDC_WHEN_IDLE, IDC_OP_SELECT, L"10", L"In this version, choosing the operation when it runs", 9},
        {IDC_WHEN_PROGRAM, 0, L"nothing-runs-by-this-name.exe", L"No program \"nothing-runs-by-this-name.exe\"", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.typed)));
        g_settings = PowerSettings();
        g_settings.operation = row.operation;
        ASSERT_NE(nullptr, Open());
        Click(row.button);
        int typedInto = row.button == IDC_WHEN_IDLE ? IDC_IDLE_MIN : row.button == IDC_WHEN_QUIET ? IDC_QUIET_MIN
                                                                                                : IDC_WATCH_PROGRAM;
        Type(typedInto, row.typed);
        MessageBoxWatcher watcher;
        Command(IDOK);
        std::vector<SeenBox> boxes = watcher.Stop(100);
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(0u, boxes[0].text.find(row.says)) << ::testing::PrintToString(boxes[0].text);
        HWND field = GetDlgItem(dialog_, row.field);
        EXPECT_TRUE(!field || GetFocus() == field || IsChild(field, GetFocus()));  // a combo box's is its edit's
        EXPECT_EQ(field ? WATCH_CHOICE_NONE : WATCH_CHOICE_PROGRAM, g_settings.watchChoice);
        EXPECT_TRUE(IsWindowVisible(dialog_));
        EXPECT_TRUE(g_powerRecorder.calls.empty());
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

// OK builds the watch a command line would give, the condition and then the
// minute's countdown, here as a desktop shortcut named for it.
TEST_F(MainDialogTest, OkBuildsTheWatchOfTheChoice)
{
    std::wstring link = ShellFolder(CSIDL_DESKTOP) + L"\\" + uitest::UseUniqueProductName() +
                        L" Shut down when not used for 10 min.lnk";
    DeleteFileW(link.c_str());
    g_settings.operation = 1;
    g_settings.destination = DESTINATION_DESKTOP;
    g_settings.useAtTime = 1;
    ASSERT_NE(nullptr, Open());
    Click(IDC_WHEN_IDLE);
    Type(IDC_IDLE_MIN, L"10");
    MessageBoxWatcher watcher;
    Command(IDOK);
    watcher.Stop();
    EXPECT_TRUE(Exists(link)) << ::testing::PrintToString(link);
    DeleteFileW(link.c_str());
    const WatchConditions &watch = g_settings.watch;
    EXPECT_EQ(std::vector<int>({600, 0, 60, 0}),
              std::vector<int>({watch.idleSec, watch.programCount, g_settings.waitTotal, g_settings.useAtTime}));
}

TEST_F(MainDialogTest, CancelCloseBoxAndUpdateKeepTheEdits)
{
    g_settings.operation = 3;
    g_settings.waitMin = 5;
    g_settings.saverLockOff = 1;
    ASSERT_NE(nullptr, Open());
    Click(IDC_OP_SLEEP);
    Type(IDC_WAIT_MIN, L"12");
    Command(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_EQ(4, g_settings.operation);
    EXPECT_EQ(12, g_settings.waitMin);
    EXPECT_EQ(0, g_settings.saverLockOff) << "taken from the box, which opened off";
    EXPECT_EQ(0, g_app->updateRequested);
    DestroyWindow(dialog_);

    // The close box reaches Cancel (the dialog manager posts it).
    ASSERT_NE(nullptr, Open());
    Click(IDC_OP_REBOOT);
    SendMessageW(dialog_, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_EQ(2, g_settings.operation);
    DestroyWindow(dialog_);

    ASSERT_NE(nullptr, Open());
    Click(IDC_OP_MONITORLOCK);
    Click(IDC_SAVER_LOCK_OFF);
    Command(IDC_UPDATE);
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_EQ(1, g_app->updateRequested);
    EXPECT_EQ(7, g_settings.operation);
    EXPECT_EQ(1, g_settings.saverLockOff);
    EXPECT_TRUE(g_powerRecorder.calls.empty());
}

// The tests' own folder has no Keldrin.chm: help passes over it in silence.
TEST_F(MainDialogTest, HelpWithoutTheHelpFileDoesNothing)
{
    ASSERT_FALSE(Exists(std::wstring(g_app->programDir) + L"Keldrin.chm"));
    ASSERT_NE(nullptr, Open());
    MessageBoxWatcher watcher;
    Command(IDC_HELP_BUTTON);
    EXPECT_TRUE(watcher.Stop(200).empty());
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(0, g_app->helpInitialized) << "the help viewer was not started";
}

// Which commands the procedure claims; the notification code is not looked at.
TEST_F(MainDialogTest, ProcedureHandlesItsCommandsAndNothingElse)
{
    g_settings.destination = 9;  // OK then only reads the controls
    ASSERT_NE(nullptr, Open());
    for (WORD id : {IDOK, IDC_READ_CONTROLS, IDC_HELP_BUTTON}) {
        EXPECT_EQ(TRUE, MainDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(id, 0), 0)) << id;
        EXPECT_EQ(TRUE, MainDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), 0)) << id;
    }
    for (WORD id : {3, 5, 7, IDC_OP_SHUTDOWN, IDC_WAIT_SEC, IDC_SAVER_LOCK_OFF}) {
        EXPECT_EQ(FALSE, MainDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0)) << id;
    }
    for (UINT message : {WM_TIMER, WM_DRAWITEM, WM_CTLCOLORDLG, WM_CTLCOLORSTATIC, WM_NOTIFY}) {
        EXPECT_EQ(FALSE, MainDialogProc(dialog_, message, 0, 0)) << message;
    }
    Type(IDC_WAIT_SEC, L"33");
    MainDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(IDC_READ_CONTROLS, EN_KILLFOCUS), 0);
    EXPECT_EQ(33, g_settings.waitSec);
    EXPECT_EQ(TRUE, MainDialogProc(dialog_, WM_COMMAND, IDCANCEL, 0));
    EXPECT_EQ(TRUE, MainDialogProc(dialog_, WM_COMMAND, IDC_UPDATE, 0));
}

TEST_F(MainDialogTest, SetSpinRangeSetsRangeThenPosition)
{
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(1, SetSpinRange(dialog_, IDC_WAIT_MIN_SPIN, 0, 1440, 1440));
    EXPECT_EQ(1440, static_cast<int>(SendDlgItemMessageW(dialog_, IDC_WAIT_MIN_SPIN, UDM_GETPOS32, 0, 0)));
    EXPECT_EQ(L"1440", Text(IDC_WAIT_MIN)) << "shown in the buddy, without a thousands separator";
    EXPECT_EQ(1, SetSpinRange(dialog_, IDC_WAIT_SEC_SPIN, 0, 59, 37));
    EXPECT_EQ(L"37", Text(IDC_WAIT_SEC));
}

}  // namespace
