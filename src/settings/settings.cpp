#include "settings/settings.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "context/app_context.h"
#include "base/owned_string.h"

PowerSettings g_settings;

static const wchar_t kSaverLockRestoreKey[] = L"PowerSaverLockRestore";

// The section is named after the product. Without a loaded module there is no
// product name, and "%ls" with null would name the section "(null)": such a run
// neither reads nor writes the file. A module that has no product name string
// still gets a proper section, so the file stays a valid INI file.
static bool PrepareIniAccess(wchar_t *path, size_t pathCapacity, wchar_t *section,
                             size_t sectionCapacity)
{
    if (!g_app || !g_app->productName) return false;
    const wchar_t *iniPath = g_app->GetIniPath(1);
    if (!iniPath) return false;
    CopyText(path, pathCapacity, iniPath);
    // The module's product name may run to 4095 characters; the section takes
    // what fits, rather than an empty name.
    FormatText(section, sectionCapacity, L"%ls", g_app->productName[0] ? g_app->productName : L"Keldrin");
    return true;
}

// Two copies of the program may save at the same moment; the profile
// functions read, change and rewrite the whole file, so one waits for the
// other instead of rewriting a file the other has half written.
static HANDLE LockSettingsFile()
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Marlowen.Keldrin.Settings");
    // An owner that was killed leaves the mutex abandoned, which still grants it.
    if (mutex) WaitForSingleObject(mutex, 10000);
    return mutex;
}

static void UnlockSettingsFile(HANDLE mutex)
{
    if (!mutex) return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

int AddWaitSeconds(int waitTotal, int waitMin, int waitSec)
{
    long long total = static_cast<long long>(waitTotal) + 60LL * waitMin + waitSec;
    if (total > INT_MAX) return INT_MAX;
    if (total < INT_MIN) return INT_MIN;
    return static_cast<int>(total);
}

int LoadSettings()
{
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS];
    if (!PrepareIniAccess(path, COUNTOF(path), section, COUNTOF(section))) return 0;
    HANDLE lock = LockSettingsFile();

    // Values are taken as written, even outside what the dialogs offer.
    g_settings.operation = static_cast<int>(GetPrivateProfileIntW(section, L"PowerOperation", 0, path));
    g_settings.destination = static_cast<int>(GetPrivateProfileIntW(section, L"PowerDestination", 0, path));
    g_settings.selection = static_cast<int>(GetPrivateProfileIntW(section, L"PowerSelection", 0, path));
    g_settings.waitSec = static_cast<int>(GetPrivateProfileIntW(section, L"PowerWaitSec", 10, path));
    g_settings.waitMin = static_cast<int>(GetPrivateProfileIntW(section, L"PowerWaitMin", 0, path));
    g_settings.saverLockOff = static_cast<int>(GetPrivateProfileIntW(section, L"PowerSaverLockOff", 0, path));
    g_settings.useAtTime = static_cast<int>(GetPrivateProfileIntW(section, L"PowerUseAtTime", 0, path));
    // Hours and minutes, as 2330 for 23:30, so the file reads as it means;
    // anything that is no time of day gives the default.
    int hhmm = static_cast<int>(GetPrivateProfileIntW(section, L"PowerAtTime", -1, path));
    bool valid = hhmm >= 0 && hhmm / 100 <= 23 && hhmm % 100 <= 59;
    g_settings.atTime = valid ? hhmm / 100 * 3600 + hhmm % 100 * 60 : kDefaultAtTime;
    // A file of an earlier version has none of these: a wait, as it had.
    g_settings.watchChoice = static_cast<int>(GetPrivateProfileIntW(section, L"PowerWatch", 0, path));
    g_settings.idleMin = static_cast<int>(GetPrivateProfileIntW(section, L"PowerIdleMin", 10, path));
    g_settings.quietMin = static_cast<int>(GetPrivateProfileIntW(section, L"PowerQuietMin", 5, path));
    GetPrivateProfileStringW(section, L"PowerWatchProgram", L"", g_settings.watchProgram,
                             COUNTOF(g_settings.watchProgram), path);
    g_settings.scheduleDays = static_cast<int>(GetPrivateProfileIntW(section, L"PowerScheduleDays", 0x7F, path));
    g_settings.scheduleWake = static_cast<int>(GetPrivateProfileIntW(section, L"PowerScheduleWake", 0, path));
    UnlockSettingsFile(lock);
    return 1;
}

// The section is replaced as a whole, so PowerWaitSec and PowerSaverLockOff
// (read, never written) drop out and the next start waits the default 10 s
// with the screen-saver password left alone. The time of day comes after the
// four lines earlier versions wrote, which keep their form and order; the
// watch choice and its values come after that, then the repetition's days
// and waking.
int SaveSettings()
{
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS];
    if (!PrepareIniAccess(path, COUNTOF(path), section, COUNTOF(section))) return 0;

    const size_t blockUnits = 65536;
    wchar_t *block = HeapTextBuffer(blockUnits);
    if (!block) return 0;

    // WritePrivateProfileSectionW takes "key=value" strings, each NUL-terminated,
    // the list closed by one more NUL (already there: the block is zero-filled).
    // The blanks line the equals signs up for whoever opens the file.
    const struct {
        const wchar_t *format;
        int value;
        const wchar_t *text;  // the value of a %ls line
    } lines[] = {
        {L"PowerOperation   = %ld", g_settings.operation, nullptr},
        {L"PowerDestination = %ld", g_settings.destination, nullptr},
        {L"PowerSelection   = %ld", g_settings.selection, nullptr},
        {L"PowerWaitMin     = %ld", g_settings.waitMin, nullptr},
        {L"PowerUseAtTime   = %ld", g_settings.useAtTime, nullptr},
        {L"PowerAtTime      = %ld", g_settings.atTime / 3600 % 24 * 100 + g_settings.atTime / 60 % 60, nullptr},
        {L"PowerWatch       = %ld", g_settings.watchChoice, nullptr},
        {L"PowerIdleMin     = %ld", g_settings.idleMin, nullptr},
        {L"PowerWatchProgram = %ls", 0, g_settings.watchProgram},
        {L"PowerQuietMin    = %ld", g_settings.quietMin, nullptr},
        {L"PowerScheduleDays = %ld", g_settings.scheduleDays, nullptr},
        {L"PowerScheduleWake = %ld", g_settings.scheduleWake, nullptr},
    };
    size_t used = 0;
    for (size_t i = 0; i < COUNTOF(lines); ++i) {
        size_t written = lines[i].text ? FormatText(block + used, blockUnits - used, lines[i].format, lines[i].text)
                                       : FormatText(block + used, blockUnits - used, lines[i].format,
                                                    static_cast<long>(lines[i].value));
        if (written > 0) used += written + 1;
    }

    HANDLE lock = LockSettingsFile();
    WritePrivateProfileSectionW(section, block, path);
    UnlockSettingsFile(lock);
    HeapTextBufferFree(block);
    return 1;
}

// The mark has a section of its own beside the settings: a save by another
// copy of the program replaces the settings section, and must not take the
// mark of a countdown still running with it. Clearing it removes the section.
static bool PrepareMarkAccess(wchar_t *path, size_t pathCapacity, wchar_t *section, size_t sectionCapacity)
{
    wchar_t settings[KELDRIN_TEXT_UNITS];
    if (!PrepareIniAccess(path, pathCapacity, settings, COUNTOF(settings))) return false;
    FormatText(section, sectionCapacity, L"%ls.Recovery", settings);
    return true;
}

bool SetSaverLockRestorePending(bool pending)
{
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS + 16];
    if (!PrepareMarkAccess(path, COUNTOF(path), section, COUNTOF(section))) return false;
    HANDLE lock = LockSettingsFile();
    BOOL written = pending ? WritePrivateProfileStringW(section, kSaverLockRestoreKey, L"1", path)
                           : WritePrivateProfileStringW(section, nullptr, nullptr, path);
    UnlockSettingsFile(lock);
    return written != FALSE;
}

bool SaverLockRestorePending()
{
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS + 16];
    if (!PrepareMarkAccess(path, COUNTOF(path), section, COUNTOF(section))) return false;
    HANDLE lock = LockSettingsFile();
    UINT pending = GetPrivateProfileIntW(section, kSaverLockRestoreKey, 0, path);
    UnlockSettingsFile(lock);
    return pending == 1;
}

static bool PrepareSchedulesAccess(wchar_t *path, size_t pathCapacity, wchar_t *section, size_t sectionCapacity)
{
    wchar_t settings[KELDRIN_TEXT_UNITS];
    if (!PrepareIniAccess(path, pathCapacity, settings, COUNTOF(settings))) return false;
    FormatText(section, sectionCapacity, L"%ls.Schedules", settings);
    return true;
}

// The file is in the ANSI code page, which may not hold the name's letters
// (Japanese ones in a Western code page): each name is kept as its UTF-16
// units in hexadecimal, four digits each.
static void NameKey(wchar_t *key, size_t units, const wchar_t *name)
{
    size_t length = 0;
    key[0] = L'\0';
    for (; *name && length + 5 < units; name++)
        length += FormatText(key + length, units - length, L"%04X", static_cast<unsigned>(*name));
}

static void KeyName(wchar_t *name, size_t units, const wchar_t *key)
{
    size_t length = 0;
    for (; wcslen(key) >= 4 && length + 1 < units; key += 4) {
        wchar_t digits[5] = {key[0], key[1], key[2], key[3], L'\0'};
        name[length++] = static_cast<wchar_t>(wcstol(digits, nullptr, 16));
    }
    name[length] = L'\0';
}

bool RememberScheduleName(const wchar_t *name, bool registered)
{
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS + 16];
    if (!PrepareSchedulesAccess(path, COUNTOF(path), section, COUNTOF(section))) return false;
    wchar_t key[4 * MAX_PATH + 1];
    NameKey(key, COUNTOF(key), name);
    HANDLE lock = LockSettingsFile();
    BOOL written = WritePrivateProfileStringW(section, key, registered ? L"1" : nullptr, path);
    UnlockSettingsFile(lock);
    return written != FALSE;
}

bool RememberedScheduleNames(wchar_t *names, size_t units)
{
    names[0] = L'\0';
    if (units > 1) names[1] = L'\0';
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS + 16];
    if (!PrepareSchedulesAccess(path, COUNTOF(path), section, COUNTOF(section))) return false;
    wchar_t *keys = HeapTextBuffer(units);
    if (!keys) return false;
    HANDLE lock = LockSettingsFile();
    // With no key named, the section's keys come back, each NUL-ended.
    GetPrivateProfileStringW(section, nullptr, L"", keys, static_cast<DWORD>(units), path);
    UnlockSettingsFile(lock);
    size_t used = 0;
    for (const wchar_t *key = keys; key[0] && used + 2 < units; key += wcslen(key) + 1) {
        KeyName(names + used, units - used - 1, key);
        used += wcslen(names + used) + 1;
    }
    names[used] = L'\0';
    HeapTextBufferFree(keys);
    return true;
}
