// The per-DPI functions are declared by the SDK only for Windows 10 and
// later; this file sees those declarations, so the pointers looked up below
// can be checked against them, and calls them only through those pointers.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0A00
#define _WIN32_WINNT 0x0A00

#include "ui/window_dpi.h"

#include <type_traits>

#include "base/system_function.h"

namespace {

typedef UINT(WINAPI *GetDpiForWindowProc)(HWND);
typedef int(WINAPI *GetSystemMetricsForDpiProc)(int, UINT);
// Looked-up types must be the system's own, calling convention included.
static_assert(std::is_same<GetDpiForWindowProc, decltype(&::GetDpiForWindow)>::value, "GetDpiForWindow");
static_assert(std::is_same<GetSystemMetricsForDpiProc, decltype(&::GetSystemMetricsForDpi)>::value,
              "GetSystemMetricsForDpi");

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

UINT WindowDpi(HWND window)
{
    GetDpiForWindowProc forWindow = SystemFunction<GetDpiForWindowProc>(L"user32.dll", "GetDpiForWindow");
    UINT dpi = forWindow && window ? forWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

void IconSizesForDpi(UINT dpi, int *large, int *small)
{
    GetSystemMetricsForDpiProc forDpi = SystemFunction<GetSystemMetricsForDpiProc>(L"user32.dll", "GetSystemMetricsForDpi");
    if (forDpi) {
        *large = forDpi(SM_CXICON, dpi);
        *small = forDpi(SM_CXSMICON, dpi);
    } else {
        // Without per-DPI metrics the system's own are scaled to a DPI other than its.
        UINT system = SystemDpi();
        *large = MulDiv(GetSystemMetrics(SM_CXICON), static_cast<int>(dpi), static_cast<int>(system));
        *small = MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi), static_cast<int>(system));
    }
    if (*large <= 0) *large = MulDiv(32, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
    if (*small <= 0) *small = MulDiv(16, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

namespace {

bool SystemHighContrast()
{
    HIGHCONTRASTW contrast = {sizeof contrast, 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

bool (*g_highContrastCheck)() = SystemHighContrast;

bool HighContrastOn()
{
    return g_highContrastCheck && g_highContrastCheck();
}
