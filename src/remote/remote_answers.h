// Each computer's answer, one line each: to the console Keldrin was started
// from, to the file or pipe its output goes to, else in one message box.
#ifndef KELDRIN_REMOTE_ANSWERS_H
#define KELDRIN_REMOTE_ANSWERS_H

#include <windows.h>

#include "remote/remote_requests.h"

// "NAME: asked", or "NAME: error 53: " and the system's own text for the
// error, in the module's language (the system's text in the system's).
void AnswerLine(wchar_t *buffer, size_t units, const wchar_t *name, DWORD error);

// The lines of every answer, each ended by CR LF, in a heap buffer for
// HeapTextBufferFree (null when the heap is out).
wchar_t *AnswerLines(wchar_t *const *names, const DWORD *errors, int count);

// The process's exit code: how many computers' requests failed.
int FailedCount(const DWORD *errors, int count);

// The lines as bytes of codePage, for output that is a file or a pipe; the
// number of bytes written to bytes, or the number needed when bytes is null.
int AnswerBytes(const wchar_t *lines, UINT codePage, char *bytes, int size);

// Shows lines where the user or the script that started Keldrin reads them.
// A console gets them as text (WriteConsoleW); a file or pipe as bytes in
// the console's output code page, or the OEM code page without a console
// (what cmd and PowerShell read a program's output in); otherwise they are
// listed in a message box under the action's heading.
void TellAnswers(RemoteAction action, const wchar_t *lines, bool anyFailed);

#endif
