#include "ui/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "power/operation_table.h"
#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "watch/watch_conditions.h"

namespace {

const wchar_t kQuickLaunchFolder[] = L"\\Microsoft\\Internet Explorer\\Quick Launch\\";

// Where the link goes when it is not a special folder path + "\".
enum LinkPlace { PLACE_FOLDER, PLACE_QUICK_LAUNCH };

int CreateLinkIn(int csidl, LinkPlace place, const wchar_t *name, const wchar_t *description,
                 const wchar_t *arguments, const wchar_t *workingDir, wchar_t *linkPathOut, size_t linkPathUnits)
{
    if (linkPathOut && linkPathUnits) linkPathOut[0] = L'\0';
    if (!name || !name[0]) return 0;
    wchar_t *block = HeapTextBuffer(2 * KELDRIN_PATH_UNITS);
    if (!block) return 0;
    wchar_t *target = block;
    wchar_t *link = block + KELDRIN_PATH_UNITS;
    GetModuleFileNameW(nullptr, target, KELDRIN_PATH_UNITS);

    int result = 0;
    if (GetSpecialFolderPath(nullptr, link, csidl)) {
        const wchar_t *between = place == PLACE_QUICK_LAUNCH ? kQuickLaunchFolder : L"\\";
        size_t length = wcslen(link);
        // A path cut to fit the buffer would name some other file: refuse it.
        bool fits = length + wcslen(between) + wcslen(name) + 4 < KELDRIN_PATH_UNITS;
        FormatText(link + length, KELDRIN_PATH_UNITS - length, L"%ls%ls.lnk", between, name);
        if (linkPathOut) CopyText(linkPathOut, linkPathUnits, link);
        if (fits && SUCCEEDED(CoInitialize(nullptr))) {
            HRESULT saved = CreateShellLink(link, target, description, arguments, workingDir, nullptr, 0,
                                            SW_SHOWNORMAL);
            CoUninitialize();
            // Only a written file is a shortcut the user can find.
            result = SUCCEEDED(saved) ? 1 : 0;
        }
    } else if (linkPathOut) {
        // Without the folder the file name is all there is to tell the user.
        FormatText(linkPathOut, linkPathUnits, L"%ls.lnk", name);
    }
    HeapTextBufferFree(block);
    return result;
}

typedef int (*LinkRoutine)(const wchar_t *, const wchar_t *, const wchar_t *, const wchar_t *, wchar_t *, size_t);

void MakeShortcut(int operation, int waitSeconds, int atTime, const WatchConditions *watch, LinkRoutine createLink,
                  int doneMessageId)
{
    wchar_t arguments[KELDRIN_TEXT_UNITS];
    wchar_t name[KELDRIN_TEXT_UNITS];
    if (!ShortcutCommandLine(arguments, COUNTOF(arguments), operation, waitSeconds, g_settings.saverLockOff,
                             atTime, watch) ||
        !ShortcutName(name, COUNTOF(name), operation, waitSeconds, atTime, watch))
        return;

    wchar_t *linkPath = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!linkPath) return;
    const wchar_t *caption = g_app->productName ? g_app->productName : L"";
    if (createLink(name, g_app->shortcutDescription, arguments, g_app->programDir, linkPath, KELDRIN_PATH_UNITS)) {
        const wchar_t *done = LoadResString(g_resourceModule, doneMessageId, -1);
        MessageBoxW(nullptr, done ? done : L"", caption, MB_OK | MB_ICONINFORMATION);
    } else {
        wchar_t message[KELDRIN_PATH_UNITS + KELDRIN_TEXT_UNITS];
        const wchar_t *format = LoadResString(g_resourceModule, IDS_SHORTCUT_FAILED, -1);
        if (!FormatMatches(format, "s")) format = L"The shortcut could not be created:\r\n%ls";
        FormatText(message, COUNTOF(message), format, linkPath);
        MessageBoxW(nullptr, message, caption, MB_OK | MB_ICONEXCLAMATION);
    }
    HeapTextBufferFree(linkPath);
}

bool Watching(const WatchConditions *watch)
{
    return watch && WatchesAnything(*watch);
}

// A watch's options, as the command line reads them back; its countdown is
// the minute a line without a wait gets. Times in minutes and the quiet marks
// at their defaults, as the main dialog offers them.
size_t WatchArguments(wchar_t *buffer, size_t units, const WatchConditions &watch)
{
    size_t length = 0;
    const long idleMin = watch.idleSec / 60, quietMin = watch.quietSec / 60;
    if (idleMin > 0) length += FormatText(buffer + length, units - length, L" --idle-min %ld", idleMin);
    if (quietMin > 0) length += FormatText(buffer + length, units - length, L" --quiet-min %ld", quietMin);
    // Quoted, so that a name with blanks stays one argument; a file name holds no quote.
    for (int i = 0; i < watch.programCount && i < kMostWatchedPrograms; i++) {
        const wchar_t *program = watch.programs[i];
        const wchar_t *format = wcschr(program, L' ') ? L" --after-exit \"%ls\"" : L" --after-exit %ls";
        length += FormatText(buffer + length, units - length, format, program);
    }
    return length;
}

// The name of a watch's shortcut: what it waits for, its first condition.
void WatchName(wchar_t *buffer, size_t units, const wchar_t *product, const wchar_t *display,
               const WatchConditions &watch)
{
    const wchar_t *format;
    if (watch.idleSec > 0 || watch.quietSec > 0) {
        bool idle = watch.idleSec > 0;
        format = LoadResString(g_resourceModule, idle ? IDS_SHORTCUT_NAME_IDLE : IDS_SHORTCUT_NAME_QUIET, -1);
        if (!FormatMatches(format, "ssd")) format = idle ? L"%ls %ls idle %ld min" : L"%ls %ls quiet %ld min";
        long minutes = (idle ? watch.idleSec : watch.quietSec) / 60;
        FormatText(buffer, units, format, product, display, minutes);
    } else {
        format = LoadResString(g_resourceModule, IDS_SHORTCUT_NAME_EXIT, -1);
        if (!FormatMatches(format, "sss")) format = L"%ls %ls after %ls";
        FormatText(buffer, units, format, product, display, watch.programs[0]);
    }
}

}  // namespace

bool ShortcutCommandLine(wchar_t *buffer, size_t units, int operation, int waitSeconds, int saverLockOff,
                         int atTime, const WatchConditions *watch)
{
    const wchar_t *keyword = OperationKeyword(operation);
    if (!keyword) return false;
    if (operation == OPERATION_SELECT) {  // the choice is made when it runs; a wait means nothing
        FormatText(buffer, units, L"--%ls", keyword);
        return true;
    }
    size_t length;
    if (Watching(watch)) {
        length = FormatText(buffer, units, L"--%ls", keyword);
        length += WatchArguments(buffer + length, units - length, *watch);
    } else if (atTime >= 0) {
        // The main dialog picks hours and minutes.
        length = FormatText(buffer, units, L"--%ls --at %02ld:%02ld", keyword, static_cast<long>(atTime / 3600 % 24),
                            static_cast<long>(atTime / 60 % 60));
    } else {
        length = FormatText(buffer, units, L"--%ls --wait %ld", keyword, static_cast<long>(waitSeconds));
    }
    if (saverLockOff == 1) FormatText(buffer + length, units - length, L" --saverlockoff");
    return true;
}

bool ShortcutName(wchar_t *buffer, size_t units, int operation, int waitSeconds, int atTime,
                  const WatchConditions *watch)
{
    const OperationEntry *entry = FindOperation(operation);
    if (!entry) return false;
    const wchar_t *product = g_app && g_app->productName ? g_app->productName : L"";
    wchar_t display[KELDRIN_TEXT_UNITS];
    CopyText(display, COUNTOF(display), LoadResString(g_resourceModule, entry->nameId, -1));
    if (operation == OPERATION_SELECT) {
        FormatText(buffer, units, L"%ls %ls", product, display);
        return true;
    }
    // Each format is the module's; one that does not take exactly these
    // arguments gets a neutral built-in name instead.
    const wchar_t *format;
    if (Watching(watch)) {
        WatchName(buffer, units, product, display, *watch);
    } else if (atTime >= 0) {
        // A file name cannot hold the colon of "23:30": the module says the time its own way.
        format = LoadResString(g_resourceModule, IDS_SHORTCUT_NAME_AT, -1);
        if (!FormatMatches(format, "ssdd")) format = L"%ls %ls %02ld.%02ld";
        FormatText(buffer, units, format, product, display, static_cast<long>(atTime / 3600 % 24),
                   static_cast<long>(atTime / 60 % 60));
    } else if (waitSeconds >= 60) {
        format = LoadResString(g_resourceModule, IDS_SHORTCUT_NAME_MIN_SEC, -1);
        if (!FormatMatches(format, "ssdd")) format = L"%ls %ls %ld min %ld s";
        FormatText(buffer, units, format, product, display, static_cast<long>(waitSeconds / 60),
                   static_cast<long>(waitSeconds % 60));
    } else if (waitSeconds >= 1) {
        format = LoadResString(g_resourceModule, IDS_SHORTCUT_NAME_SEC, -1);
        if (!FormatMatches(format, "ssd")) format = L"%ls %ls %ld s";
        FormatText(buffer, units, format, product, display, static_cast<long>(waitSeconds));
    } else {
        format = LoadResString(g_resourceModule, IDS_SHORTCUT_NAME_NOW, -1);
        if (!FormatMatches(format, "ss")) format = L"%ls %ls";
        FormatText(buffer, units, format, product, display);
    }
    return true;
}

int MakeDesktopShortcut(int operation, int waitSeconds, int atTime, const WatchConditions *watch)
{
    MakeShortcut(operation, waitSeconds, atTime, watch, CreateDesktopLink, IDS_DESKTOP_SHORTCUT_MADE);
    return 1;
}

int MakeQuickLaunchShortcut(int operation, int waitSeconds, int atTime, const WatchConditions *watch)
{
    MakeShortcut(operation, waitSeconds, atTime, watch, CreateQuickLaunchLink, IDS_QUICKLAUNCH_SHORTCUT_MADE);
    return 1;
}

int CreateDesktopLink(const wchar_t *name, const wchar_t *description, const wchar_t *arguments,
                      const wchar_t *workingDir, wchar_t *linkPath, size_t linkPathUnits)
{
    return CreateFolderLink(CSIDL_DESKTOP, name, description, arguments, workingDir, linkPath, linkPathUnits);
}

int CreateFolderLink(int folderCsidl, const wchar_t *name, const wchar_t *description, const wchar_t *arguments,
                     const wchar_t *workingDir, wchar_t *linkPath, size_t linkPathUnits)
{
    return CreateLinkIn(folderCsidl, PLACE_FOLDER, name, description, arguments, workingDir, linkPath,
                        linkPathUnits);
}

int CreateQuickLaunchLink(const wchar_t *name, const wchar_t *description, const wchar_t *arguments,
                          const wchar_t *workingDir, wchar_t *linkPath, size_t linkPathUnits)
{
    return CreateLinkIn(CSIDL_APPDATA, PLACE_QUICK_LAUNCH, name, description, arguments, workingDir, linkPath,
                        linkPathUnits);
}

int GetSpecialFolderPath(HWND owner, wchar_t *path, int csidl)
{
    IMalloc *allocator = nullptr;
    if (SHGetMalloc(&allocator) != S_OK) return 0;
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(owner, csidl, &items) != S_OK) {
        allocator->Release();
        return 0;
    }
    BOOL found = SHGetPathFromIDListW(items, path);
    allocator->Free(items);
    allocator->Release();
    return found ? 1 : 0;
}

HRESULT CreateShellLink(const wchar_t *linkPath, const wchar_t *targetPath, const wchar_t *description,
                        const wchar_t *arguments, const wchar_t *workingDir, const wchar_t *iconPath, int iconIndex,
                        int showCommand)
{
    IShellLinkW *link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void **>(&link));
    if (FAILED(result)) return result;
    IPersistFile *file = nullptr;
    result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file));
    if (SUCCEEDED(result)) {
        link->SetPath(targetPath);
        link->SetDescription(description ? description : L"");
        link->SetArguments(arguments ? arguments : L"");
        link->SetWorkingDirectory(workingDir ? workingDir : L"");
        link->SetIconLocation(iconPath ? iconPath : targetPath, iconIndex);
        link->SetShowCmd(showCommand);
        wchar_t *copy = HeapTextBuffer(KELDRIN_PATH_UNITS);
        if (copy) {
            CopyText(copy, KELDRIN_PATH_UNITS, linkPath);
            result = file->Save(copy, TRUE);
            HeapTextBufferFree(copy);
        } else {
            result = E_OUTOFMEMORY;
        }
        file->Release();
    }
    link->Release();
    return result;
}
