#include "settings/settings.h"

#include <stdio.h>
#include <windows.h>

#include "app/app_context.h"
#include "app/owned_string.h"

PowerSettings g_settings;

// The section is named after the product. Without a loaded module there is no
// product name, and "%ls" with null would name the section "(null)": such a run
// neither reads nor writes the file.
static bool PrepareIniAccess(wchar_t *path, size_t pathCapacity, wchar_t *section,
                             size_t sectionCapacity)
{
    if (!g_app || !g_app->productName) return false;
    const wchar_t *iniPath = g_app->GetIniPath(1);
    if (!iniPath) return false;
    CopyText(path, pathCapacity, iniPath);
    // The module's product name may run to 4095 characters; the section takes
    // what fits. swprintf_s would instead leave an empty name (or, under the
    // default invalid-parameter handler, end the process).
    FormatText(section, sectionCapacity, L"%ls", g_app->productName);
    return true;
}

int LoadSettings()
{
    wchar_t path[KELDRIN_PATH_UNITS];
    wchar_t section[KELDRIN_TEXT_UNITS];
    if (!PrepareIniAccess(path, COUNTOF(path), section, COUNTOF(section))) return 0;

    // Values are taken as written, even outside what the dialogs offer.
    g_settings.operation = static_cast<int>(GetPrivateProfileIntW(section, L"PowerOperation", 0, path));
    g_settings.destination = static_cast<int>(GetPrivateProfileIntW(section, L"PowerDestination", 0, path));
    g_settings.selection = static_cast<int>(GetPrivateProfileIntW(section, L"PowerSelection", 0, path));
    g_settings.waitSec = static_cast<int>(GetPrivateProfileIntW(section, L"PowerWaitSec", 10, path));
    g_settings.waitMin = static_cast<int>(GetPrivateProfileIntW(section, L"PowerWaitMin", 0, path));
    g_settings.saverLockOff = static_cast<int>(GetPrivateProfileIntW(section, L"PowerSaverLockOff", 0, path));
    return 1;
}

// The section is replaced as a whole, so PowerWaitSec and PowerSaverLockOff
// (read, never written) drop out and the next start waits the default 10 s
// with the screen-saver password left alone.
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
    } lines[] = {
        {L"PowerOperation   = %ld", g_settings.operation},
        {L"PowerDestination = %ld", g_settings.destination},
        {L"PowerSelection   = %ld", g_settings.selection},
        {L"PowerWaitMin     = %ld", g_settings.waitMin},
    };
    size_t used = 0;
    for (size_t i = 0; i < COUNTOF(lines); ++i) {
        int written = swprintf_s(block + used, blockUnits - used, lines[i].format,
                                 static_cast<long>(lines[i].value));
        if (written > 0) used += static_cast<size_t>(written) + 1;
    }

    WritePrivateProfileSectionW(section, block, path);
    HeapTextBufferFree(block);
    return 1;
}
