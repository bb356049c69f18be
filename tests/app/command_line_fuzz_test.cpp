// Random command lines against a plain reference model of the splitting and
// option rules. The run is seeded, so a failure names a command line that
// fails again; KELDRIN_FUZZ_COUNT and KELDRIN_FUZZ_SEED change its size and
// seed (bench/command_line_fuzz.sh runs a million).
#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "settings/settings.h"

namespace {

typedef std::vector<std::wstring> Args;

// xorshift64*: small, fast and the same on every platform.
struct Random {
    uint64_t state;
    uint32_t Next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<uint32_t>((state * 2685821657736338717ULL) >> 32);
    }
    uint32_t Below(uint32_t bound) { return Next() % bound; }
};

bool IsQuote(wchar_t ch) { return ch == L'"' || ch == L'\''; }
bool IsBlank(wchar_t ch) { return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n'; }

Args ModelSplit(const std::wstring &text)
{
    Args args;
    std::wstring token;
    bool quoted = false;
    auto finish = [&]() {
        if (!token.empty() && IsQuote(token[0]) && token[0] == token.back())
            token = token.size() > 1 ? token.substr(1, token.size() - 2) : std::wstring();
        if (!token.empty()) args.push_back(token);
        token.clear();
    };
    for (size_t i = 0; i < text.size(); i++) {
        wchar_t ch = text[i];
        if (IsBlank(ch)) {
            if (quoted) token += ch;
            else if (!token.empty()) finish();
        } else if (IsQuote(ch)) {
            token += ch;
            quoted = !quoted;
        } else if (ch == L'\\' && i + 1 < text.size() && IsQuote(text[i + 1])) {
            token += text[++i];
        } else {
            token += ch;
        }
    }
    if (!token.empty()) finish();
    return args;
}

// Decimal reading as wcstol does it in base 10, clamped to 32 bits.
int ModelValue(const std::wstring &text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= 9 && text[i] <= 13))) i++;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; i++) {
        value = value * 10 + (text[i] - L'0');
        if (value > 1LL << 32) value = 1LL << 32;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// HH:MM or HH:MM:SS on the 24-hour clock, hours of one or two digits.
int ModelTimeOfDay(const std::wstring &text)
{
    auto digits = [](const std::wstring &part) {
        for (wchar_t ch : part)
            if (ch < L'0' || ch > L'9') return false;
        return !part.empty();
    };
    size_t first = text.find(L':');
    if (first == std::wstring::npos) return -1;
    size_t second = text.find(L':', first + 1);
    std::wstring hours = text.substr(0, first);
    std::wstring minutes = text.substr(first + 1, second == std::wstring::npos ? std::wstring::npos : second - first - 1);
    std::wstring seconds = second == std::wstring::npos ? L"00" : text.substr(second + 1);
    if (!digits(hours) || hours.size() > 2 || !digits(minutes) || minutes.size() != 2 || !digits(seconds) ||
        seconds.size() != 2)
        return -1;
    int h = std::stoi(hours), m = std::stoi(minutes), sec = std::stoi(seconds);
    return h < 24 && m < 60 && sec < 60 ? h * 3600 + m * 60 + sec : -1;
}

PowerSettings ModelRead(const std::wstring &text, bool *wellFormed)
{
    static const wchar_t *const operations[] = {L"--shutdown", L"--reboot", L"--standby", L"--sleep", L"--logoff",
                                                 L"--monitoroff", L"--monitorlock", L"--monitorofflock", L"--select"};
    PowerSettings s = {};
    *wellFormed = true;
    Args args = ModelSplit(text);
    for (size_t i = 0; i < args.size(); i++) {
        bool matched = false;
        for (int code = 1; code <= 9; code++)
            if (args[i] == operations[code - 1]) s.operation = code, matched = true;
        if (matched) continue;
        if (args[i] == L"--saverlockoff") {
            s.saverLockOff = 1;
            continue;
        }
        if (args[i] == L"--force") {
            s.force = 1;
            continue;
        }
        if (args[i] == L"--at") {
            int at = i + 1 < args.size() ? ModelTimeOfDay(args[++i]) : -1;
            if (at < 0) {
                *wellFormed = false;
            } else {
                s.useAtTime = 1;
                s.atTime = at;
            }
            continue;
        }
        if (args[i] == L"--cancel") continue;
        int *target = args[i] == L"--wait-sec" ? &s.waitSec
                      : args[i] == L"--wait-min" ? &s.waitMin
                      : args[i] == L"--wait"     ? &s.waitTotal
                                                 : nullptr;
        bool blank = args[i].find_first_not_of(L" \t\r\n") == std::wstring::npos;
        if (!target) *wellFormed = *wellFormed && blank;  // no option of the program
        else if (i + 1 < args.size()) *target = ModelValue(args[++i]);
    }
    if (!*wellFormed) s.useAtTime = 0;
    if (s.useAtTime) {
        s.waitTotal = s.waitMin = s.waitSec = 0;
        return s;
    }
    long long total = static_cast<long long>(s.waitTotal) + 60LL * s.waitMin + s.waitSec;
    s.waitTotal = total > INT_MAX ? INT_MAX : total < INT_MIN ? INT_MIN : static_cast<int>(total);
    return s;
}

// Pieces that make command lines interesting: options, values, quotes,
// escapes, blanks, surrogate halves, long runs.
std::wstring RandomCommandLine(Random &random)
{
    static const wchar_t *const pieces[] = {
        L"--shutdown", L"--reboot", L"--standby", L"--sleep", L"--logoff", L"--monitoroff", L"--monitorlock",
        L"--monitorofflock", L"--select", L"--saverlockoff", L"--wait", L"--wait-min", L"--wait-sec",
        L"--at", L"--force", L"--cancel", L"23:30", L"7:05", L"00:00:59", L"24:00", L"7:5x", L"12:60", L"1:2:3", L":",
        L"--Shutdown", L"--wait=10", L"0", L"90", L"-5", L"+7", L"2147483647", L"-2147483648",
        L"99999999999999999999", L"-99999999999", L"abc", L"12abc", L" \t7",
        L"\"", L"'", L"\\\"", L"\\'", L"\\", L"\"\"", L"''", L" ", L"  ", L"\t", L"\r\n", L"\n\n\r",
        L"\xD800", L"\xDC00", L"\xD83D\xDE00", L"\x65E5\x672C", L"x",
    };
    const size_t count = sizeof pieces / sizeof pieces[0];
    std::wstring text;
    uint32_t parts = random.Below(12);
    for (uint32_t p = 0; p < parts; p++) {
        uint32_t roll = random.Below(1000);
        if (roll == 0) {
            // Now and then an argument far longer than any buffer the program starts with.
            text.append(1 + random.Below(100000), static_cast<wchar_t>(L'a' + random.Below(26)));
        } else if (roll < 60) {
            text.append(1 + random.Below(3000), L'q');
        } else {
            text += pieces[random.Below(count)];
        }
        if (random.Below(3) == 0) text += L' ';
    }
    return text;
}

uint64_t EnvironmentNumber(const char *name, uint64_t fallback)
{
    const char *value = getenv(name);
    return value && *value ? strtoull(value, nullptr, 10) : fallback;
}

// Every argument must come from the input: its characters appear in order.
bool IsPieceOf(const std::wstring &argument, const std::wstring &text)
{
    size_t at = 0;
    for (wchar_t ch : argument) {
        at = text.find(ch, at);
        if (at == std::wstring::npos) return false;
        at++;
    }
    return true;
}

}  // namespace

TEST(CommandLineFuzz, SplitAndWalkMatchTheReferenceModel)
{
    const uint64_t runs = EnvironmentNumber("KELDRIN_FUZZ_COUNT", 50000);
    Random random = {EnvironmentNumber("KELDRIN_FUZZ_SEED", 0x4B656C6472696EULL) | 1};
    uint64_t failures = 0;
    for (uint64_t run = 0; run < runs && failures < 5; run++) {
        std::wstring text = RandomCommandLine(random);
        int count = -1;
        wchar_t **array = SplitCommandLine(text.c_str(), &count);
        Args split;
        for (wchar_t **item = array; item && *item; item++) split.push_back(*item);
        StringArrayFree(&array);

        bool good = static_cast<int>(split.size()) == count && split == ModelSplit(text);
        for (const std::wstring &argument : split) good = good && !argument.empty() && IsPieceOf(argument, text);

        PowerSettings got = {};
        bool gotWellFormed = ReadCommandLine(text.c_str(), &got);
        bool wantWellFormed = true;
        PowerSettings want = ModelRead(text, &wantWellFormed);
        good = good && got.operation == want.operation && got.waitTotal == want.waitTotal &&
               got.waitMin == want.waitMin && got.waitSec == want.waitSec && got.saverLockOff == want.saverLockOff &&
               got.force == want.force && got.useAtTime == want.useAtTime && gotWellFormed == wantWellFormed &&
               (!want.useAtTime || got.atTime == want.atTime);
        if (!good) {
            failures++;
            ADD_FAILURE() << "run " << run << ": command line of " << text.size() << " units differs from the model: "
                          << ::testing::PrintToString(text.size() < 200 ? text : text.substr(0, 200));
        }
    }
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    RecordProperty("runs", static_cast<int>(runs));
}
