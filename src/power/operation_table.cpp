#include "power/operation_table.h"

#include "base/owned_string.h"
#include "resources/resource_ids.h"

namespace {

#define OPERATION(code, keyword) \
    { code, keyword, IDS_OPERATION_NAME_FIRST + code, IDS_CAPTION_NONE + code }

const OperationEntry kOperations[] = {
    OPERATION(OPERATION_SHUTDOWN, L"shutdown"),
    OPERATION(OPERATION_REBOOT, L"reboot"),
    OPERATION(OPERATION_STANDBY, L"standby"),
    OPERATION(OPERATION_SLEEP, L"sleep"),
    OPERATION(OPERATION_LOGOFF, L"logoff"),
    OPERATION(OPERATION_MONITOROFF, L"monitoroff"),
    OPERATION(OPERATION_MONITORLOCK, L"monitorlock"),
    OPERATION(OPERATION_MONITOROFFLOCK, L"monitorofflock"),
    OPERATION(OPERATION_SELECT, L"select"),
};

#undef OPERATION

}  // namespace

const OperationEntry *FindOperation(int code)
{
    for (const OperationEntry &entry : kOperations)
        if (entry.code == code) return &entry;
    return nullptr;
}

const OperationEntry *FindOperationOption(const wchar_t *arg)
{
    if (!arg || arg[0] != L'-' || arg[1] != L'-') return nullptr;
    for (const OperationEntry &entry : kOperations)
        if (WideStringEqual(arg + 2, entry.keyword)) return &entry;
    return nullptr;
}

const wchar_t *OperationKeyword(int operation)
{
    const OperationEntry *entry = FindOperation(operation);
    return entry ? entry->keyword : nullptr;
}
