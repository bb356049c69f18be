// Other computers in-process: a list file's names, the requests through the
// recorder, the answer lines and the exit code.
#include <gtest/gtest.h>

#include <limits.h>
#include <algorithm>
#include <string>
#include <vector>

#include "base/owned_string.h"
#include "power_recorder.h"
#include "remote/remote_answers.h"
#include "remote/remote_machines.h"
#include "resources/resource_module.h"
#include "test_support.h"

// One name a line in the encodings a list is saved in; "#" lines, blank
// lines and the "\\" before a name are left out.
TEST(MachineList, ReadsTheNamesOfAListInEachEncoding)
{
    const struct {
        const char *what;
        std::string bytes;
        UINT codePage;
        const wchar_t *names;
    } cases[] = {
        {"UTF-8, CR LF, comments, blanks", "# room 4\r\n\r\n  pc1 \r\n\\\\pc2\r\n\t# off\r\n10.0.0.5\r\n", 1252,
         L"pc1|pc2|10.0.0.5"},
        {"UTF-8 without a mark", "\xE3\x82\xB5\xE3\x83\xBC\xE3\x83\x90\xE3\x83\xBC\nlab.example.org", 932,
         L"\x30B5\x30FC\x30D0\x30FC|lab.example.org"},
        {"UTF-8 after its mark", "\xEF\xBB\xBFpc1\n\xEF\xBB\xBF# not a name\npc2", 1252, L"pc1|pc2"},
        {"the code page (Shift_JIS)", "\x83\x54\x81\x5B\x83\x6F\x81\x5B\r\npc1", 932, L"\x30B5\x30FC\x30D0\x30FC|pc1"},
        {"UTF-16 after its mark", std::string("\xFF\xFEp\0c\0\x31\0\r\0\n\0#\0x\0", 16), 1252, L"pc1"},
        {"nothing but comments and blanks", "# none yet\n\n   \n\\\\\n", 1252, L""},
    };
    for (const auto &c : cases) {
        MachineList list = {};
        EXPECT_EQ(AddMachinesFromText(&list, c.bytes.data(), static_cast<DWORD>(c.bytes.size()), c.codePage), list.count);
        std::wstring names;
        for (int i = 0; i < list.count; i++) names += (i ? L"|" : L"") + std::wstring(list.names[i]);
        EXPECT_EQ(std::wstring(c.names), names) << c.what;
        FreeMachineList(&list);
    }
}

// Each computer gets exactly one call: InitiateShutdownW where the system has
// it, InitiateSystemShutdownExW on XP, AbortSystemShutdownW for a cancel;
// nothing is enabled in this process's token. Its answer is the call's, and
// the grace period is the wait held to the documented maximum.
TEST(RemoteRequest, OneCallPerComputerWithItsFlagsGraceReasonAndMessage)
{
    const struct {
        RemoteAction action;
        bool force;
        int wait;
        bool vista;
        const char *call;
    } cases[] = {
        {REMOTE_SHUTDOWN, false, 30, true, "InitiateShutdown(\\\\pc1,Bye,30,0x8,0x80000000)"},
        {REMOTE_RESTART, true, -5, true, "InitiateShutdown(\\\\pc1,Bye,0,0x25,0x80000000)"},
        {REMOTE_RESTART, false, INT_MAX, true, "InitiateShutdown(\\\\pc1,Bye,315360000,0x4,0x80000000)"},
        {REMOTE_SHUTDOWN, true, 600, false, "InitiateSystemShutdownEx(\\\\pc1,Bye,600,1,0,0x80000000)"},
        {REMOTE_RESTART, false, 0, false, "InitiateSystemShutdownEx(\\\\pc1,Bye,0,0,1,0x80000000)"},
        {REMOTE_CANCEL, false, 0, true, "AbortSystemShutdown(\\\\pc1)"},
    };
    for (const auto &c : cases) {
        for (DWORD answer : {0ul, 1722ul}) {
            SCOPED_TRACE(std::string(c.call) + " answering " + std::to_string(answer));
            ResetPowerRecorder();
            g_powerRecorder.initiateShutdownFound = c.vista;
            g_powerRecorder.remoteErrors["\\\\pc1"] = answer;
            const RemoteRequest request = {c.action, RemoteGraceSeconds(c.wait), c.force, L"Bye"};
            EXPECT_EQ(answer, AskMachine(request, L"pc1"));
            EXPECT_EQ(std::vector<std::string>{c.call}, g_powerRecorder.calls);
        }
    }
}

// Nine computers, at most four under way: a computer that takes long to
// answer holds up none of the others, and each answer lands at its name.
TEST(RemoteRequest, AtMostFourAtATimeAndASlowComputerHoldsUpNoOther)
{
    ResetPowerRecorder();
    g_powerRecorder.remoteCallMs = 30;
    g_powerRecorder.slowMachine = "\\\\pc0";
    g_powerRecorder.slowMachineMs = 400;
    g_powerRecorder.remoteErrors = {{"\\\\pc3", ERROR_ACCESS_DENIED}, {"\\\\pc7", 1722}};
    MachineList list = {};
    for (int i = 0; i < 9; i++) AddMachine(&list, (L"pc" + std::to_wstring(i)).c_str());
    DWORD errors[9];
    AskMachines({REMOTE_SHUTDOWN, 60, false, L"Bye"}, list.names, list.count, errors);

    ASSERT_EQ(9u, g_powerRecorder.calls.size());
    for (int i = 0; i < 9; i++) {
        const std::string call = "InitiateShutdown(\\\\pc" + std::to_string(i) + ",Bye,60,0x8,0x80000000)";
        EXPECT_EQ(1, std::count(g_powerRecorder.calls.begin(), g_powerRecorder.calls.end(), call)) << call;
        EXPECT_EQ(i == 3 ? ERROR_ACCESS_DENIED : i == 7 ? 1722u : 0u, errors[i]) << i;
    }
    EXPECT_EQ(4, g_powerRecorder.remoteMostInFlight);
    EXPECT_EQ(0u, g_powerRecorder.calls.back().find("InitiateShutdown(\\\\pc0,")) << "the slow one answered last";
    EXPECT_EQ(2, FailedCount(errors, 9)) << "the exit code";
    FreeMachineList(&list);
}

// One line a computer in the module's language, the system's text for an
// error; a script reading the output gets them in its code page.
TEST(RemoteAnswers, LinesInTheModulesLanguageWithTheSystemsTextForAnError)
{
    const HINSTANCE saved = g_resourceModule;
    wchar_t *names[] = {const_cast<wchar_t *>(L"pc1"), const_cast<wchar_t *>(L"10.0.0.5"), nullptr};
    const DWORD errors[] = {0, ERROR_BAD_NETPATH};
    wchar_t text[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_BAD_NETPATH, 0, text, 256, nullptr);
    const std::wstring system = std::wstring(text).substr(0, std::wstring(text).find_first_of(L"\r\n"));

    g_resourceModule = testsupport::LoadModuleAsData(testsupport::DistFolder() + L"Keldrin.Eng.dll");
    wchar_t *lines = AnswerLines(names, errors, 2);
    ASSERT_NE(nullptr, lines);
    EXPECT_EQ(L"pc1: asked\r\n10.0.0.5: error 53: " + system + L"\r\n", std::wstring(lines));
    HeapTextBufferFree(lines);
    FreeLibrary(g_resourceModule);

    g_resourceModule = testsupport::LoadModuleAsData(testsupport::DistFolder() + L"Keldrin.Jpn.dll");
    wchar_t line[256];
    AnswerLine(line, 256, L"pc1", 0);
    EXPECT_STREQ(L"pc1\xFF1A\x8981\x6C42\x3057\x307E\x3057\x305F", line);
    char bytes[64] = "";
    EXPECT_EQ(std::string("pc1\x81\x46\x97\x76\x8B\x81\x82\xB5\x82\xDC\x82\xB5\x82\xBD"),
              std::string(bytes, AnswerBytes(line, 932, bytes, 64)));
    FreeLibrary(g_resourceModule);
    g_resourceModule = saved;
}
