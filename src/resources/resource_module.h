// Finding and loading the language module, and reading it: strings and icons.
// The start-up around it lives in app/startup.cpp.
#ifndef KELDRIN_RESOURCE_MODULE_H
#define KELDRIN_RESOURCE_MODULE_H

#include <windows.h>

extern HINSTANCE g_resourceModule;
extern HICON g_iconLarge;
extern HICON g_iconSmall;

// Module file names in the order they are tried.
#define KELDRIN_MODULE_JPN L"Keldrin.Jpn.dll"
#define KELDRIN_MODULE_ENG L"Keldrin.Eng.dll"
#define KELDRIN_MODULE_GENERIC L"KeldrinResource.dll"

HINSTANCE LoadResourceModule(const wchar_t *fileName);

// Icon 10 of the module at the system's icon sizes (SM_CXICON and
// SM_CXSMICON) into g_iconLarge and g_iconSmall; WindowIcon gives it at any
// other size, each loaded once; DestroyWindowIcons releases them all.
void LoadWindowIcons(HINSTANCE module);
HICON WindowIcon(int size);
void DestroyWindowIcons();

// Loads string id into one of 256 reused buffers; the text stays valid for
// 256 further calls. capacity < 1 means 4096 units. Null for a null module.
wchar_t *LoadResString(HINSTANCE module, int id, int capacity);

// String id as a format, when the module has it and it takes exactly these
// arguments (format_check.h's letters); else fallback, so that a module of
// another version can never make the program read an argument it lacks.
const wchar_t *LoadResFormat(HINSTANCE module, int id, const char *arguments, const wchar_t *fallback);

#endif
