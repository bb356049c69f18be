#include "sysinfo/version_text.h"

#include <wchar.h>

#include "base/owned_string.h"

// "Version 1.04.01 b3" and its shorter forms into out. The long text uses the
// same words behind the product name, hence the optional leading blank.
// versionNumber is unsigned so that values from 2^31 up still print positive;
// msvcrt's %ld takes a 32-bit long, hence the casts.
static void FormatVersionPart(wchar_t *out, size_t capacity, unsigned int versionNumber,
                              int versionRevision, int betaNumber, bool leadingBlank)
{
    const wchar_t *lead = leadingBlank ? L" " : L"";
    double version = versionNumber / 100.0;
    if (betaNumber != 0 && versionRevision != 0) {
        FormatText(out, capacity, L"%lsVersion %.2f.%02ld b%ld", lead, version,
                   static_cast<long>(versionRevision), static_cast<long>(betaNumber));
    } else if (betaNumber != 0) {
        FormatText(out, capacity, L"%lsVersion %.2f b%ld", lead, version, static_cast<long>(betaNumber));
    } else if (versionRevision != 0) {
        FormatText(out, capacity, L"%lsVersion %.2f.%02ld", lead, version,
                   static_cast<long>(versionRevision));
    } else {
        FormatText(out, capacity, L"%lsVersion %.2f", lead, version);
    }
}

void FormatShortVersionText(wchar_t *buffer, size_t units, unsigned int versionNumber, int versionRevision,
                            int betaNumber)
{
    FormatVersionPart(buffer, units, versionNumber, versionRevision, betaNumber, false);
}

void FormatLongVersionText(wchar_t *buffer, size_t units, const wchar_t *productName, unsigned int versionNumber,
                           int versionRevision, int betaNumber, const wchar_t *osName, const wchar_t *releaseDate)
{
    CopyText(buffer, units, productName ? productName : L"");
    size_t used = wcslen(buffer);
    FormatVersionPart(buffer + used, units - used, versionNumber, versionRevision, betaNumber, true);
    // osName is empty rather than null for an unknown edition, so " on " then
    // stands alone in front of the date.
    if (osName) {
        AppendText(buffer, units, L" on ");
        AppendText(buffer, units, osName);
    }
    if (releaseDate) {
        AppendText(buffer, units, L" (");
        AppendText(buffer, units, releaseDate);
        AppendText(buffer, units, L")");
    }
}
