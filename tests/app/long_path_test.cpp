// A program folder near the 8192-unit limit: every path built from it must
// either fit whole or not be used at all, never be cut into another name.
#include <gtest/gtest.h>

#include <string>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

class LongProgramFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, g_app);
        std::wstring folder = L"C:\\" + std::wstring(KELDRIN_PATH_UNITS - 20, L'd') + L"\\";
        OwnedStringSet(&g_app->programDir, folder.c_str());
        OwnedStringSet(&g_app->productName, L"Keldrin");
    }

    testsupport::StartUpContext app_;
};

}  // namespace

TEST_F(LongProgramFolder, BeforeVistaTheSettingsFileIsNeitherReadNorWritten)
{
    g_app->osVersion.dwMajorVersion = 5;
    EXPECT_EQ(nullptr, g_app->GetIniPath(1));
    g_settings = PowerSettings();
    g_settings.operation = 42;
    EXPECT_EQ(0, LoadSettings());
    EXPECT_EQ(42, g_settings.operation) << "nothing was read";
    EXPECT_EQ(0, SaveSettings());
}

TEST_F(LongProgramFolder, FromVistaOnTheSettingsGoToTheUsersFolder)
{
    g_app->osVersion.dwMajorVersion = 6;
    ASSERT_NE(nullptr, g_app->appDataDir);
    const wchar_t *path = g_app->GetIniPath(1);
    ASSERT_NE(nullptr, path);
    std::wstring expected = std::wstring(g_app->appDataDir) + L"\\Marlowen\\" + g_app->baseName + L"\\" +
                            g_app->baseName + L".ini";
    EXPECT_EQ(expected, path);
    std::wstring folder = std::wstring(g_app->appDataDir) + L"\\Marlowen";
    RemoveDirectoryW((folder + L"\\" + g_app->baseName).c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(FormatPath, ReportsAResultThatFilledTheBuffer)
{
    wchar_t buffer[8];
    EXPECT_TRUE(FormatPath(buffer, 8, L"%ls", L"abcdef"));
    EXPECT_FALSE(FormatPath(buffer, 8, L"%ls", L"abcdefg"));
    EXPECT_FALSE(FormatPath(buffer, 8, L"%ls\\%ls", L"abcdef", L"ghijk"));
    EXPECT_STREQ(L"abcdef\\", buffer) << "cut, and still terminated";
}

// The bounded helpers format with _vsnwprintf (what XP's msvcrt.dll has),
// which leaves a cut result unterminated: the helpers must still end it, and
// never write past the units they were given.
TEST(BoundedText, CutResultsStayTerminatedInsideTheirUnits)
{
    wchar_t buffer[10];
    wmemset(buffer, L'#', 10);
    EXPECT_EQ(7u, FormatText(buffer, 8, L"%ls-%d", L"abcdef", 42));
    EXPECT_STREQ(L"abcdef-", buffer);
    EXPECT_EQ(L'#', buffer[8]) << "written past the buffer";
    EXPECT_EQ(7u, FormatText(buffer, 8, L"%ls", L"abcdefg")) << "an exact fit";
    EXPECT_STREQ(L"abcdefg", buffer);
    EXPECT_EQ(0u, FormatText(buffer, 8, nullptr));
    EXPECT_STREQ(L"", buffer);

    EXPECT_EQ(3u, CopyText(buffer, 8, L"abc"));
    EXPECT_EQ(7u, AppendText(buffer, 8, L"defghij"));
    EXPECT_STREQ(L"abcdefg", buffer);
    EXPECT_EQ(7u, AppendText(buffer, 8, L"k")) << "a full buffer takes nothing more";
    EXPECT_STREQ(L"abcdefg", buffer);
    EXPECT_EQ(L'#', buffer[8]);
    EXPECT_EQ(0u, AppendText(buffer, 0, L"x"));
}
