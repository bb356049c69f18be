// The test side of the power seam: every call is written down instead of made.
#ifndef KELDRIN_TEST_POWER_RECORDER_H
#define KELDRIN_TEST_POWER_RECORDER_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The wait for the lock screen runs on a clock of the recorder's own: a pause
// moves it on at once, so no test waits real seconds.
const DWORD kLockScreenNever = INFINITE;

struct PowerRecorder {
    std::vector<std::string> calls;
    bool user32Loads = true;         // LoadLibraryW("user32.dll") succeeds
    bool lockWorkStationFound = true;  // GetProcAddress finds LockWorkStation
    BOOL lockWorkStationResult = TRUE;  // what LockWorkStation returns (Wine: 0)

    // The lock screen takes the input this many ms after LockWorkStation
    // (kLockScreenNever: not at all); until then the input desktop is ours.
    DWORD lockScreenAfterMs = 0;
    DWORD clockMs = 0;            // the recorder's clock, started by ResetPowerRecorder
    DWORD lockedAtMs = kLockScreenNever;  // when LockWorkStation was called
    int desktopChecks = 0;        // how often the input desktop was looked at
    DWORD broadcastAtMs = kLockScreenNever;  // when the last broadcast was sent

    // The user moves the mouse until then on the recorder's clock
    // (kInputForever: all along; 0: not in the minute before the start).
    DWORD inputUntilMs = 0;
    // What GetPwrCapabilities reports: by default S3, S4 and a hibernation file.
    bool capabilitiesKnown = true;
    SYSTEM_POWER_CAPABILITIES capabilities;

    // Other computers, asked from threads: each call takes remoteCallMs of real
    // time (slowMachineMs for slowMachine, "\\\\" first) and answers its name's
    // remoteErrors entry (0 without one); InitiateShutdownW is there as on Vista.
    bool initiateShutdownFound = true;
    std::map<std::string, DWORD> remoteErrors;
    DWORD remoteCallMs = 0, slowMachineMs = 0;
    std::string slowMachine;
    int remoteInFlight = 0;
    int remoteMostInFlight = 0;  // the most calls seen under way at once
};

const DWORD kInputForever = INFINITE;

extern PowerRecorder g_powerRecorder;

// The monitor-off broadcast as recorded: WM_SYSCOMMAND, SC_MONITORPOWER, 2 (off),
// SMTO_ABORTIFHUNG and 500 ms for each window.
const char kRecordedMonitorOff[] = "SendMessageTimeout(HWND_BROADCAST,0x112,0xf170,2,0x2,500)";

// Clears the record and restores the defaults.
void ResetPowerRecorder();

#endif
