// Stands in for the updater, Fennrick.exe, in the end-to-end tests: it only
// notes how it was started and ends at once. Each start appends one UTF-8 line
//   <command line> TAB <working folder> CR LF
// to fennrick-starts.txt beside this program, so a test can see whether, how
// often and with what the program handed off an update.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring &text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string result(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &result[0], bytes, NULL, NULL);
    }
    return result;
}

}  // namespace

int wmain()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 1;
    }
    wchar_t *slash = wcsrchr(path, L'\\');
    if (slash == NULL) {
        return 1;
    }
    wcscpy_s(slash + 1, MAX_PATH - (slash + 1 - path), L"fennrick-starts.txt");

    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string line = Utf8(GetCommandLineW()) + "\t" + Utf8(folder) + "\r\n";

    // Appending through FILE_APPEND_DATA keeps two quick starts from overwriting each other.
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), (DWORD)line.size(), &written, NULL);
    CloseHandle(file);
    return 0;
}
