// What a watch shows while it waits: the caption naming the operation and
// what it waits for, the live measure, the window title.
#ifndef KELDRIN_WATCH_VIEW_H
#define KELDRIN_WATCH_VIEW_H

#include <stddef.h>

#include "watch/watch_conditions.h"
#include "watch/watch_rules.h"

// "Shut down when the computer has not been used for 10 min", conditions
// given together joined: all of them must hold.
void WatchCaptionText(wchar_t *buffer, size_t units, int operation, const WatchConditions *conditions);

// "Not used for 2 min 5 s", "ffmpeg.exe: 2 running", "Processor 3 %, network
// 12 KB/s, quiet for 1 min 10 s", one for each condition watched.
void WatchMeasureText(wchar_t *buffer, size_t units, const WatchConditions *conditions, const WatchStatus *status);

// "Waiting: <measure> - Keldrin", for the taskbar button and Alt+Tab.
void WatchTitleText(wchar_t *buffer, size_t units, const wchar_t *measure);

// "10 min", "2 min 5 s", "40 s".
void DurationText(wchar_t *buffer, size_t units, int seconds);

#endif
