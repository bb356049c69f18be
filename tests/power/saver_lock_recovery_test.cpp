// A countdown killed while the screen-saver password was switched off leaves a
// mark in the settings file; the next start switches the password back on.
#include <gtest/gtest.h>

#include <string>

#include "app/app_context.h"
#include "base/owned_string.h"
#include "power/saver_lock.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

// Holds the mutex of a running countdown until told to let go: {held, release}.
DWORD WINAPI HoldSaverLockMutex(void *parameter)
{
    HANDLE *events = static_cast<HANDLE *>(parameter);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\Marlowen.Keldrin.SaverLockOff");
    SetEvent(events[0]);
    WaitForSingleObject(events[1], 10000);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

class SaverLockRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        ini_ = testsupport::UniqueTempPath(L"keldrin-recovery", L".ini");
        DeleteFileW(ini_.c_str());
        ASSERT_NE(nullptr, g_app);
        OwnedStringSet(&g_app->productName, L"Keldrin");
        OwnedStringSet(&g_app->iniPath, ini_.c_str());
        g_saverLockRestore = 0;
    }

    void TearDown() override
    {
        DeleteFileW(ini_.c_str());
    }

    std::wstring ReadSaverSecure() const { return saver_.ReadText(); }
    void WriteSaverSecure(const wchar_t *value)
    {
        if (value)
            saver_.SetText(value);
        else
            saver_.Delete();
    }

    int Marked()
    {
        return static_cast<int>(GetPrivateProfileIntW(L"Keldrin.Recovery", L"PowerSaverLockRestore", 0, ini_.c_str()));
    }

    testsupport::StartUpContext app_;
    testsupport::SaverValue saver_;  // put back as it was after each test
    std::wstring ini_;
};

}  // namespace

TEST_F(SaverLockRecovery, MarkLeftBehindSwitchesThePasswordBackOnOnce)
{
    WriteSaverSecure(L"0");
    ASSERT_TRUE(SetSaverLockRestorePending(true));
    EXPECT_EQ(1, Marked());
    EXPECT_TRUE(RestoreSaverLockLeftOff());
    EXPECT_EQ(L"1", ReadSaverSecure());
    EXPECT_EQ(0, Marked());
    // The mark is gone: a later "0" is the user's own choice.
    WriteSaverSecure(L"0");
    EXPECT_FALSE(RestoreSaverLockLeftOff());
    EXPECT_EQ(L"0", ReadSaverSecure());
}

TEST_F(SaverLockRecovery, ValueChangedSinceIsLeftAloneButTheMarkIsCleared)
{
    for (const wchar_t *value : {L"1", L"2", static_cast<const wchar_t *>(nullptr)}) {
        WriteSaverSecure(value);
        SetSaverLockRestorePending(true);
        EXPECT_FALSE(RestoreSaverLockLeftOff());
        EXPECT_EQ(value ? std::wstring(value) : L"<absent>", ReadSaverSecure());
        EXPECT_EQ(0, Marked());
    }
}

TEST_F(SaverLockRecovery, WithoutAMarkNothingIsTouched)
{
    WriteSaverSecure(L"0");
    EXPECT_FALSE(RestoreSaverLockLeftOff());
    EXPECT_EQ(L"0", ReadSaverSecure());
}

// Another copy's save replaces the settings section; a running countdown's mark must survive it.
TEST_F(SaverLockRecovery, AnOrdinarySaveKeepsTheMarkAndClearingRemovesItsSection)
{
    SetSaverLockRestorePending(true);
    g_settings = PowerSettings();
    g_settings.operation = 6;
    SaveSettings();
    EXPECT_EQ(1, Marked());
    EXPECT_EQ(6, static_cast<int>(GetPrivateProfileIntW(L"Keldrin", L"PowerOperation", 0, ini_.c_str())));
    SetSaverLockRestorePending(false);
    wchar_t sections[256] = {};
    GetPrivateProfileSectionNamesW(sections, 256, ini_.c_str());
    EXPECT_STREQ(L"Keldrin", sections);
    EXPECT_EQ(L'\0', sections[wcslen(sections) + 1]) << "only the settings section is left";
}

// The mutex stands for a countdown still running in another copy of the program.
TEST_F(SaverLockRecovery, AMarkOfALiveCountdownIsLeftToIt)
{
    WriteSaverSecure(L"0");
    SetSaverLockRestorePending(true);
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE events[] = {held, release};
    HANDLE owner = CreateThread(nullptr, 0, HoldSaverLockMutex, events, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 10000));
    EXPECT_FALSE(RestoreSaverLockLeftOff());
    EXPECT_EQ(L"0", ReadSaverSecure());
    EXPECT_EQ(1, Marked());

    SetEvent(release);
    WaitForSingleObject(owner, 10000);
    EXPECT_TRUE(RestoreSaverLockLeftOff()) << "once that copy is gone, the mark is acted on";
    EXPECT_EQ(L"1", ReadSaverSecure());
    for (HANDLE handle : {held, release, owner}) CloseHandle(handle);
}

TEST_F(SaverLockRecovery, ModuleWithoutProductNameStillGetsASection)
{
    OwnedStringSet(&g_app->productName, L"");
    g_settings = PowerSettings();
    g_settings.waitMin = 7;
    SaveSettings();
    EXPECT_EQ(7, static_cast<int>(GetPrivateProfileIntW(L"Keldrin", L"PowerWaitMin", 0, ini_.c_str())));
}
