#include "sysinfo/windows_edition.h"

#include <type_traits>

#include "base/owned_string.h"

int g_osKind = 0;

// Index = edition code. Code 10 is never detected; its name stays for the table's sake.
static const wchar_t *const kEditionNames[] = {
    L"",
    L"Windows 95",
    L"Windows 98",
    L"Windows Me",
    L"Windows NT3.1",
    L"Windows NT",
    L"Windows 2000",
    L"Windows XP Home Edition",
    L"Windows XP Professional Edition",
    L"Windows Server 2003",
    L"Windows 2008",
    L"Windows Vista Enterprise",
    L"Windows Vista Ultimate",
    L"Windows Vista Business",
    L"Windows Vista Home Premium",
    L"Windows Vista Home Basic",
    L"Windows Vista",
    L"Windows 7 Enterprise",
    L"Windows 7 Ultimate",
    L"Windows 7 Professional",
    L"Windows 7 Home Premium",
    L"Windows 7 Starter",
    L"Windows 7",
    L"Windows 8 Pro",
    L"Windows 8 with Media Center",
    L"Windows 8",
};

static int VistaEditionCode(DWORD productType)
{
    switch (productType) {
    case PRODUCT_ENTERPRISE:   return 11;
    case PRODUCT_ULTIMATE:     return 12;
    case PRODUCT_BUSINESS:     return 13;
    case PRODUCT_HOME_PREMIUM: return 14;
    case PRODUCT_HOME_BASIC:   return 15;
    default:                   return 16;
    }
}

// Home Basic has no row of its own on 7: it shares the plain "Windows 7".
static int Windows7EditionCode(DWORD productType)
{
    switch (productType) {
    case PRODUCT_ENTERPRISE:   return 17;
    case PRODUCT_ULTIMATE:     return 18;
    case PRODUCT_PROFESSIONAL: return 19;
    case PRODUCT_HOME_PREMIUM: return 20;
    case PRODUCT_STARTER:      return 21;
    default:                   return 22;
    }
}

static int Windows8EditionCode(DWORD productType)
{
    switch (productType) {
    case PRODUCT_PROFESSIONAL:     return 23;
    case PRODUCT_PROFESSIONAL_WMC: return 24;
    default:                       return 25;
    }
}

// wProductType is deliberately not consulted: servers get the code of the
// client release with the same version numbers.
static int NtSixEditionCode(DWORD minor, bool hasProductInfo, DWORD productType)
{
    if (!hasProductInfo) {
        if (minor == 0) return 16;
        if (minor == 1) return 22;
        return 0;
    }
    switch (minor) {
    case 0:  return VistaEditionCode(productType);
    case 1:  return Windows7EditionCode(productType);
    case 2:  return Windows8EditionCode(productType);
    default: return 0;
    }
}

int EditionCodeFor(DWORD major, DWORD minor, DWORD platformId, WORD suiteMask,
                   bool hasProductInfo, DWORD productType)
{
    switch (major) {
    case 3:
        return 4;
    case 4:
        if (minor == 0) return platformId == VER_PLATFORM_WIN32_NT ? 5 : 1;
        if (minor == 10) return 2;
        if (minor == 90) return 3;
        return 0;
    case 5:
        if (minor == 0) return 6;
        if (minor == 1) return (suiteMask & VER_SUITE_PERSONAL) ? 7 : 8;
        if (minor == 2) return 9;
        return 0;
    case 6:
        return NtSixEditionCode(minor, hasProductInfo, productType);
    default:
        return 0;
    }
}

const wchar_t *EditionDisplayName(int code)
{
    if (code < 0 || code >= static_cast<int>(COUNTOF(kEditionNames))) return L"";
    return kEditionNames[code];
}

bool IsWindows8Family(int code)
{
    return code >= 23 && code <= 25;
}

// The table ends with Windows 8, so 8.1, 10, 11 and their servers get code 0;
// their names still belong in the version text, or it would read "on  (…)".
// Windows 11 kept the version numbers 10.0 and differs by its build only.
const wchar_t *UnlistedReleaseName(DWORD major, DWORD minor, DWORD build, BYTE productType)
{
    bool server = productType == VER_NT_SERVER || productType == VER_NT_DOMAIN_CONTROLLER;
    if (major == 6 && minor == 3) return server ? L"Windows Server 2012 R2" : L"Windows 8.1";
    if (major != 10 || minor != 0) return L"";
    if (!server) return build >= 22000 ? L"Windows 11" : L"Windows 10";
    if (build >= 26100) return L"Windows Server 2025";
    if (build >= 20348) return L"Windows Server 2022";
    if (build >= 17763) return L"Windows Server 2019";
    return L"Windows Server 2016";
}

typedef BOOL(WINAPI *GetProductInfoProc)(DWORD, DWORD, DWORD, DWORD, PDWORD);
// Looked-up types must be the system's own, calling convention included: on
// 32-bit x86 a pointer without WINAPI would call a stdcall function as cdecl
// and unbalance the stack. Only the 32-bit build can tell them apart.
static_assert(std::is_same<GetProductInfoProc, decltype(&::GetProductInfo)>::value, "GetProductInfo");

// ntdll's own version call; not in the user-mode headers (NTAPI is WINAPI).
typedef LONG(WINAPI *RtlGetVersionProc)(OSVERSIONINFOW *);

// The true version numbers. GetVersionExW answers 6.2 on Windows 8.1, 10 and
// 11 to every program without a compatibility section in its manifest, and
// the dialogs would then take the Windows 8 look there. RtlGetVersion does
// not lie; it exists on every Windows the program runs on, but is looked up
// all the same, with GetVersionExW kept for a system without it.
static void ReadVersion(OSVERSIONINFOEXW *version)
{
    ZeroMemory(version, sizeof(*version));
    version->dwOSVersionInfoSize = sizeof(*version);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    RtlGetVersionProc rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(ntdll, "RtlGetVersion"))) : nullptr;
    if (rtlGetVersion && rtlGetVersion(reinterpret_cast<OSVERSIONINFOW *>(version)) == 0) return;
    ZeroMemory(version, sizeof(*version));
    version->dwOSVersionInfoSize = sizeof(*version);
    // Newer SDKs mark GetVersionExW deprecated; it is only the fallback here.
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(version));
#if defined(__GNUC__) && !defined(_MSC_VER)
#pragma GCC diagnostic pop
#endif
}

// GetProductInfo exists from Vista on only, so it is looked up at run time;
// a program that imported it would not start on XP.
static int DetectEdition(OSVERSIONINFOEXW *version)
{
    ReadVersion(version);
    if (version->dwMajorVersion != 6) {
        return EditionCodeFor(version->dwMajorVersion, version->dwMinorVersion,
                              version->dwPlatformId, version->wSuiteMask, false, 0);
    }

    HMODULE kernel = LoadLibraryW(L"kernel32");
    if (!kernel) return 0;
    // Through void(*)(void), the one cast GCC accepts between unrelated function types.
    GetProductInfoProc getProductInfo = reinterpret_cast<GetProductInfoProc>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(kernel, "GetProductInfo")));
    DWORD productType = 0;  // PRODUCT_UNDEFINED when the call reports nothing
    if (getProductInfo) {
        getProductInfo(version->dwMajorVersion, version->dwMinorVersion, version->wServicePackMajor,
                       version->wServicePackMinor, &productType);
    }
    int code = EditionCodeFor(version->dwMajorVersion, version->dwMinorVersion, version->dwPlatformId,
                              version->wSuiteMask, getProductInfo != nullptr, productType);
    FreeLibrary(kernel);
    return code;
}

int ReadWindowsEdition(OSVERSIONINFOEXW *version)
{
    return DetectEdition(version);
}

int GetWindowsEditionCode()
{
    OSVERSIONINFOEXW version;
    return DetectEdition(&version);
}

// An unknown edition still gets a name, empty where not even the release is
// known: the long version text relies on the name being set.
const wchar_t *WindowsEditionName(int code, const OSVERSIONINFOEXW &version)
{
    return code != 0 ? EditionDisplayName(code)
                     : UnlistedReleaseName(version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber,
                                           version.wProductType);
}
