#include "ui_test_support.h"

#include "context/app_context.h"
#include "app/startup.h"
#include "base/owned_string.h"
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
    TakeModuleTexts(module_);  // what the program's start-up takes from its module
    ready_ = true;
}

ProgramScope::~ProgramScope()
{
    DestroyWindowIcons();
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
