#include "notify/tray_icon.h"

#include "base/owned_string.h"
#include "notify/notify_system.h"

#include <wchar.h>

#include <windowsx.h>

namespace {

const UINT kIconId = 1;
UINT g_taskbarCreated = 0;

// XP's shell rejects a structure of the size Vista introduced.
NOTIFYICONDATAW Data(const TrayIcon &tray, UINT flags)
{
    NOTIFYICONDATAW data = {};
    data.cbSize = tray.version4 ? sizeof data : NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = tray.window;
    data.uID = kIconId;
    data.uFlags = flags;
    return data;
}

bool Add(TrayIcon *tray)
{
    // With version 4 the shell draws the standard tooltip only when asked to.
    NOTIFYICONDATAW data = Data(*tray, NIF_MESSAGE | NIF_ICON | NIF_TIP | (tray->version4 ? NIF_SHOWTIP : 0));
    data.uCallbackMessage = kTrayIconMessage;
    data.hIcon = tray->icon;
    CopyText(data.szTip, sizeof data.szTip / sizeof data.szTip[0], tray->tip);
    // A TaskbarCreated without a restart (the shell sends it on other
    // occasions too) finds the icon still there: it is brought up to date.
    if (!NotifySystemIcon(NIM_ADD, &data) && !NotifySystemIcon(NIM_MODIFY, &data)) return false;
    data.uVersion = tray->version4 ? NOTIFYICON_VERSION_4 : NOTIFYICON_VERSION;
    NotifySystemIcon(NIM_SETVERSION, &data);
    return true;
}

}  // namespace

void TrayIconAdd(TrayIcon *tray, HWND window, HICON icon, const wchar_t *tip, bool version4)
{
    tray->window = window;
    tray->icon = icon;
    tray->version4 = version4;
    tray->wanted = true;
    CopyText(tray->tip, sizeof tray->tip / sizeof tray->tip[0], tip);
    tray->shown = Add(tray);
}

void TrayIconSetTip(TrayIcon *tray, const wchar_t *tip)
{
    wchar_t cut[sizeof tray->tip / sizeof tray->tip[0]];
    CopyText(cut, sizeof cut / sizeof cut[0], tip);
    if (!tray->wanted || wcscmp(cut, tray->tip) == 0) return;
    CopyText(tray->tip, sizeof tray->tip / sizeof tray->tip[0], cut);
    if (!tray->shown) return;
    NOTIFYICONDATAW data = Data(*tray, NIF_TIP | (tray->version4 ? NIF_SHOWTIP : 0));
    CopyText(data.szTip, sizeof data.szTip / sizeof data.szTip[0], tray->tip);
    NotifySystemIcon(NIM_MODIFY, &data);
}

void TrayIconNotice(TrayIcon *tray, const wchar_t *title, const wchar_t *text)
{
    if (!tray->shown) return;
    NOTIFYICONDATAW data = Data(*tray, NIF_INFO);
    CopyText(data.szInfoTitle, sizeof data.szInfoTitle / sizeof data.szInfoTitle[0], title);
    CopyText(data.szInfo, sizeof data.szInfo / sizeof data.szInfo[0], text);
    data.dwInfoFlags = NIIF_INFO;
    data.uTimeout = 30000;  // XP only; later systems take the user's accessibility setting
    NotifySystemIcon(NIM_MODIFY, &data);
}

void TrayIconAddAgain(TrayIcon *tray)
{
    if (tray->wanted) tray->shown = Add(tray);
}

void TrayIconRemove(TrayIcon *tray)
{
    if (tray->shown) {
        NOTIFYICONDATAW data = Data(*tray, 0);
        NotifySystemIcon(NIM_DELETE, &data);
    }
    tray->shown = tray->wanted = false;
}

UINT TaskbarCreatedMessage()
{
    if (!g_taskbarCreated) g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    return g_taskbarCreated;
}

TrayEvent TrayIconEvent(const TrayIcon &tray, WPARAM wParam, LPARAM lParam, POINT *at)
{
    // Version 4 puts the event in the low word and the anchor in wParam;
    // version 3 the event alone, the anchor being where the mouse is.
    switch (LOWORD(lParam)) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case NIN_BALLOONUSERCLICK:
        return kTrayEventShow;
    case WM_CONTEXTMENU:
        if (tray.version4) {
            at->x = GET_X_LPARAM(wParam);
            at->y = GET_Y_LPARAM(wParam);
        } else {
            GetCursorPos(at);
        }
        return kTrayEventMenu;
    default:
        return kTrayEventNone;
    }
}

UINT ShowCommandMenu(HWND window, const CommandMenuEntry *entries, int count, int x, int y, const RECT *exclude,
                     bool firstIsDefault)
{
    HMENU menu = CreatePopupMenu();
    if (!menu) return 0;
    for (int i = 0; i < count; i++) {
        if (!entries[i].text)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING | (entries[i].enabled ? MF_ENABLED : MF_GRAYED), entries[i].command,
                        entries[i].text);
    }
    if (firstIsDefault && count > 0) SetMenuDefaultItem(menu, entries[0].command, FALSE);
    UINT command = NotifySystemMenu(menu, window, x, y, exclude);
    DestroyMenu(menu);
    return command;
}
