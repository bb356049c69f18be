#include "app/startup.h"

#include <type_traits>

#include "base/system_function.h"
#include "context/app_context.h"
#include "keldrin_version.h"
#include "power/saver_lock.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "sysinfo/windows_edition.h"

namespace {

const wchar_t kMissingModuleQuestion[] =
    L"Keldrin.Jpn.dll\x304C\x3042\x308A\x307E\x305B\x3093\r\n"
    L"\x30C0\x30A6\x30F3\x30ED\x30FC\x30C9\x3057\x307E\x3059\x304B\xFF1F\r\n\r\n"
    L"Cannot find Keldrin.Eng.dll.\r\nDownload the file?";

// Looked-up types must be the system's own, calling convention included.
static_assert(std::is_same<SetDefaultDllDirectoriesProc, decltype(&::SetDefaultDllDirectories)>::value,
              "SetDefaultDllDirectories");
static_assert(std::is_same<SetDllDirectoryProc, decltype(&::SetDllDirectoryW)>::value, "SetDllDirectoryW");

}  // namespace

void NarrowLibrarySearchWith(SetDefaultDllDirectoriesProc setDefaultDirectories, SetDllDirectoryProc setDirectory)
{
    if (setDefaultDirectories && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // The program's own folder stays first here; what the program loads from
    // the system (the help viewer) it therefore loads by full path.
    if (setDirectory) setDirectory(L"");
}

void NarrowLibrarySearch()
{
    // SetDllDirectoryW came with XP SP1 (and Server 2003), which the Windows
    // headers only declare from 0x0502 on: looked up like the newer one.
    NarrowLibrarySearchWith(SystemFunction<SetDefaultDllDirectoriesProc>(L"kernel32.dll", "SetDefaultDllDirectories"),
                            SystemFunction<SetDllDirectoryProc>(L"kernel32.dll", "SetDllDirectoryW"));
}

void TakeModuleTexts(HINSTANCE module)
{
    g_app->Init(module, IDS_PRODUCT_NAME, IDS_SHORTCUT_DESCRIPTION, IDS_MAKER_NAME, IDS_PRODUCT_DESCRIPTION,
                KELDRIN_VERSION_NUMBER, KELDRIN_VERSION_REVISION, 0, L"2006-2013", L"02/02/2013", KELDRIN_HOME_PAGE);
    LoadWindowIcons(module);
}

int ResourceModuleStartUp()
{
    const wchar_t *names[] = {KELDRIN_MODULE_JPN, KELDRIN_MODULE_ENG, KELDRIN_MODULE_GENERIC};
    for (const wchar_t *name : names) {
        g_resourceModule = LoadResourceModule(name);
        if (g_resourceModule) break;
    }
    if (!g_resourceModule) {
        const wchar_t *caption = g_app && g_app->productName ? g_app->productName : L"Marlowen";
        if (MessageBoxW(nullptr, kMissingModuleQuestion, caption, MB_ICONQUESTION | MB_YESNO) == IDYES && g_app)
            g_app->updateRequested = 1;
        return 0;
    }

    TakeModuleTexts(g_resourceModule);
    g_osKind = GetWindowsEditionCode();

    g_settings = PowerSettings();
    g_saverLockRestore = 0;
    LoadSettings();
    RestoreSaverLockLeftOff();
    return 1;
}

int ResourceModuleCloseDown()
{
    SaveSettings();
    DestroyWindowIcons();
    g_app->ShowHelp(nullptr, nullptr, nullptr);
    return 1;
}
