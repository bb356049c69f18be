// Shortcuts as the main dialog makes them: the command line and the name that
// repeat the user's choice, the .lnk file the shell link object writes, and
// the message that tells the user whether it worked. Everything runs on the
// real English and Japanese modules and writes real files under Wine; every
// message box is answered by the test itself.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

#include "context/app_context.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "settings/settings.h"
#include "test_support.h"
#include "power/operation_table.h"
#include "ui/shortcuts.h"
#include "ui_test_support.h"

using testsupport::AlteredModule;
using testsupport::DistFolder;
using testsupport::Exists;
using testsupport::MessageBoxWatcher;
using testsupport::ModuleString;
using testsupport::ScratchFolder;
using testsupport::SeenBox;
using testsupport::ShellFolder;

namespace {

const wchar_t kQuickLaunchPart[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";

std::wstring CommandLine(int operation, int wait, int saverLockOff, int atTime = -1,
                         const WatchConditions *watch = nullptr)
{
    wchar_t buffer[KELDRIN_TEXT_UNITS];
    wmemset(buffer, L'#', KELDRIN_TEXT_UNITS);
    if (!ShortcutCommandLine(buffer, KELDRIN_TEXT_UNITS, operation, wait, saverLockOff, atTime, watch))
        return L"<none>";
    return buffer;
}

std::wstring Name(int operation, int wait, int atTime = -1, const WatchConditions *watch = nullptr)
{
    wchar_t buffer[KELDRIN_TEXT_UNITS];
    wmemset(buffer, L'#', KELDRIN_TEXT_UNITS);
    if (!ShortcutName(buffer, KELDRIN_TEXT_UNITS, operation, wait, atTime, watch)) return L"<none>";
    return buffer;
}

WatchConditions Watch(int idleSec, const wchar_t *program, int quietSec)
{
    WatchConditions watch = {idleSec, quietSec, kDefaultCpuBelow, kDefaultNetBelowKBs, program ? 1 : 0};
    if (program) wcscpy(watch.programs[0], program);
    return watch;
}

std::wstring ModulePathOfThisProgram()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// A .lnk file as the shell reads it back.
struct LinkFile {
    HRESULT loaded;
    std::wstring target;
    std::wstring arguments;
    std::wstring workingDir;
    std::wstring description;
    std::wstring iconPath;
    int iconIndex;
    int showCommand;
};

// Wine's link object reads every property back but the show command (its
// GetShowCmd answers 1 after a Load whatever the file holds), so that one is
// read where the shell link header keeps it: a DWORD at offset 0x3C.
int ShowCommandInHeader(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    BYTE header[0x4C] = {};
    DWORD got = 0;
    BOOL read = ReadFile(file, header, sizeof header, &got, nullptr);
    CloseHandle(file);
    if (!read || got != sizeof header || header[0] != 0x4C) return -1;
    DWORD show = 0;
    memcpy(&show, header + 0x3C, sizeof show);
    return static_cast<int>(show);
}

LinkFile ReadLink(const std::wstring &path)
{
    LinkFile result = {E_FAIL, L"", L"", L"", L"", L"", -1, -1};
    IShellLinkW *link = nullptr;
    result.loaded = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void **>(&link));
    if (FAILED(result.loaded)) return result;
    IPersistFile *file = nullptr;
    result.loaded = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file));
    if (SUCCEEDED(result.loaded)) {
        result.loaded = file->Load(path.c_str(), STGM_READ);
        if (SUCCEEDED(result.loaded)) {
            wchar_t text[KELDRIN_PATH_UNITS];
            text[0] = L'\0';
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            result.target = text;
            text[0] = L'\0';
            link->GetArguments(text, KELDRIN_TEXT_UNITS);
            result.arguments = text;
            text[0] = L'\0';
            link->GetWorkingDirectory(text, MAX_PATH);
            result.workingDir = text;
            text[0] = L'\0';
            link->GetDescription(text, KELDRIN_TEXT_UNITS);
            result.description = text;
            text[0] = L'\0';
            link->GetIconLocation(text, MAX_PATH, &result.iconIndex);
            result.iconPath = text;
        }
        file->Release();
    }
    link->Release();
    result.showCommand = ShowCommandInHeader(path);
    return result;
}

// The .lnk files in folder whose names start with part.
std::set<std::wstring> LinksIn(const std::wstring &folder, const std::wstring &part)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + part + L"*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// A file the test made or may have made; removed when the test ends, pass or fail.
class MadeFile {
public:
    explicit MadeFile(std::wstring path) : path_(std::move(path)) { DeleteFileW(path_.c_str()); }
    ~MadeFile() { DeleteFileW(path_.c_str()); }
    MadeFile(const MadeFile &) = delete;
    MadeFile &operator=(const MadeFile &) = delete;
    const std::wstring &path() const { return path_; }

private:
    std::wstring path_;
};

// The Quick Launch folder made present or absent for one test, and put back as
// it was afterwards. A fresh prefix has none; a folder that was there already
// is moved aside rather than emptied.
class QuickLaunchFolder {
public:
    explicit QuickLaunchFolder(bool present)
        : appData_(ShellFolder(CSIDL_APPDATA)),
          path_(appData_ + kQuickLaunchPart),
          aside_(path_ + L" (moved aside by shortcuts_test)"),
          ieExisted_(Exists(appData_ + L"\\Microsoft\\Internet Explorer")),
          existed_(Exists(path_)),
          movedAside_(false),
          made_(false)
    {
        if (present && !existed_) {
            CreateDirectoryW((appData_ + L"\\Microsoft").c_str(), nullptr);
            CreateDirectoryW((appData_ + L"\\Microsoft\\Internet Explorer").c_str(), nullptr);
            made_ = CreateDirectoryW(path_.c_str(), nullptr) != 0;
        } else if (!present && existed_) {
            movedAside_ = MoveFileW(path_.c_str(), aside_.c_str()) != 0;
        }
    }
    ~QuickLaunchFolder()
    {
        if (made_) RemoveDirectoryW(path_.c_str());
        if (!ieExisted_) RemoveDirectoryW((appData_ + L"\\Microsoft\\Internet Explorer").c_str());
        if (movedAside_) MoveFileW(aside_.c_str(), path_.c_str());
    }
    QuickLaunchFolder(const QuickLaunchFolder &) = delete;
    QuickLaunchFolder &operator=(const QuickLaunchFolder &) = delete;

    const std::wstring &path() const { return path_; }

private:
    std::wstring appData_;
    std::wstring path_;
    std::wstring aside_;
    bool ieExisted_;
    bool existed_;
    bool movedAside_;
    bool made_;
};

// The program set up as start-up leaves it, with the English module; COM for
// reading links back; a scratch folder; and the settings the shortcut code reads.
class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program_.ready()) << "no Keldrin.Eng.dll in " << ::testing::PrintToString(DistFolder());
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        g_settings = PowerSettings();
        scratch_ = ScratchFolder(L"keldrin-shortcuts");
        ASSERT_FALSE(scratch_.empty());
        desktop_ = ShellFolder(CSIDL_DESKTOP);
        ASSERT_FALSE(desktop_.empty());
    }

    void TearDown() override
    {
        RemoveDirectoryW(scratch_.c_str());
        CoUninitialize();
    }

    uitest::MenuBuilderOff menuBuilderOff_;
    uitest::ProgramScope program_{KELDRIN_MODULE_ENG};
    std::wstring scratch_;
    std::wstring desktop_;
};

// ---- command lines and names ----------------------------------------------------

TEST_F(ShortcutTest, CommandLineRepeatsOperationWaitAndSaverOption)
{
    EXPECT_EQ(L"--shutdown --wait 90", CommandLine(1, 90, 0));
    EXPECT_EQ(L"--reboot --wait 0", CommandLine(2, 0, 0));
    EXPECT_EQ(L"--standby --wait 45 --saverlockoff", CommandLine(3, 45, 1));
    EXPECT_EQ(L"--sleep --wait -30", CommandLine(4, -30, 0));
    EXPECT_EQ(L"--logoff --wait 2147483647", CommandLine(5, INT_MAX, 0));
    EXPECT_EQ(L"--monitoroff --wait -2147483648 --saverlockoff", CommandLine(6, INT_MIN, 1));
    EXPECT_EQ(L"--monitorlock --wait 1", CommandLine(7, 1, 0));
    // Only 1 switches the option on; any other value read from the file does not.
    EXPECT_EQ(L"--monitorofflock --wait 60", CommandLine(8, 60, 2));
    EXPECT_EQ(L"--monitorofflock --wait 60", CommandLine(8, 60, -1));
}

// A time of day replaces the wait; the name says the time without the colon
// a file name cannot hold.
TEST_F(ShortcutTest, ATimeOfDayGoesIntoTheCommandLineAndTheName)
{
    const int halfPastEleven = 23 * 3600 + 30 * 60;
    EXPECT_EQ(L"--shutdown --at 23:30", CommandLine(1, 90, 0, halfPastEleven));
    EXPECT_EQ(L"--reboot --at 06:00 --saverlockoff", CommandLine(2, 0, 1, 6 * 3600));
    EXPECT_EQ(L"--monitoroff --at 00:00", CommandLine(6, 0, 0, 0));
    EXPECT_EQ(L"--select", CommandLine(9, 0, 0, halfPastEleven));
    EXPECT_EQ(L"Keldrin Shut down at 23.30", Name(1, 90, halfPastEleven));
    EXPECT_EQ(L"Keldrin Restart at 6.00", Name(2, 0, 6 * 3600));
    EXPECT_EQ(L"Keldrin Choose operation", Name(9, 0, halfPastEleven));
    uitest::ModuleSwitch japanese(KELDRIN_MODULE_JPN);
    ASSERT_TRUE(japanese.ready());
    EXPECT_EQ(L"Keldrin シャットダウン 23時30分", Name(1, 90, halfPastEleven));
}

// A watch replaces the wait and the time of day: the command line carries its
// options and no wait, so the command line's minute follows; the name says
// what it waits for.
TEST_F(ShortcutTest, AWatchGoesIntoTheCommandLineAndTheName)
{
    const struct {
        WatchConditions watch;
        const wchar_t *line, *name;
    } rows[] = {
        {Watch(600, nullptr, 0), L"--shutdown --idle-min 10 --saverlockoff",
         L"Keldrin Shut down when not used for 10 min"},
        {Watch(0, L"my render.exe", 0), L"--shutdown --after-exit \"my render.exe\" --saverlockoff",
         L"Keldrin Shut down after my render.exe has ended"},
        {Watch(0, nullptr, 300), L"--shutdown --quiet-min 5 --saverlockoff", L"Keldrin Shut down when quiet for 5 min"},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(row.line, CommandLine(1, 60, 1, 23 * 3600, &row.watch));
        EXPECT_EQ(row.name, Name(1, 60, 23 * 3600, &row.watch));
    }
    uitest::ModuleSwitch japanese(KELDRIN_MODULE_JPN);
    ASSERT_TRUE(japanese.ready());
    EXPECT_EQ(L"Keldrin シャットダウン my render.exe終了後", Name(1, 60, -1, &rows[1].watch));
}

TEST_F(ShortcutTest, SelectCarriesNoWaitAndNoSaverOption)
{
    for (int wait : {0, 45, 90, -30}) {
        for (int saver : {0, 1}) {
            EXPECT_EQ(L"--select", CommandLine(9, wait, saver)) << "wait " << wait << ", saver " << saver;
        }
    }
    EXPECT_EQ(L"Keldrin Choose operation", Name(9, 90));
    EXPECT_EQ(L"Keldrin Choose operation", Name(9, 0));
    EXPECT_EQ(L"Keldrin Choose operation", Name(9, -30));
}

TEST_F(ShortcutTest, CodesWithoutKeywordGiveNeitherCommandLineNorName)
{
    for (int code : {0, 10, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(nullptr, OperationKeyword(code)) << code;
        EXPECT_EQ(L"<none>", CommandLine(code, 90, 1)) << code;
        EXPECT_EQ(L"<none>", Name(code, 90)) << code;
    }
}

// 10101 above a minute, 10102 for 1..59 seconds, 10103 for no wait.
TEST_F(ShortcutTest, NameTakesTheFormatOfTheWait)
{
    EXPECT_EQ(L"Keldrin Shut down in 1 min 30 s", Name(1, 90));
    EXPECT_EQ(L"Keldrin Restart", Name(2, 0));
    EXPECT_EQ(L"Keldrin Standby in 45 s", Name(3, 45));
    EXPECT_EQ(L"Keldrin Hibernate", Name(4, -30));
    EXPECT_EQ(L"Keldrin Log off in 1 min 0 s", Name(5, 60));
    EXPECT_EQ(L"Keldrin Monitors off in 59 s", Name(6, 59));
    EXPECT_EQ(L"Keldrin Lock in 1 s", Name(7, 1));
    EXPECT_EQ(L"Keldrin Lock and monitors off in 1440 min 0 s", Name(8, 86400));
    EXPECT_EQ(L"Keldrin Shut down in 35791394 min 7 s", Name(1, INT_MAX));
    EXPECT_EQ(L"Keldrin Shut down", Name(1, INT_MIN));
}

TEST_F(ShortcutTest, NameFollowsTheModulesLanguage)
{
    uitest::ModuleSwitch japanese(KELDRIN_MODULE_JPN);
    ASSERT_TRUE(japanese.ready());
    EXPECT_EQ(L"Keldrin シャットダウン 1分30秒後", Name(1, 90));
    EXPECT_EQ(L"Keldrin スタンバイ 45秒後", Name(3, 45));
    EXPECT_EQ(L"Keldrin 再起動", Name(2, 0));
    EXPECT_EQ(L"Keldrin 実行時に選択", Name(9, 90));
}

// A format the module gets wrong must never reach swprintf with our
// arguments: a %ls where a number goes would read a number as a pointer.
TEST_F(ShortcutTest, FormatsThatDoNotTakeTheArgumentsGiveNeutralNames)
{
    // A copy of the English module with the shortcut strings replaced by
    // formats that do not fit their arguments.
    AlteredModule altered(DistFolder() + KELDRIN_MODULE_ENG,
                          {{IDS_SHORTCUT_NAME_MIN_SEC, L"%ls %ls %ls %ld"},  // a string where minutes go
                           {IDS_SHORTCUT_NAME_SEC, L"%ls %ls %ld %ld"},      // one number too many
                           {IDS_SHORTCUT_NAME_NOW, L"%ls %n"},               // writes through an argument
                           {IDS_DESKTOP_SHORTCUT_MADE, L"Made."},
                           {IDS_QUICKLAUNCH_SHORTCUT_MADE, L"Made there."},
                           {IDS_SHORTCUT_FAILED, L"%ld failed"},             // a number where the path goes
                           {IDS_SHORTCUT_NAME_EXIT, L"%ls %ls %ld"}});       // a number where the name goes
    ASSERT_NE(nullptr, altered.module());

    uitest::ModuleSwitch hostile(altered.path().c_str());
    ASSERT_TRUE(hostile.ready());
    EXPECT_EQ(L"%ls %n", ModuleString(g_resourceModule, IDS_SHORTCUT_NAME_NOW))
        << "the copy does not hold the replaced strings";

    EXPECT_EQ(L"Keldrin Shut down 1 min 30 s", Name(1, 90));
    EXPECT_EQ(L"Keldrin Standby 45 s", Name(3, 45));
    EXPECT_EQ(L"Keldrin Restart", Name(2, 0));
    WatchConditions program = Watch(0, L"a.exe", 0);
    EXPECT_EQ(L"Keldrin Shut down after a.exe", Name(1, 60, -1, &program));

    // The failure message falls back to a neutral text that still names the file.
    QuickLaunchFolder missing(false);
    MessageBoxWatcher watcher;
    EXPECT_EQ(1, MakeQuickLaunchShortcut(2, 0));
    std::vector<SeenBox> boxes = watcher.Stop();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"The shortcut could not be created:\r\n" + missing.path() + L"\\Keldrin Restart.lnk", boxes[0].text);
}

// The bounded formats cut a text too long for its buffer and never write past it.
TEST_F(ShortcutTest, SmallBuffersAreCutNotOverrun)
{
    wchar_t buffer[16];
    wmemset(buffer, L'#', 16);
    ASSERT_TRUE(ShortcutCommandLine(buffer, 12, 3, 45, 1));
    EXPECT_STREQ(L"--standby -", buffer);
    EXPECT_EQ(L'#', buffer[12]);
    wmemset(buffer, L'#', 16);
    ASSERT_TRUE(ShortcutName(buffer, 10, 1, 90));
    EXPECT_STREQ(L"Keldrin S", buffer);
    EXPECT_EQ(L'#', buffer[10]);
}

// ---- link files ------------------------------------------------------------------

TEST_F(ShortcutTest, ShellLinkHoldsEveryPropertyItWasGiven)
{
    MadeFile link(scratch_ + L"\\plain.lnk");
    std::wstring target = ModulePathOfThisProgram();
    HRESULT saved = CreateShellLink(link.path().c_str(), target.c_str(), L"Runs a power operation",
                                    L"--shutdown --wait 90", L"C:\\Program Files\\Keldrin\\", nullptr, 0,
                                    SW_SHOWNORMAL);
    ASSERT_TRUE(SUCCEEDED(saved)) << std::hex << saved;
    LinkFile read = ReadLink(link.path());
    ASSERT_TRUE(SUCCEEDED(read.loaded)) << std::hex << read.loaded;
    EXPECT_EQ(target, read.target);
    EXPECT_EQ(L"--shutdown --wait 90", read.arguments);
    EXPECT_EQ(L"C:\\Program Files\\Keldrin\\", read.workingDir);
    EXPECT_EQ(L"Runs a power operation", read.description);
    EXPECT_EQ(target, read.iconPath) << "without an icon path the target's own icon";
    EXPECT_EQ(0, read.iconIndex);
    EXPECT_EQ(SW_SHOWNORMAL, read.showCommand);

    // The icon path, index and show command given are the ones stored.
    MadeFile other(scratch_ + L"\\other.lnk");
    saved = CreateShellLink(other.path().c_str(), target.c_str(), L"", L"--select", L"C:\\", L"C:\\icons.dll", 3,
                            SW_SHOWMAXIMIZED);
    ASSERT_TRUE(SUCCEEDED(saved)) << std::hex << saved;
    read = ReadLink(other.path());
    ASSERT_TRUE(SUCCEEDED(read.loaded));
    EXPECT_EQ(L"--select", read.arguments);
    EXPECT_EQ(L"C:\\icons.dll", read.iconPath);
    EXPECT_EQ(3, read.iconIndex);
    EXPECT_EQ(SW_SHOWMAXIMIZED, read.showCommand);
}

TEST_F(ShortcutTest, ShellLinkIntoAMissingFolderReportsTheFailedSave)
{
    std::wstring path = scratch_ + L"\\no such folder\\x.lnk";
    HRESULT saved = CreateShellLink(path.c_str(), ModulePathOfThisProgram().c_str(), L"", L"", L"", nullptr, 0,
                                    SW_SHOWNORMAL);
    EXPECT_TRUE(FAILED(saved));
    EXPECT_FALSE(Exists(path));
}

TEST_F(ShortcutTest, DesktopLinkGoesIntoTheDesktopFolder)
{
    const std::wstring name = uitest::UseUniqueProductName() + L" test link";
    MadeFile expected(desktop_ + L"\\" + name + L".lnk");
    wchar_t linkPath[KELDRIN_PATH_UNITS] = L"";
    ASSERT_EQ(1, CreateDesktopLink(name.c_str(), L"description", L"--reboot --wait 0", L"C:\\work\\", linkPath,
                                   KELDRIN_PATH_UNITS));
    EXPECT_EQ(expected.path(), linkPath);
    LinkFile read = ReadLink(expected.path());
    ASSERT_TRUE(SUCCEEDED(read.loaded)) << "no link at " << ::testing::PrintToString(expected.path());
    EXPECT_EQ(ModulePathOfThisProgram(), read.target);
    EXPECT_EQ(L"--reboot --wait 0", read.arguments);
    EXPECT_EQ(L"C:\\work\\", read.workingDir);
    EXPECT_EQ(L"description", read.description);
    EXPECT_EQ(SW_SHOWNORMAL, read.showCommand);

    // The same choice again writes the same file again.
    ASSERT_EQ(1, CreateDesktopLink(name.c_str(), L"description", L"--reboot --wait 5", L"C:\\work\\"));
    EXPECT_EQ(L"--reboot --wait 5", ReadLink(expected.path()).arguments);
}

TEST_F(ShortcutTest, FolderLinkGoesIntoTheFolderOfTheCsidl)
{
    std::wstring appData = ShellFolder(CSIDL_APPDATA);
    ASSERT_FALSE(appData.empty());
    MadeFile expected(appData + L"\\Keldrin folder link.lnk");
    ASSERT_EQ(1, CreateFolderLink(CSIDL_APPDATA, L"Keldrin folder link", L"d", L"--logoff --wait 0", L"C:\\"));
    EXPECT_EQ(L"--logoff --wait 0", ReadLink(expected.path()).arguments);
}

TEST_F(ShortcutTest, QuickLaunchLinkGoesBelowApplicationData)
{
    QuickLaunchFolder folder(true);
    MadeFile expected(folder.path() + L"\\Keldrin quick link.lnk");
    wchar_t linkPath[KELDRIN_PATH_UNITS] = L"";
    ASSERT_EQ(1, CreateQuickLaunchLink(L"Keldrin quick link", L"d", L"--standby --wait 45", L"C:\\", linkPath,
                                       KELDRIN_PATH_UNITS));
    EXPECT_EQ(expected.path(), linkPath);
    EXPECT_EQ(L"--standby --wait 45", ReadLink(expected.path()).arguments);
}

// The link routines say 0 whenever no file was written, so the user is not
// told of a shortcut that is not there.
TEST_F(ShortcutTest, LinkRoutinesReturnZeroWhenNoFileIsWritten)
{
    wchar_t linkPath[KELDRIN_PATH_UNITS];

    // Characters a file name cannot hold: the save fails.
    const std::wstring product = uitest::UseUniqueProductName();
    const std::wstring badName = product + L" a<b>c|d?";
    EXPECT_EQ(0, CreateDesktopLink(badName.c_str(), L"d", L"--shutdown --wait 0", L"C:\\", linkPath,
                                   KELDRIN_PATH_UNITS));
    EXPECT_EQ(desktop_ + L"\\" + badName + L".lnk", linkPath) << "the path is there to tell the user";
    EXPECT_TRUE(LinksIn(desktop_, product).empty());

    // No name at all.
    EXPECT_EQ(0, CreateDesktopLink(L"", L"d", L"--shutdown --wait 0", L"C:\\"));
    EXPECT_EQ(0, CreateDesktopLink(nullptr, L"d", L"--shutdown --wait 0", L"C:\\"));
    EXPECT_EQ(0, CreateQuickLaunchLink(L"", L"d", L"--shutdown --wait 0", L"C:\\"));

    // A folder the shell does not know: the message can name the file only.
    EXPECT_EQ(0, CreateFolderLink(0x7F, L"Keldrin nowhere", L"d", L"--shutdown --wait 0", L"C:\\", linkPath,
                                  KELDRIN_PATH_UNITS));
    EXPECT_STREQ(L"Keldrin nowhere.lnk", linkPath);

    // A path longer than the path buffer would be cut to name some other file.
    std::wstring longName(KELDRIN_PATH_UNITS - 10, L'k');
    EXPECT_EQ(0, CreateDesktopLink(longName.c_str(), L"d", L"--shutdown --wait 0", L"C:\\"));
    // Longer than the file system takes, though it fits the buffer.
    std::wstring tooLongForFiles(400, L'k');
    EXPECT_EQ(0, CreateDesktopLink(tooLongForFiles.c_str(), L"d", L"--shutdown --wait 0", L"C:\\"));
    EXPECT_FALSE(Exists(desktop_ + L"\\" + tooLongForFiles + L".lnk"));

    // Quick Launch does not exist until something makes it.
    {
        QuickLaunchFolder missing(false);
        EXPECT_EQ(0, CreateQuickLaunchLink(L"Keldrin quick link", L"d", L"--shutdown --wait 0", L"C:\\", linkPath,
                                           KELDRIN_PATH_UNITS));
        EXPECT_EQ(missing.path() + L"\\Keldrin quick link.lnk", linkPath);
        EXPECT_FALSE(Exists(missing.path()));
    }
}

// ---- what the user is told ---------------------------------------------------------

TEST_F(ShortcutTest, DesktopShortcutIsWrittenAndAnnounced)
{
    const std::wstring product = uitest::UseUniqueProductName();
    MadeFile link(desktop_ + L"\\" + product + L" Shut down in 1 min 30 s.lnk");
    MessageBoxWatcher watcher;
    EXPECT_EQ(1, MakeDesktopShortcut(1, 90));
    std::vector<SeenBox> boxes = watcher.Stop();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(product, boxes[0].caption);
    EXPECT_EQ(L"The shortcut has been created on the desktop.", boxes[0].text);
    EXPECT_TRUE(boxes[0].hasOkButton);

    LinkFile read = ReadLink(link.path());
    ASSERT_TRUE(SUCCEEDED(read.loaded)) << "no shortcut at " << ::testing::PrintToString(link.path());
    EXPECT_EQ(ModulePathOfThisProgram(), read.target);
    EXPECT_EQ(L"--shutdown --wait 90", read.arguments);
    EXPECT_EQ(std::wstring(g_app->programDir), read.workingDir);
    EXPECT_EQ(L"Runs a power operation of this computer with Keldrin", read.description);
    EXPECT_EQ(ModulePathOfThisProgram(), read.iconPath);
    EXPECT_EQ(0, read.iconIndex);
    EXPECT_EQ(SW_SHOWNORMAL, read.showCommand);
}

TEST_F(ShortcutTest, QuickLaunchShortcutIsWrittenAndAnnounced)
{
    QuickLaunchFolder folder(true);
    MadeFile link(folder.path() + L"\\Keldrin Standby in 45 s.lnk");
    g_settings.saverLockOff = 1;
    MessageBoxWatcher watcher;
    EXPECT_EQ(1, MakeQuickLaunchShortcut(3, 45));
    std::vector<SeenBox> boxes = watcher.Stop();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Keldrin", boxes[0].caption);
    EXPECT_EQ(L"The shortcut has been created in the Quick Launch bar.", boxes[0].text);
    EXPECT_EQ(L"--standby --wait 45 --saverlockoff", ReadLink(link.path()).arguments);
}

TEST_F(ShortcutTest, ShortcutThatCannotBeWrittenIsReportedWithItsPath)
{
    QuickLaunchFolder missing(false);
    MessageBoxWatcher watcher;
    EXPECT_EQ(1, MakeQuickLaunchShortcut(1, 90));
    std::vector<SeenBox> boxes = watcher.Stop();
    ASSERT_EQ(1u, boxes.size()) << "one message, and not the success one";
    EXPECT_EQ(L"Keldrin", boxes[0].caption);
    std::wstring path = missing.path() + L"\\Keldrin Shut down in 1 min 30 s.lnk";
    EXPECT_EQ(L"The shortcut could not be created:\n" + path, boxes[0].text);
    EXPECT_FALSE(Exists(path));

    uitest::ModuleSwitch japanese(KELDRIN_MODULE_JPN);
    ASSERT_TRUE(japanese.ready());
    MessageBoxWatcher again;
    EXPECT_EQ(1, MakeQuickLaunchShortcut(6, 0));
    boxes = again.Stop();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"ショートカットを作成できませんでした。\n" + missing.path() + L"\\Keldrin モニターオフ.lnk",
              boxes[0].text);
}

TEST_F(ShortcutTest, CodesWithoutKeywordMakeNothingAndSayNothing)
{
    QuickLaunchFolder folder(true);
    const std::wstring product = uitest::UseUniqueProductName();
    for (int code : {0, 10, -1}) {
        MessageBoxWatcher watcher;
        EXPECT_EQ(1, MakeDesktopShortcut(code, 90));
        EXPECT_EQ(1, MakeQuickLaunchShortcut(code, 90));
        // A box would have blocked the call; the short linger only makes sure.
        EXPECT_TRUE(watcher.Stop(300).empty()) << "code " << code << " showed a message";
    }
    EXPECT_TRUE(LinksIn(desktop_, product).empty());
    EXPECT_TRUE(LinksIn(folder.path(), L"").empty());
}

}  // namespace
