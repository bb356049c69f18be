// The version texts the dialogs show: "Version 1.04.01 b3" and the long
// form with the product, the Windows it runs on and the release date.
#ifndef KELDRIN_VERSION_TEXT_H
#define KELDRIN_VERSION_TEXT_H

#include <stddef.h>

// "Version 1.04.01" (with " b<beta>" for a beta, and without ".<revision>" for revision 0).
void FormatShortVersionText(wchar_t *buffer, size_t units, unsigned int versionNumber, int versionRevision,
                            int betaNumber);

// "<product> Version 1.04.01 on <osName> (<releaseDate>)"; the parts after the
// version only where given.
void FormatLongVersionText(wchar_t *buffer, size_t units, const wchar_t *productName, unsigned int versionNumber,
                           int versionRevision, int betaNumber, const wchar_t *osName, const wchar_t *releaseDate);

#endif
