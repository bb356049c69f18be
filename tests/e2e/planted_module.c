/* A library planted under a resource module's name that does hold code: its
   DllMain leaves a marker file beside it. Keldrin must read it for its
   resources without ever running it; load_library.exe runs it on purpose to
   show that the marker does appear when the code runs. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 32];
        DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return TRUE;
        wchar_t *name = path;
        for (wchar_t *p = path; *p; p++)
            if (*p == L'\\' || *p == L'/') name = p + 1;
        lstrcpyW(name, L"planted-module-ran.txt");
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}
