// What every dialog does the same way: its icons, its place on the desktop,
// and the coloured look the countdown and select dialogs take on Windows 8.
#ifndef KELDRIN_DIALOG_LOOK_H
#define KELDRIN_DIALOG_LOOK_H

#include <windows.h>

// A taskbar button of its own, window icons from the resource module, then
// centred on the desktop and shown.
void InitDialogFrame(HWND dialog);

// The window icons at the sizes the system asks for at dpi.
void SetDialogIcons(HWND dialog, UINT dpi);

// WM_DPICHANGED (the dialog went to a monitor of another DPI): icons of the
// new sizes; the rest is the system's. The dialog procedure's result.
INT_PTR DialogDpiChanged(HWND dialog, WPARAM dpis);

// Position that centres a window of the given size on a desktop of the given
// size; signed division truncating toward zero, the desktop origin not added.
POINT CentredPosition(const RECT &desktop, const RECT &window);

// The countdown and select templates for the running Windows, wherever they
// are opened from: the coloured twins (105, 107) on the Windows 8 family only,
// since nothing but the coloured look paints their owner-drawn buttons, and
// 104 and 106 everywhere else.
int CountdownTemplateId();
int SelectTemplateId();
int WatchTemplateId();

// The coloured look: a light blue face, a dark blue first button, a pink-red
// second button and the countdown's purple Later between them, all
// owner-drawn with fixed English captions.
struct ColouredLook {
    HBRUSH background;
    HBRUSH firstButton;
    HBRUSH secondButton;
    HBRUSH laterButton;
    bool coloured;  // decided once for the dialog
};

// The look of dialog, decided once: coloured on the Windows 8 family for a
// coloured twin, whose owner-drawn buttons are blank unless the look paints
// them, whatever the user switches on meanwhile (high contrast then applies
// to the next dialog, opened from the plain template).
void ColouredLookCreate(ColouredLook *look, HWND dialog);
void ColouredLookDelete(ColouredLook *look);

// Message handling for the look. Each returns the dialog procedure's result;
// for a dialog of a plain template they return 0 and leave drawing to the system.
INT_PTR ColouredLookDrawItem(const ColouredLook &look, const DRAWITEMSTRUCT *item, const wchar_t *firstCaption,
                             const wchar_t *secondCaption, const wchar_t *laterCaption = nullptr);
INT_PTR ColouredLookCtlColorDialog(const ColouredLook &look);
INT_PTR ColouredLookCtlColorStatic(const ColouredLook &look, HDC dc);

// The three above by message, for a dialog procedure's default branch;
// FALSE for any other message.
INT_PTR ColouredLookMessage(const ColouredLook &look, UINT message, WPARAM wParam, LPARAM lParam,
                            const wchar_t *firstCaption, const wchar_t *secondCaption,
                            const wchar_t *laterCaption = nullptr);

#endif
