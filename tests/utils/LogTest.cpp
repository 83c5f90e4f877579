#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>

#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace {

struct Widget {
    void Report(const wchar_t* text) { QLOG(L"text=%s n=%d\r\n", text, 42); }
};

std::string g_captured;

void CaptureLine(std::wstring_view line) { g_captured += Utils::ToUtf8(line) + "\n"; }

// The lines `f` logs, as UTF-8, each followed by "\n". The sink replaces the system's channel
// (standard error or the debugger output), so the same text is checked on every system.
std::string Capture(const std::function<void()>& f) {
    g_captured.clear();
    Utils::SetLogSink(&CaptureLine);
    f();
    Utils::SetLogSink(nullptr);
    return g_captured;
}

}  // namespace

TEST(Log_Prefix, HasProcessThreadTimeFunctionAndLine) {
    const std::string out = Capture([] { Widget().Report(L"hello"); });
    const std::regex re(R"(^<P\d{5,}><T\d{5,}><\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}>\(\{anonymous\}::Widget::Report\)<\d{4,}>: text=hello n=42\n$)");
    EXPECT_TRUE(std::regex_match(out, re)) << out;
}

TEST(Log_Prefix, PadsIdentifiersAndLineNumbers) {
    using Utils::OutputLog;
    const std::string out = Capture([] {
        OutputLog(Utils::detail::kPrefix, 123, 1234567, 2026, 1, 2, 3, 4, 5, 6, L"F", 35);
    });
    EXPECT_EQ(out, "<P00123><T1234567><2026-01-02 03:04:05.006>(F)<0035>: \n");
}

TEST(Log_Arguments, WideTextPrintsRightAndPercentInArgumentsIsLiteral) {
    const std::string out = Capture([] { QLOG(L"[%s][%S]\r\n", L"安装 100%d %s", "narrow"); });
    EXPECT_NE(out.find("[安装 100%d %s][narrow]\n"), std::string::npos) << out;
}

TEST(Log_Arguments, NarrowTextIsDecodedAsFarAsItCanBeAndTheLineIsAlwaysWritten) {
    // The test program runs in the "C" locale, where the system's wide printf cannot decode
    // any non-ASCII narrow text: the line must come out all the same.
    const std::string out = Capture([] {
        QLOG(L"path=%S|\r\n", "/opt/Quorvex \xE5\xAE\x89\xE8\xA3\x85");  // UTF-8
        QLOG(L"latin1=%S|%s|%d\r\n", "caf\xE9", L"w", 7);                   // not UTF-8
        char mutableText[] = "m\xFF";
        QLOG(L"null=%S|%hs|%C|%S\r\n", static_cast<const char*>(nullptr), "h", 'c', mutableText);
    });
    EXPECT_NE(out.find("path=/opt/Quorvex 安装|\n"), std::string::npos) << out;
    EXPECT_NE(out.find("latin1=caf\xEF\xBF\xBD|w|7\n"), std::string::npos) << out;
    EXPECT_NE(out.find("null=(null)|h|c|m\xEF\xBF\xBD\n"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
}

TEST(Log_Lines, EveryStatementIsExactlyOneLine) {
    const std::string out = Capture([] {
        QLOG(L"GetConnectivity %d", 0);
        QLOG(L"two\r\n");
    });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_EQ(out.find('\r'), std::string::npos);
}

TEST(Log_Lines, LongLinesAreNotCut) {
    const std::wstring big(100000, L'x');
    const std::string out = Capture([&] { QLOG(L"%s\r\n", big.c_str()); });
    EXPECT_NE(out.find(std::string(100000, 'x') + "\n"), std::string::npos);
}

TEST(Log_Format, TranslatesWindowsStringConversions) {
    using Utils::detail::TranslateFormat;
    EXPECT_EQ(TranslateFormat(L"%s %S %c %C %ls %hs %5s %-3d %% %%s %.*s %ld %hhu"),
              L"%ls %ls %lc %lc %ls %ls %5ls %-3d %% %%s %.*ls %ld %hhu");
}

TEST(Log_Function, QualifiedNamesAsTheCompilerSpellsThem) {
    using Utils::detail::QualifiedFunctionName;
    EXPECT_EQ(QualifiedFunctionName("void CDownloadInstaller::Start(int)"), L"CDownloadInstaller::Start");
    EXPECT_EQ(QualifiedFunctionName("static void* Utils::Thread::CallBack(void*)"), L"Utils::Thread::CallBack");
    EXPECT_EQ(QualifiedFunctionName("std::map<int, std::basic_string<char> > A::B::f(int)"), L"A::B::f");
    EXPECT_EQ(QualifiedFunctionName("int main()"), L"main");
    EXPECT_EQ(QualifiedFunctionName("void X::operator()(int)"), L"X::operator()");
}
