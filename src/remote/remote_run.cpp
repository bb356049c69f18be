#include "remote/remote_run.h"

#include "base/owned_string.h"
#include "remote/remote_answers.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"

void RemoteMessage(wchar_t *buffer, size_t units, RemoteAction action, const wchar_t *thisComputer)
{
    buffer[0] = L'\0';
    if (action == REMOTE_CANCEL) return;
    const bool restart = action == REMOTE_RESTART;
    const wchar_t *format =
        LoadResFormat(g_resourceModule, restart ? IDS_REMOTE_MESSAGE_RESTART : IDS_REMOTE_MESSAGE_SHUTDOWN, "s",
                      restart ? L"Keldrin on %ls is restarting this computer." : L"Keldrin on %ls is shutting this computer down.");
    FormatText(buffer, units, format, thisComputer);
}

int RunRemoteRequests(RemoteAction action, bool force, int waitSeconds, const MachineList &machines)
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD computerUnits = COUNTOF(computer);
    if (!GetComputerNameW(computer, &computerUnits)) computer[0] = L'\0';
    wchar_t message[KELDRIN_TEXT_UNITS];
    RemoteMessage(message, COUNTOF(message), action, computer);
    const RemoteRequest request = {action, RemoteGraceSeconds(waitSeconds), force, message};

    const int count = machines.count;
    DWORD *errors = static_cast<DWORD *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DWORD) * (count + 1)));
    if (!errors) return count;
    AskMachines(request, machines.names, count, errors);
    const int failed = FailedCount(errors, count);
    if (wchar_t *lines = AnswerLines(machines.names, errors, count)) {
        TellAnswers(action, lines, failed > 0);
        HeapTextBufferFree(lines);
    }
    HeapFree(GetProcessHeap(), 0, errors);
    return failed;
}
