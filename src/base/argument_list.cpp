#include "base/argument_list.h"

#include "base/owned_string.h"

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

