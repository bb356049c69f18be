// The application context of the test program itself: its paths, the
// settings-file location in real scratch folders, the product texts from the
// built English module, and the help entry point's no-op and error paths.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "test_support.h"

namespace {

using testsupport::DistFolder;
using testsupport::Exists;
using testsupport::LoadModuleAsData;
using testsupport::MessageBoxWatcher;
using testsupport::ModuleString;
using testsupport::RemoveTree;
using testsupport::ScratchFolder;
using testsupport::SeenBox;
using testsupport::ShellFolder;

const wchar_t kProbeName[] = L"__marlowen_check_writable.txt";

bool IsFolder(const std::wstring &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An owned string is an exact-size block of the process heap: text + NUL.
::testing::AssertionResult IsExactCopy(const wchar_t *field, const std::wstring &expected)
{
    if (!field) return ::testing::AssertionFailure() << "null instead of " << ::testing::PrintToString(expected);
    if (expected != field)
        return ::testing::AssertionFailure() << ::testing::PrintToString(std::wstring(field)) << " instead of "
                                             << ::testing::PrintToString(expected);
    SIZE_T bytes = HeapSize(GetProcessHeap(), 0, field);
    if (bytes != (expected.size() + 1) * sizeof(wchar_t))
        return ::testing::AssertionFailure() << "block of " << bytes << " bytes for "
                                             << ::testing::PrintToString(expected);
    return ::testing::AssertionSuccess();
}

std::wstring UserName()
{
    wchar_t name[256] = L"";
    DWORD size = COUNTOF(name);
    EXPECT_TRUE(GetUserNameW(name, &size));
    return name;
}

std::wstring FilesIn(const std::wstring &folder)
{
    std::wstring names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names += (names.empty() ? L"" : L" ") + name;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// ---- paths taken at construction ------------------------------------------------

TEST(AppContextPaths, ComeFromTheRunningProgramFile)
{
    wchar_t running[MAX_PATH] = L"";
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, running, MAX_PATH));
    wchar_t current[MAX_PATH] = L"";
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, current));

    AppContext app;
    EXPECT_TRUE(IsExactCopy(app.modulePath, running));
    ASSERT_NE(nullptr, app.programDir);
    ASSERT_NE(nullptr, app.baseName);
    std::wstring folder = app.programDir;
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(L'\\', folder.back());
    EXPECT_EQ(std::wstring(running), folder + app.baseName + L".exe");
    EXPECT_TRUE(IsExactCopy(app.baseName, L"app_tests"));
    EXPECT_TRUE(IsExactCopy(app.programDir, folder));
    EXPECT_TRUE(IsExactCopy(app.startDir, current));
    EXPECT_TRUE(IsExactCopy(app.programFilesDir, ShellFolder(CSIDL_PROGRAM_FILES)));
    EXPECT_EQ(GetProcessHeap(), app.heap);
}

TEST(AppContextPaths, DataFolderIsNamedButNotCreated)
{
    const std::wstring appData = ShellFolder(CSIDL_APPDATA);
    ASSERT_FALSE(appData.empty());
    const std::wstring expected = appData + L"\\Marlowen\\app_tests\\";
    bool existedBefore = Exists(expected);

    AppContext app;
    EXPECT_TRUE(IsExactCopy(app.appDataDir, appData));
    EXPECT_TRUE(IsExactCopy(app.dataDir, expected));
    EXPECT_EQ(std::wstring(app.appDataDir) + L"\\Marlowen\\" + app.baseName + L"\\", std::wstring(app.dataDir));
    if (!existedBefore) {
        EXPECT_FALSE(Exists(expected)) << "construction creates no folder";
    }
}

TEST(AppContextPaths, EverythingFromTheModuleWaitsForInit)
{
    AppContext app;
    EXPECT_EQ(nullptr, app.productName);
    EXPECT_EQ(nullptr, app.shortcutDescription);
    EXPECT_EQ(nullptr, app.text10011);
    EXPECT_EQ(nullptr, app.text10003);
    EXPECT_EQ(nullptr, app.yearSpan);
    EXPECT_EQ(nullptr, app.releaseDate);
    EXPECT_EQ(nullptr, app.homePageUrl);
    EXPECT_EQ(nullptr, app.versionText);
    EXPECT_EQ(nullptr, app.iniPath);
    EXPECT_EQ(0u, app.versionNumber);
    EXPECT_EQ(0, app.versionRevision);
    EXPECT_EQ(0, app.betaNumber);
    EXPECT_EQ(0, app.updateRequested);
    EXPECT_EQ(0, app.helpInitialized);
    EXPECT_NE(nullptr, app.osName) << "an edition without a name gives an empty text, not null";
}

// ---- settings-file location -------------------------------------------------------

// A context whose program folder is a fresh scratch folder and whose base name
// is unique, so the per-user folders it may create can be removed again.
class IniPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = ScratchFolder(L"KeldrinIni");
        ASSERT_FALSE(folder_.empty());
        // The folder's own name is unique, so the per-user folder named after it is too.
        base_ = folder_.substr(folder_.find_last_of(L'\\') + 1);

        OwnedStringSet(&app_.programDir, (folder_ + L"\\").c_str());
        OwnedStringSet(&app_.baseName, base_.c_str());
        ASSERT_NE(nullptr, app_.appDataDir);
        makerFolder_ = std::wstring(app_.appDataDir) + L"\\Marlowen";
        makerFolderExisted_ = Exists(makerFolder_);
        user_ = UserName();
        ASSERT_FALSE(user_.empty());
    }

    void TearDown() override
    {
        if (!folder_.empty()) {
            EXPECT_TRUE(RemoveTree(folder_));
        }
        RemoveTree(makerFolder_ + L"\\" + base_);
        if (!makerFolderExisted_) RemoveDirectoryW(makerFolder_.c_str());
    }

    // The probe cannot be created where a folder of its name stands.
    void BlockProbe() { ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\" + kProbeName).c_str(), nullptr)); }

    std::wstring InProgramFolder(bool withUser)
    {
        return folder_ + L"\\" + base_ + (withUser ? L"-" + user_ : L"") + L".ini";
    }

    AppContext app_;
    std::wstring folder_;
    std::wstring base_;
    std::wstring makerFolder_;
    bool makerFolderExisted_ = false;
    std::wstring user_;
};

TEST_F(IniPath, WritableProgramFolderHoldsThePerUserFile)
{
    app_.osVersion.dwMajorVersion = 6;
    const wchar_t *path = app_.GetIniPath(1);
    EXPECT_TRUE(IsExactCopy(path, InProgramFolder(true)));
    EXPECT_EQ(path, app_.iniPath);
    EXPECT_EQ(L"", FilesIn(folder_)) << "no probe file left, and the file itself is not made here";
    EXPECT_FALSE(Exists(makerFolder_ + L"\\" + base_));
}

TEST_F(IniPath, SecondCallReturnsTheFirstResultWhateverItsArgument)
{
    app_.osVersion.dwMajorVersion = 6;
    const wchar_t *first = app_.GetIniPath(0);
    EXPECT_TRUE(IsExactCopy(first, InProgramFolder(false)));
    EXPECT_EQ(first, app_.GetIniPath(1));
    EXPECT_EQ(first, app_.GetIniPath(7));

    // Even a folder that has since become unusable does not move it.
    BlockProbe();
    EXPECT_EQ(first, app_.GetIniPath(1));
    EXPECT_EQ(InProgramFolder(false), first);
}

TEST_F(IniPath, UnwritableProgramFolderMovesTheFileToTheUsersDataFolder)
{
    app_.osVersion.dwMajorVersion = 6;
    BlockProbe();
    const std::wstring dataFolder = makerFolder_ + L"\\" + base_;
    ASSERT_FALSE(Exists(dataFolder));

    const wchar_t *path = app_.GetIniPath(1);
    EXPECT_TRUE(IsExactCopy(path, dataFolder + L"\\" + base_ + L".ini")) << "no user part in the per-user folder";
    EXPECT_TRUE(IsFolder(makerFolder_));
    EXPECT_TRUE(IsFolder(dataFolder));
    EXPECT_EQ(L"", FilesIn(dataFolder)) << "only the folders are made";
    EXPECT_EQ(kProbeName, FilesIn(folder_));
}

TEST_F(IniPath, UnwritableProgramFolderWithoutDataFolderStaysInTheProgramFolder)
{
    app_.osVersion.dwMajorVersion = 6;
    BlockProbe();
    OwnedStringFree(&app_.appDataDir);
    EXPECT_TRUE(IsExactCopy(app_.GetIniPath(1), InProgramFolder(true)));
    EXPECT_FALSE(Exists(makerFolder_ + L"\\" + base_));
}

TEST_F(IniPath, BeforeVistaTheProgramFolderIsNotProbed)
{
    app_.osVersion.dwMajorVersion = 5;
    BlockProbe();  // a probe would fail here and move the file
    EXPECT_TRUE(IsExactCopy(app_.GetIniPath(1), InProgramFolder(true)));
    EXPECT_FALSE(Exists(makerFolder_ + L"\\" + base_));
}

TEST_F(IniPath, RenamedProgramGivesItsOwnFileName)
{
    app_.osVersion.dwMajorVersion = 6;
    OwnedStringSet(&app_.baseName, L"Power");
    EXPECT_TRUE(IsExactCopy(app_.GetIniPath(1), folder_ + L"\\Power-" + user_ + L".ini"));
}

// ---- product texts ------------------------------------------------------------------

class ContextInit : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadModuleAsData(DistFolder() + KELDRIN_MODULE_ENG);
        ASSERT_NE(nullptr, module_) << "no " << KELDRIN_MODULE_ENG << " in " << ::testing::PrintToString(DistFolder());
    }

    void TearDown() override
    {
        if (module_) FreeLibrary(module_);
    }

    std::wstring Text(UINT id) { return ModuleString(module_, id); }

    HINSTANCE module_ = nullptr;
    AppContext app_;
};

TEST_F(ContextInit, StoresExactSizeCopiesOfTheModulesTexts)
{
    wchar_t year[] = L"2006-2013";
    wchar_t date[] = L"02/02/2013";
    EXPECT_EQ(1, app_.Init(module_, IDS_PRODUCT_NAME, IDS_SHORTCUT_DESCRIPTION, IDS_MAKER_NAME, IDS_PRODUCT_DESCRIPTION, 104,
                           1, 0, year, date, nullptr));
    EXPECT_TRUE(IsExactCopy(app_.productName, L"Keldrin"));
    EXPECT_TRUE(IsExactCopy(app_.shortcutDescription, Text(IDS_SHORTCUT_DESCRIPTION)));
    EXPECT_TRUE(IsExactCopy(app_.text10011, Text(IDS_MAKER_NAME)));
    EXPECT_TRUE(IsExactCopy(app_.text10003, Text(IDS_PRODUCT_DESCRIPTION)));
    EXPECT_FALSE(Text(IDS_SHORTCUT_DESCRIPTION).empty());
    EXPECT_EQ(104u, app_.versionNumber);
    EXPECT_EQ(1, app_.versionRevision);
    EXPECT_EQ(0, app_.betaNumber);

    // Copies, not the caller's buffers.
    year[0] = date[0] = L'X';
    EXPECT_TRUE(IsExactCopy(app_.yearSpan, L"2006-2013"));
    EXPECT_TRUE(IsExactCopy(app_.releaseDate, L"02/02/2013"));
    EXPECT_TRUE(IsExactCopy(app_.homePageUrl, KELDRIN_HOME_PAGE)) << "no address given: the maker's";
}

TEST_F(ContextInit, MissingStringGivesAnEmptyTextNotNull)
{
    app_.Init(module_, IDS_PRODUCT_NAME, 9999, 30000, 10001, 105, 2, 3, L"2006-2013", L"02/02/2013",
              L"http://example.invalid/");
    EXPECT_TRUE(IsExactCopy(app_.productName, L"Keldrin"));
    EXPECT_TRUE(IsExactCopy(app_.shortcutDescription, L""));
    EXPECT_TRUE(IsExactCopy(app_.text10011, L""));
    EXPECT_TRUE(IsExactCopy(app_.text10003, L""));
    EXPECT_TRUE(IsExactCopy(app_.homePageUrl, L"http://example.invalid/"));
    EXPECT_EQ(105u, app_.versionNumber);
    EXPECT_EQ(2, app_.versionRevision);
    EXPECT_EQ(3, app_.betaNumber);

    // A second Init replaces every text.
    app_.Init(module_, 30000, IDS_SHORTCUT_DESCRIPTION, IDS_MAKER_NAME, IDS_PRODUCT_DESCRIPTION, 104, 1, 0, L"2006",
              L"01/01/2006", nullptr);
    EXPECT_TRUE(IsExactCopy(app_.productName, L""));
    EXPECT_TRUE(IsExactCopy(app_.shortcutDescription, Text(IDS_SHORTCUT_DESCRIPTION)));
    EXPECT_TRUE(IsExactCopy(app_.yearSpan, L"2006"));
    EXPECT_TRUE(IsExactCopy(app_.homePageUrl, KELDRIN_HOME_PAGE));
}

// ---- help ----------------------------------------------------------------------------

TEST(ShowHelp, AllNullWhenNeverInitialisedCallsNothing)
{
    ASSERT_EQ(nullptr, GetModuleHandleW(L"hhctrl.ocx")) << "something else loaded the help control already";
    AppContext app;
    app.helpCookie = 0x1234;
    EXPECT_EQ(1, app.ShowHelp(nullptr, nullptr, nullptr));
    EXPECT_EQ(0, app.helpInitialized);
    EXPECT_EQ(0x1234u, app.helpCookie);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"hhctrl.ocx")) << "the help control was looked up";
}

class HelpError : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner_ = CreateWindowExW(0, L"Static", L"Keldrin help owner", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner_);
    }

    void TearDown() override
    {
        if (owner_) DestroyWindow(owner_);
        app_.helpInitialized = 0;  // the cookies here are made up; nothing to end
    }

    // boxes: what a watcher saw, and answered, while ShowHelp ran.
    void ExpectErrorBox(const std::vector<SeenBox> &boxes, HWND owner)
    {
        ASSERT_EQ(1u, boxes.size()) << "one message box, and no other";
        const SeenBox &seen = boxes[0];
        EXPECT_EQ(L"HtmlHelp Error", seen.caption);
        EXPECT_EQ(L"Cannot find help file.", seen.text);
        EXPECT_EQ(owner, seen.owner);
        EXPECT_TRUE(seen.okOnly) << "an OK button and no other";
        EXPECT_TRUE(seen.icon && seen.icon == LoadIconW(nullptr, IDI_EXCLAMATION)) << "the exclamation icon";
    }

    HWND owner_ = nullptr;
    AppContext app_;
};

TEST_F(HelpError, MissingFileIsReportedAndChangesNothing)
{
    app_.helpCookie = 0;
    MessageBoxWatcher watcher;
    int result = app_.ShowHelp(owner_, L"C:\\no\\such\\folder\\Keldrin.chm", L"_RESOURCE/Help-howtouse.html");
    EXPECT_EQ(1, result);
    ExpectErrorBox(watcher.Stop(), owner_);
    EXPECT_EQ(0, app_.helpInitialized);
    EXPECT_EQ(0u, app_.helpCookie);
}

TEST_F(HelpError, MissingFileWhileHelpIsInitialisedKeepsTheCookie)
{
    app_.helpInitialized = 1;
    app_.helpCookie = 77;
    MessageBoxWatcher watcher;
    app_.ShowHelp(nullptr, L"C:\\no\\such\\Keldrin.chm", L"");
    ExpectErrorBox(watcher.Stop(), nullptr);
    EXPECT_EQ(1, app_.helpInitialized);
    EXPECT_EQ(77u, app_.helpCookie);
}

// Only file and topic both null end the help; a topic without a file is a
// request for a file that is not there.
TEST_F(HelpError, TopicWithoutFileIsAMissingFile)
{
    MessageBoxWatcher watcher;
    app_.ShowHelp(owner_, nullptr, L"_RESOURCE/Help-howtouse.html");
    ExpectErrorBox(watcher.Stop(), owner_);
    EXPECT_EQ(0, app_.helpInitialized);
}

}  // namespace
