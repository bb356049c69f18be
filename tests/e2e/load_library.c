/* load_library.exe <path>: LoadLibraryW on the path, as an ordinary program
   would load a library. Exit code 0 when it loaded, 1 when not, 2 on usage. */
#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) return 2;
    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) return 1;
    FreeLibrary(module);
    return 0;
}
