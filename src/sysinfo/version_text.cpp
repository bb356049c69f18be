#include "app/app_context.h"
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

// Out of heap, the dialogs still get a valid (empty) text to show.
static const wchar_t *StoreVersionText(wchar_t **field, wchar_t *buffer)
{
    *field = OwnedStringCopy(buffer);
    HeapTextBufferFree(buffer);
    return *field ? *field : L"";
}

const wchar_t *AppContext::ShortVersionText()
{
    OwnedStringFree(&versionText);
    wchar_t *buffer = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!buffer) return L"";
    FormatVersionPart(buffer, KELDRIN_PATH_UNITS, versionNumber, versionRevision, betaNumber, false);
    return StoreVersionText(&versionText, buffer);
}

const wchar_t *AppContext::LongVersionText()
{
    OwnedStringFree(&versionText);
    wchar_t *buffer = HeapTextBuffer(KELDRIN_PATH_UNITS);
    if (!buffer) return L"";
    if (productName) CopyText(buffer, KELDRIN_PATH_UNITS, productName);
    size_t used = wcslen(buffer);
    FormatVersionPart(buffer + used, KELDRIN_PATH_UNITS - used, versionNumber, versionRevision,
                      betaNumber, true);
    // osName is empty rather than null for an unknown edition, so " on " then
    // stands alone in front of the date.
    if (osName) {
        AppendText(buffer, KELDRIN_PATH_UNITS, L" on ");
        AppendText(buffer, KELDRIN_PATH_UNITS, osName);
    }
    if (releaseDate) {
        AppendText(buffer, KELDRIN_PATH_UNITS, L" (");
        AppendText(buffer, KELDRIN_PATH_UNITS, releaseDate);
        AppendText(buffer, KELDRIN_PATH_UNITS, L")");
    }
    return StoreVersionText(&versionText, buffer);
}
