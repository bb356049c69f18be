// Which Windows release and edition the program runs on.
#ifndef KELDRIN_WINDOWS_EDITION_H
#define KELDRIN_WINDOWS_EDITION_H

#include <windows.h>

// Edition code 0..25 of the running system; set once at start-up, read by the dialogs.
extern int g_osKind;

// The mapping from what the system reports to the edition code. hasProductInfo
// is false where GetProductInfo does not exist; productType is then ignored.
int EditionCodeFor(DWORD major, DWORD minor, DWORD platformId, WORD suiteMask,
                   bool hasProductInfo, DWORD productType);

// Display name of a code; "" for 0 and for codes outside the table.
const wchar_t *EditionDisplayName(int code);

// The true name of a release the code table does not know (code 0): Windows
// 8.1, 10 and 11 and their servers by major, minor, build and wProductType;
// "" for anything else.
const wchar_t *UnlistedReleaseName(DWORD major, DWORD minor, DWORD build, BYTE productType);

// Reads the running system's true version into *version and gives its edition code.
int ReadWindowsEdition(OSVERSIONINFOEXW *version);

// Runs the detection on a version record of its own.
int GetWindowsEditionCode();

// The name the version texts give the system: the edition's, or for code 0
// the release's where it is known, else "".
const wchar_t *WindowsEditionName(int code, const OSVERSIONINFOEXW &version);

// 23, 24 and 25: the dialogs take their coloured templates and look.
bool IsWindows8Family(int code);

#endif
