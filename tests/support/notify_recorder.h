// The test side of the notification area's seam: every call to the shell is
// written down, and a menu is read and answered instead of shown.
#ifndef KELDRIN_TEST_NOTIFY_RECORDER_H
#define KELDRIN_TEST_NOTIFY_RECORDER_H

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

struct NotifyCall {
    DWORD message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_SETVERSION
    UINT flags;
    DWORD size;
    UINT version;
    std::wstring tip, infoTitle, info;
};

struct NotifyRecorder {
    std::vector<NotifyCall> calls;
    // The shell as Shell_NotifyIconW finds it: running, and holding our icon
    // (an add fails while it does, a modify or a version while it does not).
    bool shellThere = true;
    bool iconThere = false;
    // The last menu shown: its entries ("-" a separator, "(grey) " before a
    // greyed one), and the point it was opened at.
    std::vector<std::wstring> menu;
    POINT menuAt = {};
    // Answers each menu: the command the user chooses (0: none); by default none.
    std::function<UINT(HWND window)> choose;
    int menus = 0;
};

extern NotifyRecorder g_notifyRecorder;

void ResetNotifyRecorder();

// The calls of one kind, in order.
std::vector<NotifyCall> NotifyCallsOf(DWORD message);

#endif
