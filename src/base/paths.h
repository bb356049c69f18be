// Paths of files and folders: no knowledge of the program in here.
#ifndef KELDRIN_BASE_PATHS_H
#define KELDRIN_BASE_PATHS_H

#include <windows.h>

// Splits a full file path into its folder (ending in a backslash) and its
// base name without extension.
void SplitModulePath(const wchar_t *path, wchar_t *folder, size_t folderUnits, wchar_t *base, size_t baseUnits);

// Whether a file can be created in folder (which ends in a backslash): the
// probe file "__marlowen_check_writable.txt" is made and deleted again.
bool FolderIsWritable(const wchar_t *folder);

#endif
