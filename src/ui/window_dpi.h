// The DPI a window is shown at, and the sizes of its icons there. Windows 10
// (1607 and later) tells each window's DPI and the metrics at any DPI; before
// it, every window of the program has the system's DPI, and the metrics are
// those of the system. XP and Vista lack the newer functions: they are looked
// up at run time.
#ifndef KELDRIN_WINDOW_DPI_H
#define KELDRIN_WINDOW_DPI_H

#include <windows.h>

// The window's DPI, or the system's where the system knows no other.
UINT WindowDpi(HWND window);

// The sizes the system asks for of a window's large and small icons at dpi
// (SM_CXICON, SM_CXSMICON).
void IconSizesForDpi(UINT dpi, int *large, int *small);

// Whether the user has high contrast on: the system's colours, not the
// program's, are to be used. It asks g_highContrastCheck, the system unless a
// test stands in for it (Wine reports high contrast off whatever it is told).
extern bool (*g_highContrastCheck)();
bool HighContrastOn();

#endif
