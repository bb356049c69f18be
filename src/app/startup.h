// The run's start-up and close-down around the resource module: loading it,
// completing the context from it, the window icons, the Windows edition, the
// settings and the screen-saver recovery; at the end, saving the settings and
// releasing what start-up took.
#ifndef KELDRIN_STARTUP_H
#define KELDRIN_STARTUP_H

#include <windows.h>

// 1 when a module was found and everything is set up; 0 when none was (the
// user was asked whether to download it, and nothing else was done).
int ResourceModuleStartUp();
int ResourceModuleCloseDown();

// The context's texts and version from module, and the window icons from it.
void TakeModuleTexts(HINSTANCE module);

// Where a library named without a folder may be loaded from: the system
// folder alone where the system can say so (SetDefaultDllDirectories, Windows
// 8 and later, 7 with its update), elsewhere at least not the current folder
// (SetDllDirectoryW with ""). Run first, before any library is loaded.
void NarrowLibrarySearch();

// Both looked up at run time; the same with the functions given (null where
// the system lacks one).
typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI *SetDllDirectoryProc)(const wchar_t *);
void NarrowLibrarySearchWith(SetDefaultDllDirectoriesProc setDefaultDirectories, SetDllDirectoryProc setDirectory);

#endif
