// Loads a resource-only DLL as data and shows one dialog from it: the least a
// program like Keldrin has to do before the user sees a window.
//   Baseline.exe           shows the dialog until it is closed
//   Baseline.exe --exit    shows it and closes it as soon as it is on screen
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

namespace {

bool g_exitAtOnce = false;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        if (g_exitAtOnce) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

// Every DLL Keldrin.exe imports, imported here too: the system maps them all
// before the first line runs, and a program that imports fewer would start
// quicker for reasons that say nothing of Keldrin's own work. Never called.
void ImportWhatKeldrinImports()
{
    RegCloseKey(nullptr);                                               // advapi32
    InitCommonControls();                                               // comctl32
    GetStockObject(WHITE_BRUSH);                                        // gdi32
    CoUninitialize();                                                   // ole32
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, nullptr);     // shell32
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    if (commandLine && wcsstr(commandLine, L"--imports-only-for-the-linker")) ImportWhatKeldrinImports();
    g_exitAtOnce = commandLine && wcsstr(commandLine, L"--exit");
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') length--;
    lstrcpynW(path + length, L"BaselineResource.dll", MAX_PATH - static_cast<int>(length));
    HINSTANCE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return 1;
    DialogBoxParamW(module, MAKEINTRESOURCEW(100), nullptr, DialogProc, 0);
    return 0;
}
