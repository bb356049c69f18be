#include "test_support.h"

#include <shlobj.h>

#include <new>

#include "context/app_context.h"

namespace testsupport {

namespace {

const int kMessageBoxTextId = 0xFFFF;
const DWORD kPollMs = 20;

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

// A visible message box of this process, or null.
HWND FindMessageBox()
{
    BoxSearch search = {GetCurrentProcessId(), nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM param)
{
    wchar_t className[32] = L"";
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        IsWindowVisible(child)) {
        *reinterpret_cast<HICON *>(param) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD *>(found) = language;
    return FALSE;
}

// The replacement must carry the language of the block it replaces, or the
// module would hold both and LoadString might pick the original.
WORD StringBlockLanguage(HINSTANCE module, UINT block)
{
    WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block), TakeLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    return language;
}

SeenBox ReadBox(HWND box)
{
    HWND ok = GetDlgItem(box, IDOK);
    SeenBox seen = {WindowText(box), WindowText(GetDlgItem(box, kMessageBoxTextId)), GetWindow(box, GW_OWNER),
                    ok != nullptr, ok && IsWindowVisible(ok), nullptr};
    for (int id : {IDCANCEL, IDYES, IDNO, IDRETRY, IDABORT, IDIGNORE}) {
        HWND other = GetDlgItem(box, id);
        if (other && IsWindowVisible(other)) seen.okOnly = false;
    }
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&seen.icon));
    return seen;
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

HINSTANCE LoadModuleAsData(const std::wstring &path)
{
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

std::wstring ModuleString(HINSTANCE module, UINT id)
{
    wchar_t text[4096] = L"";
    int length = LoadStringW(module, id, text, 4096);
    return std::wstring(text, length > 0 ? length : 0);
}

bool HasJapanese(const std::wstring &text)
{
    for (wchar_t c : text) {
        if (c >= 0x3000) return true;
    }
    return false;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
}

std::wstring ControlText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
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

std::wstring UniqueTempPath(const wchar_t *stem, const wchar_t *suffix)
{
    static unsigned sequence = 0;
    wchar_t temp[MAX_PATH] = L"";
    if (!GetTempPathW(MAX_PATH, temp)) return std::wstring();
    wchar_t path[MAX_PATH] = L"";
    swprintf_s(path, MAX_PATH, L"%ls%ls-%lu-%u%ls", temp, stem, GetCurrentProcessId(), ++sequence, suffix);
    return path;
}

std::wstring ScratchFolder(const wchar_t *stem)
{
    // A folder of the same name may be left from a run that had this process id.
    for (int attempt = 0; attempt < 100; attempt++) {
        std::wstring folder = UniqueTempPath(stem);
        if (folder.empty()) break;
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::wstring();
}

bool RemoveTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryW(folder.c_str()) != 0;
}

std::string ReadFileBytes(const std::wstring &path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

StartUpContext::StartUpContext() : app_(nullptr), saved_(g_app)
{
    void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(AppContext));
    if (block) app_ = new (block) AppContext();
    g_app = app_;
}

StartUpContext::~StartUpContext()
{
    if (app_) {
        app_->~AppContext();
        HeapFree(GetProcessHeap(), 0, app_);
    }
    g_app = saved_;
}

SettingsFileScope::SettingsFileScope() : path_(UniqueTempPath(L"keldrin-settings", L".ini"))
{
    DeleteFileW(path_.c_str());
    if (g_app) OwnedStringSet(&g_app->productName, L"Keldrin");
    Use(kScratchFile);
}

SettingsFileScope::~SettingsFileScope()
{
    DeleteFileW(path_.c_str());
}

void SettingsFileScope::Use(Where where)
{
    if (!g_app) return;
    switch (where) {
    case kScratchFile:
        OwnedStringSet(&g_app->iniPath, path_.c_str());
        break;
    case kMissingFolder:
        OwnedStringSet(&g_app->iniPath, (UniqueTempPath(L"keldrin-missing") + L"\\Keldrin.ini").c_str());
        break;
    case kPathTooLong:
        // The program's own path choice, given a name too long for any path.
        OwnedStringFree(&g_app->iniPath);
        OwnedStringSet(&g_app->baseName, std::wstring(KELDRIN_PATH_UNITS, L'K').c_str());
        break;
    }
}

int SettingsFileScope::Marked() const
{
    return static_cast<int>(GetPrivateProfileIntW(L"Keldrin.Recovery", L"PowerSaverLockRestore", 0, path_.c_str()));
}

AlteredModule::AlteredModule(const std::wstring &sourcePath, const std::map<UINT, std::wstring> &strings)
    : path_(UniqueTempPath(L"keldrin-altered", L".dll"))
{
    if (strings.empty() || !CopyFileW(sourcePath.c_str(), path_.c_str(), FALSE)) return;

    // Strings live in blocks of 16 (block n holds ids 16(n-1)..16n-1); a block
    // is replaced whole, so the strings not named keep their texts.
    HINSTANCE source = LoadModuleAsData(sourcePath);
    if (!source) return;
    std::map<UINT, std::vector<std::wstring>> blocks;
    for (const auto &entry : strings) {
        UINT block = entry.first / 16 + 1;
        if (!blocks.count(block)) {
            std::vector<std::wstring> texts(16);
            for (UINT i = 0; i < 16; i++) texts[i] = ModuleString(source, (block - 1) * 16 + i);
            blocks[block] = texts;
        }
        blocks[block][entry.first % 16] = entry.second;
    }
    WORD language = StringBlockLanguage(source, blocks.begin()->first);
    FreeLibrary(source);

    HANDLE update = BeginUpdateResourceW(path_.c_str(), FALSE);
    if (!update) return;
    bool written = true;
    for (const auto &block : blocks) {
        std::vector<WORD> data;
        for (const std::wstring &text : block.second) {
            data.push_back(static_cast<WORD>(text.size()));
            data.insert(data.end(), text.begin(), text.end());
        }
        written = written && UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(block.first), language,
                                             data.data(), static_cast<DWORD>(data.size() * sizeof(WORD)));
    }
    if (EndUpdateResourceW(update, !written) && written) module_ = LoadModuleAsData(path_);
}

AlteredModule::~AlteredModule()
{
    if (module_) FreeLibrary(module_);
    DeleteFileW(path_.c_str());
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
            SeenBox seen = ReadBox(box);
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

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kSaverSecure[] = L"ScreenSaverIsSecure";

}  // namespace

SaverValue::SaverValue()
{
    RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    original_ = Read();
}

SaverValue::~SaverValue()
{
    if (original_.present)
        Write(original_.type, original_.bytes);
    else
        RegDeleteValueW(key_, kSaverSecure);
    if (watch_) CloseHandle(watch_);
    RegCloseKey(key_);
}

SaverValue::Value SaverValue::Read() const
{
    Value value = {false, 0, {}};
    DWORD size = 0;
    if (RegQueryValueExW(key_, kSaverSecure, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.bytes.resize(size);
    if (RegQueryValueExW(key_, kSaverSecure, nullptr, &value.type, value.bytes.data(), &size) != ERROR_SUCCESS)
        return value;
    value.bytes.resize(size);
    value.present = true;
    return value;
}

std::wstring SaverValue::ReadText() const
{
    Value value = Read();
    if (!value.present) return L"<absent>";
    if (value.type != REG_SZ) return L"<type " + std::to_wstring(value.type) + L">";
    std::wstring text(reinterpret_cast<const wchar_t *>(value.bytes.data()), value.bytes.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

SaverValue::Value SaverValue::Text(const std::wstring &text)
{
    const BYTE *first = reinterpret_cast<const BYTE *>(text.c_str());
    return Value{true, REG_SZ, std::vector<BYTE>(first, first + (text.size() + 1) * sizeof(wchar_t))};
}

void SaverValue::Write(DWORD type, const std::vector<BYTE> &bytes)
{
    RegSetValueExW(key_, kSaverSecure, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void SaverValue::SetDword(DWORD number)
{
    const BYTE *first = reinterpret_cast<const BYTE *>(&number);
    Write(REG_DWORD, std::vector<BYTE>(first, first + sizeof number));
}

void SaverValue::Delete()
{
    RegDeleteValueW(key_, kSaverSecure);
}

bool SaverValue::Watch()
{
    if (!watch_) watch_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(watch_);
    return RegNotifyChangeKeyValue(key_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, watch_, TRUE) == ERROR_SUCCESS;
}

bool SaverValue::WrittenSinceWatch() const
{
    return WaitForSingleObject(watch_, 200) == WAIT_OBJECT_0;
}

std::string Describe(const SaverValue::Value &value)
{
    if (!value.present) return "(absent)";
    std::string text = "type " + std::to_string(value.type) + ":";
    for (BYTE b : value.bytes) text += " " + std::to_string(b);
    return text;
}

}  // namespace testsupport
