// A countdown killed while the screen-saver password was switched off leaves a
// mark in the settings file; the next start switches the password back on.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "context/app_context.h"
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

// Whether another thread could take the mutex now, as a later start would.
bool SaverLockMutexFree()
{
    bool free = false;
    std::thread([&free] {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Marlowen.Keldrin.SaverLockOff");
        DWORD waited = mutex ? WaitForSingleObject(mutex, 0) : WAIT_FAILED;
        free = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (free) ReleaseMutex(mutex);
        if (mutex) CloseHandle(mutex);
    }).join();
    return free;
}

class SaverLockRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, g_app);
        g_saverLockRestore = 0;
    }

    std::wstring ReadSaverSecure() const { return saver_.ReadText(); }
    void WriteSaverSecure(const wchar_t *value)
    {
        if (value)
            saver_.SetText(value);
        else
            saver_.Delete();
    }

    int Marked() const { return settings_.Marked(); }
    int Setting(const wchar_t *key) const
    {
        return static_cast<int>(GetPrivateProfileIntW(L"Keldrin", key, 0, settings_.path().c_str()));
    }

    testsupport::SettingsFileScope settings_;
    testsupport::SaverValue saver_;  // put back as it was after each test
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

// Without the mark a run that is then killed would leave the password off
// for good: no mark, no switch.
TEST_F(SaverLockRecovery, ThePasswordIsSwitchedOffOnlyOnceTheMarkIsWritten)
{
    using Where = testsupport::SettingsFileScope::Where;
    struct {
        const char *settings;
        Where where;
        bool switched;
    } cases[] = {
        {"file writable", Where::kScratchFile, true},
        {"folder missing", Where::kMissingFolder, false},
        {"path does not fit", Where::kPathTooLong, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.settings);
        WriteSaverSecure(L"1");
        settings_.Use(c.where);
        SwitchSaverLockOff();
        EXPECT_EQ(c.switched ? L"0" : L"1", ReadSaverSecure());
        EXPECT_EQ(c.switched ? 1 : 0, g_saverLockRestore);
        EXPECT_EQ(c.switched ? 1 : 0, Marked());
        EXPECT_EQ(!c.switched, SaverLockMutexFree()) << "the mutex says a countdown has the password off";
        RestoreSaverLock();
        EXPECT_EQ(L"1", ReadSaverSecure());
        EXPECT_TRUE(SaverLockMutexFree());
    }
}

// Another copy's save replaces the settings section; a running countdown's mark must survive it.
TEST_F(SaverLockRecovery, AnOrdinarySaveKeepsTheMarkAndClearingRemovesItsSection)
{
    SetSaverLockRestorePending(true);
    g_settings = PowerSettings();
    g_settings.operation = 6;
    SaveSettings();
    EXPECT_EQ(1, Marked());
    EXPECT_EQ(6, Setting(L"PowerOperation"));
    SetSaverLockRestorePending(false);
    wchar_t sections[256] = {};
    GetPrivateProfileSectionNamesW(sections, 256, settings_.path().c_str());
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
    EXPECT_EQ(7, Setting(L"PowerWaitMin"));
}
