// Loads a resource-only DLL as data and shows one dialog from it: the least a
// program like Keldrin has to do before the user sees a window.
//   Baseline.exe           shows the dialog until it is closed
//   Baseline.exe --exit    shows it and closes it as soon as it is on screen
//   Baseline.exe --main    shows Keldrin's own main dialog template from
//                          Keldrin.Eng.dll beside it instead, with no logic
//                          behind it: the same controls cost the same to show
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
    bool keldrinsTemplate = commandLine && wcsstr(commandLine, L"--main");
    if (keldrinsTemplate) {
        // The classes Keldrin registers before its main dialog: the template
        // holds up-down controls and a time picker.
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS | ICC_DATE_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    }
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') length--;
    lstrcpynW(path + length, keldrinsTemplate ? L"Keldrin.Eng.dll" : L"BaselineResource.dll",
              MAX_PATH - static_cast<int>(length));
    HINSTANCE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return 1;
    // 101: Keldrin's main dialog template.
    if (DialogBoxParamW(module, MAKEINTRESOURCEW(keldrinsTemplate ? 101 : 100), nullptr, DialogProc, 0) == -1)
        return 2;
    return 0;
}
