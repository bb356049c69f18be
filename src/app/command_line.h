// Reading the program's options from its command line.
#ifndef KELDRIN_COMMAND_LINE_H
#define KELDRIN_COMMAND_LINE_H

#include <windows.h>

#include "base/argument_list.h"
#include "base/owned_string.h"
#include "remote/remote_machines.h"

struct PowerSettings;

// Why a command line performs nothing: the message to show (a string id),
// the option it concerns and what was given with it. Arguments that are no
// option of the program are all named in value, one to a line.
struct CommandLineRefusal {
    int messageId;  // 0: the line is accepted
    wchar_t option[32];
    wchar_t value[KELDRIN_TEXT_UNITS];
};

// What a command line asks for beyond the settings it changes.
struct CommandLine {
    bool cancel;  // "--cancel": end the running countdowns, nothing else
    CommandLineRefusal refusal;
    // "--computer NAME" and "--computers FILE": the request goes to these
    // computers, and this one counts down nothing. The caller frees them
    // (FreeMachineList), a refused line's too.
    bool remote;  // either option was given, whether or not it named anyone
    MachineList computers;
    // "--every DAYS" with "--at": the operation goes to the Task Scheduler,
    // repeated on these days (its bits) after this wait, and nothing runs now.
    bool every;
    int everyDays;
    int everyWait;
    // "--unschedule NAME" or "all": Keldrin's tasks to remove, nothing else.
    bool unschedule;
    wchar_t unscheduleName[KELDRIN_TEXT_UNITS];
};

// Reads the options of text into settings: clears the operation, the three
// wait fields, the time-of-day choice and force, walks the arguments, then adds
// minutes and seconds into waitTotal; "--at HH:MM[:SS]" counts to that time
// of day instead, whatever waits the line gives. False when the line is
// refused (a time of day that is none, an argument the program does not
// know, other computers with what they cannot be asked): line->refusal (if
// given) says why, and no time of day is chosen.
bool ReadCommandLine(const wchar_t *text, PowerSettings *settings, CommandLine *line = nullptr);

#endif
