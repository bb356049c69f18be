// The icon in the notification area as the shell is told of it: what each
// system version gets, when the tooltip is sent, the notice, Explorer's
// restart, and the callbacks decoded. The shell is the recorder's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "notify/tray_icon.h"
#include "notify_recorder.h"

namespace {

HWND const kWindow = reinterpret_cast<HWND>(0x1234);
HICON const kIcon = reinterpret_cast<HICON>(0x5678);

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override { ResetNotifyRecorder(); }
    TrayIcon tray_ = {};
};

}  // namespace

TEST_F(TrayIconTest, EachSystemGetsTheStructureAndVersionItKnows)
{
    struct {
        bool version4;
        DWORD size;
        UINT flags;
        UINT version;
    } rows[] = {
        {true, sizeof(NOTIFYICONDATAW), NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP, NOTIFYICON_VERSION_4},
        {false, NOTIFYICONDATAW_V3_SIZE, NIF_MESSAGE | NIF_ICON | NIF_TIP, NOTIFYICON_VERSION},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.version4);
        ResetNotifyRecorder();
        TrayIcon tray = {};
        TrayIconAdd(&tray, kWindow, kIcon, L"Shut down in 5 min - Keldrin", row.version4);
        ASSERT_EQ(2u, g_notifyRecorder.calls.size());
        const NotifyCall &add = g_notifyRecorder.calls[0];
        EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
        EXPECT_EQ(row.size, add.size);
        EXPECT_EQ(row.flags, add.flags);
        EXPECT_EQ(L"Shut down in 5 min - Keldrin", add.tip);
        EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), g_notifyRecorder.calls[1].message);
        EXPECT_EQ(row.version, g_notifyRecorder.calls[1].version);
        EXPECT_EQ(row.size, g_notifyRecorder.calls[1].size);
    }
}

TEST_F(TrayIconTest, TheTipIsSentOnlyWhenItChangesAndCutToTheShellsSize)
{
    TrayIconAdd(&tray_, kWindow, kIcon, L"one", true);
    g_notifyRecorder.calls.clear();
    TrayIconSetTip(&tray_, L"one");
    EXPECT_TRUE(g_notifyRecorder.calls.empty()) << "an unchanged tip was sent";
    std::wstring longTip(300, L'x');
    TrayIconSetTip(&tray_, longTip.c_str());
    TrayIconSetTip(&tray_, longTip.c_str());
    ASSERT_EQ(1u, g_notifyRecorder.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_notifyRecorder.calls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_TIP | NIF_SHOWTIP), g_notifyRecorder.calls[0].flags);
    EXPECT_EQ(longTip.substr(0, 127), g_notifyRecorder.calls[0].tip);
}

TEST_F(TrayIconTest, TheNoticeComesFromTheIconWithItsTitleAndText)
{
    TrayIconAdd(&tray_, kWindow, kIcon, L"tip", true);
    TrayIconNotice(&tray_, L"Keldrin", L"Shut down in 60 sec.");
    std::vector<NotifyCall> modifies = NotifyCallsOf(NIM_MODIFY);
    ASSERT_EQ(1u, modifies.size());
    EXPECT_EQ(static_cast<UINT>(NIF_INFO), modifies[0].flags);
    EXPECT_EQ(L"Keldrin", modifies[0].infoTitle);
    EXPECT_EQ(L"Shut down in 60 sec.", modifies[0].info);
}

// No shell at the start: nothing is sent until Explorer announces itself,
// and then the icon comes with the tip it has by then.
TEST_F(TrayIconTest, WithoutAShellTheIconComesWithTaskbarCreated)
{
    g_notifyRecorder.shellThere = false;
    TrayIconAdd(&tray_, kWindow, kIcon, L"first", true);
    g_notifyRecorder.calls.clear();
    TrayIconSetTip(&tray_, L"later");
    TrayIconNotice(&tray_, L"Keldrin", L"text");
    EXPECT_TRUE(g_notifyRecorder.calls.empty());

    g_notifyRecorder.shellThere = true;
    TrayIconAddAgain(&tray_);
    ASSERT_EQ(1u, NotifyCallsOf(NIM_ADD).size());
    EXPECT_EQ(L"later", NotifyCallsOf(NIM_ADD)[0].tip);
    EXPECT_TRUE(g_notifyRecorder.iconThere);
}

// Explorer restarted: the icon is added again; a TaskbarCreated without a
// restart finds it there and brings it up to date instead.
TEST_F(TrayIconTest, TaskbarCreatedAddsAgainOrModifiesAndRemoveIsOnce)
{
    TrayIconAdd(&tray_, kWindow, kIcon, L"tip", true);
    g_notifyRecorder.iconThere = false;  // the shell restarted
    TrayIconAddAgain(&tray_);
    EXPECT_EQ(2u, NotifyCallsOf(NIM_ADD).size());
    EXPECT_TRUE(g_notifyRecorder.iconThere);
    TrayIconAddAgain(&tray_);
    EXPECT_EQ(1u, NotifyCallsOf(NIM_MODIFY).size());

    TrayIconRemove(&tray_);
    TrayIconRemove(&tray_);
    TrayIconAddAgain(&tray_);  // a late TaskbarCreated brings back no icon
    EXPECT_EQ(1u, NotifyCallsOf(NIM_DELETE).size());
    EXPECT_EQ(3u, NotifyCallsOf(NIM_ADD).size());
    EXPECT_FALSE(g_notifyRecorder.iconThere);
}

TEST_F(TrayIconTest, CallbacksDecodeToShowOrMenuAtTheirPoint)
{
    struct {
        bool version4;
        LPARAM lParam;
        TrayEvent event;
    } rows[] = {
        {true, MAKELPARAM(NIN_SELECT, 1), kTrayEventShow},
        {true, MAKELPARAM(NIN_KEYSELECT, 1), kTrayEventShow},
        {true, MAKELPARAM(NIN_BALLOONUSERCLICK, 1), kTrayEventShow},
        {true, MAKELPARAM(WM_CONTEXTMENU, 1), kTrayEventMenu},
        {true, MAKELPARAM(WM_MOUSEMOVE, 1), kTrayEventNone},
        {true, MAKELPARAM(NIN_BALLOONTIMEOUT, 1), kTrayEventNone},
        {false, WM_CONTEXTMENU, kTrayEventMenu},
        {false, WM_RBUTTONUP, kTrayEventNone},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.version4 << " " << LOWORD(row.lParam));
        TrayIcon tray = {};
        tray.version4 = row.version4;
        POINT at = {-1, -1};
        EXPECT_EQ(row.event, TrayIconEvent(tray, MAKEWPARAM(300, -20), row.lParam, &at));
        // Version 4 anchors the menu where the shell says (a second monitor
        // to the left has negative coordinates).
        if (row.event == kTrayEventMenu && row.version4) {
            EXPECT_EQ(300, at.x);
            EXPECT_EQ(-20, at.y);
        }
    }
}
