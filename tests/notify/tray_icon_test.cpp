// The icon as the shell is told of it on each system version (the recorder's shell).
#include <gtest/gtest.h>

#include "notify/tray_icon.h"
#include "notify_recorder.h"

TEST(TrayIcon, EachSystemGetsItsStructureVersionAndMenuPoint)
{
    for (bool version4 : {true, false}) {
        ResetNotifyRecorder();
        TrayIcon tray = {};
        TrayIconAdd(&tray, nullptr, nullptr, L"tip", version4);
        ASSERT_EQ(2u, g_notifyRecorder.calls.size());
        EXPECT_EQ(version4 ? sizeof(NOTIFYICONDATAW) : NOTIFYICONDATAW_V3_SIZE, g_notifyRecorder.calls[0].size);
        EXPECT_EQ(version4, (g_notifyRecorder.calls[0].flags & NIF_SHOWTIP) != 0) << "no tooltip on version 4";
        EXPECT_EQ(version4 ? NOTIFYICON_VERSION_4 : NOTIFYICON_VERSION, g_notifyRecorder.calls[1].version);
        // Version 4 anchors the menu where the shell says (negative left of the primary monitor).
        POINT at = {};
        EXPECT_EQ(kTrayEventMenu, TrayIconEvent(tray, MAKEWPARAM(-20, 300), MAKELPARAM(WM_CONTEXTMENU, 1), &at));
        EXPECT_TRUE(!version4 || at.x == -20) << at.x;
    }
}
