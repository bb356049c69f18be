#include "base/paths.h"

#include <wchar.h>

#include "base/owned_string.h"

namespace {

const wchar_t kProbeFileFormat[] = L"%ls\\__marlowen_check_writable.txt";

}  // namespace

void SplitModulePath(const wchar_t *path, wchar_t *folder, size_t folderUnits, wchar_t *base, size_t baseUnits)
{
    const wchar_t *name = path;
    for (const wchar_t *p = path; *p; p++)
        if (*p == L'\\' || *p == L'/' || (*p == L':' && p == path + 1)) name = p + 1;
    size_t folderLength = static_cast<size_t>(name - path);
    if (folderLength >= folderUnits) folderLength = folderUnits - 1;
    wmemcpy(folder, path, folderLength);
    folder[folderLength] = L'\0';

    const wchar_t *dot = wcsrchr(name, L'.');
    size_t baseLength = dot ? static_cast<size_t>(dot - name) : wcslen(name);
    if (baseLength >= baseUnits) baseLength = baseUnits - 1;
    wmemcpy(base, name, baseLength);
    base[baseLength] = L'\0';
}

bool FolderIsWritable(const wchar_t *folder)
{
    wchar_t probe[KELDRIN_PATH_UNITS];
    if (!FormatPath(probe, COUNTOF(probe), kProbeFileFormat, folder)) return false;
    // Shared for reading and writing, as the run-time's "w" opens it: another
    // copy of the program probing the same folder at the same moment, or a
    // scanner looking at the file, must not make a writable folder look
    // read-only (the settings would go elsewhere, the updater ask for rights).
    HANDLE file = CreateFileW(probe, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    DeleteFileW(probe);
    return true;
}
