// The helpers every dialog shares: where a dialog is centred, and the
// coloured look's painting, checked pixel by pixel on a bitmap of our own.
#include <windows.h>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "resources/resource_module.h"
#include "sysinfo/windows_edition.h"
#include "ui/dialog_look.h"
#include "ui/window_dpi.h"
#include "test_support.h"

namespace windows8 = testsupport::windows8;

namespace {

const int kWidth = 80;
const int kHeight = 24;

// A 32-bit bitmap in a memory DC whose pixels the test can read directly.
class Canvas {
public:
    Canvas()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < kWidth * kHeight; i++) bits_[i] = 0x00123456;  // a colour nobody paints
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        DWORD pixel = bits_[y * kWidth + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    int Count(COLORREF colour) const
    {
        int count = 0;
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++)
                if (At(x, y) == colour) count++;
        return count;
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD *bits_ = nullptr;
};

DRAWITEMSTRUCT Item(UINT id, UINT state, HDC dc)
{
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = id;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hDC = dc;
    SetRect(&item.rcItem, 0, 0, kWidth, kHeight);
    return item;
}

// A look made for a window whose IDOK button is owner-drawn (the coloured
// templates) or a push button (the plain ones).
class ColouredLookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedOsKind_ = g_osKind;
        g_osKind = 25;
        Create(true);
    }
    void TearDown() override
    {
        ColouredLookDelete(&look_);
        if (window_) DestroyWindow(window_);
        g_osKind = savedOsKind_;
    }
    void Create(bool ownerDrawn)
    {
        ColouredLookDelete(&look_);
        if (window_) DestroyWindow(window_);
        window_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
        CreateWindowExW(0, L"Button", L"OK", WS_CHILD | (ownerDrawn ? BS_OWNERDRAW : BS_PUSHBUTTON), 0, 0, 50, 20,
                        window_, reinterpret_cast<HMENU>(IDOK), nullptr, nullptr);
        ColouredLookCreate(&look_, window_);
    }

    ColouredLook look_ = {};

private:
    HWND window_ = nullptr;
    int savedOsKind_ = 0;
};

}  // namespace

TEST(CentredPosition, CentresOnTheDesktopIgnoringItsOriginAndTruncatingTowardZero)
{
    RECT desktop = {0, 0, 1024, 768};
    RECT window = {500, 400, 800, 501};  // 300 by 101
    POINT at = CentredPosition(desktop, window);
    EXPECT_EQ(362, at.x);
    EXPECT_EQ(333, at.y);

    RECT shifted = {-1024, 100, 0, 868};  // same size, origin elsewhere: not added
    at = CentredPosition(shifted, window);
    EXPECT_EQ(362, at.x);
    EXPECT_EQ(333, at.y);

    RECT huge = {0, 0, 1101, 801};  // larger than the desktop: -38.5 and -16.5
    at = CentredPosition(desktop, huge);
    EXPECT_EQ(-38, at.x);
    EXPECT_EQ(-16, at.y);
}

TEST_F(ColouredLookTest, OnWindows8TheButtonsAreFlatFacesWithTheirFixedCaptions)
{
    g_osKind = 25;
    struct {
        UINT id;
        COLORREF face;
        COLORREF activeText;
    } buttons[] = {{IDOK, windows8::kFirstFace, windows8::kFirstActiveText},
                   {IDCANCEL, windows8::kSecondFace, windows8::kSecondActiveText},
                   {IDC_LATER, windows8::kLaterFace, windows8::kLaterActiveText}};
    for (const auto &button : buttons) {
        for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED), static_cast<UINT>(ODS_FOCUS),
                           static_cast<UINT>(ODS_HOTLIGHT), static_cast<UINT>(ODS_DISABLED)}) {
            SCOPED_TRACE(::testing::Message() << "button " << button.id << " state " << state);
            Canvas canvas;
            DRAWITEMSTRUCT item = Item(button.id, state, canvas.dc());
            EXPECT_EQ(TRUE, ColouredLookDrawItem(look_, &item, L"Right Now", L"Cancel", L"Later"));
            // The whole face, corners included: no frame is drawn.
            EXPECT_EQ(button.face, canvas.At(0, 0));
            EXPECT_EQ(button.face, canvas.At(kWidth - 1, kHeight - 1));
            bool active = (state & (ODS_SELECTED | ODS_FOCUS | ODS_HOTLIGHT)) != 0;
            COLORREF text = active ? button.activeText : windows8::kButtonText;
            if (state & ODS_DISABLED) text = windows8::kGreyedText;
            EXPECT_EQ(text, GetTextColor(canvas.dc()));
            EXPECT_EQ(TRANSPARENT, GetBkMode(canvas.dc()));
            // The caption is drawn, on one line in the middle of the face.
            EXPECT_GT(canvas.Count(text), 0);
            for (int x = 0; x < kWidth; x++) {
                EXPECT_EQ(button.face, canvas.At(x, 1)) << "x " << x;
                EXPECT_EQ(button.face, canvas.At(x, kHeight - 2)) << "x " << x;
            }
        }
    }
}

TEST_F(ColouredLookTest, OtherControlsAndPlainTemplatesAreLeftToTheSystem)
{
    {
        Canvas canvas;
        DRAWITEMSTRUCT item = Item(2206, 0, canvas.dc());
        EXPECT_EQ(FALSE, ColouredLookDrawItem(look_, &item, L"OK", L"Cancel"));
        EXPECT_EQ(kWidth * kHeight, canvas.Count(RGB(0x12, 0x34, 0x56)));
    }
    // Other editions, and the plain template on Windows 8.
    for (int code : {0, 19, 22, 26, -1, 25}) {
        SCOPED_TRACE(code);
        g_osKind = code;
        if (code != 25) {
            EXPECT_EQ(IDD_COUNTDOWN, CountdownTemplateId());
            EXPECT_EQ(IDD_SELECT, SelectTemplateId());
        }
        Create(code != 25);
        Canvas canvas;
        DRAWITEMSTRUCT item = Item(IDOK, 0, canvas.dc());
        EXPECT_EQ(FALSE, ColouredLookDrawItem(look_, &item, L"OK", L"Cancel"));
        EXPECT_EQ(kWidth * kHeight, canvas.Count(RGB(0x12, 0x34, 0x56)));
        EXPECT_EQ(0, ColouredLookCtlColorDialog(look_));
        COLORREF before = GetTextColor(canvas.dc());
        EXPECT_EQ(0, ColouredLookCtlColorStatic(look_, canvas.dc()));
        EXPECT_EQ(before, GetTextColor(canvas.dc()));
    }
}

TEST_F(ColouredLookTest, StaticTextIsLightYellowOnTheBackgroundBrush)
{
    for (int code : {23, 24, 25}) {
        g_osKind = code;
        Canvas canvas;
        INT_PTR brush = ColouredLookCtlColorStatic(look_, canvas.dc());
        EXPECT_EQ(reinterpret_cast<INT_PTR>(look_.background), brush);
        EXPECT_EQ(brush, ColouredLookCtlColorDialog(look_));
        EXPECT_EQ(windows8::kStaticText, GetTextColor(canvas.dc()));
        EXPECT_EQ(TRANSPARENT, GetBkMode(canvas.dc()));
        LOGBRUSH logBrush = {};
        ASSERT_NE(0, GetObjectW(look_.background, sizeof logBrush, &logBrush));
        EXPECT_EQ(windows8::kBackground, logBrush.lbColor);
    }
}

TEST_F(ColouredLookTest, DeletingReleasesEveryBrushOnceAndMayBeRepeated)
{
    HBRUSH brushes[] = {look_.background, look_.firstButton, look_.secondButton};
    for (HBRUSH brush : brushes) ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
    ColouredLookDelete(&look_);
    for (HBRUSH brush : brushes) EXPECT_EQ(0u, GetObjectType(brush));
    EXPECT_EQ(nullptr, look_.background);
    EXPECT_EQ(nullptr, look_.firstButton);
    EXPECT_EQ(nullptr, look_.secondButton);
    ColouredLookDelete(&look_);  // a second ending path finds nothing left to delete
}

// With high contrast on, the Windows 8 look steps aside: the next dialog
// opens from the plain template. A coloured dialog already open keeps
// painting its owner-drawn buttons, which would otherwise be blank.
TEST_F(ColouredLookTest, HighContrastLeavesTheNextDialogToTheSystem)
{
    g_osKind = 25;
    ASSERT_EQ(IDD_COUNTDOWN_COLOURED, CountdownTemplateId());
    bool (*system)() = g_highContrastCheck;
    g_highContrastCheck = [] { return true; };
    EXPECT_EQ(IDD_COUNTDOWN, CountdownTemplateId());
    EXPECT_EQ(IDD_SELECT, SelectTemplateId());
    Canvas canvas;
    DRAWITEMSTRUCT item = Item(IDOK, 0, canvas.dc());
    EXPECT_EQ(TRUE, ColouredLookDrawItem(look_, &item, L"OK", L"Cancel")) << "the open dialog's buttons went blank";
    EXPECT_EQ(windows8::kFirstFace, canvas.At(0, 0));
    g_highContrastCheck = system;
    EXPECT_EQ(IDD_COUNTDOWN_COLOURED, CountdownTemplateId());
}

// The window icons are the sizes the system asks for at the window's DPI, and
// are loaded anew when the window goes to a monitor of another DPI.
TEST(DialogIcons, FollowTheDpiOfTheWindow)
{
    HINSTANCE module = testsupport::LoadModuleAsData(testsupport::DistFolder() + KELDRIN_MODULE_ENG);
    ASSERT_NE(nullptr, module);
    LoadWindowIcons(module);
    HWND window = CreateWindowExW(0, L"Static", L"Keldrin icons", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    auto iconWidth = [window](WPARAM which) {
        HICON icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
        ICONINFO info = {};
        if (!icon || !GetIconInfo(icon, &info)) return 0;
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        return static_cast<int>(bitmap.bmWidth);
    };
    for (UINT dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        int large = 0, small = 0;
        IconSizesForDpi(dpi, &large, &small);
        EXPECT_EQ(MulDiv(16, static_cast<int>(dpi), 96), small);
        EXPECT_EQ(MulDiv(32, static_cast<int>(dpi), 96), large);
        EXPECT_EQ(FALSE, DialogDpiChanged(window, MAKEWPARAM(dpi, dpi))) << "the system's own handling goes on";
        EXPECT_EQ(small, iconWidth(ICON_SMALL));
        EXPECT_EQ(large, iconWidth(ICON_BIG));
    }
    EXPECT_EQ(WindowIcon(24), WindowIcon(24)) << "one icon a size, loaded once";
    DestroyWindow(window);
    DestroyWindowIcons();
    FreeLibrary(module);
}
