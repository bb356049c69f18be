#include "base/number_text.h"

#include <limits.h>

bool ParseDigits(const wchar_t *text, int *value)
{
    if (!text || !text[0]) return false;
    long long number = 0;
    for (const wchar_t *p = text; *p; p++) {
        int digit;
        if (*p >= L'0' && *p <= L'9') digit = *p - L'0';
        else if (*p >= 0xFF10 && *p <= 0xFF19) digit = *p - 0xFF10;
        else return false;
        number = number * 10 + digit;
        if (number > INT_MAX) number = INT_MAX;
    }
    *value = static_cast<int>(number);
    return true;
}
