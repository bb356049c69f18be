#include "power/saver_lock.h"

#include <windows.h>

#include <wchar.h>

#include "base/owned_string.h"
#include "settings/settings.h"

int g_saverLockRestore = 0;

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kSaverSecureValue[] = L"ScreenSaverIsSecure";

// Held by the copy of the program that has the password switched off, for as
// long as it is off: a start that finds the mark but cannot take the mutex
// leaves the value to that live countdown; one whose owner was killed finds it abandoned.
const wchar_t kSaverLockMutex[] = L"Local\\Marlowen.Keldrin.SaverLockOff";
HANDLE g_saverLockMutex = nullptr;

void WriteSaverSecure(HKEY key, const wchar_t *value)
{
    RegSetValueExW(key, kSaverSecureValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

// True when "ScreenSaverIsSecure" reads exactly as expected: the value is
// taken up to its first NUL within 8 bytes, so a longer text or a number never counts.
bool SaverSecureReads(HKEY key, const wchar_t *expected)
{
    wchar_t data[5] = {};  // 8 bytes of value and a NUL that the read never overwrites
    DWORD size = 8;
    return RegQueryValueExW(key, kSaverSecureValue, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size) ==
               ERROR_SUCCESS &&
           WideStringEqual(data, expected);
}

void ReleaseSaverLockMutex()
{
    if (!g_saverLockMutex) return;
    ReleaseMutex(g_saverLockMutex);
    CloseHandle(g_saverLockMutex);
    g_saverLockMutex = nullptr;
}

}  // namespace

// Switches the screen saver's password off for the wait, but only when it is
// on exactly as "1": any other value is not ours to touch. The settings file
// notes it first, so that even a killed run gets it switched back; where the
// note cannot be written (the folder is read-only, the path does not fit), a
// killed run would leave the password off for good, so it stays on.
void SwitchSaverLockOff()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (SaverSecureReads(key, L"1")) {
        // Held before the mark is written: a start that finds the mark in
        // between must not take it for one that a killed run left.
        if (!g_saverLockMutex) {
            g_saverLockMutex = CreateMutexW(nullptr, FALSE, kSaverLockMutex);
            if (g_saverLockMutex) WaitForSingleObject(g_saverLockMutex, 0);
        }
        if (SetSaverLockRestorePending(true)) {
            g_saverLockRestore = 1;
            WriteSaverSecure(key, L"0");
        } else {
            ReleaseSaverLockMutex();
        }
    }
    RegCloseKey(key);
}

void RestoreSaverLock()
{
    if (g_saverLockRestore != 1) return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    WriteSaverSecure(key, L"1");
    RegCloseKey(key);
    g_saverLockRestore = 0;
    SetSaverLockRestorePending(false);
    ReleaseSaverLockMutex();
}

bool RestoreSaverLockLeftOff()
{
    if (!SaverLockRestorePending()) return false;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kSaverLockMutex);
    if (mutex && WaitForSingleObject(mutex, 0) == WAIT_TIMEOUT) {
        CloseHandle(mutex);  // a countdown that is still running owns the switch
        return false;
    }
    bool restored = false;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        // Only the "0" that run left; a value changed since belongs to the user.
        if (SaverSecureReads(key, L"0")) {
            WriteSaverSecure(key, L"1");
            restored = true;
        }
        RegCloseKey(key);
        SetSaverLockRestorePending(false);
    }
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return restored;
}
