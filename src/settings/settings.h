// The user's last choices, shared by every part of the program, and their INI file.
#ifndef KELDRIN_SETTINGS_H
#define KELDRIN_SETTINGS_H

#include "watch/watch_conditions.h"

// What the main dialog's OK does.
enum PowerDestination {
    DESTINATION_RUN = 0,
    DESTINATION_DESKTOP = 1,
    DESTINATION_QUICKLAUNCH = 2,
    DESTINATION_SCHEDULE = 3,  // a task of the Task Scheduler repeats it
};

// What the main dialog's watch choice waits for (stored as "PowerWatch").
enum PowerWatchChoice {
    WATCH_CHOICE_NONE = 0,     // a wait or a time of day
    WATCH_CHOICE_IDLE = 1,     // not used for idleMin minutes
    WATCH_CHOICE_PROGRAM = 2,  // watchProgram has ended
    WATCH_CHOICE_QUIET = 3,    // processor and network quiet for quietMin minutes
};

struct PowerSettings {
    int operation;     // 0 none, 1..8 an operation, 9 select
    int destination;   // 0 run, 1 desktop shortcut, 2 Quick Launch shortcut
    int selection;     // last choice of the select dialog, 0..8
    int waitMin;
    int waitSec;
    int saverLockOff;  // 1: the countdown switches the screen-saver password off
    int waitTotal;     // seconds; never stored
    int useAtTime;     // 1: the count runs to atTime instead of for the wait
    int atTime;        // a time of day, in seconds after midnight (stored as hours and minutes)
    int force;         // 1: a program that stopped answering cannot hold up the operation; never stored
    // What to wait for before the countdown; the line's own wait follows once
    // everything watched holds.
    WatchConditions watch;
    // The main dialog's choice of a condition and its values, remembered
    // apart from the watch above, which a command line fills.
    int watchChoice;   // a PowerWatchChoice
    int idleMin;
    int quietMin;
    wchar_t watchProgram[kWatchedProgramUnits];
    // The main dialog's repetition through the Task Scheduler: the days (the
    // Task Scheduler's bits, Sunday 1 to Saturday 0x40) and whether it wakes
    // the computer for it.
    int scheduleDays;
    int scheduleWake;
};

// The time of day the main dialog offers until one is chosen: 23:00.
const int kDefaultAtTime = 23 * 3600;

extern PowerSettings g_settings;

// Whether running these settings' operation goes through a countdown: to a
// time of day, or for a wait of more than 0 seconds.
inline bool CountsDown(const PowerSettings &settings)
{
    return settings.useAtTime == 1 || settings.waitTotal > 0;
}

// waitTotal + 60 x waitMin + waitSec, held at the 32-bit limits instead of overflowing.
int AddWaitSeconds(int waitTotal, int waitMin, int waitSec);

int LoadSettings();
int SaveSettings();

// Marks in the settings file (section "<product>.Recovery") that
// "ScreenSaverIsSecure" was switched off and must be switched back, so that a
// run ended by force is mended by the next.
bool SetSaverLockRestorePending(bool pending);
bool SaverLockRestorePending();

// The names of the tasks this program registered with the Task Scheduler,
// in a section of their own ("<product>.Schedules"), for a Task Scheduler
// that cannot list its folder. names receives each name NUL-ended, the list
// closed by one more NUL.
bool RememberScheduleName(const wchar_t *name, bool registered);
bool RememberedScheduleNames(wchar_t *names, size_t units);

#endif
