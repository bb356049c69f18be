// Asking other computers to shut down, restart or cancel: the run of a
// command line with --computer or --computers.
#ifndef KELDRIN_REMOTE_RUN_H
#define KELDRIN_REMOTE_RUN_H

#include "remote/remote_machines.h"
#include "remote/remote_requests.h"

// The notice each target shows, naming this computer (Keldrin's own name
// is in the module's text): empty for a cancel, which shows none.
void RemoteMessage(wchar_t *buffer, size_t units, RemoteAction action, const wchar_t *thisComputer);

// Asks every computer of machines once, tells their answers, and returns the
// exit code: how many of the requests failed.
int RunRemoteRequests(RemoteAction action, bool force, int waitSeconds, const MachineList &machines);

#endif
