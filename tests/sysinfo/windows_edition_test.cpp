#include <gtest/gtest.h>

#include <string>

#include "context/app_context.h"
#include "sysinfo/windows_edition.h"

namespace {

const DWORD kNt = VER_PLATFORM_WIN32_NT;
const DWORD kWin9x = VER_PLATFORM_WIN32_WINDOWS;

// Version 6 with GetProductInfo present and the given product type.
int NtSix(DWORD minor, DWORD productType)
{
    return EditionCodeFor(6, minor, kNt, 0, true, productType);
}

int NtSixWithoutProductInfo(DWORD minor)
{
    return EditionCodeFor(6, minor, kNt, 0, false, 0);
}

std::wstring Name(int code)
{
    return EditionDisplayName(code);
}

TEST(EditionMapping, OldReleasesByVersionNumbers)
{
    EXPECT_EQ(4, EditionCodeFor(3, 0, kNt, 0, false, 0));
    EXPECT_EQ(4, EditionCodeFor(3, 51, kNt, 0, false, 0));
    EXPECT_EQ(1, EditionCodeFor(4, 0, kWin9x, 0, false, 0));
    EXPECT_EQ(5, EditionCodeFor(4, 0, kNt, 0, false, 0));
    EXPECT_EQ(2, EditionCodeFor(4, 10, kWin9x, 0, false, 0));
    EXPECT_EQ(3, EditionCodeFor(4, 90, kWin9x, 0, false, 0));
    EXPECT_EQ(0, EditionCodeFor(4, 5, kWin9x, 0, false, 0));
    EXPECT_EQ(0, EditionCodeFor(4, 5, kNt, 0, false, 0));
}

TEST(EditionMapping, NtFiveUsesSuiteMaskOnlyForXp)
{
    EXPECT_EQ(6, EditionCodeFor(5, 0, kNt, 0, false, 0));
    EXPECT_EQ(6, EditionCodeFor(5, 0, kNt, VER_SUITE_PERSONAL, false, 0));
    EXPECT_EQ(7, EditionCodeFor(5, 1, kNt, VER_SUITE_PERSONAL, false, 0));
    EXPECT_EQ(7, EditionCodeFor(5, 1, kNt, VER_SUITE_PERSONAL | VER_SUITE_SINGLEUSERTS, false, 0));
    EXPECT_EQ(8, EditionCodeFor(5, 1, kNt, 0, false, 0));
    EXPECT_EQ(8, EditionCodeFor(5, 1, kNt, VER_SUITE_SINGLEUSERTS, false, 0));
    // 5.2 covers both Server 2003 and XP x64; the table gives 9 whatever the suite.
    EXPECT_EQ(9, EditionCodeFor(5, 2, kNt, 0, false, 0));
    EXPECT_EQ(9, EditionCodeFor(5, 2, kNt, VER_SUITE_PERSONAL, false, 0));
    EXPECT_EQ(0, EditionCodeFor(5, 3, kNt, 0, false, 0));
}

TEST(EditionMapping, VistaByProductType)
{
    EXPECT_EQ(11, NtSix(0, PRODUCT_ENTERPRISE));
    EXPECT_EQ(12, NtSix(0, PRODUCT_ULTIMATE));
    EXPECT_EQ(13, NtSix(0, PRODUCT_BUSINESS));
    EXPECT_EQ(14, NtSix(0, PRODUCT_HOME_PREMIUM));
    EXPECT_EQ(15, NtSix(0, PRODUCT_HOME_BASIC));
    EXPECT_EQ(16, NtSix(0, PRODUCT_HOME_BASIC_N));  // type 5: no row of its own
    EXPECT_EQ(16, NtSix(0, PRODUCT_PROFESSIONAL));  // a Windows 7 type means nothing on 6.0
    EXPECT_EQ(16, NtSix(0, 0));
}

TEST(EditionMapping, Windows7ByProductType)
{
    EXPECT_EQ(17, NtSix(1, PRODUCT_ENTERPRISE));
    EXPECT_EQ(18, NtSix(1, PRODUCT_ULTIMATE));
    EXPECT_EQ(19, NtSix(1, 48));
    EXPECT_EQ(20, NtSix(1, PRODUCT_HOME_PREMIUM));
    EXPECT_EQ(21, NtSix(1, 11));
    EXPECT_EQ(22, NtSix(1, PRODUCT_HOME_BASIC));  // unlike Vista, Home Basic is plain "Windows 7"
    EXPECT_EQ(22, NtSix(1, PRODUCT_BUSINESS));
    EXPECT_EQ(22, NtSix(1, 28));  // what a fresh Wine prefix reports
    EXPECT_EQ(22, NtSix(1, 0));
}

TEST(EditionMapping, Windows8FamilyByProductType)
{
    EXPECT_EQ(23, NtSix(2, 48));
    EXPECT_EQ(24, NtSix(2, 103));
    EXPECT_EQ(25, NtSix(2, PRODUCT_ENTERPRISE));
    EXPECT_EQ(25, NtSix(2, PRODUCT_STARTER));
    EXPECT_EQ(25, NtSix(2, 0));
    for (DWORD type = 0; type < 200; ++type) {
        EXPECT_TRUE(IsWindows8Family(NtSix(2, type))) << "product type " << type;
    }
}

TEST(EditionMapping, WithoutGetProductInfoOnlyVistaAnd7HaveAPlainCode)
{
    EXPECT_EQ(16, NtSixWithoutProductInfo(0));
    EXPECT_EQ(22, NtSixWithoutProductInfo(1));
    EXPECT_EQ(0, NtSixWithoutProductInfo(2));
    EXPECT_EQ(0, NtSixWithoutProductInfo(3));
    // Without the function a product type cannot have been reported.
    EXPECT_EQ(16, EditionCodeFor(6, 0, kNt, 0, false, PRODUCT_ENTERPRISE));
    EXPECT_EQ(22, EditionCodeFor(6, 1, kNt, 0, false, 48));
}

TEST(EditionMapping, LaterReleasesAreUnknown)
{
    EXPECT_EQ(0, NtSix(3, 48));
    EXPECT_EQ(0, NtSix(4, 48));
    EXPECT_EQ(0, EditionCodeFor(10, 0, kNt, 0, true, 48));
    EXPECT_EQ(0, EditionCodeFor(10, 0, kNt, 0, false, 0));
    EXPECT_EQ(0, EditionCodeFor(7, 0, kNt, 0, true, 48));
    EXPECT_EQ(0, EditionCodeFor(2, 0, kNt, 0, false, 0));
    // A failed GetVersionExW leaves a zeroed record.
    EXPECT_EQ(0, EditionCodeFor(0, 0, 0, 0, false, 0));
}

TEST(EditionNames, EveryCodeHasItsExactName)
{
    const wchar_t *const expected[] = {
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
    for (int code = 0; code <= 25; ++code) {
        EXPECT_EQ(std::wstring(expected[code]), Name(code)) << "code " << code;
    }
}

TEST(EditionNames, CodesOutsideTheTableAreEmpty)
{
    EXPECT_EQ(L"", Name(26));
    EXPECT_EQ(L"", Name(-1));
    EXPECT_EQ(L"", Name(1000));
    ASSERT_NE(nullptr, EditionDisplayName(-1));
    ASSERT_NE(nullptr, EditionDisplayName(26));
}

TEST(EditionNames, DetectedCodesNameWhatWasReported)
{
    EXPECT_EQ(L"Windows 7", Name(NtSix(1, PRODUCT_HOME_BASIC)));
    EXPECT_EQ(L"Windows 7 Starter", Name(NtSix(1, 11)));
    EXPECT_EQ(L"Windows Vista", Name(NtSix(0, PRODUCT_HOME_BASIC_N)));
    EXPECT_EQ(L"Windows 95", Name(EditionCodeFor(4, 0, kWin9x, 0, false, 0)));
    EXPECT_EQ(L"", Name(NtSix(3, 48)));
}

// Releases after Windows 8 have code 0 but still their true name in the
// version text; Windows 11 is told from 10 by its build alone.
TEST(EditionNames, ReleasesAfterTheTableAreNamedByVersionBuildAndProductType)
{
    const BYTE workstation = VER_NT_WORKSTATION, server = VER_NT_SERVER, controller = VER_NT_DOMAIN_CONTROLLER;
    const struct {
        DWORD major, minor, build;
        BYTE productType;
        const wchar_t *name;
    } cases[] = {
        {6, 3, 9600, workstation, L"Windows 8.1"},
        {6, 3, 9600, server, L"Windows Server 2012 R2"},
        {10, 0, 10240, workstation, L"Windows 10"},
        {10, 0, 19045, workstation, L"Windows 10"},
        {10, 0, 21999, workstation, L"Windows 10"},
        {10, 0, 22000, workstation, L"Windows 11"},
        {10, 0, 26100, workstation, L"Windows 11"},
        {10, 0, 14393, server, L"Windows Server 2016"},
        {10, 0, 17763, server, L"Windows Server 2019"},
        {10, 0, 20348, controller, L"Windows Server 2022"},
        {10, 0, 26100, server, L"Windows Server 2025"},
        {10, 0, 19045, 0, L"Windows 10"},  // no product type reported: not taken for a server
        {6, 2, 9200, workstation, L""},    // Windows 8 has its codes; nothing named twice
        {6, 4, 9841, workstation, L""},
        {10, 1, 0, workstation, L""},
        {11, 0, 30000, workstation, L""},
        {5, 1, 2600, workstation, L""},
        {0, 0, 0, 0, L""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(std::wstring(c.name), UnlistedReleaseName(c.major, c.minor, c.build, c.productType))
            << c.major << "." << c.minor << " build " << c.build << " type " << int(c.productType);
    }
}

TEST(EditionFamily, OnlyTheWindows8CodesCount)
{
    for (int code = -1; code <= 30; ++code) {
        EXPECT_EQ(code >= 23 && code <= 25, IsWindows8Family(code)) << "code " << code;
    }
}

// Under Wine the numbers depend on the prefix (7 by default, 8 or Vista after
// winecfg -v), so the check is that the code belongs to the reported release.
TEST(EditionDetection, CodeMatchesTheRunningRelease)
{
    // The true numbers, which GetVersionExW caps at 6.2 from Windows 8.1 on.
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    typedef LONG(WINAPI * RtlGetVersionProc)(OSVERSIONINFOW *);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(nullptr, rtlGetVersion);
    ASSERT_EQ(0, rtlGetVersion(reinterpret_cast<OSVERSIONINFOW *>(&version)));
    int code = GetWindowsEditionCode();
    if (version.dwMajorVersion == 6 && version.dwMinorVersion == 0) {
        EXPECT_GE(code, 11);
        EXPECT_LE(code, 16);
    } else if (version.dwMajorVersion == 6 && version.dwMinorVersion == 1) {
        EXPECT_GE(code, 17);
        EXPECT_LE(code, 22);
    } else if (version.dwMajorVersion == 6 && version.dwMinorVersion == 2) {
        EXPECT_TRUE(IsWindows8Family(code));
    } else if (version.dwMajorVersion == 5 && version.dwMinorVersion == 1) {
        EXPECT_EQ((version.wSuiteMask & VER_SUITE_PERSONAL) ? 7 : 8, code);
    } else {
        EXPECT_EQ(EditionCodeFor(version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId,
                                 version.wSuiteMask, false, 0),
                  code);
    }
    EXPECT_EQ(code, GetWindowsEditionCode());
}

TEST(EditionDetection, ContextKeepsRecordCodeAndExactSizeName)
{
    AppContext app;
    EXPECT_EQ(284u, app.osVersion.dwOSVersionInfoSize);
    EXPECT_NE(0u, app.osVersion.dwMajorVersion);  // the size was accepted, the call filled the record
    EXPECT_EQ(GetWindowsEditionCode(), app.osKind);
    ASSERT_NE(nullptr, app.osName);
    std::wstring expected = app.osKind != 0 ? EditionDisplayName(app.osKind)
                                            : UnlistedReleaseName(app.osVersion.dwMajorVersion, app.osVersion.dwMinorVersion,
                                                                  app.osVersion.dwBuildNumber, app.osVersion.wProductType);
    EXPECT_EQ(expected, app.osName);
    EXPECT_EQ((wcslen(app.osName) + 1) * sizeof(wchar_t), HeapSize(GetProcessHeap(), 0, app.osName));
}

}  // namespace
