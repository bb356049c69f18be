#include <gtest/gtest.h>

#include <string>

#include "context/app_context.h"
#include "base/owned_string.h"

namespace {

// A real context with the version fields under the test's control; osName and
// the texts are replaced through the owned-string helpers so the destructor
// frees what it finds.
class VersionText : public ::testing::Test {
protected:
    void SetVersion(unsigned int number, int revision, int beta)
    {
        app.versionNumber = number;
        app.versionRevision = revision;
        app.betaNumber = beta;
    }

    std::wstring Short() { return app.ShortVersionText(); }
    std::wstring Long() { return app.LongVersionText(); }

    AppContext app;
};

// Two decimals for the number (taken unsigned, so values from 2^31 up stay
// positive), at least two digits for the revision, and the beta number last.
TEST_F(VersionText, ShortTextByNumberRevisionAndBeta)
{
    const struct {
        unsigned int number;
        int revision, beta;
        const wchar_t *expected;
    } cases[] = {
        {100, 0, 0, L"Version 1.00"},          {1234, 0, 0, L"Version 12.34"},
        {5, 0, 0, L"Version 0.05"},            {0, 0, 0, L"Version 0.00"},
        {0x80000000u, 0, 0, L"Version 21474836.48"}, {0xFFFFFFFFu, 0, 0, L"Version 42949672.95"},
        {104, 1, 0, L"Version 1.04.01"},       {104, 12, 0, L"Version 1.04.12"},
        {104, 123, 0, L"Version 1.04.123"},    {104, 0, 3, L"Version 1.04 b3"},
        {104, 1, 3, L"Version 1.04.01 b3"},    {104, 1, 12, L"Version 1.04.01 b12"},
    };
    for (const auto &c : cases) {
        SetVersion(c.number, c.revision, c.beta);
        EXPECT_EQ(c.expected, Short()) << c.number << " " << c.revision << " " << c.beta;
    }
}

TEST_F(VersionText, LongTextNamesProductEditionAndDate)
{
    SetVersion(104, 1, 0);
    OwnedStringSet(&app.productName, L"P");
    OwnedStringSet(&app.osName, L"Windows 7 Professional");
    OwnedStringSet(&app.releaseDate, L"02/02/2013");
    EXPECT_EQ(L"P Version 1.04.01 on Windows 7 Professional (02/02/2013)", Long());

    SetVersion(104, 1, 3);
    EXPECT_EQ(L"P Version 1.04.01 b3 on Windows 7 Professional (02/02/2013)", Long());
    SetVersion(104, 0, 3);
    EXPECT_EQ(L"P Version 1.04 b3 on Windows 7 Professional (02/02/2013)", Long());
    SetVersion(100, 0, 0);
    EXPECT_EQ(L"P Version 1.00 on Windows 7 Professional (02/02/2013)", Long());
}

TEST_F(VersionText, LongTextKeepsOnBeforeAnUnnamedEdition)
{
    SetVersion(104, 1, 0);
    OwnedStringSet(&app.productName, L"Keldrin");
    OwnedStringSet(&app.osName, L"");
    OwnedStringSet(&app.releaseDate, L"02/02/2013");
    EXPECT_EQ(L"Keldrin Version 1.04.01 on  (02/02/2013)", Long());

    OwnedStringFree(&app.releaseDate);
    EXPECT_EQ(L"Keldrin Version 1.04.01 on ", Long());
}

TEST_F(VersionText, LongTextLeavesOutMissingParts)
{
    SetVersion(104, 1, 0);
    OwnedStringFree(&app.productName);
    OwnedStringSet(&app.osName, L"Windows 8");
    OwnedStringFree(&app.releaseDate);
    EXPECT_EQ(L" Version 1.04.01 on Windows 8", Long());

    OwnedStringFree(&app.osName);
    EXPECT_EQ(L" Version 1.04.01", Long());

    OwnedStringSet(&app.releaseDate, L"02/02/2013");
    EXPECT_EQ(L" Version 1.04.01 (02/02/2013)", Long());
}

// Counts the allocated blocks of the process heap, so a text left behind by a
// replaced versionText shows up as growth.
size_t BusyHeapBlocks()
{
    HANDLE heap = GetProcessHeap();
    size_t busy = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    }
    HeapUnlock(heap);
    return busy;
}

TEST_F(VersionText, EachCallReplacesTheOwnedText)
{
    SetVersion(104, 1, 0);
    OwnedStringSet(&app.productName, L"Keldrin");
    OwnedStringSet(&app.osName, L"Windows 7");
    OwnedStringSet(&app.releaseDate, L"02/02/2013");

    const wchar_t *shortText = app.ShortVersionText();
    EXPECT_EQ(shortText, app.versionText);
    EXPECT_STREQ(L"Version 1.04.01", shortText);

    const wchar_t *longText = app.LongVersionText();
    EXPECT_EQ(longText, app.versionText);
    EXPECT_STREQ(L"Keldrin Version 1.04.01 on Windows 7 (02/02/2013)", app.versionText);

    // Exact size: characters + 1, nothing more.
    size_t expectedBytes = (wcslen(app.versionText) + 1) * sizeof(wchar_t);
    EXPECT_EQ(expectedBytes, HeapSize(GetProcessHeap(), 0, app.versionText));

    size_t before = BusyHeapBlocks();
    for (int i = 0; i < 50; ++i) {
        app.ShortVersionText();
        app.LongVersionText();
    }
    EXPECT_EQ(before, BusyHeapBlocks());
    EXPECT_STREQ(L"Keldrin Version 1.04.01 on Windows 7 (02/02/2013)", app.versionText);
}

}  // namespace
