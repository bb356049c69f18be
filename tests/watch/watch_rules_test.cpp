// A watch's rules against the fake figures and plain times: one reading a
// second, each row a script of what happened before each reading and where
// every watched condition held.
#include <gtest/gtest.h>

#include <string>

#include "base/owned_string.h"
#include "watch/watch_rules.h"
#include "watch_system_fake.h"

namespace {

const long long kStart = 9000000;
const unsigned long long kNearWrap = (1ULL << 32) - 1000;

struct Row {
    const char *name;
    int idleSec, quietSec;
    const wchar_t *program;  // nullptr: none watched
    int bits;                // the adapter's counters
    unsigned long long bytes;
    // Before each reading: '-' nothing, q b c B a second at 2, 40, 42, 60 %
    // of the processor, n N 99 or 101 KB over the network, R the 64-bit
    // counter back at 0, A a new adapter, i input, Z a resume, x the program
    // ends, s one of its name starts (with its old id), F the listing fails,
    // ? no figure readable.
    const char *script;
    const char *holds;  // H where everything holds
};

void Happen(char event, WatchState *state, long long nowMs)
{
    WatchSystemFake &fake = g_watchSystemFake;
    fake.inputKnown = fake.timesKnown = fake.adaptersKnown = event != '?';
    fake.processesListable = event != 'F';
    fake.idleMs = event == 'i' ? 0 : fake.idleMs + 1000;
    int busy = event == 'b' ? 40 : event == 'c' ? 42 : event == 'B' ? 60 : 2;
    fake.times.user += busy * 100;
    fake.times.idle += (100 - busy) * 100;
    fake.times.kernel += (100 - busy) * 100;
    WatchAdapterCounter &adapter = fake.adapters[0];
    adapter.received += event == 'n' ? 99 * 1024 : event == 'N' ? 101 * 1024 : 0;
    if (adapter.bits == 32) adapter.received &= 0xFFFFFFFFULL;
    if (event == 'R') adapter.received = 0;
    if (event == 'A') fake.adapters.push_back(WatchAdapterCounter{9, 5000000000ULL, 5000000000ULL, 64});
    if (event == 'x') fake.processes.erase(fake.processes.begin());
    if (event == 's') fake.processes.push_back(FakeProcess{100, L"ffmpeg.exe"});
    if (event == 'Z') WatchOnResume(state, nowMs);
}

std::string Script(const Row &row, WatchStatus *last = nullptr)
{
    ResetWatchSystemFake();
    g_watchSystemFake.idleMs = 3600 * 1000;  // the last input an hour before the watch
    g_watchSystemFake.adapters = {WatchAdapterCounter{7, row.bytes, 5000, row.bits}};
    g_watchSystemFake.processes = {FakeProcess{100, L"ffmpeg.exe"}, FakeProcess{200, L"explorer.exe"}};
    WatchConditions conditions;
    ClearWatchConditions(&conditions);
    conditions.idleSec = row.idleSec;
    conditions.quietSec = row.quietSec;
    if (row.program) CopyText(conditions.programs[conditions.programCount++], kWatchedProgramUnits, row.program);
    WatchState state;
    WatchStart(&state, kStart);
    std::string holds;
    long long now = kStart;
    for (const char *event = row.script; *event; event++, now += 1000) {
        Happen(*event, &state, now);
        WatchReading reading;
        WatchRead(&conditions, WatchWantsProcesses(&state, &conditions, now), &reading);
        WatchStatus status = WatchOnReading(&state, &conditions, &reading, now);
        holds += status.holds ? 'H' : '.';
        if (last) *last = status;
    }
    // The processes are listed every other second, and only for a program.
    EXPECT_EQ(row.program ? (holds.size() + 1) / 2 : 0, static_cast<size_t>(g_watchSystemFake.listings)) << row.name;
    return holds;
}

const Row kRows[] = {
    {"quiet is judged once five seconds are in", 0, 1, nullptr, 64, 0, "qqqqqqqq", "......HH"},
    {"one busy second in quiet does not start over", 0, 3, nullptr, 64, 0, "qqqqqqqbqqq", "........HHH"},
    {"an average at the mark is not below it", 0, 1, nullptr, 64, 0, "qqqqqqqcqqqqqq", "......H......H"},
    {"quiet seconds between two jobs do not count", 0, 1, nullptr, 64, 0, "BBBBBqqqqBBBB", "............."},
    {"network over the mark", 0, 1, nullptr, 64, 0, "qqqqqqqNqqqqqq", "......H......H"},
    {"a 32-bit counter's wrap is traffic, not a jump", 0, 1, nullptr, 32, kNearWrap, "qqqqqqqnqq", "......HHHH"},
    {"a 32-bit counter's wrap is not nothing", 0, 1, nullptr, 32, kNearWrap, "qqqqqqqNqqqqqq", "......H......H"},
    {"a 64-bit counter that goes back tells nothing", 0, 1, nullptr, 64, 5000000000ULL, "qqqqqqRqq", "......HHH"},
    {"an adapter that appears tells nothing", 0, 1, nullptr, 64, 0, "qqqqqqAqq", "......HHH"},
    {"unreadable figures never hold", 0, 1, nullptr, 64, 0, "qqqqqq?qqqqqqq", ".............H"},
    {"a resume starts quiet over", 0, 1, nullptr, 64, 0, "qqqqqqqZqqqqqq", "......H......H"},
    {"input before the watch is not counted", 3, 0, nullptr, 64, 0, "-----", "...HH"},
    {"input starts idle over", 3, 0, nullptr, 64, 0, "--i-----", ".....HHH"},
    {"a resume starts idle over", 3, 0, nullptr, 64, 0, "--Z-----", ".....HHH"},
    {"unknown input never holds", 1, 0, nullptr, 64, 0, "--?--", ".H.HH"},
    {"names match without regard to case, listed every 2 s", 0, 0, L"FFMPEG.EXE", 64, 0, "---x---", "....HHH"},
    {"a program of the name started again", 0, 0, L"ffmpeg.exe", 64, 0, "-x---s----", "..HHHH...."},
    {"a process id once gone stays ended", 0, 0, L"100", 64, 0, "-x---s----", "..HHHHHHHH"},
    {"a failed listing never holds", 0, 0, L"ffmpeg.exe", 64, 0, "-x--F-----", "..HH..HHHH"},
    {"all must hold at once, and back to watching", 3, 0, L"ffmpeg.exe", 64, 0, "-x--i-----", "...H...HHH"},
};

}  // namespace

TEST(WatchRules, EachScriptHoldsWhereExpected)
{
    for (const Row &row : kRows) EXPECT_EQ(row.holds, Script(row)) << row.name;
}

TEST(WatchRules, ShowsTheWindowsAveragesAndTheQuietTime)
{
    WatchStatus status;
    Script(Row{"", 0, 9, nullptr, 64, 0, "qqqqqqqbn"}, &status);
    EXPECT_EQ(10, status.cpuPercent);  // (2 + 2 + 2 + 40 + 2) / 5 = 9.6, yet below the mark of 10
    EXPECT_EQ(20, status.netKBs);      // 99 / 5 = 19.8, below 20
    EXPECT_EQ(3, status.quietForSec);
}

TEST(WatchRules, CountsAProgramsProcessesForTheRefusalOfATypo)
{
    ResetWatchSystemFake();
    g_watchSystemFake.processes = {FakeProcess{100, L"Ffmpeg.exe"}, FakeProcess{104, L"ffmpeg.EXE"}};
    EXPECT_EQ(2, WatchCountRunning(L"ffmpeg.exe"));
    EXPECT_EQ(1, WatchCountRunning(L"104"));
    EXPECT_EQ(0, WatchCountRunning(L"ffmpg.exe"));
    g_watchSystemFake.processesListable = false;
    EXPECT_EQ(-1, WatchCountRunning(L"ffmpeg.exe"));
}
