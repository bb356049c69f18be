// A message of the resource module in a message box, the product's name as
// its caption: what every refusal and question of the program shows.
#ifndef KELDRIN_NOTICE_H
#define KELDRIN_NOTICE_H

#include <windows.h>

// Shows string messageId formatted with the texts given (none, first, or
// first and second), or fallback when the module has no such string or its
// format does not take exactly those texts; fallback takes the same. type is
// MessageBoxW's; returns its answer.
int ShowNotice(HWND owner, UINT type, int messageId, const wchar_t *fallback, const wchar_t *first = nullptr,
               const wchar_t *second = nullptr);

// Whether this machine cannot do the operation (standby with no standby of
// any kind, hibernate with hibernation off): the user is told why before
// anything counts down, and nothing is performed.
bool RefusedOnThisMachine(HWND owner, int operation);

// Whether a program the watch waits for answers to nothing running (a typo
// must never mean "at once"): the user is told which, and nothing starts.
struct WatchConditions;
bool RefusedAsNothingToWaitFor(HWND owner, const WatchConditions &conditions);

// What registering or removing a task came to, when there is anything to say.
struct ScheduleAnswer;
void ShowScheduleAnswer(HWND owner, const ScheduleAnswer &answer);

#endif
