#include "base/owned_string.h"

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

wchar_t *HeapTextBuffer(size_t count)
{
    return static_cast<wchar_t *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(wchar_t)));
}

void HeapTextBufferFree(wchar_t *buffer)
{
    if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
}

wchar_t *OwnedStringCopy(const wchar_t *text)
{
    size_t length = text ? wcslen(text) : 0;
    wchar_t *copy = HeapTextBuffer(length + 1);
    if (copy && length) memcpy(copy, text, length * sizeof(wchar_t));
    return copy;
}

void OwnedStringFree(wchar_t **field)
{
    if (*field) {
        HeapFree(GetProcessHeap(), 0, *field);
        *field = nullptr;
    }
}

void OwnedStringSet(wchar_t **field, const wchar_t *text)
{
    OwnedStringFree(field);
    *field = OwnedStringCopy(text);
}

size_t CopyText(wchar_t *buffer, size_t units, const wchar_t *text)
{
    if (!buffer || units == 0) return 0;
    size_t length = text ? wcslen(text) : 0;
    if (length >= units) length = units - 1;
    if (length) wmemcpy(buffer, text, length);
    buffer[length] = L'\0';
    return length;
}

size_t AppendText(wchar_t *buffer, size_t units, const wchar_t *text)
{
    if (!buffer || units == 0) return 0;
    size_t used = 0;  // wcsnlen is another function XP's msvcrt.dll lacks
    while (used < units - 1 && buffer[used]) used++;
    return used + CopyText(buffer + used, units - used, text);
}

static size_t FormatTextArgs(wchar_t *buffer, size_t units, const wchar_t *format, va_list args)
{
    if (!buffer || units == 0) return 0;
    buffer[0] = L'\0';
    if (!format) return 0;
    // _vsnwprintf, the bounded format Windows XP's msvcrt.dll has (its
    // bounds-checked family came only with Vista, and a program importing one
    // does not start on XP). It writes at most units - 1 characters and leaves a cut result
    // unterminated, hence the explicit NUL; a cut text is never an error here.
    _vsnwprintf(buffer, units - 1, format, args);
    buffer[units - 1] = L'\0';
    return wcslen(buffer);
}

size_t FormatText(wchar_t *buffer, size_t units, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    size_t length = FormatTextArgs(buffer, units, format, args);
    va_end(args);
    return length;
}

bool FormatPath(wchar_t *buffer, size_t units, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    size_t length = FormatTextArgs(buffer, units, format, args);
    va_end(args);
    return units > 0 && length < units - 1;
}

int WideStringEqual(const wchar_t *first, const wchar_t *second)
{
    if (!first) first = L"";
    if (!second) second = L"";
    return wcscmp(first, second) == 0 ? 1 : 0;
}

void SystemErrorText(wchar_t *buffer, size_t units, DWORD error)
{
    if (units == 0) return;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  buffer, static_cast<DWORD>(units), nullptr);
    if (length >= units) length = 0;
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
        length--;
    buffer[length] = L'\0';
}
