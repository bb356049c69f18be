// Numbers as a user types them.
#ifndef KELDRIN_BASE_NUMBER_TEXT_H
#define KELDRIN_BASE_NUMBER_TEXT_H

// Whether text is one or more digits and nothing else: no sign, no blank, no
// other character. Full-width digits (U+FF10 to U+FF19), which a Japanese
// input method types, count as digits. *value gets the number, held at
// 2147483647.
bool ParseDigits(const wchar_t *text, int *value);

#endif
