// Keldrin: performs one power operation, at once or after a countdown.
#include <windows.h>

#include <locale.h>
#include <new>

#include "app/app_context.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "power/countdown_dialog.h"
#include "power/power_operations.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"
#include "ui/main_dialog.h"
#include "ui/select_dialog.h"
#include "update/update_handoff.h"

namespace {

void RunCommandLine(const wchar_t *commandLine)
{
    ReadCommandLine(commandLine, &g_settings);
    // The templates of the running Windows: the coloured twins on the Windows 8
    // family, where their owner-drawn buttons get painted, the plain ones elsewhere.
    if (g_settings.operation == OPERATION_SELECT)
        RunSelectDialog(nullptr, SelectTemplateId());
    else if (g_settings.waitTotal <= 0)
        RunPowerOperation(g_settings.operation);
    else
        RunCountdownDialog(nullptr, CountdownTemplateId());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything loads a library: a DLL planted beside the program or in
    // the current folder under a system library's name must not be the one found.
    NarrowLibrarySearch();

    // The run-time's own tail drops trailing blanks, which would turn a
    // command line of blanks into the main dialog.
    const wchar_t *commandLine = CommandLineArguments(GetCommandLineW());

    // "--cancel" calls off the countdowns already running, as a script would
    // with shutdown /a: no window of its own, no module needed, nothing else done.
    if (commandLine && CommandLineHasOption(commandLine, L"--cancel")) {
        CancelRunningCountdowns();
        return 0;
    }

    // The multibyte code page of the run-time library is Japanese (932).
    setlocale(LC_ALL, "jpn");

    // Placement into the process heap keeps the C++ run-time's allocator,
    // and with it its exception machinery, out of the program.
    void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(AppContext));
    if (!block) return 0;
    g_app = new (block) AppContext();
    if (ResourceModuleStartUp() == 1) {
        if (!commandLine || !commandLine[0])
            ShowMainDialog(nullptr);
        else
            RunCommandLine(commandLine);
        ResourceModuleCloseDown();
    }
    UpdateAtExit();
    g_app->~AppContext();
    HeapFree(GetProcessHeap(), 0, block);
    g_app = nullptr;
    return 0;
}
