#include "ui/dialog_look.h"

#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "sysinfo/windows_edition.h"
#include "ui/window_dpi.h"

namespace {

const COLORREF kBackground = RGB(31, 174, 255);
const COLORREF kStaticText = RGB(255, 224, 128);
const COLORREF kFirstFace = RGB(27, 88, 184);
const COLORREF kSecondFace = RGB(255, 29, 119);
// Yellow on this purple has a contrast of 7.5:1, more than on the other two
// faces (6.3:1 and 3.4:1), and white when active 8:1.
const COLORREF kLaterFace = RGB(112, 48, 160);
const COLORREF kLaterTextActive = RGB(255, 255, 255);
// A greyed button (Later while a watch has nothing to postpone yet): legible, plainly not at hand.
const COLORREF kGreyedText = RGB(176, 144, 200);
const COLORREF kButtonText = RGB(255, 255, 0);
const COLORREF kFirstTextActive = RGB(255, 0, 0);
const COLORREF kSecondTextActive = RGB(0, 255, 255);
const UINT kActiveStates = ODS_SELECTED | ODS_FOCUS | ODS_HOTLIGHT;

// High contrast wins: the user chose the system's colours, and the dialogs get them.
bool Coloured()
{
    return IsWindows8Family(g_osKind) && !HighContrastOn();
}

}  // namespace

int CountdownTemplateId()
{
    return Coloured() ? IDD_COUNTDOWN_COLOURED : IDD_COUNTDOWN;
}

int WatchTemplateId()
{
    return Coloured() ? IDD_WATCH_COLOURED : IDD_WATCH;
}

int SelectTemplateId()
{
    return Coloured() ? IDD_SELECT_COLOURED : IDD_SELECT;
}

POINT CentredPosition(const RECT &desktop, const RECT &window)
{
    int desktopWidth = desktop.right - desktop.left;
    int desktopHeight = desktop.bottom - desktop.top;
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    POINT position = {(desktopWidth - width) / 2, (desktopHeight - height) / 2};
    return position;
}

void InitDialogFrame(HWND dialog)
{
    // A dialog owned by another window has no taskbar button of its own, and
    // the countdown opened from the main dialog is owned by it (hidden by
    // then): its time left in the title and its flashing would reach nobody.
    // Set before the dialog is first shown, which is when the taskbar looks.
    SetWindowLongPtrW(dialog, GWL_EXSTYLE, GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    SetDialogIcons(dialog, WindowDpi(dialog));
    RECT desktop = {}, window = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &window);
    POINT position = CentredPosition(desktop, window);
    SetWindowPos(dialog, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void SetDialogIcons(HWND dialog, UINT dpi)
{
    int large = 0, small = 0;
    IconSizesForDpi(dpi, &large, &small);
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(WindowIcon(large)));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(WindowIcon(small)));
}

INT_PTR DialogDpiChanged(HWND dialog, WPARAM dpis)
{
    SetDialogIcons(dialog, HIWORD(dpis));
    return FALSE;  // the system moves and rescales the dialog itself
}

void ColouredLookCreate(ColouredLook *look, HWND dialog)
{
    // The edition never changes during a run; high contrast may, and a
    // dialog that opened coloured stays so.
    LONG_PTR style = dialog ? GetWindowLongPtrW(GetDlgItem(dialog, IDOK), GWL_STYLE) : 0;
    look->coloured = IsWindows8Family(g_osKind) && (style & BS_TYPEMASK) == BS_OWNERDRAW;
    look->background = CreateSolidBrush(kBackground);
    look->firstButton = CreateSolidBrush(kFirstFace);
    look->secondButton = CreateSolidBrush(kSecondFace);
    look->laterButton = CreateSolidBrush(kLaterFace);
}

void ColouredLookDelete(ColouredLook *look)
{
    HBRUSH *brushes[] = {&look->background, &look->firstButton, &look->secondButton, &look->laterButton};
    for (HBRUSH *brush : brushes) {
        if (*brush) DeleteObject(*brush);
        *brush = nullptr;
    }
}

INT_PTR ColouredLookDrawItem(const ColouredLook &look, const DRAWITEMSTRUCT *item, const wchar_t *firstCaption,
                             const wchar_t *secondCaption, const wchar_t *laterCaption)
{
    if (!look.coloured || !item) return FALSE;
    HBRUSH face;
    const wchar_t *caption;
    COLORREF activeText;
    if (item->CtlID == IDOK) {
        face = look.firstButton;
        caption = firstCaption;
        activeText = kFirstTextActive;
    } else if (item->CtlID == IDCANCEL) {
        face = look.secondButton;
        caption = secondCaption;
        activeText = kSecondTextActive;
    } else if (item->CtlID == IDC_LATER && laterCaption) {
        face = look.laterButton;
        caption = laterCaption;
        activeText = kLaterTextActive;
    } else {
        return FALSE;
    }
    FillRect(item->hDC, &item->rcItem, face);
    SetBkMode(item->hDC, TRANSPARENT);
    COLORREF text = (item->itemState & kActiveStates) ? activeText : kButtonText;
    SetTextColor(item->hDC, (item->itemState & ODS_DISABLED) ? kGreyedText : text);
    RECT area = item->rcItem;
    DrawTextW(item->hDC, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return TRUE;
}

INT_PTR ColouredLookCtlColorDialog(const ColouredLook &look)
{
    return look.coloured ? reinterpret_cast<INT_PTR>(look.background) : FALSE;
}

INT_PTR ColouredLookCtlColorStatic(const ColouredLook &look, HDC dc)
{
    if (!look.coloured) return FALSE;
    SetTextColor(dc, kStaticText);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(look.background);
}

INT_PTR ColouredLookMessage(const ColouredLook &look, UINT message, WPARAM wParam, LPARAM lParam,
                            const wchar_t *firstCaption, const wchar_t *secondCaption, const wchar_t *laterCaption)
{
    switch (message) {
    case WM_DRAWITEM:
        return ColouredLookDrawItem(look, reinterpret_cast<const DRAWITEMSTRUCT *>(lParam), firstCaption,
                                    secondCaption, laterCaption);
    case WM_CTLCOLORDLG:
        return ColouredLookCtlColorDialog(look);
    case WM_CTLCOLORSTATIC:
        return ColouredLookCtlColorStatic(look, reinterpret_cast<HDC>(wParam));
    default:
        return FALSE;
    }
}
