#include "resources/format_check.h"

#include <wchar.h>

namespace {

// Reads one conversion after its '%'; returns 'd', 's', '%' or 0 when it is
// not one the program can supply safely.
wchar_t ReadConversion(const wchar_t **cursor)
{
    const wchar_t *p = *cursor;
    if (*p == L'%') {
        *cursor = p + 1;
        return L'%';
    }
    while (*p && wcschr(L"-+ #0", *p)) p++;
    // '*' would take an argument of its own; '$' (positional) is not ours to give.
    while (*p >= L'0' && *p <= L'9') p++;
    if (*p == L'.') {
        p++;
        while (*p >= L'0' && *p <= L'9') p++;
    }
    bool wideSize = false;
    if (*p == L'l') {
        p++;  // long is 32 bits, like the int passed
    } else if (*p == L'w') {
        wideSize = true;
        p++;
    }
    wchar_t type = *p;
    if (!type) return 0;
    *cursor = p + 1;
    switch (type) {
    case L'd':
    case L'i':
    case L'u':
    case L'x':
    case L'X':
    case L'o':
        return wideSize ? 0 : L'd';
    case L's':
        // %s is wide in the run-time's wide formats; %ls and %ws are wide everywhere.
        return L's';
    default:
        return 0;
    }
}

}  // namespace

bool FormatMatches(const wchar_t *format, const char *expected)
{
    if (!format || !expected) return false;
    const char *want = expected;
    for (const wchar_t *p = format; *p;) {
        if (*p++ != L'%') continue;
        wchar_t kind = ReadConversion(&p);
        if (kind == L'%') continue;
        if (kind == 0 || *want == '\0' || static_cast<wchar_t>(*want) != kind) return false;
        want++;
    }
    return *want == '\0';
}
