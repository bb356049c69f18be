// The select dialog: the user picks the operation at the moment it is to run.
#ifndef KELDRIN_SELECT_DIALOG_H
#define KELDRIN_SELECT_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK SelectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the select dialog modally from the given template (106 or 107).
void RunSelectDialog(HWND owner, int templateId);

#endif
