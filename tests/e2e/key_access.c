/* Makes a key of the current user unreadable and writable by no one, and puts
 * its security back afterwards. The probe can only read and write values; the
 * hostile-input tests also need a key the program is refused.
 *
 *   key_access deny  <key under HKCU>   prints the key's DACL (SDDL), then denies
 *                                        every reading and writing right to Everyone
 *   key_access allow <key under HKCU> <SDDL>   puts that DACL back
 *
 * The deny entry leaves READ_CONTROL and WRITE_DAC alone, so the key's
 * security can still be read and put back while the denial holds. */
#include <windows.h>
#include <sddl.h>
#include <stdio.h>

#define DENIED_RIGHTS (KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | \
                       KEY_NOTIFY | KEY_CREATE_LINK | DELETE)

static HKEY OpenForSecurity(const wchar_t *path)
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) return NULL;
    return key;
}

static int Deny(const wchar_t *path)
{
    HKEY key = OpenForSecurity(path);
    if (!key) return 2;
    BYTE buffer[4096];
    DWORD size = sizeof buffer;
    PSECURITY_DESCRIPTOR current = (PSECURITY_DESCRIPTOR)buffer;
    LPWSTR sddl = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    int status = 3;
    if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, current, &size) == ERROR_SUCCESS &&
        ConvertSecurityDescriptorToStringSecurityDescriptorW(current, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &sddl, NULL) &&
        GetSecurityDescriptorDacl(current, &present, &dacl, &defaulted)) {
        SID_IDENTIFIER_AUTHORITY world = {SECURITY_WORLD_SID_AUTHORITY};
        PSID everyone = NULL;
        BYTE aclBuffer[4096];
        PACL denying = (PACL)aclBuffer;
        SECURITY_DESCRIPTOR replacement;
        ACL_SIZE_INFORMATION info = {0};
        if (present && dacl) GetAclInformation(dacl, &info, sizeof info, AclSizeInformation);
        /* A deny entry first, then every entry the key had. */
        BOOL built = AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) &&
                     InitializeAcl(denying, sizeof aclBuffer, ACL_REVISION) &&
                     AddAccessDeniedAce(denying, ACL_REVISION, DENIED_RIGHTS, everyone);
        for (DWORD i = 0; built && i < info.AceCount; i++) {
            LPVOID ace = NULL;
            built = GetAce(dacl, i, &ace) && AddAce(denying, ACL_REVISION, MAXDWORD, ace, ((PACE_HEADER)ace)->AceSize);
        }
        /* Without any DACL the key was open to all: keep that for everything not denied. */
        if (built && (!present || !dacl)) {
            built = AddAccessAllowedAce(denying, ACL_REVISION, KEY_ALL_ACCESS, everyone);
        }
        if (built && InitializeSecurityDescriptor(&replacement, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&replacement, TRUE, denying, FALSE) &&
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &replacement) == ERROR_SUCCESS) {
            wprintf(L"%ls\n", sddl);
            status = 0;
        }
        if (everyone) FreeSid(everyone);
    }
    if (sddl) LocalFree(sddl);
    RegCloseKey(key);
    return status;
}

static int Allow(const wchar_t *path, const wchar_t *sddl)
{
    HKEY key = OpenForSecurity(path);
    if (!key) return 2;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    int status = 3;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, NULL) &&
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS) {
        status = 0;
    }
    if (descriptor) LocalFree(descriptor);
    RegCloseKey(key);
    return status;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3 && wcscmp(argv[1], L"deny") == 0) return Deny(argv[2]);
    if (argc == 4 && wcscmp(argv[1], L"allow") == 0) return Allow(argv[2], argv[3]);
    fwprintf(stderr, L"usage: key_access deny <key> | key_access allow <key> <SDDL>\n");
    return 1;
}
