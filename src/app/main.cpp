// Keldrin: performs one power operation, at once or after a countdown.
#include <windows.h>

#include <locale.h>
#include <new>

#include "context/app_context.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "base/owned_string.h"
#include "ui/countdown_dialog.h"
#include "power/power_operations.h"
#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"
#include "ui/main_dialog.h"
#include "ui/select_dialog.h"
#include "update/update_handoff.h"

namespace {

// "--at" with no time of day after it, or one that is none: the user is told
// what was given, and nothing runs, least of all at once.
void ShowTimeOfDayProblem(const wchar_t *given)
{
    wchar_t message[2 * KELDRIN_TEXT_UNITS];
    const wchar_t *format;
    if (given[0]) {
        format = LoadResString(g_resourceModule, IDS_AT_MALFORMED, -1);
        if (!FormatMatches(format, "s")) format = L"\"%ls\": HH:MM or HH:MM:SS";
        FormatText(message, COUNTOF(message), format, given);
    } else {
        format = LoadResString(g_resourceModule, IDS_AT_MISSING, -1);
        CopyText(message, COUNTOF(message), format && format[0] ? format : L"--at HH:MM or HH:MM:SS");
    }
    MessageBoxW(nullptr, message, g_app->productName ? g_app->productName : L"", MB_OK | MB_ICONEXCLAMATION);
}

void RunCommandLine(const wchar_t *commandLine)
{
    wchar_t badTime[KELDRIN_TEXT_UNITS];
    if (!ReadCommandLine(commandLine, &g_settings, badTime, COUNTOF(badTime))) {
        ShowTimeOfDayProblem(badTime);
        return;
    }
    // The templates of the running Windows: the coloured twins on the Windows 8
    // family, where their owner-drawn buttons get painted, the plain ones elsewhere.
    if (g_settings.operation == OPERATION_SELECT)
        RunSelectDialog(nullptr, SelectTemplateId());
    else if (!CountsDown(g_settings))
        RunPowerOperation(g_settings.operation, g_settings.force == 1);
    else if (MayStartCountdown(nullptr))
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
    // with shutdown /a: no window of its own, no module needed, nothing else
    // done. Its exit code tells the script whether a countdown still runs.
    if (commandLine && CommandLineHasOption(commandLine, L"--cancel"))
        return CancelRunningCountdowns() == 0 ? 0 : 1;

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
