// The select dialog run for real from the shipped Japanese module, in this
// process: the list it opens on, what OK stores, saves and performs (power
// calls go to the recorder, the settings to a scratch file), what Cancel
// leaves alone, and its brushes.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "dialog_driver.h"
#include "power_recorder.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "sysinfo/windows_edition.h"
#include "test_support.h"
#include "ui/select_dialog.h"
#include "ui_test_support.h"

namespace windows8 = testsupport::windows8;

namespace {

using testsupport::ControlText;
using testsupport::DialogDriver;
using testsupport::DistFolder;
using testsupport::Exists;
using testsupport::ModuleString;
using testsupport::UniqueTempPath;
using testsupport::WindowText;

typedef std::vector<std::string> Calls;

const DWORD kLimitMs = 10000;
const int kWindows7Professional = 19;
const int kWindows8 = 25;
const Calls kHibernate = {
    "OpenProcessToken(0x28)",
    "LookupPrivilegeValue(SeShutdownPrivilege)",
    "AdjustTokenPrivileges(token,count=1,luid=19,attributes=2)",
    "CloseHandle(token)",
    "SetSystemPowerState(0,1)",
};

// What the test saw of the open dialog.
struct Seen {
    bool seen = false;
    LRESULT currentEntry = -2;
    std::wstring listText;
    std::wstring versionText;
    std::vector<std::wstring> entries;
    LONG listStyle = 0;
};

class SelectDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program_.ready()) << "Keldrin.Jpn.dll not found in " << DistFolder();
        savedSettings_ = g_settings;
        savedOsKind_ = g_osKind;
        g_osKind = kWindows7Professional;
        g_settings = PowerSettings();
        // The settings file in a scratch place of this test's own.
        iniPath_ = UniqueTempPath(L"keldrin-select", L".ini");
        DeleteFileW(iniPath_.c_str());
        OwnedStringSet(&g_app->iniPath, iniPath_.c_str());
        ResetPowerRecorder();
    }
    void TearDown() override
    {
        DeleteFileW(iniPath_.c_str());
        g_settings = savedSettings_;
        g_osKind = savedOsKind_;
    }

    // Runs the dialog; once it is open the test looks at it, then steps()
    // drives it to its end. Returns the dialog's result.
    INT_PTR RunSelect(int templateId, const std::function<void(HWND dialog)> &steps, Seen *seen)
    {
        bool done = false;
        DialogDriver driver(
            [&](HWND dialog, DWORD elapsed) {
                if (done || elapsed < 100) return;
                done = true;
                HWND list = GetDlgItem(dialog, IDC_SELECT_LIST);
                seen->seen = true;
                seen->currentEntry = SendMessageW(list, CB_GETCURSEL, 0, 0);
                seen->listText = WindowText(list);
                seen->versionText = ControlText(dialog, IDC_VERSION_TEXT);
                seen->listStyle = GetWindowLongW(list, GWL_STYLE);
                LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
                for (LRESULT i = 0; i < count; i++) {
                    wchar_t text[1024] = {};
                    if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) < 1024)
                        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                    seen->entries.push_back(text);
                }
                steps(dialog);
            },
            kLimitMs);
        INT_PTR result =
            DialogBoxParamW(g_resourceModule, MAKEINTRESOURCEW(templateId), nullptr, SelectDialogProc, 0);
        EXPECT_FALSE(driver.timedOut()) << "the select dialog was still open after " << kLimitMs << " ms";
        EXPECT_TRUE(seen->seen);
        return result;
    }

    // A choice made as the user makes it: the list changes, and the dialog
    // hears of it through CBN_SELCHANGE.
    static void Choose(HWND dialog, int entry)
    {
        HWND list = GetDlgItem(dialog, IDC_SELECT_LIST);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SELECT_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }

    // Steps that choose an entry and then press a button.
    static std::function<void(HWND)> ChooseAndPress(int entry, WORD button)
    {
        return [entry, button](HWND dialog) {
            Choose(dialog, entry);
            PostMessageW(dialog, WM_COMMAND, button, 0);
        };
    }

    int IniValue(const wchar_t *key) const
    {
        return static_cast<int>(GetPrivateProfileIntW(g_app->productName, key, -99, iniPath_.c_str()));
    }
    bool IniExists() const { return Exists(iniPath_); }

    // The program as start-up leaves it, with the Japanese module.
    uitest::ProgramScope program_{KELDRIN_MODULE_JPN};
    std::wstring iniPath_;

private:
    PowerSettings savedSettings_ = {};
    int savedOsKind_ = 0;
};

}  // namespace

TEST_F(SelectDialogTest, OpensOnTheSavedChoiceAndOkStoresSavesAndPerformsIt)
{
    g_settings.selection = 4;
    g_settings.operation = 9;
    g_settings.waitMin = 1;  // a wait does not bring the countdown in
    Seen seen;
    EXPECT_EQ(IDOK, RunSelect(IDD_SELECT, [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); }, &seen));

    EXPECT_EQ(4, seen.currentEntry);
    EXPECT_EQ(ModuleString(g_resourceModule, IDS_OPERATION_NAME_FIRST + 4), seen.listText);
    EXPECT_EQ(std::wstring(g_app->productName) + L" Version 1.04.01", seen.versionText);
    EXPECT_EQ(L"Keldrin Version 1.04.01", seen.versionText);

    EXPECT_EQ(4, g_settings.selection);
    EXPECT_EQ(4, g_settings.operation);
    EXPECT_EQ(4, IniValue(L"PowerSelection"));
    EXPECT_EQ(4, IniValue(L"PowerOperation"));
    EXPECT_EQ(1, IniValue(L"PowerWaitMin"));
    EXPECT_EQ(kHibernate, g_powerRecorder.calls);
}

TEST_F(SelectDialogTest, AnOperationThisMachineCannotDoIsRefusedAndTheListStays)
{
    g_powerRecorder.capabilities.HiberFilePresent = FALSE;
    g_settings.selection = 4;
    Seen seen;
    testsupport::MessageBoxWatcher watcher;
    EXPECT_EQ(IDCANCEL, RunSelect(IDD_SELECT, [](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // returns once the box is answered
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }, &seen));
    std::vector<testsupport::SeenBox> boxes = watcher.Stop();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::wstring::npos, boxes[0].text.find(L"powercfg /hibernate on")) << boxes[0].text;
    EXPECT_TRUE(g_powerRecorder.calls.empty());
    EXPECT_FALSE(IniExists()) << "nothing saved";
}

TEST_F(SelectDialogTest, ListsTheNineOperationsInCodeOrderUnsorted)
{
    Seen seen;
    RunSelect(IDD_SELECT, [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }, &seen);
    ASSERT_EQ(9u, seen.entries.size());
    for (int code = 0; code <= 8; code++)
        EXPECT_EQ(ModuleString(g_resourceModule, IDS_OPERATION_NAME_FIRST + code), seen.entries[code]) << "entry " << code;
    EXPECT_EQ(0, seen.listStyle & CBS_SORT);
    EXPECT_EQ(CBS_DROPDOWNLIST, seen.listStyle & 3);
}

TEST_F(SelectDialogTest, TheNoneEntryIsStoredAndSavedButPerformsNothing)
{
    g_settings.selection = 4;
    g_settings.operation = 9;
    Seen seen;
    EXPECT_EQ(IDOK, RunSelect(IDD_SELECT, ChooseAndPress(0, IDOK), &seen));
    EXPECT_EQ(0, g_settings.selection);
    EXPECT_EQ(0, g_settings.operation);
    EXPECT_EQ(0, IniValue(L"PowerSelection"));
    EXPECT_EQ(0, IniValue(L"PowerOperation"));
    EXPECT_TRUE(g_powerRecorder.calls.empty());
}

TEST_F(SelectDialogTest, OnlyASelectionChangeIsTakenAsTheChoice)
{
    g_settings.selection = 4;
    Seen seen;
    RunSelect(IDD_SELECT,
              [](HWND dialog) {
                  HWND list = GetDlgItem(dialog, IDC_SELECT_LIST);
                  SendMessageW(list, CB_SETCURSEL, 6, 0);
                  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SELECT_LIST, CBN_DROPDOWN),
                               reinterpret_cast<LPARAM>(list));
                  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
              },
              &seen);
    EXPECT_EQ(4, g_settings.selection);
    EXPECT_EQ(4, g_settings.operation);
    EXPECT_EQ(kHibernate, g_powerRecorder.calls);
}

TEST_F(SelectDialogTest, CancelChangesNothingAndSavesNothing)
{
    g_settings.selection = 3;
    g_settings.operation = 7;
    Seen seen;
    EXPECT_EQ(IDCANCEL, RunSelect(IDD_SELECT, ChooseAndPress(6, IDCANCEL), &seen));
    EXPECT_EQ(3, seen.currentEntry);
    EXPECT_EQ(3, g_settings.selection);
    EXPECT_EQ(7, g_settings.operation);
    EXPECT_FALSE(IniExists());
    EXPECT_TRUE(g_powerRecorder.calls.empty());
}

TEST_F(SelectDialogTest, ASavedChoiceOutsideTheListSelectsNothingAndOkKeepsIt)
{
    g_settings.selection = 12;
    Seen seen;
    RunSelect(IDD_SELECT, [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); }, &seen);
    EXPECT_EQ(CB_ERR, seen.currentEntry);
    EXPECT_EQ(L"", seen.listText);
    EXPECT_EQ(12, g_settings.selection);
    EXPECT_EQ(12, g_settings.operation);
    EXPECT_EQ(12, IniValue(L"PowerSelection"));
    EXPECT_TRUE(g_powerRecorder.calls.empty());
}

TEST_F(SelectDialogTest, ColouredLookOnWindows8PaintsWithBrushesThatEndWithTheDialog)
{
    for (WORD ending : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(ending == IDOK ? "OK" : "Cancel");
        g_osKind = kWindows8;
        g_settings.selection = 0;
        HBRUSH brush = nullptr;
        COLORREF colour = 0, staticText = 0;
        LONG okStyle = 0;
        Seen seen;
        RunSelect(IDD_SELECT_COLOURED,
                  [&](HWND dialog) {
                      HDC dc = CreateCompatibleDC(nullptr);
                      brush = reinterpret_cast<HBRUSH>(SelectDialogProc(
                          dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dialog)));
                      SelectDialogProc(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VERSION_TEXT)));
                      staticText = GetTextColor(dc);
                      DeleteDC(dc);
                      LOGBRUSH logBrush = {};
                      if (GetObjectW(brush, sizeof logBrush, &logBrush)) colour = logBrush.lbColor;
                      okStyle = GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE);
                      PostMessageW(dialog, WM_COMMAND, ending, 0);
                  },
                  &seen);
        ASSERT_NE(nullptr, brush);
        EXPECT_EQ(windows8::kBackground, colour);
        EXPECT_EQ(windows8::kStaticText, staticText);
        EXPECT_EQ(BS_OWNERDRAW, okStyle & BS_TYPEMASK);
        EXPECT_EQ(0u, GetObjectType(brush)) << "the background brush outlived the dialog";
    }
}

TEST_F(SelectDialogTest, OutsideWindows8TheColouredTemplateIsLeftToTheSystem)
{
    // The main dialog shows template 107 on every edition.
    INT_PTR dialogBrush = -1, staticBrush = -1, drawn = -1;
    Seen seen;
    RunSelect(IDD_SELECT_COLOURED,
              [&](HWND dialog) {
                  HDC dc = CreateCompatibleDC(nullptr);
                  dialogBrush = SelectDialogProc(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(dialog));
                  staticBrush = SelectDialogProc(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VERSION_TEXT)));
                  DRAWITEMSTRUCT item = {};
                  item.CtlType = ODT_BUTTON;
                  item.CtlID = IDOK;
                  item.hwndItem = GetDlgItem(dialog, IDOK);
                  item.hDC = dc;
                  SetRect(&item.rcItem, 0, 0, 20, 10);
                  drawn = SelectDialogProc(dialog, WM_DRAWITEM, IDOK, reinterpret_cast<LPARAM>(&item));
                  DeleteDC(dc);
                  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
              },
              &seen);
    EXPECT_EQ(0, dialogBrush);
    EXPECT_EQ(0, staticBrush);
    EXPECT_EQ(0, drawn);
}
