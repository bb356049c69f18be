#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

using testsupport::Exists;
using testsupport::ScratchFolder;

// Each test gets a fresh folder under %TEMP% and a real context whose settings
// path points into it (GetIniPath hands back iniPath once it is set).
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = ScratchFolder(L"keldrin-settings");
        ASSERT_FALSE(folder_.empty());
        path_ = folder_ + L"\\Keldrin-tester.ini";

        OwnedStringSet(&app_.iniPath, path_.c_str());
        OwnedStringSet(&app_.productName, L"Keldrin");
        savedApp_ = g_app;
        g_app = &app_;
        g_settings = PowerSettings();
    }

    void TearDown() override
    {
        g_app = savedApp_;
        g_settings = PowerSettings();
        if (folder_.empty()) return;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((folder_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        EXPECT_TRUE(RemoveDirectoryW(folder_.c_str()));
    }

    void WriteFileBytes(const std::string &bytes)
    {
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(bytes.size(), written);
    }

    std::string ReadFileBytes() { return testsupport::ReadFileBytes(path_); }

    bool FileExists() { return Exists(path_); }

    std::wstring ReadString(const wchar_t *section, const wchar_t *key)
    {
        wchar_t value[256];
        GetPrivateProfileStringW(section, key, L"<missing>", value, 256, path_.c_str());
        return value;
    }

    // The section's lines as the profile functions see them.
    std::vector<std::wstring> SectionLines(const wchar_t *section)
    {
        std::vector<std::wstring> lines;
        std::vector<wchar_t> block(32768);
        GetPrivateProfileSectionW(section, block.data(), static_cast<DWORD>(block.size()), path_.c_str());
        for (const wchar_t *line = block.data(); *line; line += wcslen(line) + 1) lines.push_back(line);
        return lines;
    }

    void SetSettings(int operation, int destination, int selection, int waitMin, int waitSec, int saverLockOff)
    {
        g_settings.operation = operation;
        g_settings.destination = destination;
        g_settings.selection = selection;
        g_settings.waitMin = waitMin;
        g_settings.waitSec = waitSec;
        g_settings.saverLockOff = saverLockOff;
    }

    void ExpectSettings(int operation, int destination, int selection, int waitMin, int waitSec, int saverLockOff)
    {
        EXPECT_EQ(operation, g_settings.operation);
        EXPECT_EQ(destination, g_settings.destination);
        EXPECT_EQ(selection, g_settings.selection);
        EXPECT_EQ(waitMin, g_settings.waitMin);
        EXPECT_EQ(waitSec, g_settings.waitSec);
        EXPECT_EQ(saverLockOff, g_settings.saverLockOff);
    }

    AppContext app_;
    AppContext *savedApp_ = nullptr;
    std::wstring folder_;
    std::wstring path_;
};

// The file a save leaves, as text: header and the ten aligned lines (the four
// of earlier versions, then the time of day, then the watch choice). Windows
// stores the strings handed to WritePrivateProfileSectionW as they are; Wine
// re-parses each into key and value and drops the blank after "=". Either way
// the file is single-byte text with CR LF line ends.
std::string SavedFile(const char *section, int operation, int destination, int selection, int waitMin,
                      bool blankAfterEquals, int useAtTime = 0, int atHoursMinutes = 0)
{
    const char *gap = blankAfterEquals ? " " : "";
    std::string text = std::string("[") + section + "]\r\n";
    text += "PowerOperation   =" + std::string(gap) + std::to_string(operation) + "\r\n";
    text += "PowerDestination =" + std::string(gap) + std::to_string(destination) + "\r\n";
    text += "PowerSelection   =" + std::string(gap) + std::to_string(selection) + "\r\n";
    text += "PowerWaitMin     =" + std::string(gap) + std::to_string(waitMin) + "\r\n";
    text += "PowerUseAtTime   =" + std::string(gap) + std::to_string(useAtTime) + "\r\n";
    text += "PowerAtTime      =" + std::string(gap) + std::to_string(atHoursMinutes) + "\r\n";
    // The watch choice of settings that hold none (the key past the column gets one blank).
    text += "PowerWatch       =" + std::string(gap) + "0\r\nPowerIdleMin     =" + gap + "0\r\n";
    text += "PowerWatchProgram =" + std::string(gap) + "\r\nPowerQuietMin    =" + gap + "0\r\n";
    text += "PowerScheduleDays =" + std::string(gap) + "0\r\nPowerScheduleWake =" + gap + "0\r\n";
    return text;
}

::testing::AssertionResult IsSavedFile(const std::string &actual, const char *section, int operation,
                                       int destination, int selection, int waitMin, int useAtTime = 0,
                                       int atHoursMinutes = 0)
{
    for (bool blank : {true, false})
        if (actual == SavedFile(section, operation, destination, selection, waitMin, blank, useAtTime, atHoursMinutes))
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "file reads:\n" << actual << "\nexpected:\n"
                                         << SavedFile(section, operation, destination, selection, waitMin, true,
                                                      useAtTime, atHoursMinutes);
}

TEST_F(SettingsFile, MissingFileGivesDefaults)
{
    SetSettings(7, 7, 7, 7, 7, 7);
    g_settings.waitTotal = 99;
    EXPECT_EQ(1, LoadSettings());
    ExpectSettings(0, 0, 0, 0, 10, 0);
    EXPECT_EQ(99, g_settings.waitTotal);  // never stored, never loaded
    EXPECT_FALSE(FileExists());
}

TEST_F(SettingsFile, MissingKeysAndOtherSectionsGiveDefaults)
{
    WriteFileBytes("[Other]\r\nPowerOperation=5\r\nPowerWaitSec=20\r\n"
                   "[Keldrin]\r\nPowerDestination=2\r\n");
    SetSettings(7, 7, 7, 7, 7, 7);
    EXPECT_EQ(1, LoadSettings());
    ExpectSettings(0, 2, 0, 0, 10, 0);
}

TEST_F(SettingsFile, HandWrittenValuesLoadUnclamped)
{
    WriteFileBytes("[Keldrin]\r\n"
                   "PowerOperation = 42\r\n"
                   "PowerDestination = 7\r\n"
                   "PowerSelection = 12\r\n"
                   "PowerWaitMin = 5000\r\n"
                   "PowerWaitSec = 30\r\n"
                   "PowerSaverLockOff = 1\r\n");
    EXPECT_EQ(1, LoadSettings());
    ExpectSettings(42, 7, 12, 5000, 30, 1);
}

TEST_F(SettingsFile, KeysAndSectionCompareWithoutCase)
{
    WriteFileBytes("[KELDRIN]\r\npoweroperation=3\r\nPOWERWAITSEC=45\r\nPowerWaitmin=2\r\n");
    EXPECT_EQ(1, LoadSettings());
    ExpectSettings(3, 0, 0, 2, 45, 0);
}

TEST_F(SettingsFile, SectionFollowsTheProductName)
{
    WriteFileBytes("[Keldrin]\r\nPowerOperation=1\r\n[Keldrin Deutsch]\r\nPowerOperation=2\r\n");
    OwnedStringSet(&app_.productName, L"Keldrin Deutsch");
    LoadSettings();
    EXPECT_EQ(2, g_settings.operation);

    SetSettings(6, 0, 0, 3, 0, 0);
    SaveSettings();
    EXPECT_EQ(L"1", ReadString(L"Keldrin", L"PowerOperation"));
    EXPECT_EQ(L"6", ReadString(L"Keldrin Deutsch", L"PowerOperation"));
}

TEST_F(SettingsFile, FreshSaveWritesHeaderAndTenLines)
{
    SetSettings(1, 0, 0, 5, 30, 1);
    EXPECT_EQ(1, SaveSettings());
    EXPECT_TRUE(IsSavedFile(ReadFileBytes(), "Keldrin", 1, 0, 0, 5));
    g_settings.useAtTime = 1;
    g_settings.atTime = 23 * 3600 + 30 * 60;
    EXPECT_EQ(1, SaveSettings());
    EXPECT_TRUE(IsSavedFile(ReadFileBytes(), "Keldrin", 1, 0, 0, 5, 1, 2330));
}

// The time of day comes back as it was chosen; a file of an earlier version,
// or a value that is no time of day, gives a wait and 23:00.
TEST_F(SettingsFile, TheTimeOfDaySurvivesASaveAndALoad)
{
    g_settings.useAtTime = 1;
    g_settings.atTime = 6 * 3600 + 5 * 60;
    SaveSettings();
    g_settings = PowerSettings();
    LoadSettings();
    EXPECT_EQ(1, g_settings.useAtTime);
    EXPECT_EQ(6 * 3600 + 5 * 60, g_settings.atTime);
    EXPECT_EQ(L"605", ReadString(L"Keldrin", L"PowerAtTime"));

    for (const char *stored : {"", "PowerAtTime=2360\r\n", "PowerAtTime=2400\r\n", "PowerAtTime=-5\r\n"}) {
        SCOPED_TRACE(stored);
        WriteFileBytes(std::string("[Keldrin]\r\nPowerOperation=1\r\n") + stored);
        LoadSettings();
        EXPECT_EQ(0, g_settings.useAtTime);
        EXPECT_EQ(kDefaultAtTime, g_settings.atTime);
    }
}

// The main dialog's watch choice and its values come back as they were; a
// file of an earlier version, without the keys, gives a wait as before.
TEST_F(SettingsFile, TheWatchChoiceSurvivesASaveAndALoad)
{
    g_settings.watchChoice = WATCH_CHOICE_PROGRAM;
    g_settings.idleMin = 1440;
    wcscpy(g_settings.watchProgram, L"my render.exe");
    g_settings.quietMin = -3;  // as typed, like the waits
    SaveSettings();
    g_settings = PowerSettings();
    LoadSettings();
    EXPECT_EQ(std::vector<int>({2, 1440, -3}), std::vector<int>({g_settings.watchChoice, g_settings.idleMin,
                                                                 g_settings.quietMin}));
    EXPECT_EQ(std::wstring(L"my render.exe"), g_settings.watchProgram);

    WriteFileBytes("[Keldrin]\r\nPowerOperation=1\r\nPowerWaitMin=5\r\n");
    LoadSettings();
    EXPECT_EQ(std::vector<int>({0, 10, 5}), std::vector<int>({g_settings.watchChoice, g_settings.idleMin,
                                                               g_settings.quietMin}));
    EXPECT_EQ(std::wstring(), g_settings.watchProgram);
}

TEST_F(SettingsFile, SaveWritesNegativeAndLargeValuesAsTyped)
{
    SetSettings(42, 2, 8, 5000, 0, 0);
    EXPECT_EQ(1, SaveSettings());
    EXPECT_TRUE(IsSavedFile(ReadFileBytes(), "Keldrin", 42, 2, 8, 5000));

    SetSettings(-1, 0, 0, -20, 0, 0);
    EXPECT_EQ(1, SaveSettings());
    EXPECT_TRUE(IsSavedFile(ReadFileBytes(), "Keldrin", -1, 0, 0, -20));
}

TEST_F(SettingsFile, SaveReplacesItsSectionAndKeepsTheOthers)
{
    WriteFileBytes("[First]\r\nA=1\r\n"
                   "[Keldrin]\r\nPowerWaitSec=30\r\nPowerSaverLockOff=1\r\nExtra=x\r\nPowerOperation=2\r\n"
                   "[Last]\r\nB=2\r\n");
    LoadSettings();
    ExpectSettings(2, 0, 0, 0, 30, 1);

    g_settings.operation = 6;
    g_settings.waitMin = 15;
    EXPECT_EQ(1, SaveSettings());

    EXPECT_EQ(L"1", ReadString(L"First", L"A"));
    EXPECT_EQ(L"2", ReadString(L"Last", L"B"));
    std::vector<std::wstring> lines = SectionLines(L"Keldrin");
    ASSERT_EQ(12u, lines.size());
    EXPECT_EQ(0u, lines[0].find(L"PowerOperation"));
    EXPECT_EQ(0u, lines[1].find(L"PowerDestination"));
    EXPECT_EQ(0u, lines[2].find(L"PowerSelection"));
    EXPECT_EQ(0u, lines[3].find(L"PowerWaitMin"));
    EXPECT_EQ(0u, lines[4].find(L"PowerUseAtTime"));
    EXPECT_EQ(0u, lines[5].find(L"PowerAtTime"));
    std::string bytes = ReadFileBytes();
    EXPECT_EQ(std::string::npos, bytes.find("PowerWaitSec"));
    EXPECT_EQ(std::string::npos, bytes.find("PowerSaverLockOff"));
    EXPECT_EQ(std::string::npos, bytes.find("Extra"));

    // The keys that are read but never written fall back to their defaults.
    SetSettings(0, 0, 0, 0, 0, 0);
    LoadSettings();
    ExpectSettings(6, 0, 0, 15, 10, 0);
}

TEST_F(SettingsFile, SavedLinesReadBackUnderTheirKeys)
{
    SetSettings(8, 2, 5, 1440, 59, 1);
    SaveSettings();
    SetSettings(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(1, LoadSettings());
    ExpectSettings(8, 2, 5, 1440, 10, 0);
}

TEST_F(SettingsFile, WithoutProductNameTheFileIsLeftAlone)
{
    OwnedStringFree(&app_.productName);
    SetSettings(1, 1, 1, 1, 1, 1);
    EXPECT_EQ(0, SaveSettings());
    EXPECT_FALSE(FileExists());

    WriteFileBytes("[(null)]\r\nPowerOperation=4\r\n[]\r\nPowerOperation=4\r\n");
    EXPECT_EQ(0, LoadSettings());
    ExpectSettings(1, 1, 1, 1, 1, 1);
}

TEST_F(SettingsFile, WithoutContextNothingHappens)
{
    g_app = nullptr;
    SetSettings(1, 1, 1, 1, 1, 1);
    EXPECT_EQ(0, SaveSettings());
    EXPECT_EQ(0, LoadSettings());
    ExpectSettings(1, 1, 1, 1, 1, 1);
    EXPECT_FALSE(FileExists());
}

}  // namespace
