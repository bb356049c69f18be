#include "notify/notify_system.h"

bool NotifySystemIcon(DWORD message, NOTIFYICONDATAW *data)
{
    return Shell_NotifyIconW(message, data) != FALSE;
}

UINT NotifySystemMenu(HMENU menu, HWND window, int x, int y, const RECT *exclude)
{
    // A menu opened from the notification area closes when the user clicks
    // elsewhere only if its window is in the foreground, and the posted
    // message lets the next click reach the shell (TrackPopupMenu's remarks).
    SetForegroundWindow(window);
    TPMPARAMS params = {sizeof params, {}};
    if (exclude) params.rcExclude = *exclude;
    UINT command = static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN
                                                                | TPM_VERTICAL,
                                                      x, y, window, exclude ? &params : nullptr));
    PostMessageW(window, WM_NULL, 0, 0);
    return command;
}
