// A window's icon in the notification area while it counts down or watches:
// its tooltip, the notice it gives at the last minute, the shell's callbacks,
// and adding it again when Explorer restarts. Every call goes through the
// seam of notify_system.h.
#ifndef KELDRIN_TRAY_ICON_H
#define KELDRIN_TRAY_ICON_H

#include <windows.h>

// The message the shell sends the window about its icon.
const UINT kTrayIconMessage = WM_APP + 2;

struct TrayIcon {
    HWND window;
    HICON icon;
    bool wanted;    // between TrayIconAdd and TrayIconRemove
    bool shown;     // the shell took the icon
    bool version4;  // Vista and later: NOTIFYICON_VERSION_4
    wchar_t tip[128];
};

// Adds the window's icon with tip. version4: the system knows
// NOTIFYICON_VERSION_4 (Vista and later); XP gets version 3 and the
// structure's size it knows. When the shell is not there yet, the icon comes
// with TrayIconAddAgain on its TaskbarCreated.
void TrayIconAdd(TrayIcon *tray, HWND window, HICON icon, const wchar_t *tip, bool version4);

// The tooltip; the shell is told only when the text changed.
void TrayIconSetTip(TrayIcon *tray, const wchar_t *tip);

// A balloon (a notification on Windows 10 and 11) from the icon.
void TrayIconNotice(TrayIcon *tray, const wchar_t *title, const wchar_t *text);

// TaskbarCreated: the shell (re)started and knows no icon of ours.
void TrayIconAddAgain(TrayIcon *tray);

// Gone from the notification area; safe to call again.
void TrayIconRemove(TrayIcon *tray);

// The message Explorer broadcasts when its taskbar is created.
UINT TaskbarCreatedMessage();

enum TrayEvent { kTrayEventNone, kTrayEventShow, kTrayEventMenu };

// What a kTrayIconMessage asks for: the window shown (a click, Enter on the
// icon, a click on the notice) or the menu (a right click, the menu key), with
// *at the point to open it at.
TrayEvent TrayIconEvent(const TrayIcon &tray, WPARAM wParam, LPARAM lParam, POINT *at);

// One entry of a command menu: a separator when text is null.
struct CommandMenuEntry {
    UINT command;
    const wchar_t *text;
    bool enabled;
};

// Opens a menu of entries at x, y (screen pixels), keeping out of exclude
// when given, with the first command as the default; the chosen command or 0.
UINT ShowCommandMenu(HWND window, const CommandMenuEntry *entries, int count, int x, int y, const RECT *exclude,
                     bool firstIsDefault);

#endif
