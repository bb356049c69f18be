#include "update/update_handoff.h"

#include <shellapi.h>
#include <stdio.h>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "base/paths.h"

namespace {

const int kMaxFileSets = 10000;
const UINT kDescriptionCodePage = 932;

// The hand-off's working paths, taken as one block.
struct HandOffPaths {
    wchar_t executable[KELDRIN_PATH_UNITS];
    wchar_t programFolder[KELDRIN_PATH_UNITS];
    wchar_t dataFolder[KELDRIN_PATH_UNITS];
    wchar_t description[KELDRIN_PATH_UNITS];
    wchar_t updater[KELDRIN_PATH_UNITS];
    wchar_t scratch[KELDRIN_PATH_UNITS];
};

// A character beyond the BMP is two UTF-16 units, and the conversion would
// write one "?" for each; it becomes a single "?" here, as any other
// character code page 932 cannot hold.
void JoinSurrogatePairs(wchar_t *text)
{
    wchar_t *out = text;
    for (const wchar_t *in = text; *in; in++) {
        if (IS_HIGH_SURROGATE(in[0]) && IS_LOW_SURROGATE(in[1])) {
            *out++ = L'?';
            in++;
        } else {
            *out++ = *in;
        }
    }
    *out = L'\0';
}

// One line in code page 932 (falling back to the system's code page where
// 932 is not installed), with "?" for what the code page cannot hold.
// WC_NO_BEST_FIT_CHARS keeps e.g. U+00E9 from turning into "e", which
// would name another file.
bool WriteLine(FILE *file, const wchar_t *line)
{
    wchar_t *joined = OwnedStringCopy(line);
    if (!joined) return false;
    JoinSurrogatePairs(joined);
    UINT codePage = kDescriptionCodePage;
    int bytes = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, joined, -1, nullptr, 0, "?", nullptr);
    if (bytes <= 0) {
        codePage = CP_ACP;
        bytes = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, joined, -1, nullptr, 0, "?", nullptr);
    }
    char *text = bytes > 0 ? static_cast<char *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                           static_cast<size_t>(bytes)))
                           : nullptr;
    bool written = false;
    if (text) {
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, joined, -1, text, bytes, "?", nullptr);
        written = fputs(text, file) >= 0 && fputs("\r\n", file) >= 0;
        HeapFree(GetProcessHeap(), 0, text);
    }
    OwnedStringFree(&joined);
    return written;
}

bool OpenKey(HKEY root, const wchar_t *path, HKEY *key)
{
    *key = nullptr;
    return RegOpenKeyExW(root, path, 0, KEY_READ, key) == ERROR_SUCCESS && *key;
}

void Launch(bool elevated, const wchar_t *file, const wchar_t *parameters)
{
    if (elevated) {
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"runas";
        info.lpFile = file;
        info.lpParameters = parameters;
        info.nShow = SW_SHOWNORMAL;
        ShellExecuteExW(&info);
    } else {
        ShellExecuteW(nullptr, L"open", file, parameters, nullptr, SW_SHOWNORMAL);
    }
}

// The program's own paths, as the context took them at start; without a
// per-user folder the data stay in the program folder.
bool ComposePaths(HandOffPaths *paths)
{
    if (!g_app || !g_app->modulePath || !g_app->programDir) return false;
    CopyText(paths->executable, KELDRIN_PATH_UNITS, g_app->modulePath);
    CopyText(paths->programFolder, KELDRIN_PATH_UNITS, g_app->programDir);
    CopyText(paths->dataFolder, KELDRIN_PATH_UNITS, g_app->dataDir ? g_app->dataDir : g_app->programDir);
    return true;
}

}  // namespace

bool WriteUpdateDescription(const wchar_t *path, const wchar_t *const *fileSets, const wchar_t *const *baseUrls,
                            const wchar_t *programFolder, const wchar_t *executablePath, int restart, int confirm)
{
    // Binary mode: the line ends are written as CR LF here, and nothing else
    // gets translated behind our back.
    FILE *file = _wfopen(path, L"wb");
    if (!file) return false;
    wchar_t *line = HeapTextBuffer(4 * KELDRIN_PATH_UNITS);
    wchar_t *remote = HeapTextBuffer(KELDRIN_PATH_UNITS);
    bool written = line && remote;
    // A null base URL ends the sets as a null file set does: there would be nowhere to fetch from.
    for (int i = 0; written && i < kMaxFileSets && fileSets[i] && baseUrls[i]; i++) {
        for (const wchar_t *name = fileSets[i]; *name; name += wcslen(name) + 1) {
            CopyText(remote, KELDRIN_PATH_UNITS, name);
            for (wchar_t *p = remote; *p; p++)
                if (*p == L'\\') *p = L'/';
            FormatText(line, 4 * KELDRIN_PATH_UNITS, L"--download \"%ls/%ls;%ls%ls\"", baseUrls[i], remote,
                       programFolder, name);
            written = written && WriteLine(file, line);
        }
    }
    if (written && restart == 1) {
        FormatText(line, 4 * KELDRIN_PATH_UNITS, L"--restart \"%ls\"", executablePath);
        written = WriteLine(file, line);
    }
    if (written && confirm == 1) written = WriteLine(file, L"--confirm");
    HeapTextBufferFree(line);
    HeapTextBufferFree(remote);
    if (fclose(file) != 0) written = false;
    return written;
}

int IsUpdaterRegistered()
{
    HKEY key;
    if (!OpenKey(HKEY_CURRENT_USER, L"Software\\Classes\\.kvx", &key) && !OpenKey(HKEY_CLASSES_ROOT, L".kvx", &key))
        return 0;
    RegCloseKey(key);

    HKEY keys[4] = {};
    if (!OpenKey(HKEY_CURRENT_USER, L"Software\\Classes\\FennrickFormat", &keys[0]) &&
        !OpenKey(HKEY_CLASSES_ROOT, L"FennrickFormat", &keys[0]))
        return 0;
    const wchar_t *levels[] = {L"shell", L"open", L"command"};
    int opened = 1;
    while (opened < 4 && OpenKey(keys[opened - 1], levels[opened - 1], &keys[opened])) opened++;
    for (int i = 0; i < opened; i++) RegCloseKey(keys[i]);
    return opened == 4 ? 1 : 0;
}

int HandOffUpdateSets(HWND owner, const wchar_t *const *fileSets, const wchar_t *const *baseUrls,
                      const wchar_t *descriptionName, int restart, int confirm)
{
    if (!fileSets || !baseUrls || !fileSets[0] || !baseUrls[0] || !descriptionName) return 0;
    HandOffPaths *paths = static_cast<HandOffPaths *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HandOffPaths)));
    if (!paths) return 0;
    if (!ComposePaths(paths)) {
        HeapFree(GetProcessHeap(), 0, paths);
        return 0;
    }

    bool elevated = false;
    const wchar_t *folder = paths->programFolder;
    if (g_app->osVersion.dwMajorVersion >= 6) {  // Vista or later: folders may be read-only to us
        if (!FolderIsWritable(paths->programFolder)) {
            // The updater then has to write into the program folder with rights we lack.
            FormatText(paths->updater, KELDRIN_PATH_UNITS, L"%ls", paths->dataFolder);
            size_t length = wcslen(paths->updater);
            if (length) paths->updater[length - 1] = L'\0';  // without the trailing backslash
            wchar_t *last = wcsrchr(paths->updater, L'\\');
            if (last) {
                *last = L'\0';
                CreateDirectoryW(paths->updater, nullptr);  // ...\Marlowen
            }
            CreateDirectoryW(paths->dataFolder, nullptr);
            folder = paths->dataFolder;
            elevated = true;
        }
    }
    // A path cut to fit would write, and hand over, some other file.
    if (!FormatPath(paths->description, KELDRIN_PATH_UNITS, L"%ls%ls", folder, descriptionName) ||
        !WriteUpdateDescription(paths->description, fileSets, baseUrls, paths->programFolder, paths->executable,
                                restart, confirm)) {
        HeapFree(GetProcessHeap(), 0, paths);
        return 0;
    }

    if (IsUpdaterRegistered() == 1) {
        if (owner) SendMessageW(owner, WM_CLOSE, 0, 0);
        Launch(elevated, paths->description, nullptr);
    } else {
        if (FormatPath(paths->updater, KELDRIN_PATH_UNITS, L"%lsFennrick.exe", paths->programFolder) &&
            GetFileAttributesW(paths->updater) != INVALID_FILE_ATTRIBUTES &&
            FormatPath(paths->scratch, KELDRIN_PATH_UNITS, L"\"%ls%ls\"", folder, descriptionName)) {
            if (owner) SendMessageW(owner, WM_CLOSE, 0, 0);
            Launch(elevated, paths->updater, paths->scratch);
        }
    }
    HeapFree(GetProcessHeap(), 0, paths);
    return 1;
}

int HandOffUpdate(HWND owner, const wchar_t *fileSet, const wchar_t *baseUrl, const wchar_t *descriptionName,
                  int restart, int confirm)
{
    const wchar_t *fileSets[] = {fileSet, nullptr};
    const wchar_t *baseUrls[] = {baseUrl, nullptr};
    return HandOffUpdateSets(owner, fileSets, baseUrls, descriptionName, restart, confirm);
}

int UpdateAtExit()
{
    if (g_app && g_app->updateRequested == 1)
        HandOffUpdate(nullptr, KELDRIN_UPDATE_FILE_SET, KELDRIN_UPDATE_BASE_URL, KELDRIN_UPDATE_DESCRIPTION, 1, 1);
    return 1;
}
