#include <gtest/gtest.h>

#include <shlobj.h>

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "context/app_context.h"
#include "test_support.h"
#include "update/update_handoff.h"

namespace {

using testsupport::Exists;
using testsupport::ReadFileBytes;
using testsupport::ScratchFolder;
using testsupport::ShellFolder;

const wchar_t kProgramFolder[] = L"C:\\Tools\\Keldrin\\";
const wchar_t kExecutable[] = L"C:\\Tools\\Keldrin\\Keldrin.exe";

// The folder of the running test program: the hand-off's "program folder".
std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t *slash = wcsrchr(path, L'\\');
    if (slash) slash[1] = L'\0';
    return path;
}

// Each test writes into a description file of its own in a scratch folder.
class UpdateDescription : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = ScratchFolder(L"keldrin-update");
        ASSERT_FALSE(folder_.empty());
        path_ = folder_ + L"\\Keldrin.kvx";
    }

    void TearDown() override
    {
        DeleteFileW(path_.c_str());
        EXPECT_TRUE(RemoveDirectoryW(folder_.c_str()));
    }

    bool Write(const wchar_t *const *fileSets, const wchar_t *const *baseUrls, int restart, int confirm,
               const wchar_t *programFolder = kProgramFolder, const wchar_t *executable = kExecutable)
    {
        return WriteUpdateDescription(path_.c_str(), fileSets, baseUrls, programFolder, executable, restart,
                                      confirm);
    }

    std::string Written() { return ReadFileBytes(path_); }

    std::wstring folder_;
    std::wstring path_;
};

TEST_F(UpdateDescription, FixedRequestGivesTheSixLinesInCodePage932WithCrLf)
{
    EXPECT_STREQ(L"http://www.marlowen.example/sources/Keldrin32", KELDRIN_UPDATE_BASE_URL);
    const wchar_t *sets[] = {KELDRIN_UPDATE_FILE_SET, nullptr};
    const wchar_t *urls[] = {KELDRIN_UPDATE_BASE_URL, nullptr};
    ASSERT_TRUE(Write(sets, urls, 1, 1));
    EXPECT_EQ("--download \"http://www.marlowen.example/sources/Keldrin32/Keldrin.exe;"
              "C:\\Tools\\Keldrin\\Keldrin.exe\"\r\n"
              "--download \"http://www.marlowen.example/sources/Keldrin32/Keldrin.Jpn.dll;"
              "C:\\Tools\\Keldrin\\Keldrin.Jpn.dll\"\r\n"
              "--download \"http://www.marlowen.example/sources/Keldrin32/Keldrin.chm;"
              "C:\\Tools\\Keldrin\\Keldrin.chm\"\r\n"
              "--download \"http://www.marlowen.example/sources/Keldrin32/Readme.txt;"
              "C:\\Tools\\Keldrin\\Readme.txt\"\r\n"
              "--restart \"C:\\Tools\\Keldrin\\Keldrin.exe\"\r\n"
              "--confirm\r\n",
              Written());
}

TEST_F(UpdateDescription, RewritingTruncatesTheOldFile)
{
    const wchar_t *sets[] = {KELDRIN_UPDATE_FILE_SET, nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    ASSERT_TRUE(Write(sets, urls, 1, 1));
    const wchar_t *small[] = {L"a.txt\0", nullptr};
    ASSERT_TRUE(Write(small, urls, 0, 0));
    EXPECT_EQ("--download \"U/a.txt;C:\\Tools\\Keldrin\\a.txt\"\r\n", Written());
}

TEST_F(UpdateDescription, SubfolderNamesUseSlashesRemotelyAndBackslashesLocally)
{
    const wchar_t *sets[] = {L"sub\\file.dll\0deep\\er\\x.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    ASSERT_TRUE(Write(sets, urls, 0, 0));
    EXPECT_EQ("--download \"U/sub/file.dll;C:\\Tools\\Keldrin\\sub\\file.dll\"\r\n"
              "--download \"U/deep/er/x.txt;C:\\Tools\\Keldrin\\deep\\er\\x.txt\"\r\n",
              Written());
}

TEST_F(UpdateDescription, FileSetsFollowInOrderAndAnEmptySetWritesNothing)
{
    const wchar_t *sets[] = {L"\0", L"a.dll\0b.dll\0", L"c.chm\0", nullptr};
    const wchar_t *urls[] = {L"http://one", L"http://two", L"http://three", nullptr};
    ASSERT_TRUE(Write(sets, urls, 1, 0));
    EXPECT_EQ("--download \"http://two/a.dll;C:\\Tools\\Keldrin\\a.dll\"\r\n"
              "--download \"http://two/b.dll;C:\\Tools\\Keldrin\\b.dll\"\r\n"
              "--download \"http://three/c.chm;C:\\Tools\\Keldrin\\c.chm\"\r\n"
              "--restart \"C:\\Tools\\Keldrin\\Keldrin.exe\"\r\n",
              Written());
}

TEST_F(UpdateDescription, NullEntryEndsTheSetsEvenWithMoreBehindIt)
{
    const wchar_t *urls[] = {L"U1", L"U2", L"U3", nullptr};
    const wchar_t *sets[] = {L"first.txt\0", nullptr, L"never.txt\0", nullptr};
    ASSERT_TRUE(Write(sets, urls, 0, 1));
    EXPECT_EQ("--download \"U1/first.txt;C:\\Tools\\Keldrin\\first.txt\"\r\n--confirm\r\n", Written());

    // A set with no base URL has nowhere to come from: it ends the sets too.
    const wchar_t *allSets[] = {L"first.txt\0", L"second.txt\0", L"third.txt\0", nullptr};
    const wchar_t *someUrls[] = {L"U1", nullptr, L"U3", nullptr};
    ASSERT_TRUE(Write(allSets, someUrls, 0, 1));
    EXPECT_EQ("--download \"U1/first.txt;C:\\Tools\\Keldrin\\first.txt\"\r\n--confirm\r\n", Written());
}

TEST_F(UpdateDescription, RestartAndConfirmOnlyForFlagOne)
{
    const wchar_t *sets[] = {L"a.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    const std::string download = "--download \"U/a.txt;C:\\Tools\\Keldrin\\a.txt\"\r\n";
    ASSERT_TRUE(Write(sets, urls, 0, 0));
    EXPECT_EQ(download, Written());
    ASSERT_TRUE(Write(sets, urls, 2, -1));
    EXPECT_EQ(download, Written());
    ASSERT_TRUE(Write(sets, urls, 0, 1));
    EXPECT_EQ(download + "--confirm\r\n", Written());
    ASSERT_TRUE(Write(sets, urls, 1, 0, kProgramFolder, L"D:\\Other\\Run.exe"));
    EXPECT_EQ(download + "--restart \"D:\\Other\\Run.exe\"\r\n", Written());
}

TEST_F(UpdateDescription, QuotesAndSemicolonsAreWrittenAsTheyAre)
{
    const wchar_t *sets[] = {L"odd;\"name\".txt\0", nullptr};
    const wchar_t *urls[] = {L"http://h/a;b", nullptr};
    ASSERT_TRUE(Write(sets, urls, 0, 0));
    EXPECT_EQ("--download \"http://h/a;b/odd;\"name\".txt;C:\\Tools\\Keldrin\\odd;\"name\".txt\"\r\n", Written());
}

TEST_F(UpdateDescription, JapaneseIsWrittenInCodePage932)
{
    // 電源 is 93 64 8C B9; 表 ends in 5C, the byte of a backslash, and must
    // come through unchanged on the remote side where backslashes become slashes.
    const wchar_t *sets[] = {L"\u8868\\\u96fb\u6e90.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    ASSERT_TRUE(Write(sets, urls, 1, 0, L"C:\\\u96fb\u6e90\\", L"C:\\\u96fb\u6e90\\Keldrin.exe"));
    EXPECT_EQ("--download \"U/\x95\x5c/\x93\x64\x8c\xb9.txt;C:\\\x93\x64\x8c\xb9\\\x95\x5c\\\x93\x64\x8c\xb9.txt\"\r\n"
              "--restart \"C:\\\x93\x64\x8c\xb9\\Keldrin.exe\"\r\n",
              Written());
}

// The program sets the run-time locale "jpn" at start; a text-mode stream in
// that locale is the other way to get code page 932 text, and both must agree.
TEST_F(UpdateDescription, SameBytesAsTheJapaneseLocalesTextMode)
{
    const wchar_t *sets[] = {L"\u30d8\u30eb\u30d7\\\u8868\u793a.chm\0", nullptr};
    const wchar_t *urls[] = {L"http://h/\u30bd", nullptr};
    const wchar_t folder[] = L"D:\\\uff8a\uff9d\uff76\u2460\\";
    ASSERT_TRUE(Write(sets, urls, 0, 1, folder, L"x"));

    std::wstring viaLocale = folder_ + L"\\via-locale.txt";
    char *saved = _strdup(setlocale(LC_ALL, nullptr));
    ASSERT_NE(nullptr, setlocale(LC_ALL, "jpn"));
    FILE *file = _wfopen(viaLocale.c_str(), L"w");
    ASSERT_NE(nullptr, file);
    fwprintf(file, L"--download \"%ls/%ls;%ls%ls\"\n", urls[0], L"\u30d8\u30eb\u30d7/\u8868\u793a.chm", folder,
             sets[0]);
    fwprintf(file, L"--confirm\n");
    fclose(file);
    setlocale(LC_ALL, saved);
    free(saved);
    std::string expected = ReadFileBytes(viaLocale);
    DeleteFileW(viaLocale.c_str());
    EXPECT_EQ(expected, Written());
}

TEST_F(UpdateDescription, CharacterOutsideCodePage932BecomesQuestionMark)
{
    // Without WC_NO_BEST_FIT_CHARS, é would silently turn into e: a different file.
    const wchar_t *sets[] = {L"caf\u00e9.txt\0smile\U0001F600end.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    ASSERT_TRUE(Write(sets, urls, 1, 1, L"C:\\R\u00e9sum\u00e9\\", L"C:\\R\u00e9sum\u00e9\\Keldrin.exe"));
    EXPECT_EQ("--download \"U/caf?.txt;C:\\R?sum?\\caf?.txt\"\r\n"
              "--download \"U/smile?end.txt;C:\\R?sum?\\smile?end.txt\"\r\n"
              "--restart \"C:\\R?sum?\\Keldrin.exe\"\r\n"
              "--confirm\r\n",
              Written());
}

TEST_F(UpdateDescription, FileThatCannotBeCreatedIsReported)
{
    const wchar_t *sets[] = {L"a.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    std::wstring inMissingFolder = folder_ + L"\\missing\\Keldrin.kvx";
    EXPECT_FALSE(WriteUpdateDescription(inMissingFolder.c_str(), sets, urls, kProgramFolder, kExecutable, 1, 1));
    EXPECT_FALSE(Exists(inMissingFolder));
}

// HandOffUpdateSets works on the running program's own folder, here the test
// program's, as the context took it; the description names are unique so
// nothing else is disturbed.
class HandOff : public ::testing::Test {
protected:
    testsupport::StartUpContext context_;

    void SetUp() override
    {
        wchar_t name[64];
        swprintf_s(name, 64, L"handoff-%lu.kvx", GetCurrentProcessId());
        name_ = name;
        programFolder_ = OwnFolder();
        dataFolder_ = ShellFolder(CSIDL_APPDATA) + L"\\Marlowen\\update_tests\\";
    }

    void TearDown() override
    {
        DeleteFileW((programFolder_ + name_).c_str());
        DeleteFileW((dataFolder_ + name_).c_str());
    }

    std::wstring name_;
    std::wstring programFolder_;
    std::wstring dataFolder_;
};

TEST(HandOffWithoutContext, DoesNothing)
{
    ASSERT_EQ(nullptr, g_app);
    const wchar_t *sets[] = {L"a.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    EXPECT_EQ(0, HandOffUpdateSets(nullptr, sets, urls, L"no-context.kvx", 1, 1));
    EXPECT_FALSE(Exists(OwnFolder() + L"no-context.kvx"));
}

TEST_F(HandOff, MissingArgumentsDoNothing)
{
    const wchar_t *sets[] = {L"a.txt\0", nullptr};
    const wchar_t *urls[] = {L"U", nullptr};
    const wchar_t *noSet[] = {nullptr};
    const wchar_t *noUrl[] = {nullptr};
    const wchar_t *name = name_.c_str();
    EXPECT_EQ(0, HandOffUpdateSets(nullptr, nullptr, urls, name, 1, 1));
    EXPECT_EQ(0, HandOffUpdateSets(nullptr, sets, nullptr, name, 1, 1));
    EXPECT_EQ(0, HandOffUpdateSets(nullptr, noSet, urls, name, 1, 1));
    EXPECT_EQ(0, HandOffUpdateSets(nullptr, sets, noUrl, name, 1, 1));
    EXPECT_EQ(0, HandOffUpdate(nullptr, nullptr, L"U", name, 1, 1));
    EXPECT_EQ(0, HandOffUpdate(nullptr, L"a.txt\0", nullptr, name, 1, 1));
    EXPECT_FALSE(Exists(programFolder_ + name_));
    EXPECT_FALSE(Exists(dataFolder_ + name_));
    EXPECT_FALSE(Exists(programFolder_ + L"__marlowen_check_writable.txt"));
}

TEST_F(HandOff, WithoutUpdaterTheFileStaysInTheWritableProgramFolder)
{
    ASSERT_FALSE(Exists(programFolder_ + L"Fennrick.exe"));
    ASSERT_EQ(0, IsUpdaterRegistered());
    EXPECT_EQ(1, HandOffUpdate(nullptr, L"sub\\x.dll\0", L"U", name_.c_str(), 1, 0));
    std::wstring description = programFolder_ + name_;
    ASSERT_TRUE(Exists(description));
    EXPECT_FALSE(Exists(programFolder_ + L"__marlowen_check_writable.txt"));

    // The lines name the folder the program runs from; this one is plain ASCII in the build tree.
    char folder[MAX_PATH];
    WideCharToMultiByte(932, 0, programFolder_.c_str(), -1, folder, MAX_PATH, nullptr, nullptr);
    EXPECT_EQ(std::string("--download \"U/sub/x.dll;") + folder + "sub\\x.dll\"\r\n--restart \"" + folder +
                  "update_tests.exe\"\r\n",
              ReadFileBytes(description));
}

// The type registration is looked up level by level under HKCU\Software\Classes.
class UpdaterRegistration : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static void Clean()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.kvx");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\.kvx");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\FennrickFormat");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\FennrickFormat");
    }

    static void Create(const wchar_t *path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                                 nullptr));
        RegCloseKey(key);
    }
};

TEST_F(UpdaterRegistration, ExtensionAndOpenCommandMakeItRegistered)
{
    EXPECT_EQ(0, IsUpdaterRegistered());
    Create(L"Software\\Classes\\.kvx");
    EXPECT_EQ(0, IsUpdaterRegistered());
    Create(L"Software\\Classes\\FennrickFormat");
    EXPECT_EQ(0, IsUpdaterRegistered());
    Create(L"Software\\Classes\\FennrickFormat\\shell");
    EXPECT_EQ(0, IsUpdaterRegistered());
    Create(L"Software\\Classes\\FennrickFormat\\shell\\open");
    EXPECT_EQ(0, IsUpdaterRegistered());
    Create(L"Software\\Classes\\FennrickFormat\\shell\\open\\command");
    EXPECT_EQ(1, IsUpdaterRegistered());
}

TEST_F(UpdaterRegistration, EveryLevelIsRequired)
{
    Create(L"Software\\Classes\\FennrickFormat\\shell\\open\\command");
    EXPECT_EQ(0, IsUpdaterRegistered()) << "without .kvx";

    Create(L"Software\\Classes\\.kvx");
    Create(L"Software\\Classes\\FennrickFormat\\shell\\edit\\command");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\FennrickFormat\\shell\\open");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\FennrickFormat\\shell\\open");
    EXPECT_EQ(0, IsUpdaterRegistered()) << "with another verb than open";

    Create(L"Software\\Classes\\FennrickFormat\\shell\\open\\ddeexec");
    EXPECT_EQ(0, IsUpdaterRegistered()) << "open without command";

    Create(L"Software\\Classes\\FennrickFormat\\shell\\open\\command");
    EXPECT_EQ(1, IsUpdaterRegistered());
}

}  // namespace
