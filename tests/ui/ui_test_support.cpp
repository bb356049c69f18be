#include "ui_test_support.h"

#include <shlobj.h>

#include "app/app_context.h"
#include "app/owned_string.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"

namespace uitest {

namespace {

const int kMessageBoxTextId = 0xFFFF;
const DWORD kPollMs = 20;
const wchar_t kOverridesKey[] = L"Software\\Wine\\DllOverrides";
const wchar_t kMenuBuilder[] = L"winemenubuilder.exe";

// A bare file name is looked for in the dist folder.
HINSTANCE LoadModule(const wchar_t *fileName)
{
    std::wstring path = wcschr(fileName, L'\\') ? std::wstring(fileName) : DistFolder() + fileName;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
}

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    BoxSearch *search = reinterpret_cast<BoxSearch *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    if (wcscmp(className, L"#32770") != 0 || !GetDlgItem(window, kMessageBoxTextId)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

std::wstring DistFolder()
{
    wchar_t value[8192] = L"";
    DWORD length = GetEnvironmentVariableW(L"KELDRIN_DIST", value, 8192);
    std::wstring folder;
    if (length > 0 && length < 8192) {
        folder = value;
    } else {
        GetModuleFileNameW(nullptr, value, 8192);
        folder = value;
        folder = folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"..\\dist";
    }
    if (!folder.empty() && folder[0] == L'/') folder = L"Z:" + folder;
    for (wchar_t &c : folder) {
        if (c == L'/') c = L'\\';
    }
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

ProgramScope::ProgramScope(const wchar_t *moduleFileName)
    : module_(LoadModule(moduleFileName)),
      app_(new AppContext()),
      savedApp_(g_app),
      savedModule_(g_resourceModule),
      savedIconLarge_(g_iconLarge),
      savedIconSmall_(g_iconSmall)
{
    g_app = app_;
    g_iconLarge = g_iconSmall = nullptr;
    g_resourceModule = module_;
    if (!module_) return;
    g_app->Init(module_, IDS_PRODUCT_NAME, IDS_SHORTCUT_DESCRIPTION, IDS_TEXT_10011, IDS_TEXT_10003, 104, 1, 0,
                L"2006-2013", L"02/02/2013", KELDRIN_HOME_PAGE);
    g_iconLarge = static_cast<HICON>(
        LoadImageW(module_, MAKEINTRESOURCEW(IDI_KELDRIN), IMAGE_ICON, 32, 32, LR_COLOR));
    g_iconSmall = static_cast<HICON>(
        LoadImageW(module_, MAKEINTRESOURCEW(IDI_KELDRIN), IMAGE_ICON, 16, 16, LR_COLOR));
}

ProgramScope::~ProgramScope()
{
    if (g_iconLarge) DestroyIcon(g_iconLarge);
    if (g_iconSmall) DestroyIcon(g_iconSmall);
    delete app_;
    if (module_) FreeLibrary(module_);
    g_app = savedApp_;
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

HWND FindMessageBox()
{
    BoxSearch search = {GetCurrentProcessId(), nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxWatcher::MessageBoxWatcher() : stop_(false), thread_(&MessageBoxWatcher::Run, this) {}

MessageBoxWatcher::~MessageBoxWatcher()
{
    Stop();
}

std::vector<SeenBox> MessageBoxWatcher::Stop(DWORD lingerMs)
{
    if (thread_.joinable()) {
        if (lingerMs) Sleep(lingerMs);
        stop_ = true;
        thread_.join();
    }
    std::lock_guard<std::mutex> guard(lock_);
    return seen_;
}

void MessageBoxWatcher::Run()
{
    HWND answered = nullptr;
    while (!stop_) {
        HWND box = FindMessageBox();
        // A box stays listed until its window is gone; answer each one once.
        if (box && box != answered) {
            SeenBox seen = {WindowText(box), WindowText(GetDlgItem(box, kMessageBoxTextId)),
                            GetDlgItem(box, IDOK) != nullptr};
            {
                std::lock_guard<std::mutex> guard(lock_);
                seen_.push_back(seen);
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            answered = box;
        }
        Sleep(kPollMs);
    }
}

bool Exists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
    return path;
}

}  // namespace uitest
