// The notification area's seam in the tests: shell calls written down, menus read and answered.
#ifndef KELDRIN_TEST_NOTIFY_RECORDER_H
#define KELDRIN_TEST_NOTIFY_RECORDER_H

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

struct NotifyCall {
    DWORD message;
    UINT flags;
    DWORD size;
    UINT version;
    std::wstring text;  // the tip, or the notice
};

struct NotifyRecorder {
    std::vector<NotifyCall> calls;
    bool shellThere = true;
    bool iconThere = false;  // an add fails while it is, a modify while it is not
    std::vector<std::wstring> menu;  // the last one's entries: "-" a separator, "(grey) " before a greyed one
    std::function<UINT()> choose;    // the command chosen in each menu; none without
};

extern NotifyRecorder g_notifyRecorder;

inline void ResetNotifyRecorder() { g_notifyRecorder = NotifyRecorder(); }
std::vector<NotifyCall> NotifyCallsOf(DWORD message);

#endif
