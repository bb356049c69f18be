#include "ui_test_support.h"

#include "app/app_context.h"
#include "app/owned_string.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"

namespace uitest {

namespace {

const wchar_t kOverridesKey[] = L"Software\\Wine\\DllOverrides";
const wchar_t kMenuBuilder[] = L"winemenubuilder.exe";

// A bare file name is looked for in the dist folder.
HINSTANCE LoadModule(const wchar_t *fileName)
{
    return testsupport::LoadModuleAsData(wcschr(fileName, L'\\') ? std::wstring(fileName)
                                                                 : testsupport::DistFolder() + fileName);
}

}  // namespace

ProgramScope::ProgramScope(const wchar_t *moduleFileName)
    : module_(LoadModule(moduleFileName)),
      ready_(false),
      savedModule_(g_resourceModule),
      savedIconLarge_(g_iconLarge),
      savedIconSmall_(g_iconSmall)
{
    g_iconLarge = g_iconSmall = nullptr;
    g_resourceModule = module_;
    if (!module_ || !g_app) return;
    g_app->Init(module_, IDS_PRODUCT_NAME, IDS_SHORTCUT_DESCRIPTION, IDS_TEXT_10011, IDS_TEXT_10003, 104, 1, 0,
                L"2006-2013", L"02/02/2013", KELDRIN_HOME_PAGE);
    g_iconLarge = static_cast<HICON>(
        LoadImageW(module_, MAKEINTRESOURCEW(IDI_KELDRIN), IMAGE_ICON, 32, 32, LR_COLOR));
    g_iconSmall = static_cast<HICON>(
        LoadImageW(module_, MAKEINTRESOURCEW(IDI_KELDRIN), IMAGE_ICON, 16, 16, LR_COLOR));
    ready_ = true;
}

ProgramScope::~ProgramScope()
{
    if (g_iconLarge) DestroyIcon(g_iconLarge);
    if (g_iconSmall) DestroyIcon(g_iconSmall);
    if (module_) FreeLibrary(module_);
    g_resourceModule = savedModule_;
    g_iconLarge = savedIconLarge_;
    g_iconSmall = savedIconSmall_;
}

std::wstring UseUniqueProductName()
{
    std::wstring name = L"Keldrin " + std::to_wstring(GetCurrentProcessId());
    OwnedStringSet(&g_app->productName, name.c_str());
    return name;
}

ModuleSwitch::ModuleSwitch(const wchar_t *moduleFileName)
    : module_(LoadModule(moduleFileName)), previous_(g_resourceModule)
{
    if (module_) g_resourceModule = module_;
}

ModuleSwitch::~ModuleSwitch()
{
    g_resourceModule = previous_;
    if (module_) FreeLibrary(module_);
}

MenuBuilderOff::MenuBuilderOff() : set_(false)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kOverridesKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExW(key, kMenuBuilder, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        // An empty load order: the program is not loaded at all.
        const wchar_t disabled[] = L"";
        set_ = RegSetValueExW(key, kMenuBuilder, 0, REG_SZ, reinterpret_cast<const BYTE *>(disabled),
                              sizeof disabled) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
}

MenuBuilderOff::~MenuBuilderOff()
{
    HKEY key = nullptr;
    if (set_ && RegOpenKeyExW(HKEY_CURRENT_USER, kOverridesKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, kMenuBuilder);
        RegCloseKey(key);
    }
}

}  // namespace uitest
