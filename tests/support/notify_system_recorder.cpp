#include "notify_recorder.h"

#include "notify/notify_system.h"

NotifyRecorder g_notifyRecorder;

std::vector<NotifyCall> NotifyCallsOf(DWORD message)
{
    std::vector<NotifyCall> found;
    for (const NotifyCall &call : g_notifyRecorder.calls)
        if (call.message == message) found.push_back(call);
    return found;
}

bool NotifySystemIcon(DWORD message, NOTIFYICONDATAW *data)
{
    g_notifyRecorder.calls.push_back({message, data->uFlags, data->cbSize, data->uVersion,
                                      data->uFlags & NIF_INFO ? data->szInfo : (data->uFlags & NIF_TIP ? data->szTip : L"")});
    if (!g_notifyRecorder.shellThere || (message == NIM_ADD) == g_notifyRecorder.iconThere) return false;
    if (message == NIM_ADD || message == NIM_DELETE) g_notifyRecorder.iconThere = message == NIM_ADD;
    return true;
}

UINT NotifySystemMenu(HMENU menu, HWND, int, int, const RECT *)
{
    g_notifyRecorder.menu.clear();
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        wchar_t text[256] = {};
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        g_notifyRecorder.menu.push_back(state & MF_SEPARATOR ? L"-" : (state & MF_GRAYED ? L"(grey) " : L"") + std::wstring(text));
    }
    return g_notifyRecorder.choose ? g_notifyRecorder.choose() : 0;
}
