// Format strings come from a resource module, which is outside the program. A
// conversion that does not match the arguments passed (a %s where a number
// goes, a %n, one conversion too many) would read or write memory at random,
// so every format from a module is checked before it is used.
#ifndef KELDRIN_FORMAT_CHECK_H
#define KELDRIN_FORMAT_CHECK_H

// True when format's conversions are exactly those of expected, in order:
// one letter per argument, 'd' for a 32-bit integer and 's' for a wide string
// (e.g. "ssdd"). Literal %% is allowed anywhere. A null format never matches.
bool FormatMatches(const wchar_t *format, const char *expected);

#endif
