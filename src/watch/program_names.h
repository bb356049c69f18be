// The names of the programs running now, for the main dialog to offer as
// things to wait for.
#ifndef KELDRIN_WATCH_PROGRAM_NAMES_H
#define KELDRIN_WATCH_PROGRAM_NAMES_H

#include <windows.h>

// The running processes' image names ("ffmpeg.exe"), each once and sorted
// without regard to case, as one block from the process heap: the names one
// after another, each NUL-terminated, the last followed by one more NUL.
// Null when the processes cannot be listed or the heap is out; free the
// block with ProgramNamesFree.
wchar_t *RunningProgramNames();
void ProgramNamesFree(wchar_t *names);

#endif
