#include "app/command_line.h"

#include <limits.h>
#include <stdlib.h>

#include "base/owned_string.h"
#include "base/time_of_day.h"
#include "power/operation_table.h"
#include "settings/settings.h"

namespace {

const size_t kFirstTokenUnits = 1024;

bool IsBlank(wchar_t ch)
{
    return ch == L'\t' || ch == L'\n' || ch == L'\r' || ch == L' ';
}

bool IsQuote(wchar_t ch)
{
    return ch == L'"' || ch == L'\'';
}

// The token being collected. It starts at 1024 units and doubles, so an
// argument of any length is kept whole.
struct Token {
    wchar_t *text;
    size_t capacity;
    size_t length;
};

bool TokenAppend(Token *token, wchar_t ch)
{
    if (token->length + 1 >= token->capacity) {
        size_t grown = token->capacity * 2;
        void *block = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, token->text, grown * sizeof(wchar_t));
        if (!block) return false;
        token->text = static_cast<wchar_t *>(block);
        token->capacity = grown;
    }
    token->text[token->length++] = ch;
    token->text[token->length] = L'\0';
    return true;
}

// Takes the outermost pair of matching quotes off and adds what is left.
int TokenFinish(Token *token, wchar_t ***array)
{
    wchar_t *start = token->text;
    wchar_t first = start[0];
    wchar_t last = start[token->length - 1];
    if (IsQuote(first) && first == last) {
        start[token->length - 1] = L'\0';
        start += 1;  // a lone quote leaves nothing, which adds nothing
    }
    int added = StringArrayAdd(array, start);
    token->length = 0;
    token->text[0] = L'\0';
    return added;
}

int ReadValue(const wchar_t *text)
{
    // wcstol clamps to the 32-bit range: long is 32 bits on Windows.
    return static_cast<int>(wcstol(text, nullptr, 10));
}

}  // namespace

const wchar_t *CommandLineArguments(const wchar_t *processCommandLine)
{
    const wchar_t *p = processCommandLine;
    if (!p) return nullptr;
    // The program name follows the system's rule, not ours: a quoted name
    // runs to the next double quote, an unquoted one to the first blank.
    if (*p == L'"') {
        p++;
        while (*p && *p != L'"') p++;
        if (*p == L'"') p++;
    } else {
        while (*p && *p != L' ' && *p != L'\t') p++;
    }
    if (*p == L' ' || *p == L'\t') p++;
    return p;
}

int AddWaitSeconds(int waitTotal, int waitMin, int waitSec)
{
    long long total = static_cast<long long>(waitTotal) + 60LL * waitMin + waitSec;
    if (total > INT_MAX) return INT_MAX;
    if (total < INT_MIN) return INT_MIN;
    return static_cast<int>(total);
}

int StringArrayAdd(wchar_t ***array, const wchar_t *text)
{
    HANDLE heap = GetProcessHeap();
    wchar_t **strings = *array;
    int number = 0;
    if (!strings) {
        strings = static_cast<wchar_t **>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(wchar_t *)));
        if (!strings) return -1;
        *array = strings;
    } else {
        while (strings[number]) number++;
    }
    if (!text || !text[0]) return number;

    size_t length = wcslen(text);
    wchar_t *copy = static_cast<wchar_t *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (length + 1) * sizeof(wchar_t)));
    if (!copy) return -1;
    void *grown = HeapReAlloc(heap, HEAP_ZERO_MEMORY, strings, (number + 2) * sizeof(wchar_t *));
    if (!grown) {
        HeapFree(heap, 0, copy);
        return -1;
    }
    strings = static_cast<wchar_t **>(grown);
    memcpy(copy, text, length * sizeof(wchar_t));
    strings[number] = copy;
    strings[number + 1] = nullptr;
    *array = strings;
    return number + 1;
}

int StringArrayFree(wchar_t ***array)
{
    if (!*array) return 0;
    HANDLE heap = GetProcessHeap();
    for (wchar_t **item = *array; *item; item++) HeapFree(heap, 0, *item);
    HeapFree(heap, 0, *array);
    *array = nullptr;
    return 1;
}

int WideStringEqual(const wchar_t *first, const wchar_t *second)
{
    if (!first) first = L"";
    if (!second) second = L"";
    return wcscmp(first, second) == 0 ? 1 : 0;
}

wchar_t **SplitCommandLine(const wchar_t *text, int *count)
{
    *count = 0;
    if (!text || !text[0]) return nullptr;

    HANDLE heap = GetProcessHeap();
    size_t n = wcslen(text);
    Token token = {static_cast<wchar_t *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, kFirstTokenUnits * sizeof(wchar_t))),
                   kFirstTokenUnits, 0};
    if (!token.text) return nullptr;

    wchar_t **array = nullptr;
    int result = 0;
    bool quoted = false;
    bool failed = false;
    for (size_t i = 0; i <= n && !failed; i++) {
        wchar_t ch = text[i];
        if (ch == L'\0') {
            if (token.length > 0) result = TokenFinish(&token, &array);
        } else if (IsBlank(ch)) {
            if (quoted) failed = !TokenAppend(&token, ch);
            else if (token.length > 0) result = TokenFinish(&token, &array);
        } else if (IsQuote(ch)) {
            failed = !TokenAppend(&token, ch);
            quoted = !quoted;
        } else if (ch == L'\\' && IsQuote(text[i + 1])) {
            // An escaped quote is part of the argument and never opens or closes a stretch.
            failed = !TokenAppend(&token, text[i + 1]);
            i++;
        } else {
            failed = !TokenAppend(&token, ch);
        }
        if (result < 0) failed = true;
    }
    HeapFree(heap, 0, token.text);
    if (failed || result <= 0) {
        // Half an argument list would run the wrong thing; run nothing instead.
        // Quotes alone ("" or ') leave an empty array, which is no argument either.
        StringArrayFree(&array);
        return nullptr;
    }
    *count = result;
    return array;
}

bool CommandLineHasOption(const wchar_t *text, const wchar_t *option)
{
    int count = 0;
    wchar_t **args = SplitCommandLine(text, &count);
    bool found = false;
    for (int i = 0; i < count && !found; i++) found = WideStringEqual(args[i], option) != 0;
    StringArrayFree(&args);
    return found;
}

bool ReadCommandLine(const wchar_t *text, PowerSettings *settings, wchar_t *badTime, size_t badTimeUnits)
{
    settings->operation = 0;
    settings->waitTotal = 0;
    settings->waitMin = 0;
    settings->waitSec = 0;
    settings->useAtTime = 0;
    settings->force = 0;
    if (badTime && badTimeUnits) badTime[0] = L'\0';

    bool wellFormed = true;
    const int rememberedAtTime = settings->atTime;
    int count = 0;
    wchar_t **args = SplitCommandLine(text, &count);
    for (int i = 0; i < count; i++) {
        const wchar_t *arg = args[i];
        if (const OperationEntry *entry = FindOperationOption(arg)) {
            settings->operation = entry->code;
            continue;
        }
        if (WideStringEqual(arg, L"--saverlockoff")) {
            settings->saverLockOff = 1;
            continue;
        }
        if (WideStringEqual(arg, L"--force")) {
            settings->force = 1;
            continue;
        }
        if (WideStringEqual(arg, L"--at")) {
            // A time that cannot be read must never turn into "at once".
            int secondOfDay = 0;
            const wchar_t *value = i + 1 < count ? args[++i] : nullptr;
            if (value && ParseTimeOfDay(value, &secondOfDay)) {
                settings->useAtTime = 1;
                settings->atTime = secondOfDay;
            } else if (wellFormed) {
                wellFormed = false;
                if (badTime && badTimeUnits) CopyText(badTime, badTimeUnits, value ? value : L"");
            }
            continue;
        }
        int *target = nullptr;
        if (WideStringEqual(arg, L"--wait-sec")) target = &settings->waitSec;
        else if (WideStringEqual(arg, L"--wait-min")) target = &settings->waitMin;
        else if (WideStringEqual(arg, L"--wait")) target = &settings->waitTotal;
        // A value option takes the next argument whatever it says; last, it is ignored.
        if (target && i + 1 < count) {
            *target = ReadValue(args[i + 1]);
            i++;
        }
    }
    StringArrayFree(&args);
    if (!wellFormed) {
        settings->useAtTime = 0;
        settings->atTime = rememberedAtTime;
    }
    if (settings->useAtTime) {
        // A time of day replaces the waits on the same line.
        settings->waitTotal = settings->waitMin = settings->waitSec = 0;
    } else {
        settings->waitTotal = AddWaitSeconds(settings->waitTotal, settings->waitMin, settings->waitSec);
    }
    return wellFormed;
}
