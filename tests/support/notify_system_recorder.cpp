#include "notify_recorder.h"

#include "notify/notify_system.h"

NotifyRecorder g_notifyRecorder;

void ResetNotifyRecorder()
{
    g_notifyRecorder = NotifyRecorder();
}

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
                                      data->uFlags & NIF_TIP ? data->szTip : L"",
                                      data->uFlags & NIF_INFO ? data->szInfoTitle : L"",
                                      data->uFlags & NIF_INFO ? data->szInfo : L""});
    NotifyRecorder &shell = g_notifyRecorder;
    if (!shell.shellThere || (message == NIM_ADD) == shell.iconThere) return false;
    if (message == NIM_ADD || message == NIM_DELETE) shell.iconThere = message == NIM_ADD;
    return true;
}

UINT NotifySystemMenu(HMENU menu, HWND window, int x, int y, const RECT *)
{
    g_notifyRecorder.menus++;
    g_notifyRecorder.menu.clear();
    g_notifyRecorder.menuAt = {x, y};
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        wchar_t text[256] = {};
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            g_notifyRecorder.menu.push_back(L"-");
            continue;
        }
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        g_notifyRecorder.menu.push_back(std::wstring(state & MF_GRAYED ? L"(grey) " : L"") + text);
    }
    return g_notifyRecorder.choose ? g_notifyRecorder.choose(window) : 0;
}
