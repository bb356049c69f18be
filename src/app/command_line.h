// Reading the program's options from its command line.
#ifndef KELDRIN_COMMAND_LINE_H
#define KELDRIN_COMMAND_LINE_H

#include <windows.h>

#include "base/argument_list.h"
#include "base/owned_string.h"

struct PowerSettings;

// Reads the options of text into settings: clears the operation, the three
// wait fields, the time-of-day choice and force, walks the arguments, then adds
// minutes and seconds into waitTotal; "--at HH:MM[:SS]" counts to that time
// of day instead, whatever waits the line gives. False when an "--at" has no
// time of day after it: badTime (if given) then holds what followed it, empty
// when nothing did, and no time of day is chosen.
bool ReadCommandLine(const wchar_t *text, PowerSettings *settings, wchar_t *badTime = nullptr,
                     size_t badTimeUnits = 0);

// Whether one of the arguments is exactly option ("--cancel").
bool CommandLineHasOption(const wchar_t *text, const wchar_t *option);

#endif
