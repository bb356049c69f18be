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
#include "remote/remote_run.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "schedule/schedule_run.h"
#include "settings/settings.h"
#include "ui/dialog_look.h"
#include "ui/main_dialog.h"
#include "ui/notice.h"
#include "ui/select_dialog.h"
#include "update/update_handoff.h"

namespace {

// A refused line performs nothing, least of all at once: the user is told
// why, naming what was given. Each refusal's message takes what was given, or
// nothing; without the module's message the option and the value stand alone.
void ShowRefusal(const CommandLineRefusal &refusal)
{
    const UINT type = MB_OK | MB_ICONEXCLAMATION;
    wchar_t fallback[64];
    FormatText(fallback, COUNTOF(fallback), refusal.value[0] ? L"%ls %%ls" : L"%ls", refusal.option);
    ShowNotice(nullptr, type, refusal.messageId, fallback, refusal.value[0] ? refusal.value : nullptr);
}

// The process's exit code.
int RunCommandLine(const wchar_t *commandLine)
{
    // A refused line changes nothing the user had, the remembered choices included.
    const PowerSettings loaded = g_settings;
    CommandLine line;
    if (!ReadCommandLine(commandLine, &g_settings, &line)) {
        g_settings = loaded;
        ShowRefusal(line.refusal);
        // "--cancel" says by its code whether a countdown may still run: one
        // may. Other computers were all left unasked: a script counts each.
        const int named = line.computers.count > 0 ? line.computers.count : 1;
        FreeMachineList(&line.computers);
        return line.remote ? named : line.cancel || line.every || line.unschedule ? 1 : 0;
    }
    if (line.remote) {
        const RemoteAction action = line.cancel                                ? REMOTE_CANCEL
                                    : g_settings.operation == OPERATION_REBOOT ? REMOTE_RESTART
                                                                               : REMOTE_SHUTDOWN;
        const int failed = RunRemoteRequests(action, g_settings.force == 1, g_settings.waitTotal, line.computers);
        FreeMachineList(&line.computers);
        // What other computers were asked is no choice of this one's to remember.
        g_settings = loaded;
        return failed;
    }
    if (line.every || line.unschedule) {
        // A script is told by the exit code alone when all went well.
        ScheduleAnswer answer;
        if (line.unschedule) {
            answer = RemoveSchedules(line.unscheduleName);
        } else {
            wchar_t program[MAX_PATH] = L"";
            GetModuleFileNameW(nullptr, program, COUNTOF(program));
            ScheduleRequest request = ScheduleRequestOf(g_settings, program);
            request.days = line.everyDays;
            request.waitSeconds = line.everyWait;
            answer = RegisterSchedule(request);
        }
        if (!answer.done) ShowScheduleAnswer(nullptr, answer);
        g_settings = loaded;
        return answer.done ? 0 : 1;
    }
    // The templates of the running Windows: the coloured twins on the Windows 8
    // family, where their owner-drawn buttons get painted, the plain ones elsewhere.
    if (RefusedOnThisMachine(nullptr, g_settings.operation))
        return 0;
    if (g_settings.operation == OPERATION_SELECT)
        RunSelectDialog(nullptr, SelectTemplateId());
    else if (WatchesAnything(g_settings.watch))
        RunWatch(nullptr);
    else if (!CountsDown(g_settings))
        RunPowerOperation(g_settings.operation, g_settings.force == 1);
    else if (MayStartCountdown(nullptr))
        RunCountdownDialog(nullptr, CountdownTemplateId());
    return 0;
}

// "--cancel" of this desktop's countdowns, on a line that is read without a refusal.
bool AsksToCancel(const wchar_t *commandLine)
{
    PowerSettings scratch = {};
    CommandLine line;
    const bool cancel = ReadCommandLine(commandLine, &scratch, &line) && line.cancel && !line.remote;
    FreeMachineList(&line.computers);
    return cancel;
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
    if (commandLine && AsksToCancel(commandLine)) return CancelRunningCountdowns() == 0 ? 0 : 1;

    // The multibyte code page of the run-time library is Japanese (932).
    setlocale(LC_ALL, "jpn");

    // Placement into the process heap keeps the C++ run-time's allocator,
    // and with it its exception machinery, out of the program.
    void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(AppContext));
    if (!block) return 0;
    g_app = new (block) AppContext();
    int exitCode = 0;
    if (ResourceModuleStartUp() == 1) {
        if (!commandLine || !commandLine[0])
            ShowMainDialog(nullptr);
        else
            exitCode = RunCommandLine(commandLine);
        ResourceModuleCloseDown();
    }
    UpdateAtExit();
    g_app->~AppContext();
    HeapFree(GetProcessHeap(), 0, block);
    g_app = nullptr;
    return exitCode;
}
