// The list of Keldrin's tasks in the Task Scheduler, with their next runs and Remove.
#ifndef KELDRIN_SCHEDULES_DIALOG_H
#define KELDRIN_SCHEDULES_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK SchedulesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void RunSchedulesDialog(HWND owner);

// The next run as the list shows it: the user's short date and time, or the
// module's word for none.
void ScheduleNextRunText(wchar_t *buffer, size_t units, bool hasNextRun, const SYSTEMTIME &nextRun);

#endif
