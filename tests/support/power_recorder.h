// The test side of the power seam: every call is written down instead of made.
#ifndef KELDRIN_TEST_POWER_RECORDER_H
#define KELDRIN_TEST_POWER_RECORDER_H

#include <string>
#include <vector>

struct PowerRecorder {
    std::vector<std::string> calls;
    bool user32Loads = true;         // LoadLibraryW("user32.dll") succeeds
    bool lockWorkStationFound = true;  // GetProcAddress finds LockWorkStation
};

extern PowerRecorder g_powerRecorder;

// The monitor-off broadcast as recorded: WM_SYSCOMMAND, SC_MONITORPOWER, 2 (off),
// SMTO_ABORTIFHUNG and 500 ms for each window.
const char kRecordedMonitorOff[] = "SendMessageTimeout(HWND_BROADCAST,0x112,0xf170,2,0x2,500)";

// Clears the record and restores the defaults.
void ResetPowerRecorder();

#endif
