// Start-up narrows where a library named without a folder is looked for, with
// whichever of the two functions the system has. What Wine has (the newer
// one) is seen end to end in tests/e2e/test_main_dialog.py; the older
// systems' way is driven here with stand-ins.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup.h"

namespace {

std::vector<std::string> g_calls;
BOOL g_setDefaultResult = TRUE;

BOOL WINAPI FakeSetDefaultDllDirectories(DWORD flags)
{
    g_calls.push_back(flags == LOAD_LIBRARY_SEARCH_SYSTEM32 ? "SetDefaultDllDirectories(system folder)"
                                                            : "SetDefaultDllDirectories(other)");
    return g_setDefaultResult;
}

// An empty text takes the current folder out of the search; null would put
// the default search, current folder included, back.
BOOL WINAPI FakeSetDllDirectory(const wchar_t *path)
{
    g_calls.push_back(!path ? "SetDllDirectoryW(null)" : path[0] ? "SetDllDirectoryW(a folder)" : "SetDllDirectoryW(\"\")");
    return TRUE;
}

}  // namespace

TEST(LibrarySearch, SystemFolderOnlyWhereTheSystemCanSaySoElseNotTheCurrentFolder)
{
    typedef std::vector<std::string> Calls;
    struct {
        const char *system;
        bool hasSetDefault;
        BOOL setDefaultResult;
        bool hasSetDirectory;
        Calls expected;
    } cases[] = {
        {"8 and later, 7 with its update", true, TRUE, true, {"SetDefaultDllDirectories(system folder)"}},
        {"7 without the update, Vista, XP SP1 to SP3", false, TRUE, true, {"SetDllDirectoryW(\"\")"}},
        {"the newer one refuses", true, FALSE, true,
         {"SetDefaultDllDirectories(system folder)", "SetDllDirectoryW(\"\")"}},
        {"XP before SP1", false, TRUE, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.system);
        g_calls.clear();
        g_setDefaultResult = c.setDefaultResult;
        NarrowLibrarySearchWith(c.hasSetDefault ? FakeSetDefaultDllDirectories : nullptr,
                                c.hasSetDirectory ? FakeSetDllDirectory : nullptr);
        EXPECT_EQ(c.expected, g_calls);
    }
}
