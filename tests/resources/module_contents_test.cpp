// What every resource module must hold, checked on the three built
// modules themselves: a resource-only image, the five templates with their
// controls, every string of the ids header, format strings that show their
// arguments, and the window icon. The modules are loaded as data, as
// the program does, and the dialogs are really created under Wine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "resources/format_check.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "test_support.h"

namespace {

using testsupport::DistFolder;
using testsupport::HasJapanese;
using testsupport::LoadModuleAsData;
using testsupport::ModuleString;
using testsupport::ReadFileBytes;
using testsupport::WindowText;

#define COUNTOF(array) (sizeof(array) / sizeof((array)[0]))

const int kTextCapacity = 1024;

// Every string id of resource_ids.h, read from the header itself so that a
// new string cannot be forgotten here: each IDS_ define, and every id from a
// define up to the _LAST define that follows it (the ranges).
std::vector<UINT> AllStringIds() {
    std::string path = std::string("Z:") + KELDRIN_IDS_HEADER;
    std::vector<UINT> ids;
    FILE *header = std::fopen(path.c_str(), "r");
    if (!header) return ids;  // the test below then finds no ids and fails
    char line[512], name[128];
    unsigned value = 0, previous = 0;
    while (std::fgets(line, sizeof line, header)) {
        if (std::sscanf(line, "#define IDS_%127s %u", name, &value) != 2) continue;
        size_t length = std::strlen(name);
        bool last = length > 5 && std::strcmp(name + length - 5, "_LAST") == 0;
        for (UINT id = last ? previous + 1 : value; id <= value; ++id) ids.push_back(id);
        previous = value;
    }
    std::fclose(header);
    return ids;
}

const std::vector<UINT> kStringIds = AllStringIds();

// The strings the program formats, with the arguments it gives each: names
// and texts as wide strings, numbers as 32-bit longs.
struct FormatString {
    UINT id;
    const char *arguments;
};

std::vector<FormatString> AllFormats() {
    std::vector<FormatString> formats = {
        {IDS_SHORTCUT_NAME_MIN_SEC, "ssdd"}, {IDS_SHORTCUT_NAME_SEC, "ssd"}, {IDS_SHORTCUT_NAME_NOW, "ss"},
        {IDS_SHORTCUT_FAILED, "s"},          {IDS_REMAINING_MIN_SEC, "dd"},  {IDS_REMAINING_SEC, "d"},
        {IDS_COUNTDOWN_TITLE, "ss"},         {IDS_SHORTCUT_NAME_AT, "ssdd"}, {IDS_AT_MALFORMED, "s"},
        {IDS_ANOTHER_COUNTDOWN, "ss"},       {IDS_UNKNOWN_ARGUMENTS, "s"},
        {IDS_WATCH_NOT_A_NUMBER, "s"},       {IDS_WATCH_TIME_RANGE, "s"},    {IDS_WATCH_PERCENT_RANGE, "s"},
        {IDS_WATCH_RATE_RANGE, "s"},         {IDS_WATCH_TOO_MANY, "s"},      {IDS_WATCH_NOT_RUNNING, "s"},
        {IDS_WATCH_NOT_COMBINED, "s"},       {IDS_WATCH_IDLE, "s"},          {IDS_WATCH_EXIT, "s"},
        {IDS_WATCH_QUIET, "s"},              {IDS_WATCH_IDLE_NOW, "s"},      {IDS_WATCH_RUNNING_NOW, "sd"},
        {IDS_WATCH_QUIET_NOW, "dds"},        {IDS_WATCH_TITLE, "ss"},        {IDS_DURATION_MIN, "d"},
        {IDS_DURATION_MIN_SEC, "dd"},        {IDS_DURATION_SEC, "d"},        {IDS_MAIN_WATCH_BAD_NAME, "s"},
        {IDS_SHORTCUT_NAME_IDLE, "ssd"},     {IDS_SHORTCUT_NAME_EXIT, "sss"}, {IDS_SHORTCUT_NAME_QUIET, "ssd"},
        {IDS_REMOTE_MESSAGE_SHUTDOWN, "s"},  {IDS_REMOTE_MESSAGE_RESTART, "s"}, {IDS_REMOTE_ASKED, "s"},
        {IDS_REMOTE_FAILED, "sds"},          {IDS_REMOTE_BOX_SHUTDOWN, "s"}, {IDS_REMOTE_BOX_RESTART, "s"},
        {IDS_REMOTE_BOX_CANCEL, "s"},        {IDS_REMOTE_OPERATION, "s"},    {IDS_REMOTE_LIST_UNREADABLE, "s"},
        {IDS_REMOTE_LIST_EMPTY, "s"},        {IDS_SCHEDULE_NAME, "sdds"},    {IDS_SCHEDULE_REGISTERED, "s"},
        {IDS_SCHEDULE_FAILED, "ss"},         {IDS_SCHEDULE_DAYS_MALFORMED, "s"}, {IDS_UNSCHEDULE_NOT_FOUND, "s"},
        {IDS_UNSCHEDULE_FAILED, "ss"},       {IDS_LAST_MINUTE_NOTICE, "s"},
    };
    for (UINT id = IDS_CAPTION_AT_NONE; id <= IDS_CAPTION_AT_LAST; ++id) formats.push_back({id, "s"});
    for (UINT id = IDS_CAPTION_WATCH_NONE; id <= IDS_CAPTION_WATCH_LAST; ++id) formats.push_back({id, "s"});
    return formats;
}

const std::vector<FormatString> kFormats = AllFormats();

bool IsFormat(UINT id) {
    for (const FormatString &format : kFormats)
        if (format.id == id) return true;
    return false;
}

const int kTemplateIds[] = {
    IDD_MAIN, IDD_COUNTDOWN, IDD_COUNTDOWN_COLOURED, IDD_SELECT, IDD_SELECT_COLOURED, IDD_WATCH, IDD_WATCH_COLOURED,
    IDD_SCHEDULES,
};

bool Contains(const UINT *ids, size_t count, UINT id) {
    return std::find(ids, ids + count, id) != ids + count;
}

bool Contains(const std::wstring &text, const std::wstring &part) {
    return text.find(part) != std::wstring::npos;
}

bool IsAscii(const std::wstring &text) {
    for (wchar_t c : text) {
        if (c > 0x7E) return false;
    }
    return true;
}

// Shortcut names become file names, which cannot hold these.
bool IsValidFileName(const std::wstring &name) {
    if (name.empty()) return false;
    for (wchar_t c : name) {
        if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c)) return false;
    }
    return true;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::vector<UINT> *>(list)->push_back(
            static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return TRUE;
}

std::vector<UINT> ResourceNames(HINSTANCE module, LPCWSTR type) {
    std::vector<UINT> names;
    EnumResourceNamesW(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

INT_PTR CALLBACK TrivialDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// A template created as a modeless, never shown dialog for the length of a test.
class Dialog {
public:
    Dialog(HINSTANCE module, int templateId)
        : hwnd_(CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), nullptr,
                                   TrivialDialogProc, 0)) {}
    ~Dialog() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    Dialog(const Dialog &) = delete;
    Dialog &operator=(const Dialog &) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    HWND hwnd_;
};

std::wstring ClassOf(HWND control) {
    wchar_t name[256] = {};
    GetClassNameW(control, name, COUNTOF(name));
    return name;
}

LONG StyleOf(HWND control) {
    return GetWindowLongW(control, GWL_STYLE);
}

LONG ButtonKind(HWND control) {
    return StyleOf(control) & BS_TYPEMASK;
}

bool IsClass(HWND control, const wchar_t *className) {
    return control && _wcsicmp(ClassOf(control).c_str(), className) == 0;
}

::testing::AssertionResult IsPushButton(HWND control) {
    if (!IsClass(control, L"Button")) return ::testing::AssertionFailure() << "not a button";
    LONG kind = ButtonKind(control);
    if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "button kind " << kind;
}

::testing::AssertionResult IsOwnerDrawButton(HWND control) {
    if (!IsClass(control, L"Button")) return ::testing::AssertionFailure() << "not a button";
    LONG kind = ButtonKind(control);
    if (kind == BS_OWNERDRAW) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "button kind " << kind;
}

// Ids first..last are auto radio buttons in consecutive z-order, forming one
// group: WS_GROUP on the first only, and on the control after the last.
void ExpectRadioGroup(const Dialog &dialog, int first, int last) {
    for (int id = first; id <= last; ++id) {
        SCOPED_TRACE(id);
        HWND radio = dialog.Item(id);
        ASSERT_TRUE(IsClass(radio, L"Button"));
        EXPECT_EQ(ButtonKind(radio), BS_AUTORADIOBUTTON);
        EXPECT_EQ((StyleOf(radio) & WS_GROUP) != 0, id == first);
        HWND next = GetWindow(radio, GW_HWNDNEXT);
        if (id < last) {
            EXPECT_EQ(next, dialog.Item(id + 1));
        } else {
            ASSERT_NE(next, nullptr);
            EXPECT_NE(StyleOf(next) & WS_GROUP, 0) << "the control after the group starts a new one";
        }
    }
}

// The coloured templates draw OK and Cancel themselves; the plain ones have
// push buttons with defaultId the default: OK in the select dialog, so Enter
// runs the entry chosen, but Cancel in the countdown, so that a stray Enter
// does not shut the machine down.
void ExpectOkAndCancel(const Dialog &dialog, bool coloured, int defaultId) {
    if (coloured) {
        EXPECT_TRUE(IsOwnerDrawButton(dialog.Item(IDOK)));
        EXPECT_TRUE(IsOwnerDrawButton(dialog.Item(IDCANCEL)));
    } else {
        EXPECT_TRUE(IsPushButton(dialog.Item(IDOK)));
        EXPECT_TRUE(IsPushButton(dialog.Item(IDCANCEL)));
        EXPECT_EQ(SendMessageW(dialog.hwnd(), DM_GETDEFID, 0, 0), MAKELRESULT(defaultId, DC_HASDEFID));
    }
}

void ExpectSpin(const Dialog &dialog, int spinId, int editId) {
    SCOPED_TRACE(spinId);
    HWND spin = dialog.Item(spinId);
    ASSERT_TRUE(IsClass(spin, UPDOWN_CLASSW));
    EXPECT_NE(StyleOf(spin) & UDS_SETBUDDYINT, 0);
    HWND edit = dialog.Item(editId);
    ASSERT_TRUE(IsClass(edit, L"Edit"));
    EXPECT_NE(StyleOf(edit) & ES_NUMBER, 0) << "digits only: a wait is a number or nothing";
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)), edit);
}

// Size of a text in the control's own font, as DrawTextW lays it out.
SIZE TextExtent(HWND control, const std::wstring &text, UINT format, int wrapWidth = 0) {
    HDC dc = GetDC(control);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT box = {0, 0, wrapWidth, 0};
    DrawTextW(dc, text.c_str(), -1, &box, format | DT_CALCRECT);
    SelectObject(dc, oldFont);
    ReleaseDC(control, dc);
    SIZE size = {box.right - box.left, box.bottom - box.top};
    return size;
}

UINT PrefixFlag(HWND control) {
    return (IsClass(control, L"Static") && (StyleOf(control) & SS_NOPREFIX)) ? DT_NOPREFIX : 0;
}

// The text fits the control on one line, with room px left for the control's
// own decoration (check mark, button frame).
::testing::AssertionResult FitsOnOneLine(HWND control, const std::wstring &text, int room = 0) {
    RECT client;
    GetClientRect(control, &client);
    SIZE size = TextExtent(control, text, DT_SINGLELINE | PrefixFlag(control));
    if (size.cx + room <= client.right && size.cy <= client.bottom) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "text " << size.cx << "x" << size.cy << " + " << room
                                         << " in control " << client.right << "x" << client.bottom;
}

// Wrapped in the width left beside the check mark, the text fits the height.
::testing::AssertionResult FitsWrapped(HWND control, const std::wstring &text, int room) {
    RECT client;
    GetClientRect(control, &client);
    SIZE size = TextExtent(control, text, DT_WORDBREAK, client.right - room);
    if (size.cx <= client.right - room && size.cy <= client.bottom) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "wrapped text " << size.cx << "x" << size.cy
                                         << " in control " << client.right - room << "x" << client.bottom;
}

// Room beside a radio button's or check box's label for its mark and gap.
int CheckMarkRoom(HWND control) {
    HDC dc = GetDC(control);
    int room = MulDiv(20, GetDeviceCaps(dc, LOGPIXELSX), 96);
    ReleaseDC(control, dc);
    return room;
}

// Whether the control's font itself holds a glyph for every character. Under
// Wine the template's face "MS UI Gothic" is present only when the prefix maps
// it to an installed Japanese font (HKCU\Software\Wine\Fonts\Replacements);
// otherwise Japanese shows as boxes, and no width measured means anything.
::testing::AssertionResult FontShows(HWND control, const std::wstring &text) {
    HDC dc = GetDC(control);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    std::vector<WORD> glyphs(text.size() + 1);
    DWORD converted = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                       GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, oldFont);
    ReleaseDC(control, dc);
    for (size_t i = 0; i < text.size(); ++i) {
        if (converted == GDI_ERROR || glyphs[i] == 0xFFFF) {
            char code[16];
            snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(text[i]));
            return ::testing::AssertionFailure()
                   << "font " << ::testing::PrintToString(std::wstring(face)) << " has no glyph for " << code
                   << "; under Wine map \"MS UI Gothic\" to a Japanese font, e.g. HKCU\\Software\\Wine"
                      "\\Fonts\\Replacements \"MS UI Gothic\" = \"Noto Sans CJK JP\"";
        }
    }
    return ::testing::AssertionSuccess();
}

// Every labelled button, group box and static of the template fits its text.
void ExpectTemplateLabelsFit(const Dialog &dialog) {
    for (HWND control = GetWindow(dialog.hwnd(), GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        std::wstring text = WindowText(control);
        if (text.empty()) continue;
        SCOPED_TRACE(::testing::Message() << "control " << GetDlgCtrlID(control));
        if (IsClass(control, L"Static")) {
            EXPECT_TRUE(FitsOnOneLine(control, text));
        } else if (IsClass(control, L"Button")) {
            LONG kind = ButtonKind(control);
            if (kind == BS_AUTORADIOBUTTON || kind == BS_AUTOCHECKBOX) {
                if (StyleOf(control) & BS_MULTILINE) {
                    EXPECT_TRUE(FitsWrapped(control, text, CheckMarkRoom(control)));
                } else {
                    EXPECT_TRUE(FitsOnOneLine(control, text, CheckMarkRoom(control)));
                }
            } else if (kind == BS_GROUPBOX) {
                EXPECT_TRUE(FitsOnOneLine(control, text, 16));
            } else {
                EXPECT_TRUE(FitsOnOneLine(control, text, 8));
            }
        }
    }
}

struct ModuleCase {
    const wchar_t *fileName;
    const char *label;
    bool japanese;
};

void PrintTo(const ModuleCase &module, std::ostream *out) {
    *out << module.label;
}

const ModuleCase kModules[] = {
    {KELDRIN_MODULE_JPN, "Jpn", true},
    {KELDRIN_MODULE_ENG, "Eng", false},
    {KELDRIN_MODULE_GENERIC, "Generic", false},
};

class ModuleContents : public ::testing::TestWithParam<ModuleCase> {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES | ICC_DATE_CLASSES};
        InitCommonControlsEx(&controls);
    }

    void SetUp() override {
        path_ = DistFolder() + GetParam().fileName;
        module_ = LoadModuleAsData(path_);
        ASSERT_NE(module_, nullptr) << "cannot load " << ::testing::PrintToString(path_);
    }

    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    std::wstring Text(UINT id) const { return ModuleString(module_, id); }

    std::wstring path_;
    HINSTANCE module_ = nullptr;
};

TEST_P(ModuleContents, IsAnImageOfResourcesOnly) {
    std::string bytes = ReadFileBytes(path_);
    ASSERT_GE(bytes.size(), sizeof(IMAGE_DOS_HEADER));
    IMAGE_DOS_HEADER dos;
    memcpy(&dos, bytes.data(), sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_LE(dos.e_lfanew + sizeof(IMAGE_NT_HEADERS32), bytes.size());
    IMAGE_NT_HEADERS32 nt;
    memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof nt);
    ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_NE(nt.FileHeader.Characteristics & IMAGE_FILE_DLL, 0);
    // LoadLibraryW maps the module as an image: it must be movable to any base.
    EXPECT_EQ(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(nt.OptionalHeader.AddressOfEntryPoint, 0u) << "no code runs when the module loads";

    ASSERT_GT(nt.OptionalHeader.NumberOfRvaAndSizes, static_cast<DWORD>(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT));
    const IMAGE_DATA_DIRECTORY *directories = nt.OptionalHeader.DataDirectory;
    EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress, 0u);
    EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].Size, 0u);
    EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size, 0u);
    EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_TLS].Size, 0u);
    EXPECT_GT(directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size, 0u);

    // A module is a plain DLL too: LoadLibraryW must still map it.
    HMODULE image = LoadLibraryW(path_.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(ModuleString(image, IDS_PRODUCT_NAME), Text(IDS_PRODUCT_NAME));
    FreeLibrary(image);
}

TEST_P(ModuleContents, HoldsTheFiveTemplatesAndNoOthers) {
    std::vector<UINT> names = ResourceNames(module_, RT_DIALOG);
    std::vector<UINT> expected(std::begin(kTemplateIds), std::end(kTemplateIds));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
    for (int id : kTemplateIds) {
        Dialog dialog(module_, id);
        EXPECT_NE(dialog.hwnd(), nullptr) << "template " << id << " does not create";
    }
}

TEST_P(ModuleContents, MainDialogHoldsItsControls) {
    Dialog dialog(module_, IDD_MAIN);
    ASSERT_NE(dialog.hwnd(), nullptr);

    for (int id : {IDOK, IDCANCEL, IDC_UPDATE, IDC_HELP_BUTTON, IDC_SCHEDULES_BUTTON}) {
        EXPECT_TRUE(IsPushButton(dialog.Item(id))) << "button " << id;
    }
    EXPECT_EQ(SendMessageW(dialog.hwnd(), DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));

    ExpectRadioGroup(dialog, IDC_OPERATION_FIRST, IDC_OPERATION_LAST);
    ExpectRadioGroup(dialog, IDC_DESTINATION_FIRST, IDC_DESTINATION_LAST);
    // The five choices of when are one radio group, the fields after them.
    for (int id : {IDC_WHEN_WAIT, IDC_WHEN_AT, IDC_WHEN_IDLE, IDC_WHEN_PROGRAM, IDC_WHEN_QUIET, IDC_WAIT_MIN})
        EXPECT_EQ((StyleOf(dialog.Item(id)) & WS_GROUP) != 0, id == IDC_WHEN_WAIT || id == IDC_WAIT_MIN) << id;

    EXPECT_TRUE(IsClass(dialog.Item(IDC_VERSION_TEXT), L"Static"));
    ExpectSpin(dialog, IDC_WAIT_SEC_SPIN, IDC_WAIT_SEC);
    ExpectSpin(dialog, IDC_WAIT_MIN_SPIN, IDC_WAIT_MIN);
    for (int id : {IDC_IDLE_MIN, IDC_QUIET_MIN}) EXPECT_NE(StyleOf(dialog.Item(id)) & ES_NUMBER, 0) << id;
    // A program not running yet can be typed in.
    EXPECT_TRUE(IsClass(dialog.Item(IDC_WATCH_PROGRAM), L"ComboBox"));
    EXPECT_EQ(StyleOf(dialog.Item(IDC_WATCH_PROGRAM)) & 3, CBS_DROPDOWN);
    // The repetition's days are a list to choose from, nothing to type.
    EXPECT_EQ(StyleOf(dialog.Item(IDC_SCHEDULE_DAYS)) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(ButtonKind(dialog.Item(IDC_SCHEDULE_WAKE)), BS_AUTOCHECKBOX);

    HWND saver = dialog.Item(IDC_SAVER_LOCK_OFF);
    ASSERT_TRUE(IsClass(saver, L"Button"));
    EXPECT_EQ(ButtonKind(saver), BS_AUTOCHECKBOX);
    EXPECT_EQ(SendMessageW(saver, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "the dialog leaves it as the template has it";
}

// The main dialog fills its wait fields only through the up-downs
// and reads them back with GetDlgItemInt: the full ranges must survive.
TEST_P(ModuleContents, MainDialogSpinsWriteNumbersTheDialogReadsBack) {
    Dialog dialog(module_, IDD_MAIN);
    ASSERT_NE(dialog.hwnd(), nullptr);

    SendDlgItemMessageW(dialog.hwnd(), IDC_WAIT_MIN_SPIN, UDM_SETRANGE32, 0, 1440);
    SendDlgItemMessageW(dialog.hwnd(), IDC_WAIT_MIN_SPIN, UDM_SETPOS32, 0, 1440);
    SendDlgItemMessageW(dialog.hwnd(), IDC_WAIT_SEC_SPIN, UDM_SETRANGE32, 0, 59);
    SendDlgItemMessageW(dialog.hwnd(), IDC_WAIT_SEC_SPIN, UDM_SETPOS32, 0, 59);

    BOOL read = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog.hwnd(), IDC_WAIT_MIN, &read, TRUE)), 1440);
    EXPECT_TRUE(read) << "the minutes field reads " << ::testing::PrintToString(WindowText(dialog.Item(IDC_WAIT_MIN)));
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog.hwnd(), IDC_WAIT_SEC, &read, TRUE)), 59);
    EXPECT_TRUE(read);
}

TEST_P(ModuleContents, CountdownDialogsHoldTheirControls) {
    for (int id : {IDD_COUNTDOWN, IDD_COUNTDOWN_COLOURED, IDD_WATCH, IDD_WATCH_COLOURED}) {
        SCOPED_TRACE(id);
        Dialog dialog(module_, id);
        ASSERT_NE(dialog.hwnd(), nullptr);
        EXPECT_TRUE(IsClass(dialog.Item(IDC_REMAINING), L"Static"));
        EXPECT_TRUE(IsClass(dialog.Item(IDC_OPERATION_CAPTION), L"Static"));
        ExpectOkAndCancel(dialog, id == IDD_COUNTDOWN_COLOURED || id == IDD_WATCH_COLOURED, IDCANCEL);
    }
}

TEST_P(ModuleContents, SelectDialogsHoldTheirControls) {
    for (int id : {IDD_SELECT, IDD_SELECT_COLOURED}) {
        SCOPED_TRACE(id);
        Dialog dialog(module_, id);
        ASSERT_NE(dialog.hwnd(), nullptr);
        EXPECT_TRUE(IsClass(dialog.Item(IDC_VERSION_TEXT), L"Static"));
        ExpectOkAndCancel(dialog, id == IDD_SELECT_COLOURED, IDOK);

        HWND list = dialog.Item(IDC_SELECT_LIST);
        ASSERT_TRUE(IsClass(list, L"ComboBox"));
        EXPECT_EQ(StyleOf(list) & 3, CBS_DROPDOWNLIST);
        EXPECT_EQ(StyleOf(list) & CBS_SORT, 0);

        // Filled as the select dialog does, each entry's index is its operation code,
        // and the dropped list has room for all nine.
        for (UINT code = 0; code <= 8; ++code) {
            std::wstring name = Text(IDS_OPERATION_NAME_FIRST + code);
            EXPECT_EQ(SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())),
                      static_cast<LRESULT>(code));
        }
        RECT dropped = {};
        SendMessageW(list, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        RECT field = {};
        GetWindowRect(list, &field);
        LRESULT itemHeight = SendMessageW(list, CB_GETITEMHEIGHT, 0, 0);
        EXPECT_GE((dropped.bottom - dropped.top) - (field.bottom - field.top), 9 * itemHeight);
    }
}

// Nothing is clipped: the template's own labels, and the texts the program
// puts in at run time, in their longest realistic forms.
TEST_P(ModuleContents, TextsFitTheirControls) {
    const std::wstring product = Text(IDS_PRODUCT_NAME);
    {
        SCOPED_TRACE("main");
        Dialog dialog(module_, IDD_MAIN);
        ASSERT_NE(dialog.hwnd(), nullptr);
        // Widths are only worth checking in a font that shows the texts.
        ASSERT_TRUE(FontShows(dialog.Item(IDC_OP_MONITOROFFLOCK), Text(IDS_OPERATION_NAME_FIRST + 8)));
        ExpectTemplateLabelsFit(dialog);
        HWND version = dialog.Item(IDC_VERSION_TEXT);
        EXPECT_TRUE(FitsOnOneLine(version, product + L" Version 1.04.01 on Windows XP Professional Edition (02/02/2013)"));
        EXPECT_TRUE(FitsOnOneLine(version, product + L" Version 1.04.01 b12 on Windows 8 with Media Center (02/02/2013)"));
        for (int id : {IDC_IDLE_MIN, IDC_QUIET_MIN}) EXPECT_TRUE(FitsOnOneLine(dialog.Item(id), L"1440", 8)) << id;
        EXPECT_TRUE(FitsOnOneLine(dialog.Item(IDC_WATCH_PROGRAM), L"MicrosoftEdgeUpdate.exe",
                                  GetSystemMetrics(SM_CXVSCROLL) + 6));
        for (UINT days = IDS_SCHEDULE_DAYS_EVERY; days <= IDS_SCHEDULE_DAY_LAST; ++days) {
            if (days > IDS_SCHEDULE_DAYS_WEEKENDS && days < IDS_SCHEDULE_DAY_FIRST) continue;
            EXPECT_TRUE(FitsOnOneLine(dialog.Item(IDC_SCHEDULE_DAYS), Text(days), GetSystemMetrics(SM_CXVSCROLL) + 6))
                << days;
        }
    }
    {
        SCOPED_TRACE("schedules");
        Dialog dialog(module_, IDD_SCHEDULES);
        ASSERT_NE(dialog.hwnd(), nullptr);
        ExpectTemplateLabelsFit(dialog);
    }
    for (int id : {IDD_COUNTDOWN, IDD_COUNTDOWN_COLOURED, IDD_WATCH, IDD_WATCH_COLOURED}) {
        SCOPED_TRACE(id);
        Dialog dialog(module_, id);
        ASSERT_NE(dialog.hwnd(), nullptr);
        ExpectTemplateLabelsFit(dialog);
        for (UINT caption = IDS_CAPTION_NONE; caption <= IDS_CAPTION_LAST; ++caption) {
            EXPECT_TRUE(FitsOnOneLine(dialog.Item(IDC_OPERATION_CAPTION), Text(caption))) << caption;
        }
        for (UINT caption = IDS_CAPTION_AT_NONE; caption <= IDS_CAPTION_AT_LAST; ++caption) {
            wchar_t text[kTextCapacity];
            swprintf_s(text, kTextCapacity, Text(caption).c_str(), L"23:59:59");
            EXPECT_TRUE(FitsOnOneLine(dialog.Item(IDC_OPERATION_CAPTION), text)) << caption;
        }
        wchar_t remaining[kTextCapacity];
        swprintf_s(remaining, kTextCapacity, Text(IDS_REMAINING_MIN_SEC).c_str(), 1440L, 59L);
        EXPECT_TRUE(FitsOnOneLine(dialog.Item(IDC_REMAINING), remaining));
    }
    for (int id : {IDD_SELECT, IDD_SELECT_COLOURED}) {
        SCOPED_TRACE(id);
        Dialog dialog(module_, id);
        ASSERT_NE(dialog.hwnd(), nullptr);
        ExpectTemplateLabelsFit(dialog);
        EXPECT_TRUE(FitsOnOneLine(dialog.Item(IDC_VERSION_TEXT), product + L" Version 1.04.01 b12"));
        HWND list = dialog.Item(IDC_SELECT_LIST);
        for (UINT code = 0; code <= 8; ++code) {
            EXPECT_TRUE(FitsOnOneLine(list, Text(IDS_OPERATION_NAME_FIRST + code),
                                      GetSystemMetrics(SM_CXVSCROLL) + 6)) << code;
        }
    }
}

TEST_P(ModuleContents, HoldsEveryStringOfTheIdsHeaderAndNoOthers) {
    ASSERT_GT(kStringIds.size(), 50u) << "the ids header was not read: " << KELDRIN_IDS_HEADER;
    for (UINT id : kStringIds) {
        std::wstring text = Text(id);
        EXPECT_FALSE(text.empty()) << "string " << id;
        if (!IsFormat(id)) {
            EXPECT_EQ(text.find(L'%'), std::wstring::npos) << "string " << id << " is no format";
        }
    }
    // The reverse: no string the program never asks for.
    for (UINT block : ResourceNames(module_, RT_STRING)) {
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            if (!Text(id).empty()) {
                EXPECT_TRUE(Contains(kStringIds.data(), kStringIds.size(), id)) << "string " << id << " is unknown";
            }
        }
    }
}

// The settings section and the shortcut names are made of it.
TEST_P(ModuleContents, ProductNameIsKeldrin) {
    EXPECT_EQ(Text(IDS_PRODUCT_NAME), L"Keldrin");
}

// The program formats these with the argument types it passes: names as
// wide strings, minutes and seconds as 32-bit longs.
TEST_P(ModuleContents, FormatStringsShowTheirArguments) {
    const std::wstring product = L"Keldrin";
    const std::wstring operation = Text(IDS_OPERATION_NAME_FIRST + 1);
    wchar_t out[kTextCapacity];

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_SHORTCUT_NAME_MIN_SEC).c_str(),
                         product.c_str(), operation.c_str(), 1L, 30L), 0);
    std::wstring text = out;
    EXPECT_TRUE(Contains(text, product)) << ::testing::PrintToString(text);
    EXPECT_TRUE(Contains(text, operation)) << ::testing::PrintToString(text);
    EXPECT_TRUE(Contains(text, L"1")) << ::testing::PrintToString(text);
    EXPECT_TRUE(Contains(text, L"30")) << ::testing::PrintToString(text);

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_SHORTCUT_NAME_MIN_SEC).c_str(),
                         product.c_str(), operation.c_str(), 23L, 58L), 0);
    text = out;
    EXPECT_TRUE(Contains(text, L"23") && Contains(text, L"58")) << ::testing::PrintToString(text);

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_SHORTCUT_NAME_SEC).c_str(),
                         product.c_str(), operation.c_str(), 45L), 0);
    text = out;
    EXPECT_TRUE(Contains(text, product) && Contains(text, operation) && Contains(text, L"45"))
        << ::testing::PrintToString(text);

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_SHORTCUT_NAME_NOW).c_str(),
                         product.c_str(), operation.c_str()), 0);
    text = out;
    EXPECT_TRUE(Contains(text, product) && Contains(text, operation)) << ::testing::PrintToString(text);

    const std::wstring linkPath = L"C:\\Users\\root\\Desktop\\Keldrin Shut down.lnk";
    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_SHORTCUT_FAILED).c_str(), linkPath.c_str()), 0);
    EXPECT_TRUE(Contains(out, linkPath)) << ::testing::PrintToString(std::wstring(out));

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_REMAINING_MIN_SEC).c_str(), 7L, 42L), 0);
    text = out;
    EXPECT_TRUE(Contains(text, L"7") && Contains(text, L"42")) << ::testing::PrintToString(text);

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_REMAINING_SEC).c_str(), 42L), 0);
    EXPECT_TRUE(Contains(out, L"42")) << ::testing::PrintToString(std::wstring(out));

    ASSERT_GT(swprintf_s(out, kTextCapacity, Text(IDS_COUNTDOWN_TITLE).c_str(), L"42 s", product.c_str()), 0);
    text = out;
    EXPECT_TRUE(Contains(text, L"42 s") && Contains(text, product)) << ::testing::PrintToString(text);
    // The title ends with the product name, so the taskbar button reads the time first.
    EXPECT_EQ(product, text.substr(text.size() - product.size()));
}

// Shortcut files are named with these; the save fails on a bad name.
TEST_P(ModuleContents, ShortcutNamesAreValidFileNames) {
    const std::wstring product = Text(IDS_PRODUCT_NAME);
    wchar_t name[kTextCapacity];
    for (UINT code = 1; code <= 8; ++code) {
        std::wstring operation = Text(IDS_OPERATION_NAME_FIRST + code);
        swprintf_s(name, kTextCapacity, Text(IDS_SHORTCUT_NAME_MIN_SEC).c_str(),
                   product.c_str(), operation.c_str(), 1L, 30L);
        EXPECT_TRUE(IsValidFileName(name)) << ::testing::PrintToString(std::wstring(name));
        swprintf_s(name, kTextCapacity, Text(IDS_SHORTCUT_NAME_SEC).c_str(),
                   product.c_str(), operation.c_str(), 45L);
        EXPECT_TRUE(IsValidFileName(name)) << ::testing::PrintToString(std::wstring(name));
        swprintf_s(name, kTextCapacity, Text(IDS_SHORTCUT_NAME_NOW).c_str(),
                   product.c_str(), operation.c_str());
        EXPECT_TRUE(IsValidFileName(name)) << ::testing::PrintToString(std::wstring(name));
        for (UINT watch : {IDS_SHORTCUT_NAME_IDLE, IDS_SHORTCUT_NAME_QUIET}) {
            swprintf_s(name, kTextCapacity, Text(watch).c_str(), product.c_str(), operation.c_str(), 1440L);
            EXPECT_TRUE(IsValidFileName(name)) << ::testing::PrintToString(std::wstring(name));
        }
        swprintf_s(name, kTextCapacity, Text(IDS_SHORTCUT_NAME_EXIT).c_str(), product.c_str(), operation.c_str(),
                   L"a.exe");
        EXPECT_TRUE(IsValidFileName(name)) << ::testing::PrintToString(std::wstring(name));
    }
    for (UINT code = 1; code <= 8; ++code) {
        swprintf_s(name, kTextCapacity, Text(IDS_SHORTCUT_NAME_AT).c_str(), product.c_str(),
                   Text(IDS_OPERATION_NAME_FIRST + code).c_str(), 23L, 30L);
        EXPECT_TRUE(IsValidFileName(name)) << ::testing::PrintToString(std::wstring(name));
        EXPECT_TRUE(Contains(name, L"23") && Contains(name, L"30")) << ::testing::PrintToString(std::wstring(name));
    }
    std::wstring selectName = product + L" " + Text(IDS_OPERATION_NAME_LAST);
    EXPECT_TRUE(IsValidFileName(selectName)) << ::testing::PrintToString(selectName);
}

// A format the program's own check refuses is never used: the user would get
// its neutral stand-in instead of the module's text.
TEST_P(ModuleContents, FormatsTakeExactlyTheArgumentsTheProgramGives) {
    for (const FormatString &format : kFormats) {
        EXPECT_TRUE(FormatMatches(Text(format.id).c_str(), format.arguments))
            << "string " << format.id << " " << ::testing::PrintToString(Text(format.id));
    }
}

// Width of an icon's own bitmaps.
int IconWidth(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// For every size a caption, the taskbar and Alt+Tab ask for from 100 to 200 %
// DPI, the system's own choice from the window icon is an image drawn at
// exactly that size (not one it would stretch), and that image decodes. The 32
// and 16 pixels the program asks for load as it loads them.
TEST_P(ModuleContents, WindowIconHasAnImageOfEverySize) {
    HRSRC group = FindResourceW(module_, MAKEINTRESOURCEW(IDI_KELDRIN), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    BYTE *directory = static_cast<BYTE *>(LockResource(LoadResource(module_, group)));
    ASSERT_NE(directory, nullptr);
    for (int size : {16, 20, 24, 32, 40, 48, 64}) {
        SCOPED_TRACE(size);
        int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC image = FindResourceW(module_, MAKEINTRESOURCEW(id), RT_ICON);
        ASSERT_NE(image, nullptr);
        // Width and height 0: the image at its own size.
        HICON icon = CreateIconFromResourceEx(static_cast<BYTE *>(LockResource(LoadResource(module_, image))),
                                              SizeofResource(module_, image), TRUE, 0x00030000, 0, 0,
                                              LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(IconWidth(icon), size);
        DestroyIcon(icon);
    }
    for (int size : {32, 16}) {
        HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(IDI_KELDRIN), IMAGE_ICON,
                                                   size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(IconWidth(icon), size);
        DestroyIcon(icon);
    }
}

// The English modules hold plain ASCII; the Japanese one is Japanese, in its
// strings and in its templates.
TEST_P(ModuleContents, TextsAreInTheModulesLanguage) {
    bool japaneseString = false;
    for (UINT id : kStringIds) {
        std::wstring text = Text(id);
        japaneseString = japaneseString || HasJapanese(text);
        if (!GetParam().japanese) {
            EXPECT_TRUE(IsAscii(text)) << "string " << id;
        }
    }
    EXPECT_EQ(japaneseString, GetParam().japanese);

    Dialog dialog(module_, IDD_MAIN);
    ASSERT_NE(dialog.hwnd(), nullptr);
    EXPECT_EQ(HasJapanese(WindowText(dialog.Item(IDC_OP_SHUTDOWN))), GetParam().japanese);
}

INSTANTIATE_TEST_SUITE_P(EveryModule, ModuleContents, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<ModuleCase> &caseInfo) {
                             return std::string(caseInfo.param.label);
                         });

// The Japanese module is a translation, not a copy of the English one.
TEST(JapaneseModule, DiffersFromTheEnglishOne) {
    const std::wstring dist = DistFolder();
    HINSTANCE japanese = LoadModuleAsData(dist + KELDRIN_MODULE_JPN);
    HINSTANCE english = LoadModuleAsData(dist + KELDRIN_MODULE_ENG);
    ASSERT_NE(japanese, nullptr);
    ASSERT_NE(english, nullptr);
    int differing = 0;
    for (UINT id = IDS_OPERATION_NAME_FIRST; id <= IDS_OPERATION_NAME_LAST; ++id) {
        std::wstring text = ModuleString(japanese, id);
        if (text != ModuleString(english, id) && HasJapanese(text)) ++differing;
    }
    EXPECT_EQ(differing, IDS_OPERATION_NAME_LAST - IDS_OPERATION_NAME_FIRST + 1);
    EXPECT_EQ(ModuleString(japanese, IDS_PRODUCT_NAME), ModuleString(english, IDS_PRODUCT_NAME));
    FreeLibrary(japanese);
    FreeLibrary(english);
}

}  // namespace
