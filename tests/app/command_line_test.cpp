#include <gtest/gtest.h>

#include <limits.h>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

typedef std::vector<std::wstring> Args;

// Splits text and checks what every caller relies on: the count matches the
// array, which is closed by null and never holds an empty string.
Args Split(const wchar_t *text)
{
    int count = -7;
    wchar_t **array = SplitCommandLine(text, &count);
    Args args;
    if (array) {
        for (wchar_t **item = array; *item; item++) {
            EXPECT_NE(L'\0', (*item)[0]) << "empty argument";
            args.push_back(*item);
        }
    }
    EXPECT_EQ(static_cast<int>(args.size()), count);
    EXPECT_EQ(count == 0, array == nullptr);
    StringArrayFree(&array);
    return args;
}

PowerSettings Read(const wchar_t *text)
{
    PowerSettings settings = {};
    settings.operation = 3;  // loaded values the command line must drop...
    settings.waitMin = 7;
    settings.waitSec = 8;
    settings.waitTotal = 9;
    settings.destination = 2;  // ...and the ones it must keep
    settings.selection = 4;
    ReadCommandLine(text, &settings);
    EXPECT_EQ(2, settings.destination);
    EXPECT_EQ(4, settings.selection);
    return settings;
}

// Reads a line of a refusal table: refused exactly when refusedId is set,
// with that message and (where given) the value it names.
void ReadExpecting(const wchar_t *text, int refusedId, const wchar_t *named, PowerSettings *s, CommandLine *line)
{
    EXPECT_EQ(refusedId == 0, ReadCommandLine(text, s, line));
    EXPECT_EQ(refusedId, line->refusal.messageId);
    if (named) {
        EXPECT_EQ(std::wstring(named), std::wstring(line->refusal.value));
    }
}

}  // namespace

TEST(SplitCommandLine, BlanksSeparateAndRunsOfThemProduceNothing)
{
    EXPECT_EQ((Args{L"--reboot", L"--wait", L"10"}), Split(L"  --reboot \t\r\n --wait\t10  "));
    EXPECT_EQ(Args{}, Split(L" \t \r\n "));
    EXPECT_EQ(Args{}, Split(L""));
    EXPECT_EQ(Args{}, Split(nullptr));
}

TEST(SplitCommandLine, OuterQuotesOfEitherKindComeOffWhenBothEndsMatch)
{
    EXPECT_EQ(Args{L"--shutdown"}, Split(L"\"--shutdown\""));
    EXPECT_EQ(Args{L"--shutdown"}, Split(L"'--shutdown'"));
    EXPECT_EQ(Args{L"two words"}, Split(L"\"two words\""));
    // Opened by a double quote, closed by a single one: both stay.
    EXPECT_EQ(Args{L"\"--reboot'"}, Split(L"\"--reboot'"));
    // Quotes inside a token stay; only the outermost matching pair goes.
    EXPECT_EQ(Args{L"a\"b c\"d"}, Split(L"a\"b c\"d"));
    EXPECT_EQ(Args{L"say \"hi\""}, Split(L"\"say \"hi\"\""));
}

TEST(SplitCommandLine, QuotedBlanksIncludingLineBreaksStayInTheArgument)
{
    EXPECT_EQ((Args{L"line\r\none\ttab", L"next"}), Split(L"'line\r\none\ttab' next"));
    // The end of the text finishes a stretch that is still open.
    EXPECT_EQ((Args{L"x", L"\"open to the end "}), Split(L"x \"open to the end "));
}

TEST(SplitCommandLine, EmptyAndLoneQuotesYieldNothing)
{
    EXPECT_EQ(Args{}, Split(L"\"\""));
    EXPECT_EQ(Args{}, Split(L"''"));
    EXPECT_EQ(Args{}, Split(L"\""));
    EXPECT_EQ(Args{L"--logoff"}, Split(L"\"\" --logoff '"));
    // A lone quote opens a stretch that swallows the blank after it: not a pair.
    EXPECT_EQ((Args{L"--logoff", L"' "}), Split(L"--logoff ' "));
}

TEST(SplitCommandLine, EscapedQuoteContributesTheQuoteAloneAndNeverToggles)
{
    EXPECT_EQ(Args{L"a\"b"}, Split(L"a\\\"b"));
    EXPECT_EQ((Args{L"it's", L"x"}), Split(L"it\\'s x"));
    // Inside a stretch the escaped quote does not close it.
    EXPECT_EQ(Args{L"a \" b"}, Split(L"\"a \\\" b\""));
    // A backslash before anything else is an ordinary character.
    EXPECT_EQ(Args{L"C:\\dir\\file"}, Split(L"C:\\dir\\file"));
    EXPECT_EQ(Args{L"end\\"}, Split(L"end\\"));
}

TEST(SplitCommandLine, LongArgumentsAreKeptWhole)
{
    std::wstring longest(2000, L'x');
    std::wstring text = L"--a " + longest + L" \"" + longest + L" y\" --b";
    Args args = Split(text.c_str());
    ASSERT_EQ(4u, args.size());
    EXPECT_EQ(longest, args[1]);
    EXPECT_EQ(longest + L" y", args[2]);
    EXPECT_EQ(L"--b", args[3]);

    std::wstring exact(1023, L'q'), over(1024, L'r');
    EXPECT_EQ(Args{exact}, Split(exact.c_str()));
    EXPECT_EQ(Args{over}, Split(over.c_str()));
}

TEST(StringArray, AddCopiesSkipsEmptyAndFreeClearsThePointer)
{
    wchar_t **array = nullptr;
    EXPECT_EQ(0, StringArrayFree(&array));
    EXPECT_EQ(0, StringArrayAdd(&array, L""));
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(nullptr, array[0]);
    wchar_t text[] = L"one";
    EXPECT_EQ(1, StringArrayAdd(&array, text));
    text[0] = L'X';
    EXPECT_EQ(1, StringArrayAdd(&array, nullptr));
    EXPECT_EQ(2, StringArrayAdd(&array, L"two"));
    EXPECT_STREQ(L"one", array[0]);
    EXPECT_STREQ(L"two", array[1]);
    EXPECT_EQ(nullptr, array[2]);
    EXPECT_EQ(1, StringArrayFree(&array));
    EXPECT_EQ(nullptr, array);
}

TEST(WideStringEqual, WholeStringCaseSensitiveWithNullAsEmpty)
{
    EXPECT_EQ(1, WideStringEqual(nullptr, L""));
    EXPECT_EQ(1, WideStringEqual(L"", nullptr));
    EXPECT_EQ(1, WideStringEqual(nullptr, nullptr));
    EXPECT_EQ(0, WideStringEqual(L"1", nullptr));
    EXPECT_EQ(0, WideStringEqual(nullptr, L"1"));
    EXPECT_EQ(1, WideStringEqual(L"1", L"1"));
    EXPECT_EQ(0, WideStringEqual(L"1", L"1 "));
    EXPECT_EQ(0, WideStringEqual(L"--Shutdown", L"--shutdown"));
}

TEST(ReadCommandLine, OperationOptionsSetTheirCodesAndTheLastOneWins)
{
    const wchar_t *options[] = {L"--shutdown", L"--reboot", L"--standby", L"--sleep", L"--logoff",
                                L"--monitoroff", L"--monitorlock", L"--monitorofflock", L"--select"};
    for (int code = 1; code <= 9; code++) {
        PowerSettings s = Read(options[code - 1]);
        EXPECT_EQ(code, s.operation) << options[code - 1];
        EXPECT_EQ(0, s.waitTotal);
    }
    EXPECT_EQ(2, Read(L"--shutdown --reboot").operation);
}

// The operation and the three waits a command line leaves.
void ExpectRead(const PowerSettings &s, int operation, int waitTotal, int waitMin, int waitSec)
{
    EXPECT_EQ(operation, s.operation);
    EXPECT_EQ(waitTotal, s.waitTotal);
    EXPECT_EQ(waitMin, s.waitMin);
    EXPECT_EQ(waitSec, s.waitSec);
}

TEST(ReadCommandLine, ClearsLoadedOperationAndWaitsEvenWhenNothingMatches)
{
    PowerSettings s = Read(L"   ");
    ExpectRead(s, 0, 0, 0, 0);
    // Other letter case and an equals sign are not options.
    s = Read(L"--Shutdown --wait=10");
    EXPECT_EQ(0, s.operation);
    EXPECT_EQ(0, s.waitTotal);
}

TEST(ReadCommandLine, WaitsAddUpAndKeepTheirParts)
{
    ExpectRead(Read(L"--reboot --wait-min 2 --wait-sec 5 --wait 10"), 2, 135, 2, 5);
    EXPECT_EQ(10, Read(L"--wait 10").waitTotal);
    EXPECT_EQ(30, Read(L"--wait 5 --wait 30").waitTotal);
    EXPECT_EQ(-5, Read(L"--logoff --wait -5").waitTotal);
    EXPECT_EQ(60, Read(L"--select --wait 60").waitTotal);
}

TEST(ReadCommandLine, ValueOptionTakesTheNextArgumentWhateverItSays)
{
    PowerSettings s = Read(L"--wait --shutdown");
    EXPECT_EQ(0, s.operation);
    EXPECT_EQ(0, s.waitTotal);
    s = Read(L"--shutdown --wait");  // last: ignored
    EXPECT_EQ(1, s.operation);
    EXPECT_EQ(0, s.waitTotal);
    s = Read(L"--wait-min --wait-sec 7");  // "--wait-sec" is the minutes value, 7 is skipped
    EXPECT_EQ(0, s.waitMin);
    EXPECT_EQ(0, s.waitSec);
    EXPECT_EQ(0, s.waitTotal);
}

TEST(ReadCommandLine, ValuesReadLikeWcstol)
{
    EXPECT_EQ(0, Read(L"--wait abc").waitTotal);
    EXPECT_EQ(12, Read(L"--wait 12abc").waitTotal);
    EXPECT_EQ(7, Read(L"--wait \" +7\"").waitTotal);
    EXPECT_EQ(-3, Read(L"--wait -3").waitTotal);
    EXPECT_EQ(INT_MAX, Read(L"--wait 99999999999").waitTotal);
    EXPECT_EQ(INT_MIN, Read(L"--wait -99999999999").waitTotal);
}

TEST(ReadCommandLine, TotalSaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(INT_MAX, Read(L"--wait-min 2147483647").waitTotal);
    EXPECT_EQ(INT_MAX, Read(L"--wait 2147483647 --wait-sec 1").waitTotal);
    EXPECT_EQ(INT_MIN, Read(L"--wait-min -2147483648").waitTotal);
    EXPECT_EQ(INT_MIN, Read(L"--wait -2147483648 --wait-sec -1").waitTotal);
    EXPECT_EQ(2147483647 - 60, Read(L"--wait 2147483647 --wait-min -1").waitTotal);
}

TEST(ReadCommandLine, SaverLockOffTokenTurnsTheOptionOnAndNeverOff)
{
    PowerSettings s = {};
    ReadCommandLine(L"--standby --wait 45 --saverlockoff", &s);
    EXPECT_EQ(1, s.saverLockOff);
    EXPECT_EQ(3, s.operation);
    EXPECT_EQ(45, s.waitTotal);
    s.saverLockOff = 1;
    ReadCommandLine(L"--standby", &s);
    EXPECT_EQ(1, s.saverLockOff);  // the loaded value stays when the token is absent
}

// "--at": the count runs to a time of day, whatever waits the line gives; a
// time that cannot be read is reported and chooses nothing.
TEST(ReadCommandLine, AtTakesATimeOfDayAndReplacesTheWaits)
{
    struct {
        const wchar_t *line;
        bool wellFormed;
        int atTime;           // -1: no time of day chosen
        const wchar_t *bad;   // what the report names
    } cases[] = {
        {L"--shutdown --at 23:30", true, 23 * 3600 + 30 * 60, L""},
        {L"--shutdown --at 7:05", true, 7 * 3600 + 5 * 60, L""},
        {L"--shutdown --at 00:00:00", true, 0, L""},
        {L"--shutdown --at 23:59:59", true, 86399, L""},
        {L"--wait 90 --at 06:00 --wait-min 2", true, 6 * 3600, L""},
        {L"--at 06:00 --at 07:00", true, 7 * 3600, L""},
        {L"--shutdown --at 25:00", false, -1, L"25:00"},
        {L"--shutdown --at 24:00", false, -1, L"24:00"},
        {L"--shutdown --at 7:5x", false, -1, L"7:5x"},
        {L"--shutdown --at 7:5", false, -1, L"7:5"},
        {L"--shutdown --at 12:60", false, -1, L"12:60"},
        {L"--shutdown --at 12:00:60", false, -1, L"12:00:60"},
        {L"--shutdown --at \" 12:00\"", false, -1, L" 12:00"},
        {L"--shutdown --at 123:00", false, -1, L"123:00"},
        {L"--shutdown --at -1:00", false, -1, L"-1:00"},
        {L"--shutdown --at 12", false, -1, L"12"},
        {L"--shutdown --at --wait 10", false, -1, L"--wait"},
        {L"--shutdown --at", false, -1, L""},
        {L"--at 25:00 --at 06:00", false, -1, L"25:00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.line)));
        PowerSettings s = {};
        s.atTime = 4242;
        CommandLine line;
        EXPECT_EQ(c.wellFormed, ReadCommandLine(c.line, &s, &line));
        const std::wstring bad = line.refusal.value;
        EXPECT_EQ(c.wellFormed ? 0 : c.bad[0] ? IDS_AT_MALFORMED : IDS_AT_MISSING, line.refusal.messageId);
        EXPECT_EQ(c.atTime >= 0 ? 1 : 0, s.useAtTime);
        EXPECT_EQ(c.atTime >= 0 ? c.atTime : 4242, s.atTime) << "a time not read leaves the remembered one";
        EXPECT_EQ(std::wstring(c.bad), bad);
        if (c.atTime >= 0) {
            EXPECT_EQ(0, s.waitTotal) << "the waits count for nothing beside a time of day";
        }
    }
    // A line without "--at" counts its wait, and "--force" is read on every line.
    PowerSettings s = {};
    s.useAtTime = 1;
    EXPECT_TRUE(ReadCommandLine(L"--reboot --wait 10 --force", &s));
    EXPECT_EQ(0, s.useAtTime);
    EXPECT_EQ(10, s.waitTotal);
    EXPECT_EQ(1, s.force);
    EXPECT_TRUE(ReadCommandLine(L"--reboot", &s));
    EXPECT_EQ(0, s.force);
}

TEST(ReadCommandLine, QuotedOptionsAreRecognised)
{
    EXPECT_EQ(2, Read(L"\"--reboot\"").operation);
    EXPECT_EQ(2, Read(L"'--reboot'").operation);
    EXPECT_EQ(90, Read(L"--shutdown \"--wait\" '90'").waitTotal);
}

// Anything that is no option of the program (a typo, an option of a newer
// version, a word where an option belongs) refuses the whole line, naming
// every such argument; a value is never taken for one.
TEST(ReadCommandLine, ArgumentsThatAreNoOptionRefuseTheLineAndAreAllNamed)
{
    struct {
        const wchar_t *line;
        const wchar_t *named;  // null: accepted
    } cases[] = {
        {L"--shutdown --wiat 600", L"--wiat\n600"},
        {L"--shutdown now", L"now"},
        {L"--Shutdown --wait=10", L"--Shutdown\n--wait=10"},
        {L"--reboot --shutdwn --at 25:00 --wiat", L"--shutdwn\n--wiat"},  // the first problem is named
        {L"--wait --wiat", nullptr},  // a value, whatever it says
        {L"--cancel \"  \"", nullptr},  // a quoted blank names nothing
        {L"   ", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.line)));
        PowerSettings s = {};
        CommandLine line;
        EXPECT_EQ(c.named == nullptr, ReadCommandLine(c.line, &s, &line));
        EXPECT_EQ(c.named ? IDS_UNKNOWN_ARGUMENTS : 0, line.refusal.messageId);
        EXPECT_EQ(std::wstring(c.named ? c.named : L""), std::wstring(line.refusal.value));
    }
    CommandLine line;
    PowerSettings s = {};
    ReadCommandLine(L"--wait 5 --cancel", &s, &line);
    EXPECT_TRUE(line.cancel);
    ReadCommandLine(L"--wait --cancel", &s, &line);
    EXPECT_FALSE(line.cancel) << "the wait's value";
}

// A watch's numbers are digits within their ranges; anything else refuses
// the line, naming what was given, and no watch is left in the settings.
TEST(ReadCommandLine, WatchOptionsTakeDigitsInRangeAndRefuseTheRest)
{
    struct {
        const wchar_t *line;
        int refusedId;  // 0: accepted
        const wchar_t *named;
        int idleSec, quietSec, cpuBelow, netBelow, programs, waitTotal;
    } cases[] = {
        {L"--shutdown --idle-min 10", 0, L"", 600, 0, 10, 20, 0, 60},
        {L"--shutdown --idle-min 1 --idle-sec 30 --wait 5", 0, L"", 90, 0, 10, 20, 0, 5},
        {L"--shutdown --quiet-sec 5 --cpu-below 99 --net-below 1000000", 0, L"", 0, 5, 99, 1000000, 0, 60},
        {L"--reboot --after-exit ffmpeg.exe --after-exit 4242", 0, L"", 0, 0, 10, 20, 2, 60},
        {L"--idle-min 1440", 0, L"", 86400, 0, 10, 20, 0, 60},
        {L"--idle-min 1440 --idle-sec 1", IDS_WATCH_TIME_RANGE, L"--idle-sec", 0, 0, 10, 20, 0, 0},
        {L"--idle-min 0", IDS_WATCH_TIME_RANGE, L"--idle-min", 0, 0, 10, 20, 0, 0},
        {L"--quiet-min -5", IDS_WATCH_NOT_A_NUMBER, L"--quiet-min -5", 0, 0, 10, 20, 0, 0},
        {L"--idle-min 1O", IDS_WATCH_NOT_A_NUMBER, L"--idle-min 1O", 0, 0, 10, 20, 0, 0},
        {L"--idle-min", IDS_WATCH_NOT_A_NUMBER, L"--idle-min", 0, 0, 10, 20, 0, 0},
        {L"--quiet-min 5 --cpu-below 0", IDS_WATCH_PERCENT_RANGE, L"--cpu-below 0", 0, 0, 10, 20, 0, 0},
        {L"--quiet-min 5 --cpu-below 100", IDS_WATCH_PERCENT_RANGE, L"--cpu-below 100", 0, 0, 10, 20, 0, 0},
        {L"--quiet-min 5 --net-below 1000001", IDS_WATCH_RATE_RANGE, L"--net-below 1000001", 0, 0, 10, 20, 0, 0},
        {L"--shutdown --after-exit", IDS_WATCH_NAME_MISSING, L"", 0, 0, 10, 20, 0, 0},
        {L"--shutdown --after-exit \"\"", IDS_WATCH_NAME_MISSING, L"", 0, 0, 10, 20, 0, 0},
        {L"--after-exit a --after-exit b --after-exit c --after-exit d --after-exit e --after-exit f "
         L"--after-exit g --after-exit h --after-exit i", IDS_WATCH_TOO_MANY, L"i", 0, 0, 10, 20, 0, 0},
        {L"--shutdown --at 23:30 --idle-min 5", IDS_WATCH_NOT_COMBINED, L"--at\n--idle-min", 0, 0, 10, 20, 0, 0},
        {L"--select --after-exit x.exe", IDS_WATCH_NOT_COMBINED, L"--select\n--after-exit", 0, 0, 10, 20, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.line)));
        PowerSettings s = {};
        CommandLine line;
        ReadExpecting(c.line, c.refusedId, c.named, &s, &line);
        EXPECT_EQ(c.idleSec, s.watch.idleSec);
        EXPECT_EQ(c.quietSec, s.watch.quietSec);
        EXPECT_EQ(c.cpuBelow, s.watch.cpuBelow);
        EXPECT_EQ(c.netBelow, s.watch.netBelowKBs);
        EXPECT_EQ(c.programs, s.watch.programCount);
        if (c.refusedId == 0) {
            EXPECT_EQ(c.waitTotal, s.waitTotal);
        }
    }
}

// Other computers are shut down or restarted, at once or after a wait, or
// their shutdown cancelled; anything else with them, or a name or list that
// gives nobody, refuses the line. {list} stands for a list file's path.
TEST(ReadCommandLine, ComputersTakeNamesAndListsAndRefuseWhatTheyCannotBeAsked)
{
    const std::wstring list = testsupport::UniqueTempPath(L"computers", L".txt");
    const std::wstring none = testsupport::UniqueTempPath(L"no-computers", L".txt");
    for (const auto &file : {std::make_pair(list, "\xEF\xBB\xBF# room 4\r\nlab1\r\n\r\n\\\\lab2\r\n"),
                             std::make_pair(none, "# nobody yet\n\n")}) {
        FILE *written = _wfopen(file.first.c_str(), L"wb");
        ASSERT_NE(nullptr, written);
        fputs(file.second, written);
        fclose(written);
    }
    struct {
        std::wstring line;
        int refusedId;  // 0: accepted
        std::wstring named;  // the names taken, or what the refusal names
        int waitTotal;
    } cases[] = {
        {L"--reboot --computer \\\\pc1 --computer pc2.example.org --computer 10.0.0.5 --wait 90 --force", 0,
         L"pc1|pc2.example.org|10.0.0.5", 90},
        {L"--shutdown --computers \"" + list + L"\" --computer pc9 --wait-min 1", 0, L"lab1|lab2|pc9", 60},
        {L"--cancel --computer pc1", 0, L"pc1", 0},
        {L"--standby --computer pc1", IDS_REMOTE_OPERATION, L"--standby", 0},
        {L"--computer pc1", IDS_REMOTE_OPERATION, L"--computer", 0},
        {L"--shutdown --computer pc1 --at 23:00", IDS_REMOTE_OPERATION, L"--at", 0},
        {L"--shutdown --computer pc1 --idle-min 5", IDS_REMOTE_OPERATION, L"--idle-min", 0},
        {L"--shutdown --computer", IDS_REMOTE_NAME_MISSING, L"", 0},
        {L"--shutdown --computers", IDS_REMOTE_LIST_MISSING, L"", 0},
        {L"--shutdown --computers \"" + list + L".gone\"", IDS_REMOTE_LIST_UNREADABLE, list + L".gone", 0},
        {L"--shutdown --computers \"" + none + L"\"", IDS_REMOTE_LIST_EMPTY, none, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.line));
        PowerSettings s = {};
        CommandLine line;
        ReadExpecting(c.line.c_str(), c.refusedId, nullptr, &s, &line);
        EXPECT_TRUE(line.remote);
        std::wstring names;
        for (int i = 0; i < line.computers.count; i++) names += (i ? L"|" : L"") + std::wstring(line.computers.names[i]);
        EXPECT_EQ(c.named, c.refusedId ? std::wstring(line.refusal.value) : names);
        if (c.refusedId == 0) {
            EXPECT_EQ(c.waitTotal, s.waitTotal);
        }
        FreeMachineList(&line.computers);
    }
    DeleteFileW(list.c_str());
    DeleteFileW(none.c_str());
}

// A repetition needs its days, --at and an operation it can run alone, and
// keeps the line's wait for its countdown; --unschedule needs a name.
TEST(ReadCommandLine, EveryTakesDaysWithAtAndAnOperationAndUnscheduleAName)
{
    struct {
        const wchar_t *line;
        int refusedId;  // 0: accepted
        const wchar_t *named;  // what the refusal names
        int days, wait;
    } cases[] = {
        {L"--shutdown --every weekdays --at 23:00", 0, L"", 0x3E, 0},
        {L"--every MON,wed,sun --at 7:30 --reboot --wait 120", 0, L"", 0x0B, 120},
        {L"--shutdown --every daily --at 23:00 --wait-min 2", 0, L"", 0x7F, 120},
        {L"--shutdown --every weekdays", IDS_SCHEDULE_AT_NEEDED, L"", 0x3E, 0},
        {L"--every weekends --at 23:00", IDS_SCHEDULE_OPERATION_NEEDED, L"", 0x41, 0},
        {L"--shutdown --every fridays --at 23:00", IDS_SCHEDULE_DAYS_MALFORMED, L"fridays", 0, 0},
        {L"--shutdown --every mon,,tue --at 23:00", IDS_SCHEDULE_DAYS_MALFORMED, L"mon,,tue", 0, 0},
        {L"--shutdown --at 23:00 --every", IDS_SCHEDULE_DAYS_MISSING, L"", 0, 0},
        {L"--select --every daily --at 23:00", IDS_WATCH_NOT_COMBINED, L"--every\n--select", 0x7F, 0},
        {L"--shutdown --every daily --at 23:00 --idle-min 5", IDS_WATCH_NOT_COMBINED, L"--every\n--idle-min", 0x7F, 0},
        {L"--shutdown --every daily --at 23:00 --computer pc1", IDS_REMOTE_OPERATION, L"--every", 0x7F, 0},
        {L"--unschedule", IDS_UNSCHEDULE_MISSING, L"", 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.line)));
        PowerSettings s = {};
        CommandLine line;
        ReadExpecting(c.line, c.refusedId, c.named, &s, &line);
        EXPECT_NE(line.every, line.unschedule);  // either way a refusal exits 1
        EXPECT_EQ(c.days, line.everyDays);
        if (c.refusedId == 0) {
            EXPECT_EQ(c.wait, line.everyWait);
        }
        FreeMachineList(&line.computers);
    }
    PowerSettings s = {};
    CommandLine line;
    EXPECT_TRUE(ReadCommandLine(L"--unschedule \"Shut down at 23.00, every day\"", &s, &line));
    EXPECT_TRUE(line.unschedule);
    EXPECT_STREQ(L"Shut down at 23.00, every day", line.unscheduleName);
}

TEST(CommandLineArguments, SkipsTheProgramNameAndOneBlankOnly)
{
    EXPECT_STREQ(L"--shutdown --wait 90", CommandLineArguments(L"\"C:\\Program Files\\Keldrin.exe\" --shutdown --wait 90"));
    EXPECT_STREQ(L"--reboot", CommandLineArguments(L"Keldrin.exe --reboot"));
    EXPECT_STREQ(L"\t'--reboot'", CommandLineArguments(L"Keldrin\t\t'--reboot'"));
    // No arguments, even with the trailing blank some launchers add: the main dialog.
    EXPECT_STREQ(L"", CommandLineArguments(L"\"C:\\Tools\\Keldrin.exe\""));
    EXPECT_STREQ(L"", CommandLineArguments(L"\"C:\\Tools\\Keldrin.exe\" "));
    EXPECT_STREQ(L"", CommandLineArguments(L"Keldrin.exe"));
    // Blanks beyond the separator are a command line of their own, which runs nothing.
    EXPECT_STREQ(L"   ", CommandLineArguments(L"\"Keldrin.exe\"    "));
    // A name whose closing quote is missing takes the rest.
    EXPECT_STREQ(L"", CommandLineArguments(L"\"C:\\Tools\\Keldrin.exe --reboot"));
    EXPECT_EQ(nullptr, CommandLineArguments(nullptr));
}
