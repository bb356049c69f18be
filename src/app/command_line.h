// Splitting the command line into arguments and reading the options.
#ifndef KELDRIN_COMMAND_LINE_H
#define KELDRIN_COMMAND_LINE_H

#include <windows.h>

struct PowerSettings;

// Arguments of text with shell-like quoting: a heap array of heap strings,
// closed by a null pointer, never holding an empty string. Null when there is
// no argument. Free it with StringArrayFree.
wchar_t **SplitCommandLine(const wchar_t *text, int *count);

// Appends a heap copy of text to *array (created when null). Returns the new
// number of strings; an empty or null text adds nothing; -1 when out of memory.
int StringArrayAdd(wchar_t ***array, const wchar_t *text);

// Frees every string and the array and sets *array to null. 0 when it was null.
int StringArrayFree(wchar_t ***array);

// Whole-string, case-sensitive equality; a null string equals the empty string.
int WideStringEqual(const wchar_t *first, const wchar_t *second);

// The arguments part of a whole process command line (GetCommandLineW): what
// follows the program name and the one blank that separates it. Unlike the
// run-time's start-up code this keeps further blanks, so a command line of
// blanks alone is told apart from none at all.
const wchar_t *CommandLineArguments(const wchar_t *processCommandLine);

// waitTotal + 60 x waitMin + waitSec, held at the 32-bit limits instead of overflowing.
int AddWaitSeconds(int waitTotal, int waitMin, int waitSec);

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
