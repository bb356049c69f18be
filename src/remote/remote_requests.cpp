#include "remote/remote_requests.h"

#include "base/owned_string.h"
#include "power/power_system.h"

namespace {

// The names and answers of one run, shared by its threads: each takes the
// next name still to ask until none is left.
struct Batch {
    const RemoteRequest *request;
    wchar_t *const *names;
    int count;
    DWORD *errors;
    volatile LONG next;
};

DWORD WINAPI AskInTurn(void *parameter)
{
    Batch *batch = static_cast<Batch *>(parameter);
    for (;;) {
        const LONG index = InterlockedIncrement(&batch->next) - 1;
        if (index >= batch->count) return 0;
        batch->errors[index] = AskMachine(*batch->request, batch->names[index]);
    }
}

// A failed call whose thread has no error set still failed.
DWORD LastErrorOfFailure()
{
    const DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

}  // namespace

DWORD RemoteGraceSeconds(int waitSeconds)
{
    if (waitSeconds <= 0) return 0;
    const DWORD seconds = static_cast<DWORD>(waitSeconds);
    return seconds < MAX_SHUTDOWN_TIMEOUT ? seconds : MAX_SHUTDOWN_TIMEOUT;
}

DWORD AskMachine(const RemoteRequest &request, const wchar_t *name)
{
    // The calls take writable strings; "\\" before the name, as "shutdown /m" writes it.
    wchar_t machine[KELDRIN_TEXT_UNITS + 2];
    wchar_t message[KELDRIN_TEXT_UNITS];
    FormatText(machine, COUNTOF(machine), L"\\\\%ls", name);
    CopyText(message, COUNTOF(message), request.message);
    if (request.action == REMOTE_CANCEL) return PowerAbortSystemShutdown(machine) ? ERROR_SUCCESS : LastErrorOfFailure();

    const bool restart = request.action == REMOTE_RESTART;
    if (InitiateShutdownProc initiate = PowerFindInitiateShutdown()) {
        // A grace period of 0 overrides the one the target may impose; with
        // any other the override flag makes the call fail (ERROR_BAD_ARGUMENTS).
        const DWORD flags = (restart ? SHUTDOWN_RESTART : SHUTDOWN_POWEROFF) |
                            (request.force ? SHUTDOWN_FORCE_OTHERS : 0) |
                            (request.graceSec == 0 ? SHUTDOWN_GRACE_OVERRIDE : 0);
        return initiate(machine, message, request.graceSec, flags, kPlannedShutdownReason);
    }
    return PowerInitiateSystemShutdownEx(machine, message, request.graceSec, request.force, restart,
                                         kPlannedShutdownReason)
               ? ERROR_SUCCESS
               : LastErrorOfFailure();
}

void AskMachines(const RemoteRequest &request, wchar_t *const *names, int count, DWORD *errors)
{
    Batch batch = {&request, names, count, errors, 0};
    HANDLE threads[kMostRequestsAtOnce];
    int started = 0;
    while (started < count && started < kMostRequestsAtOnce) {
        // A small stack: the thread only formats two texts and waits on RPC.
        threads[started] = CreateThread(nullptr, 64 * 1024, AskInTurn, &batch, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (!threads[started]) break;
        started++;
    }
    // Without a thread of its own the names are asked here, one after another.
    if (started == 0) AskInTurn(&batch);
    if (started) WaitForMultipleObjects(static_cast<DWORD>(started), threads, TRUE, INFINITE);
    for (int i = 0; i < started; i++) CloseHandle(threads[i]);
}
