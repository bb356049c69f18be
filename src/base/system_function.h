// Functions of the system's own libraries (kernel32, user32, ntdll, all
// loaded in every process) looked up by name. The program calls functions
// newer than the oldest Windows it runs on only through such pointers, so it
// still starts where they are missing: a null pointer says so.
#ifndef KELDRIN_BASE_SYSTEM_FUNCTION_H
#define KELDRIN_BASE_SYSTEM_FUNCTION_H

#include <windows.h>

// Proc must be the function's own type, calling convention included: check
// it against the SDK's declaration with a static_assert beside the lookup.
template <typename Proc>
Proc SystemFunction(const wchar_t *library, const char *name)
{
    HMODULE module = GetModuleHandleW(library);
    // Through void *, the one cast GCC accepts between unrelated function types.
    return module ? reinterpret_cast<Proc>(reinterpret_cast<void *>(GetProcAddress(module, name))) : nullptr;
}

#endif
