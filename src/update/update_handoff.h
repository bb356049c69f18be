// Handing an update over to the separate updater program, Fennrick.exe: the
// program writes an update description file and starts the updater with it.
#ifndef KELDRIN_UPDATE_HANDOFF_H
#define KELDRIN_UPDATE_HANDOFF_H

#include <windows.h>

// Hands off the fixed request when the application context asks for an update.
int UpdateAtExit();

// fileSet: names ended by an empty name ("a\0b\0\0"), relative to the program folder.
int HandOffUpdate(HWND owner, const wchar_t *fileSet, const wchar_t *baseUrl, const wchar_t *descriptionName,
                  int restart, int confirm);
int HandOffUpdateSets(HWND owner, const wchar_t *const *fileSets, const wchar_t *const *baseUrls,
                      const wchar_t *descriptionName, int restart, int confirm);

// 1 when ".kvx" and its FennrickFormat type with a shell open command are registered.
int IsUpdaterRegistered();

// Writes the description file at path: download lines for every name of
// every file set, then the restart and confirm lines, in code page 932 with
// CR LF and no byte-order mark. A character that code page cannot hold is
// written as "?". False when the file cannot be created.
bool WriteUpdateDescription(const wchar_t *path, const wchar_t *const *fileSets, const wchar_t *const *baseUrls,
                            const wchar_t *programFolder, const wchar_t *executablePath, int restart, int confirm);

// The updater's download folder for the program, and where the update files go.
#define KELDRIN_UPDATE_BASE_URL L"http://" KELDRIN_MAKER_HOST L"/sources/Keldrin32"
#define KELDRIN_UPDATE_FILE_SET L"Keldrin.exe\0Keldrin.Jpn.dll\0Keldrin.chm\0Readme.txt\0"
#define KELDRIN_UPDATE_DESCRIPTION L"Keldrin.kvx"

#endif
