// The nine operations in one table: the code, the keyword after "--" on the
// command line and in shortcuts, the string of its name (select list,
// shortcut names) and of the countdown's caption.
#ifndef KELDRIN_OPERATION_TABLE_H
#define KELDRIN_OPERATION_TABLE_H

#include "power/power_operations.h"

struct OperationEntry {
    int code;
    const wchar_t *keyword;
    int nameId;
    int captionId;
};

// The entry of code 1..9, or null for any other code.
const OperationEntry *FindOperation(int code);

// The entry whose option ("--" and its keyword, matched exactly) arg is, or null.
const OperationEntry *FindOperationOption(const wchar_t *arg);

// The keyword of code 1..9 ("shutdown" ... "select"), or null.
const wchar_t *OperationKeyword(int operation);

#endif
