// String loading through the ring of reused buffers, and where a resource
// module is looked for. The built modules are loaded as data from the dist
// folder; the search runs on copies of them in scratch folders, told apart by
// their language.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "test_support.h"

namespace {

using testsupport::DistFolder;
using testsupport::HasJapanese;
using testsupport::LoadModuleAsData;
using testsupport::ModuleString;
using testsupport::RemoveTree;
using testsupport::ScratchFolder;

const int kRing = 256;
const int kDefaultCapacity = 4096;

size_t BlockUnits(const wchar_t *buffer)
{
    return HeapSize(GetProcessHeap(), 0, buffer) / sizeof(wchar_t);
}

// ---- LoadResString ------------------------------------------------------------

class LoadResStringRing : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadModuleAsData(DistFolder() + KELDRIN_MODULE_ENG);
        ASSERT_NE(nullptr, module_) << "no " << ::testing::PrintToString(DistFolder()) << "Keldrin.Eng.dll";
        product_ = ModuleString(module_, IDS_PRODUCT_NAME);
        shutdown_ = ModuleString(module_, IDS_OPERATION_NAME_FIRST + 1);
        ASSERT_FALSE(product_.empty());
        ASSERT_FALSE(shutdown_.empty());
        ASSERT_NE(product_, shutdown_);
    }

    void TearDown() override
    {
        if (module_) FreeLibrary(module_);
    }

    // count calls that load the shutdown name; the buffers they return.
    std::set<wchar_t *> Advance(int count, bool withNullModuleCalls = false)
    {
        std::set<wchar_t *> buffers;
        for (int i = 0; i < count; ++i) {
            if (withNullModuleCalls) {
                EXPECT_EQ(nullptr, LoadResString(nullptr, IDS_PRODUCT_NAME, -1));
            }
            wchar_t *text = LoadResString(module_, IDS_OPERATION_NAME_FIRST + 1, -1);
            EXPECT_NE(nullptr, text);
            if (text) {
                EXPECT_EQ(shutdown_, text);
            }
            buffers.insert(text);
        }
        return buffers;
    }

    HINSTANCE module_ = nullptr;
    std::wstring product_;
    std::wstring shutdown_;
};

TEST_F(LoadResStringRing, TheCallAfter256FurtherCallsReusesTheFirstBuffer)
{
    wchar_t *first = LoadResString(module_, IDS_PRODUCT_NAME, -1);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(product_, first);

    std::set<wchar_t *> others = Advance(kRing - 1);
    EXPECT_EQ(static_cast<size_t>(kRing - 1), others.size()) << "every slot has a buffer of its own";
    EXPECT_EQ(0u, others.count(first));
    EXPECT_EQ(product_, first) << "still valid after 255 further calls";

    wchar_t *again = LoadResString(module_, IDS_REMAINING_SEC, -1);
    EXPECT_EQ(first, again) << "the 257th call uses the first call's buffer";
    EXPECT_EQ(ModuleString(module_, IDS_REMAINING_SEC), first) << "which now holds the new text";
}

TEST_F(LoadResStringRing, NullModuleGivesNullAndLeavesTheCursor)
{
    wchar_t *first = LoadResString(module_, IDS_PRODUCT_NAME, -1);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(nullptr, LoadResString(nullptr, IDS_PRODUCT_NAME, -1));
    EXPECT_EQ(nullptr, LoadResString(nullptr, IDS_PRODUCT_NAME, 100));

    // A null call in front of each of these: had any moved the cursor, the
    // ring would come round to the first buffer earlier.
    std::set<wchar_t *> others = Advance(kRing - 1, true);
    EXPECT_EQ(0u, others.count(first));
    EXPECT_EQ(product_, first);
    EXPECT_EQ(first, LoadResString(module_, IDS_PRODUCT_NAME, -1));
}

TEST_F(LoadResStringRing, MissingStringLeavesAnEmptyText)
{
    for (UINT missing : {10001u, 30000u}) {
        SCOPED_TRACE(missing);
        ASSERT_TRUE(ModuleString(module_, missing).empty()) << "the module was to lack this id";
        wchar_t *first = LoadResString(module_, IDS_PRODUCT_NAME, -1);
        ASSERT_NE(nullptr, first);
        Advance(kRing - 1);
        // The slot still holds the product name from the round before.
        wchar_t *empty = LoadResString(module_, static_cast<int>(missing), -1);
        ASSERT_EQ(first, empty);
        EXPECT_EQ(L'\0', empty[0]);
        EXPECT_EQ(std::wstring(product_.size(), L'\0'), std::wstring(empty, product_.size()))
            << "the whole old text is cleared";
    }
}

TEST_F(LoadResStringRing, LargerCapacityGrowsTheSlotAndNothingShrinksIt)
{
    wchar_t *first = LoadResString(module_, IDS_PRODUCT_NAME, -1);
    ASSERT_NE(nullptr, first);
    size_t before = BlockUnits(first);
    EXPECT_GE(before, static_cast<size_t>(kDefaultCapacity));

    Advance(kRing - 1);
    const int larger = static_cast<int>(before) + 5000;
    wchar_t *grown = LoadResString(module_, IDS_PRODUCT_NAME, larger);
    ASSERT_NE(nullptr, grown);
    EXPECT_EQ(static_cast<size_t>(larger), BlockUnits(grown));
    EXPECT_EQ(product_, grown);

    // The default and a small capacity keep the grown buffer, and the whole
    // text still loads into it.
    Advance(kRing - 1);
    EXPECT_EQ(grown, LoadResString(module_, IDS_OPERATION_NAME_FIRST + 1, -1));
    EXPECT_EQ(static_cast<size_t>(larger), BlockUnits(grown));
    Advance(kRing - 1);
    EXPECT_EQ(grown, LoadResString(module_, IDS_PRODUCT_NAME, 3));
    EXPECT_EQ(static_cast<size_t>(larger), BlockUnits(grown));
    EXPECT_EQ(product_, grown);
}

// ---- LoadResourceModule ---------------------------------------------------------

// A scratch tree:  <root>\program\ (g_app->programDir)  and  <root>\work\ (the
// current directory), with module copies planted where a case needs them.
// Every case uses a file name of its own, so no earlier load can answer for it.
class ResourceModuleSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = ScratchFolder(L"keldrin-modules");
        ASSERT_FALSE(root_.empty());
        for (const wchar_t *folder : {L"\\program", L"\\work", L"\\work\\PlugIn", L"\\work\\DLL"})
            ASSERT_TRUE(CreateDirectoryW((root_ + folder).c_str(), nullptr));

        wchar_t current[MAX_PATH];
        ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, current));
        savedCurrent_ = current;
        ASSERT_TRUE(SetCurrentDirectoryW((root_ + L"\\work").c_str()));

        OwnedStringSet(&app_.programDir, (root_ + L"\\program\\").c_str());
        savedApp_ = g_app;
        g_app = &app_;
        dist_ = DistFolder();
    }

    void TearDown() override
    {
        for (HINSTANCE module : loaded_) FreeLibrary(module);
        g_app = savedApp_;
        SetCurrentDirectoryW(savedCurrent_.c_str());
        if (!root_.empty()) {
            EXPECT_TRUE(RemoveTree(root_));
        }
    }

    // Puts a copy of the Japanese or the English module at root\place\fileName.
    void Plant(const wchar_t *place, const std::wstring &fileName, bool japanese)
    {
        std::wstring source = dist_ + (japanese ? KELDRIN_MODULE_JPN : KELDRIN_MODULE_ENG);
        std::wstring target = root_ + place + L"\\" + fileName;
        ASSERT_TRUE(CopyFileW(source.c_str(), target.c_str(), TRUE)) << "copy to " << ::testing::PrintToString(target);
    }

    // "japanese", "english" or "none": which copy LoadResourceModule found.
    std::string Found(const std::wstring &fileName)
    {
        HINSTANCE module = LoadResourceModule(fileName.c_str());
        if (!module) return "none";
        loaded_.push_back(module);
        std::wstring product = ModuleString(module, IDS_PRODUCT_NAME);
        EXPECT_EQ(L"Keldrin", product) << "the handle serves the module's strings";
        return HasJapanese(ModuleString(module, IDS_OPERATION_NAME_FIRST + 1)) ? "japanese" : "english";
    }

    // A name no other case and no system folder uses.
    std::wstring Name(const wchar_t *stem)
    {
        wchar_t name[MAX_PATH];
        swprintf_s(name, MAX_PATH, L"Keldrin.%ls.%lu.dll", stem, GetCurrentProcessId());
        return name;
    }

    AppContext app_;
    AppContext *savedApp_ = nullptr;
    std::wstring root_;
    std::wstring savedCurrent_;
    std::wstring dist_;
    std::vector<HINSTANCE> loaded_;
};

// Where a module is looked for, in order: the program folder (never the
// current one for the bare name), then .\PlugIn, .\DLL and .. of the current
// folder. Each case plants copies (true: the Japanese one) and names the one found.
TEST_F(ResourceModuleSearch, PlacesAreSearchedInOrder)
{
    const struct {
        const wchar_t *name;
        std::vector<std::pair<const wchar_t *, bool>> plants;
        const char *found;
    } cases[] = {
        {L"Dll", {{L"\\work\\DLL", true}}, "japanese"},
        {L"Parent", {{L"", false}}, "english"},
        {L"Order1", {{L"\\work\\PlugIn", true}, {L"\\work\\DLL", false}, {L"", false}}, "japanese"},
        {L"Order2", {{L"\\work\\DLL", true}, {L"", false}}, "japanese"},
        {L"Program", {{L"\\program", true}, {L"\\work", false}, {L"\\work\\PlugIn", false},
                      {L"\\work\\DLL", false}, {L"", false}}, "japanese"},
        // A copy lying in whatever folder the program was started from is not taken.
        {L"Current", {{L"\\work", false}}, "none"},
    };
    for (const auto &c : cases) {
        std::wstring name = Name(c.name);
        for (const auto &plant : c.plants) Plant(plant.first, name, plant.second);
        EXPECT_EQ(c.found, Found(name)) << testing::PrintToString(std::wstring(c.name));
    }
}

TEST_F(ResourceModuleSearch, NothingFoundGivesNull)
{
    EXPECT_EQ("none", Found(Name(L"Nowhere")));
    g_app = nullptr;  // without a context only the relative places are tried
    EXPECT_EQ("none", Found(Name(L"Nowhere")));
    std::wstring name = Name(L"NoContext");
    Plant(L"\\work\\DLL", name, false);
    EXPECT_EQ("english", Found(name));
}

}  // namespace
