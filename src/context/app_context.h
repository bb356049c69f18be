// What the program knows about itself and its surroundings for the whole run.
// One instance, created first by the entry point and destroyed last.
#ifndef KELDRIN_APP_CONTEXT_H
#define KELDRIN_APP_CONTEXT_H

#include <windows.h>

#include "base/owned_string.h"

class AppContext {
public:
    AppContext();
    ~AppContext();
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    int Init(HINSTANCE module, UINT productNameId, UINT shortcutDescriptionId, UINT text10011Id,
             UINT text10003Id, UINT versionNumberValue, int versionRevisionValue, int betaNumberValue,
             const wchar_t *yearSpanText, const wchar_t *releaseDateText, const wchar_t *homePage);
    const wchar_t *GetIniPath(int perUser);
    int ShowHelp(HWND owner, const wchar_t *helpFile, const wchar_t *topic);

    // The Windows edition and its name, from sysinfo/ into osKind, osVersion and osName.
    int DetectWindowsEdition();
    int WindowsEditionName();

    // Version texts (made by sysinfo/); the result is owned here and
    // replaced by the next call of either.
    const wchar_t *ShortVersionText();
    const wchar_t *LongVersionText();

    int osKind;
    OSVERSIONINFOEXW osVersion;
    wchar_t *osName;
    wchar_t *versionText;
    wchar_t *productName;
    wchar_t *shortcutDescription;
    wchar_t *text10011;
    unsigned int versionNumber;
    int versionRevision;
    int betaNumber;
    wchar_t *text10003;
    wchar_t *yearSpan;
    wchar_t *releaseDate;
    wchar_t *homePageUrl;
    wchar_t *modulePath;
    wchar_t *baseName;
    wchar_t *programDir;
    wchar_t *startDir;
    wchar_t *programFilesDir;
    wchar_t *appDataDir;
    wchar_t *dataDir;
    wchar_t *iniPath;
    HANDLE heap;
    int updateRequested;
    int helpInitialized;
    DWORD_PTR helpCookie;
};

extern AppContext *g_app;

// The maker's home page, and the host the updater downloads from.
#define KELDRIN_MAKER_HOST L"www.marlowen.example"
#define KELDRIN_HOME_PAGE L"http://" KELDRIN_MAKER_HOST L"/"

#endif
