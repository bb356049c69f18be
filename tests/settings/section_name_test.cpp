// The settings section is the product name from the resource module, which
// may be far longer than the section buffer: the section then takes what fits,
// and load and save still meet in it.
#include <gtest/gtest.h>

#include <string>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "settings/settings.h"

namespace {

TEST(SettingsSection, OverlongProductNameIsCutToTheSectionBuffer)
{
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    wchar_t path[MAX_PATH];
    swprintf_s(path, MAX_PATH, L"%lskeldrin-section-%lu.ini", temp, GetCurrentProcessId());
    DeleteFileW(path);

    std::wstring name;
    for (int i = 0; i < 2000; ++i) name += static_cast<wchar_t>(L'A' + i % 26);
    const std::wstring section = name.substr(0, KELDRIN_TEXT_UNITS - 1);

    AppContext app;
    OwnedStringSet(&app.iniPath, path);
    OwnedStringSet(&app.productName, name.c_str());
    AppContext *saved = g_app;
    g_app = &app;

    g_settings = PowerSettings();
    g_settings.operation = 6;
    g_settings.waitMin = 12;
    EXPECT_EQ(1, SaveSettings());
    EXPECT_EQ(6u, GetPrivateProfileIntW(section.c_str(), L"PowerOperation", -1, path));
    EXPECT_EQ(12u, GetPrivateProfileIntW(section.c_str(), L"PowerWaitMin", -1, path));
    EXPECT_EQ(static_cast<UINT>(-1), GetPrivateProfileIntW(L"", L"PowerOperation", -1, path))
        << "the lines went to a section without a name";

    g_settings = PowerSettings();
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(6, g_settings.operation);
    EXPECT_EQ(12, g_settings.waitMin);

    g_app = saved;
    g_settings = PowerSettings();
    EXPECT_TRUE(DeleteFileW(path));
}

}  // namespace
