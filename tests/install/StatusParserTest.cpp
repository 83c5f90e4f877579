// The status-line protocol: cutting output into lines and reading the keys.
#include <gtest/gtest.h>

#include "install/InstallCodes.h"
#include "install/PackageStatusParser.h"
#include "install/StatusLineBuffer.h"
#include "install/UninstallStatusParser.h"
#include "tests/install/EventRecorder.h"

using installtest::EventRecorder;

namespace {

std::vector<std::string> Cut(const std::vector<std::string>& reads, bool finish = true) {
    StatusLineBuffer buffer;
    std::vector<std::string> lines;
    const auto onLine = [&](std::string_view line) { lines.emplace_back(line); };
    for (const auto& r : reads) buffer.Feed(r, onLine);
    if (finish) buffer.Finish(onLine);
    return lines;
}

}  // namespace

TEST(StatusLineBuffer_Lines, PiecesAreJoinedAndLineEndsRemoved) {
    EXPECT_EQ(Cut({"Prog", "ress=0.5\r\nInstPa", "th=/a b\n", "State=Succ", "ess"}),
              (std::vector<std::string>{"Progress=0.5", "InstPath=/a b", "State=Success"}));
    EXPECT_EQ(Cut({"a\n\nb\n"}), (std::vector<std::string>{"a", "", "b"}));
    // Without the end of output a partial line stays pending.
    EXPECT_EQ(Cut({"done\npartial"}, false), (std::vector<std::string>{"done"}));
    // A multi-byte character cut by a read is whole again in its line.
    const std::string text = "Message=中文\n";
    EXPECT_EQ(Cut({text.substr(0, 10), text.substr(10)}), (std::vector<std::string>{"Message=中文"}));
}

TEST(StatusLineBuffer_Lines, OverlongLinesAreCutWithoutLosingTheNextLine) {
    const std::string huge(StatusLineBuffer::kMaxLineBytes * 3, 'x');
    const auto lines = Cut({"Message=", huge.substr(0, 5000), huge.substr(5000), "\nState=Success\n"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), StatusLineBuffer::kMaxLineBytes);
    EXPECT_EQ(lines[1], "State=Success");
}

TEST(PackageStatusParser_Keys, EachKeyRaisesItsEvent) {
    EventRecorder ev;
    PackageStatusParser parser;
    const auto cb = ev.Callback();
    for (const wchar_t* line :
         {L"Progress=0.25", L"Progress=abc", L"Progress=nan", L"progress=0.9", L"InstPath=/opt/P", L"ExePath=/opt/P/c.exe",
          L"StartExe=/s", L"UninstExePath=/u1", L"UninstExe=/u2", L"UninstEp=/opt/P/uninst.ep", L"StartUrl=https://x.y",
          L"StartupStyle= AutoStartup ", L"StartupStyle=Whatever", L"TopShowDetention=-1", L"FinsihCloseDetention=1500x",
          L"Message=你好", L"InstallVersion=3.14.159", L"noise", L"State=success", L"State=Maybe"})
        EXPECT_EQ(parser.ParseLine(line, cb), PackageStatusParser::kNoFinalState) << line;
    const std::vector<std::pair<int, double>> expected = {
        {2002, 0.25}, {2002, 0}, {2002, 0}, {3000, 0}, {3001, 0}, {3001, 0}, {3002, 0}, {3002, 0}, {3003, 0},
        {3004, 0},    {3005, 1}, {3005, 0}, {3007, 4294967295.0}, {3008, 1500}, {3009, 0}};
    const auto events = ev.Events();
    ASSERT_EQ(events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i].code, expected[i].first) << i;
        EXPECT_EQ(events[i].value, expected[i].second) << i;
    }
    EXPECT_EQ(events[3].text, L"/opt/P");
    EXPECT_EQ(events[8].text, L"/opt/P/uninst.ep");
    EXPECT_EQ(events[14].text, L"你好");
    EXPECT_EQ(parser.InstalledVersion(), (std::array<int, 3>{3, 14, 159}));
}

TEST(PackageStatusParser_Keys, FinalStatesAndValueLimits) {
    EventRecorder ev;
    PackageStatusParser parser;
    EXPECT_EQ(parser.ParseLine(L"State=  Success\t", ev.Callback()), PackageStatusParser::kFinalSuccess);
    EXPECT_EQ(parser.ParseLine(L"State=Fail", ev.Callback()), PackageStatusParser::kFinalFailure);
    EXPECT_EQ(parser.ParseLine(L"Error=", ev.Callback()), PackageStatusParser::kFinalFailure);
    const auto events = ev.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].code, INSTALL_SUCCESS);
    EXPECT_EQ(events[1].code, IST_CODE_FAIL);
    EXPECT_EQ(events[1].text, L"Install failed");
    EXPECT_EQ(events[2].value, 1000.0);
    EXPECT_EQ(events[2].text, L"");

    ev.Clear();
    parser.ParseLine(L"Message=" + std::wstring(900, L'm'), ev.Callback());
    EXPECT_EQ(ev.Events()[0].text.size(), PackageStatusParser::kMaxValueChars);
}

TEST(PackageStatusParser_Encode, SelectsTheCodePageForLaterLines) {
    EventRecorder ev;
    PackageStatusParser parser;
    parser.ParseLine(L"Encode=UTF8", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 65001u);
    parser.ParseRawLine("Message=\xe4\xb8\xad", ev.Callback());  // UTF-8
    parser.ParseLine(L"Encode= 936 ", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 936u);
    parser.ParseRawLine("Message=\xd6\xd0", ev.Callback());  // GBK
    parser.ParseLine(L"Encode=letters", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 0u);
    parser.ParseLine(L"Encode=UTF8", ev.Callback());
    parser.ParseLine(L"Encode=ACP", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 0u);
    // The named code page with blanks around it (a number would survive them anyway).
    parser.ParseLine(L"Encode= UTF8 ", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 65001u);
    parser.ParseLine(L"Encode=ACP", ev.Callback());
    const auto events = ev.Only(PKG_CODE_MESSAGE);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].text, L"中");
    EXPECT_EQ(events[1].text, L"中");
    // Undecodable in the current code page: ignored.
    parser.ParseLine(L"Encode=UTF8", ev.Callback());
    EXPECT_EQ(parser.ParseRawLine("State=Fail\xff", ev.Callback()), PackageStatusParser::kNoFinalState);
}

TEST(UninstallStatusParser_Keys, FourKeysAndTheirFinalStates) {
    EventRecorder ev;
    UninstallStatusParser parser;
    EXPECT_EQ(parser.ParseLine(L"Progress=0.5", ev.Callback()), 0);
    EXPECT_EQ(parser.ParseLine(L"InstPath=/x", ev.Callback()), 0);
    EXPECT_EQ(parser.ParseLine(L"State=Other", ev.Callback()), 0);
    parser.ParseLine(L"Encode=UTF8", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 65001u);
    parser.ParseLine(L"Encode=936", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 0u);
    parser.ParseLine(L"Encode= UTF8 ", ev.Callback());
    EXPECT_EQ(parser.CodePage(), 65001u);
    EXPECT_EQ(parser.ParseLine(L"State= Success", ev.Callback()), UninstallStatusParser::kFinalSuccess);
    EXPECT_EQ(parser.ParseLine(L"State=Fail", ev.Callback()), UninstallStatusParser::kFinalFailure);
    EXPECT_EQ(parser.ParseLine(L"Error=busy", ev.Callback()), UninstallStatusParser::kFinalFailure);
    const auto events = ev.Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].code, UNIST_CODE_PROGRESS);
    EXPECT_EQ(events[0].value, 0.5);
    EXPECT_EQ(events[1].code, UNIST_CODE_SUCCESS);
    EXPECT_EQ(events[2].code, UNIST_CODE_ERROR);
    EXPECT_EQ(events[2].text, L"安装包卸载失败");
    EXPECT_EQ(events[3].code, UNIST_CODE_ERROR);
    EXPECT_EQ(events[3].text, L"busy");
}
