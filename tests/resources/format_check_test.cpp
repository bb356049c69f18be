// Format strings from a resource module are used only when their conversions
// are exactly the arguments the program passes. Each refused case below is one
// that would make swprintf_s read a wrong argument, write memory (%n) or stop
// the process in the invalid-parameter handler.
#include <gtest/gtest.h>

#include "resources/format_check.h"

namespace {

struct FormatCase {
    const wchar_t *format;
    const char *arguments;
};

}  // namespace

TEST(FormatMatches, AcceptsFormatsThatTakeExactlyTheArgumentsGiven)
{
    const FormatCase accepted[] = {
        {L"%ld:%02ld", "dd"},
        {L"%ls %ls %ld", "ssd"},
        {L"%ls %ls %ld\x5206%ld\x79D2\x5F8C", "ssdd"},  // the shortcut name of the Japanese module
        {L"%%%ld%%", "d"},
        {L"%-5ld", "d"},
        {L"%d and %i", "dd"},
        {L"%+08.3ld", "d"},
        {L"%s", "s"},     // wide in the run-time's wide formats
        {L"%ws", "s"},
        {L"%-20.5ls", "s"},
        {L"no conversions at all, 100%%", ""},
        {L"", ""},
    };
    for (const FormatCase &c : accepted)
        EXPECT_TRUE(FormatMatches(c.format, c.arguments)) << "format \"" << c.format << "\" for " << c.arguments;
}

TEST(FormatMatches, RefusesMissingExtraAndMisplacedArguments)
{
    const FormatCase refused[] = {
        {L"%ld", "dd"},         // one too few
        {L"", "d"},             // a missing string loads as empty
        {L"%ld %ld", "d"},      // one too many
        {L"%ld:%02ld", "d"},
        {L"%ls %ld", "ds"},     // right count, wrong order
        {L"%s", "d"},           // a string where a number goes
        {L"%ls", "d"},
        {L"%ld", "s"},          // a number where a string goes
        {L"%ls %ls %ld", "ssdd"},
    };
    for (const FormatCase &c : refused)
        EXPECT_FALSE(FormatMatches(c.format, c.arguments)) << "format \"" << c.format << "\" for " << c.arguments;
}

TEST(FormatMatches, RefusesConversionsTheProgramCannotSupplySafely)
{
    const wchar_t *refused[] = {
        L"%n",          // writes through an argument
        L"%ln",
        L"%*d",         // takes a width argument of its own
        L"%.*d",
        L"%lld",        // reads 64 bits where 32 are passed
        L"%I64d",
        L"%I32d",
        L"%hs",         // narrow string
        L"%S",          // string of the other width
        L"%hd",
        L"%c",
        L"%f",
        L"%p",
        L"%1$d",        // positional
        L"%wd",
        L"%",           // a lone percent sign at the end
        L"%ld%",
        L"%l",
        L"%5",
    };
    for (const wchar_t *format : refused) {
        EXPECT_FALSE(FormatMatches(format, "d")) << "format \"" << format << "\"";
        EXPECT_FALSE(FormatMatches(format, "s")) << "format \"" << format << "\"";
    }
}

TEST(FormatMatches, NullNeverMatches)
{
    EXPECT_FALSE(FormatMatches(nullptr, ""));
    EXPECT_FALSE(FormatMatches(nullptr, "d"));
    EXPECT_FALSE(FormatMatches(L"%ld", nullptr));
    EXPECT_FALSE(FormatMatches(L"", nullptr));
}
