// A text control that screen readers read out by themselves when told it
// changed: a polite live region of UI Automation (Windows 8 and later), set up
// through the accessibility property service, which the system creates on
// request, so nothing is imported that older systems lack.
#ifndef KELDRIN_BASE_LIVE_REGION_H
#define KELDRIN_BASE_LIVE_REGION_H

#include <windows.h>

// Marks control as a polite live region; true when the system took it.
// COM must be initialised on the thread.
bool LiveRegionCreate(HWND control);

// Tells screen readers the control's text changed and is worth reading out.
void LiveRegionChanged(HWND control);

// Takes the mark off again (before the control goes).
void LiveRegionRemove(HWND control);

#endif
