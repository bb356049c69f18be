// One request to each other computer, through Windows' remote shutdown
// service: the target shows its own notice, counts the grace period down
// itself and can be stopped there. Nothing runs or waits on this machine.
#ifndef KELDRIN_REMOTE_REQUESTS_H
#define KELDRIN_REMOTE_REQUESTS_H

#include <windows.h>

enum RemoteAction { REMOTE_SHUTDOWN, REMOTE_RESTART, REMOTE_CANCEL };

struct RemoteRequest {
    RemoteAction action;
    DWORD graceSec;          // RemoteGraceSeconds of the line's wait
    bool force;              // other sessions are logged off, unsaved work is lost
    const wchar_t *message;  // the notice's text on every target
};

// Requests in flight at once: a computer that does not answer holds up
// one of these (RPC gives up after 30 s and more), never the rest.
const int kMostRequestsAtOnce = 4;

// The grace period of a wait of seconds: none for 0 or less, and at most
// MAX_SHUTDOWN_TIMEOUT (ten years), the documented limit of both calls.
DWORD RemoteGraceSeconds(int waitSeconds);

// The request to one computer: 0 when its service took it, else the
// system's error code.
DWORD AskMachine(const RemoteRequest &request, const wchar_t *name);

// AskMachine for every name, at most kMostRequestsAtOnce at a time, on
// threads of their own; errors[i] gets the answer of names[i].
void AskMachines(const RemoteRequest &request, wchar_t *const *names, int count, DWORD *errors);

#endif
