// Command lines split into arguments with shell-like quoting, and the heap
// arrays of strings that hold them.
#ifndef KELDRIN_BASE_ARGUMENT_LIST_H
#define KELDRIN_BASE_ARGUMENT_LIST_H

#include <windows.h>

// Arguments of text with shell-like quoting: a heap array of heap strings,
// closed by a null pointer, never holding an empty string. Null when there is
// no argument. Free it with StringArrayFree.
wchar_t **SplitCommandLine(const wchar_t *text, int *count);

// Appends a heap copy of text to *array (created when null). Returns the new
// number of strings; an empty or null text adds nothing; -1 when out of memory.
int StringArrayAdd(wchar_t ***array, const wchar_t *text);

// Frees every string and the array and sets *array to null. 0 when it was null.
int StringArrayFree(wchar_t ***array);

// The arguments part of a whole process command line (GetCommandLineW): what
// follows the program name and the one blank that separates it. Unlike the
// run-time's start-up code this keeps further blanks, so a command line of
// blanks alone is told apart from none at all.
const wchar_t *CommandLineArguments(const wchar_t *processCommandLine);

#endif
