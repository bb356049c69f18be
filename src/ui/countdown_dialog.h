// The countdown before an operation: shows the time left once a second, then
// performs g_settings.operation; run now and cancel end it early.
#ifndef KELDRIN_COUNTDOWN_DIALOG_H
#define KELDRIN_COUNTDOWN_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK CountdownDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the countdown modally from the given template (104 or 105).
void RunCountdownDialog(HWND owner, int templateId);

// A watch (g_settings.watch): the window waits for the conditions, then
// counts down; the conditions stopping to hold end the count and the watch
// goes on. Refused with a message when a program it waits for is running
// under no such name or id; one at a time with the countdowns.
void RunWatch(HWND owner);

// Ends every countdown of the program running on this desktop as its Cancel
// button would ("--cancel"); a select dialog is left alone. Waits up to 5 s
// for them to end and returns how many still count down (0: none was
// running, or all have ended).
int CancelRunningCountdowns();

// The remaining-time text for seconds: minutes and seconds above a minute,
// seconds alone up to it. A format from the module that does not take
// exactly those numbers is replaced by a neutral one.
void RemainingTimeText(wchar_t *buffer, size_t units, int seconds);

// The caption naming operation code; codes outside 1..9 get the "none" caption.
int OperationCaptionId(int operation);

// The caption of a count to atTime (seconds after midnight), "Shut down at
// 23:30", or with atTime -1 the caption of a wait, "Shut down in".
void OperationCaptionText(wchar_t *buffer, size_t units, int operation, int atTime);

// A countdown in one line, as the user sees it: "Shut down in 2 min 5 s",
// or "Shut down at 23:30 (2 min 5 s)".
void CountdownDescription(wchar_t *buffer, size_t units, int operation, int secondsLeft, int atTime);

// One countdown at a time: when a countdown of the program already runs on
// this desktop, asks the user (owner: the window asking) whether to end it
// for the one g_settings describes. Yes ends it as its Cancel would and gives
// true; No brings it to the front and gives false. True when none runs.
bool MayStartCountdown(HWND owner);

#endif
