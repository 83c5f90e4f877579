#include <gtest/gtest.h>

#include "utils/CommandLine.h"

using Utils::QuoteArgument;
using Utils::SplitCommandLine;
using Args = std::vector<std::wstring>;

struct SplitCase {
    const wchar_t* line;
    Args expected;
};

class CommandLine_Split : public testing::TestWithParam<SplitCase> {};

TEST_P(CommandLine_Split, FollowsTheSystemRules) {
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().expected) << testing::PrintToString(GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLine_Split,
    testing::Values(
        // program name: quoted or to the first blank, backslashes literal
        SplitCase{L"", {}},
        SplitCase{L"prog", {L"prog"}},
        SplitCase{L"\"C:\\Program Files\\a.exe\" x", {L"C:\\Program Files\\a.exe", L"x"}},
        SplitCase{L"C:\\dir\\\"a b", {L"C:\\dir\\\"a", L"b"}},
        SplitCase{L"\"unterminated name", {L"unterminated name"}},
        // blanks and tabs separate; runs of them count once; trailing blanks add nothing
        SplitCase{L"p a\t\tb   c  ", {L"p", L"a", L"b", L"c"}},
        // quotes group and are removed
        SplitCase{L"p \"a b\" c", {L"p", L"a b", L"c"}},
        SplitCase{L"p -instcmd=\"/S /V\"", {L"p", L"-instcmd=/S /V"}},
        SplitCase{L"p \"-instcmd=/S /V\"", {L"p", L"-instcmd=/S /V"}},
        // empty arguments survive
        SplitCase{L"p \"\" x", {L"p", L"", L"x"}},
        SplitCase{L"p \"\"", {L"p", L""}},
        // backslash runs
        SplitCase{L"p a\\\\b", {L"p", L"a\\\\b"}},
        SplitCase{L"p a\\\"b", {L"p", L"a\"b"}},
        SplitCase{L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
        SplitCase{L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
        SplitCase{L"p \"a\\\\\"", {L"p", L"a\\"}},
        SplitCase{L"p C:\\dir\\", {L"p", L"C:\\dir\\"}},
        // doubled quotes inside quotes
        SplitCase{L"p \"a\"\"b\"", {L"p", L"a\"b"}},
        SplitCase{L"p \"\"\"a\"\"\"", {L"p", L"\"a\""}},
        // the package's folder argument arrives in pieces when it holds blanks
        SplitCase{L"pkg /S /D=C:\\My Apps\\Quorvex", {L"pkg", L"/S", L"/D=C:\\My", L"Apps\\Quorvex"}}));

TEST(CommandLine_Quote, QuotedArgumentsSplitBackUnchanged) {
    const Args samples = {L"plain", L"", L"a b", L"tab\there", L"q\"uote", L"ends\\", L"both \\\"", L"\\\\server\\share x",
                          L"中文 路径"};
    std::wstring line = L"prog";
    for (const auto& s : samples) line += L" " + QuoteArgument(s);
    Args expected = {L"prog"};
    expected.insert(expected.end(), samples.begin(), samples.end());
    EXPECT_EQ(SplitCommandLine(line), expected);
}
