// The notification area's two calls, behind a seam: in the program they are
// the shell's and the menu manager's own (notify_system_win32.cpp), in the
// in-process tests a recorder's, as with the power operations.
#ifndef KELDRIN_NOTIFY_SYSTEM_H
#define KELDRIN_NOTIFY_SYSTEM_H

#include <windows.h>
#include <shellapi.h>

// Shell_NotifyIconW.
bool NotifySystemIcon(DWORD message, NOTIFYICONDATAW *data);

// Shows menu for window at x, y (screen pixels) until the user chooses or
// leaves it; keeps out of exclude when given. The chosen command, 0 for none.
UINT NotifySystemMenu(HMENU menu, HWND window, int x, int y, const RECT *exclude);

#endif
