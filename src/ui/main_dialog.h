// The main dialog: operation, wait, screen-saver option and what OK does.
#ifndef KELDRIN_MAIN_DIALOG_H
#define KELDRIN_MAIN_DIALOG_H

#include <windows.h>

int ShowMainDialog(HWND owner);
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int SetSpinRange(HWND dialog, int id, int low, int high, int position);

#endif
