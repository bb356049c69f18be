// Strings owned by the program's records: exact-size (characters + 1),
// zero-filled blocks of the process heap, released with HeapFree.
#ifndef KELDRIN_BASE_OWNED_STRING_H
#define KELDRIN_BASE_OWNED_STRING_H

#include <windows.h>

#define COUNTOF(array) (sizeof(array) / sizeof((array)[0]))

// Path and text buffers hold at most this many UTF-16 units with the NUL.
#define KELDRIN_PATH_UNITS 8192
#define KELDRIN_TEXT_UNITS 1024

// A new exact-size copy of text (null counts as empty), or null when the heap is out.
wchar_t *OwnedStringCopy(const wchar_t *text);

// Frees *field when set and leaves it null.
void OwnedStringFree(wchar_t **field);

// Replaces *field by a copy of text; the old block is released first.
void OwnedStringSet(wchar_t **field, const wchar_t *text);

// A zero-filled block of count UTF-16 units from the process heap, or null.
wchar_t *HeapTextBuffer(size_t count);
void HeapTextBufferFree(wchar_t *buffer);

// Bounded copies and formats that cut a text too long for its buffer instead
// of failing: texts from a resource module may be of any length. Both always
// leave a NUL-terminated buffer and return the length written.
size_t CopyText(wchar_t *buffer, size_t units, const wchar_t *text);
// Appends text behind what buffer holds, cut to fit; returns the whole length.
size_t AppendText(wchar_t *buffer, size_t units, const wchar_t *text);
size_t FormatText(wchar_t *buffer, size_t units, const wchar_t *format, ...);

// The system's own text for an error code (FormatMessageW), without the line
// break it ends in; empty when the system has none.
void SystemErrorText(wchar_t *buffer, size_t units, DWORD error);

// Whole-string, case-sensitive equality; a null string equals the empty string.
int WideStringEqual(const wchar_t *first, const wchar_t *second);

// FormatText for paths: a path cut short would name some other file, so this
// reports false when the result filled the buffer (it may have been cut).
bool FormatPath(wchar_t *buffer, size_t units, const wchar_t *format, ...);

#endif
