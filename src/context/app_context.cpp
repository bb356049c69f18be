#include "context/app_context.h"

#include <commctrl.h>
#include <htmlhelp.h>
#include <shlobj.h>
#include <wchar.h>

#include <type_traits>

#include "base/owned_string.h"
#include "base/paths.h"
#include "sysinfo/version_text.h"
#include "sysinfo/windows_edition.h"

AppContext *g_app = nullptr;

namespace {

const unsigned kScratchUnits = 5 * KELDRIN_PATH_UNITS;
const unsigned kResourceStringUnits = 4096;
const wchar_t kMakerFolder[] = L"Marlowen";

// HtmlHelpW, taken by ordinal 15 from the HTML Help control.
typedef HWND(WINAPI *HtmlHelpProc)(HWND, const wchar_t *, UINT, DWORD_PTR);
// Looked-up types must be the system's own, calling convention included: on
// 32-bit x86 a pointer without WINAPI would call a stdcall function as cdecl
// and unbalance the stack. Only the 32-bit build can tell them apart.
static_assert(std::is_same<HtmlHelpProc, decltype(&::HtmlHelpW)>::value, "HtmlHelpW");
const UINT kHelpDisplayToc = 0x0001;
const UINT kHelpCloseAll = 0x0012;
const UINT kHelpInitialize = 0x001C;
const UINT kHelpUninitialize = 0x001D;

// "C:\..." or "\\server\...": a path LoadLibraryW takes as it is, without searching.
bool IsFullPath(const wchar_t *path)
{
    bool drive = path[0] && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    return drive || (path[0] == L'\\' && path[1] == L'\\');
}

HtmlHelpProc FindHtmlHelp()
{
    static bool searched = false;
    static HtmlHelpProc proc = nullptr;
    if (searched) return proc;
    searched = true;

    HMODULE library = nullptr;
    wchar_t server[MAX_PATH] = L"";
    DWORD size = sizeof server - sizeof(wchar_t);
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD type = 0;
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(server), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            wchar_t expanded[MAX_PATH] = L"";
            // A registration by name alone would be searched for like the fallback below.
            if (ExpandEnvironmentStringsW(server, expanded, MAX_PATH) - 1 < MAX_PATH && IsFullPath(expanded))
                library = LoadLibraryW(expanded);
        }
        RegCloseKey(key);
    }
    if (!library) {
        // From the system folder by full path: by name alone it would be looked
        // for beside the program first, where anyone who can write could plant one.
        wchar_t system[MAX_PATH] = L"";
        wchar_t path[MAX_PATH + 16] = L"";
        UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length > 0 && length < MAX_PATH && FormatPath(path, COUNTOF(path), L"%ls\\hhctrl.ocx", system))
            library = LoadLibraryW(path);
    }
    if (library) proc = reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void *>(GetProcAddress(library, MAKEINTRESOURCEA(15))));
    return proc;
}

HWND CallHtmlHelp(HWND owner, const wchar_t *file, UINT command, DWORD_PTR data)
{
    HtmlHelpProc proc = FindHtmlHelp();
    return proc ? proc(owner, file, command, data) : nullptr;
}

}  // namespace

AppContext::AppContext()
{
    osKind = 0;
    osName = nullptr;
    DetectWindowsEdition();
    WindowsEditionName();

    versionText = productName = shortcutDescription = text10011 = text10003 = nullptr;
    yearSpan = releaseDate = homePageUrl = nullptr;
    modulePath = baseName = programDir = startDir = nullptr;
    programFilesDir = appDataDir = dataDir = iniPath = nullptr;
    versionNumber = 0;
    versionRevision = 0;
    betaNumber = 0;
    updateRequested = 0;
    helpInitialized = 0;
    helpCookie = 0;
    heap = GetProcessHeap();

    wchar_t *scratch = HeapTextBuffer(kScratchUnits);
    if (!scratch) return;
    wchar_t *path = scratch;
    wchar_t *folder = scratch + KELDRIN_PATH_UNITS;
    wchar_t *base = scratch + 2 * KELDRIN_PATH_UNITS;

    GetModuleFileNameW(nullptr, path, KELDRIN_PATH_UNITS);
    OwnedStringSet(&modulePath, path);
    SplitModulePath(path, folder, KELDRIN_PATH_UNITS, base, KELDRIN_PATH_UNITS);
    OwnedStringSet(&programDir, folder);
    OwnedStringSet(&baseName, base);

    path[0] = L'\0';
    GetCurrentDirectoryW(KELDRIN_PATH_UNITS, path);
    OwnedStringSet(&startDir, path);

    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path)))
        OwnedStringSet(&programFilesDir, path);
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
        OwnedStringSet(&appDataDir, path);
        if (FormatPath(folder, KELDRIN_PATH_UNITS, L"%ls\\%ls\\%ls\\", path, kMakerFolder, baseName))
            OwnedStringSet(&dataDir, folder);
    }
    HeapTextBufferFree(scratch);
}

AppContext::~AppContext()
{
    wchar_t **owned[] = {&osName, &productName, &shortcutDescription, &text10011, &text10003, &yearSpan,
                         &releaseDate, &homePageUrl, &versionText, &modulePath, &programDir, &baseName,
                         &programFilesDir, &appDataDir, &dataDir, &iniPath, &startDir};
    for (wchar_t **field : owned) OwnedStringFree(field);
    ShowHelp(nullptr, nullptr, nullptr);
}

int AppContext::Init(HINSTANCE module, UINT productNameId, UINT shortcutDescriptionId, UINT text10011Id,
                     UINT text10003Id, UINT versionNumberValue, int versionRevisionValue, int betaNumberValue,
                     const wchar_t *yearSpanText, const wchar_t *releaseDateText, const wchar_t *homePage)
{
    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    wchar_t *scratch = HeapTextBuffer(KELDRIN_PATH_UNITS);
    struct {
        UINT id;
        wchar_t **field;
    } strings[] = {{productNameId, &productName},
                   {shortcutDescriptionId, &shortcutDescription},
                   {text10011Id, &text10011},
                   {text10003Id, &text10003}};
    for (auto &item : strings) {
        if (scratch) {
            wmemset(scratch, 0, KELDRIN_PATH_UNITS);
            LoadStringW(module, item.id, scratch, kResourceStringUnits);
        }
        OwnedStringSet(item.field, scratch ? scratch : L"");
    }
    HeapTextBufferFree(scratch);

    versionNumber = versionNumberValue;
    versionRevision = versionRevisionValue;
    betaNumber = betaNumberValue;
    OwnedStringSet(&yearSpan, yearSpanText);
    OwnedStringSet(&releaseDate, releaseDateText);
    OwnedStringSet(&homePageUrl, homePage ? homePage : KELDRIN_HOME_PAGE);
    return 1;
}

const wchar_t *AppContext::GetIniPath(int perUser)
{
    if (iniPath) return iniPath;

    wchar_t *folder = HeapTextBuffer(KELDRIN_PATH_UNITS);
    wchar_t *file = HeapTextBuffer(KELDRIN_PATH_UNITS);
    wchar_t *user = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (folder && file && user && programDir && baseName) {
        CopyText(folder, KELDRIN_PATH_UNITS, programDir);
        bool fits = true;
        if (osVersion.dwMajorVersion >= 6 && !FolderIsWritable(programDir) && appDataDir) {
            // Per-user folder under the roaming application data; the user
            // part of the name is then redundant.
            fits = FormatPath(folder, KELDRIN_PATH_UNITS, L"%ls\\%ls", appDataDir, kMakerFolder);
            if (fits) CreateDirectoryW(folder, nullptr);
            fits = fits && FormatPath(folder, KELDRIN_PATH_UNITS, L"%ls\\%ls\\%ls", appDataDir, kMakerFolder, baseName);
            if (fits) CreateDirectoryW(folder, nullptr);
            fits = fits && FormatPath(folder, KELDRIN_PATH_UNITS, L"%ls\\%ls\\%ls\\", appDataDir, kMakerFolder, baseName);
            perUser = 0;
        }
        DWORD size = KELDRIN_PATH_UNITS;
        if (perUser == 1 && GetUserNameW(user, &size) && size > 0 && user[0])
            fits = fits && FormatPath(file, KELDRIN_PATH_UNITS, L"%ls%ls-%ls.ini", folder, baseName, user);
        else
            fits = fits && FormatPath(file, KELDRIN_PATH_UNITS, L"%ls%ls.ini", folder, baseName);
        // A name cut to fit would be some other file: without a whole path
        // the settings are neither read nor written.
        if (fits) OwnedStringSet(&iniPath, file);
    }
    HeapTextBufferFree(folder);
    HeapTextBufferFree(file);
    HeapTextBufferFree(user);
    return iniPath;
}

int AppContext::ShowHelp(HWND owner, const wchar_t *helpFile, const wchar_t *topic)
{
    if (!helpFile && !topic) {
        if (helpInitialized == 1) {
            CallHtmlHelp(nullptr, nullptr, kHelpCloseAll, 0);
            CallHtmlHelp(nullptr, nullptr, kHelpUninitialize, helpCookie);
        }
        helpInitialized = 0;
        return 1;
    }

    wchar_t *target = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!target) return 1;
    if (helpFile && GetFileAttributesW(helpFile) != INVALID_FILE_ATTRIBUTES) {
        if (helpInitialized != 1) {
            CallHtmlHelp(nullptr, nullptr, kHelpInitialize, reinterpret_cast<DWORD_PTR>(&helpCookie));
            helpInitialized = 1;
        } else {
            // One help window at a time: the old one closes before the next opens.
            CallHtmlHelp(nullptr, nullptr, kHelpCloseAll, 0);
        }
        bool fits = topic && topic[0] ? FormatPath(target, KELDRIN_PATH_UNITS, L"%ls::%ls", helpFile, topic)
                                      : FormatPath(target, KELDRIN_PATH_UNITS, L"%ls", helpFile);
        if (fits) CallHtmlHelp(owner, target, kHelpDisplayToc, 0);
    } else {
        MessageBoxW(owner, L"Cannot find help file.", L"HtmlHelp Error", MB_ICONEXCLAMATION | MB_OK);
    }
    HeapTextBufferFree(target);
    return 1;
}

int AppContext::DetectWindowsEdition()
{
    osKind = ReadWindowsEdition(&osVersion);
    return 1;
}

int AppContext::WindowsEditionName()
{
    OwnedStringSet(&osName, ::WindowsEditionName(osKind, osVersion));
    return 1;
}

// Out of heap, the dialogs still get a valid (empty) text to show.
static const wchar_t *StoreVersionText(wchar_t **field, wchar_t *buffer)
{
    *field = OwnedStringCopy(buffer);
    HeapTextBufferFree(buffer);
    return *field ? *field : L"";
}

const wchar_t *AppContext::ShortVersionText()
{
    OwnedStringFree(&versionText);
    wchar_t *buffer = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!buffer) return L"";
    FormatShortVersionText(buffer, KELDRIN_PATH_UNITS, versionNumber, versionRevision, betaNumber);
    return StoreVersionText(&versionText, buffer);
}

const wchar_t *AppContext::LongVersionText()
{
    OwnedStringFree(&versionText);
    wchar_t *buffer = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!buffer) return L"";
    FormatLongVersionText(buffer, KELDRIN_PATH_UNITS, productName, versionNumber, versionRevision, betaNumber, osName,
                          releaseDate);
    return StoreVersionText(&versionText, buffer);
}
