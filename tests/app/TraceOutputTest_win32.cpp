// The real installer as a person meets it from a console: the usage and version options on
// the streams it inherits, and an unattended failure that names its log instead of printing
// the trace.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/app/TestChild_win32.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Quoted;
using testsupport::RuntimePath;
using testsupport::TestChild;

std::wstring Installer() { return Quoted(RuntimePath(INSTALLER_EXE)); }

TEST(TraceOutput_Help, UsageAndVersionGoToTheInheritedStreamsAndExitZero) {
    struct Case {
        const wchar_t* option;
        const char* start;
    };
    for (const Case& c : {Case{L"--help", "Usage: quorvex-installer"}, Case{L"-h", "Usage: quorvex-installer"},
                          Case{L"-?", "Usage: quorvex-installer"}, Case{L"--version", "Quorvex "}}) {
        TestChild run(Installer() + L" -silent " + c.option);
        ASSERT_TRUE(run.Started()) << ::GetLastError();
        EXPECT_EQ(run.Wait(60s), 0u);
        EXPECT_EQ(run.Output().rfind(c.start, 0), 0u) << run.Output();
        EXPECT_EQ(run.Output().find("<P"), std::string::npos) << run.Output();  // no trace line
    }
    TestChild help(Installer() + L" --help");
    ASSERT_EQ(help.Wait(60s), 0u);
    EXPECT_NE(help.Output().find("Diagnostic trace: "), std::string::npos);
    EXPECT_NE(help.Output().find("\\VarNelSoft\\Quorvex_Installer.log"), std::string::npos) << help.Output();
}

TEST(TraceOutput_Unattended, AFailurePrintsItsLinesAndTheLogNotTheTrace) {
    testsupport::TempDir dir;
    const auto inTheWay = dir.Write("file", "x");
    TestChild run(Installer() + L" -silent -isenableappanalytics=false " +
                  Quoted(L"-installdir=" + (inTheWay / "sub").wstring()));
    ASSERT_TRUE(run.Started()) << ::GetLastError();
    EXPECT_EQ(run.Wait(60s), 2u) << run.Output();
    const std::string out = run.Output();
    EXPECT_EQ(out.find("<P"), std::string::npos) << out;
    const std::string named = "quorvex-installer: the trace of this run is in ";
    const size_t at = out.find(named);
    ASSERT_NE(at, std::string::npos) << out;
    std::string log = out.substr(at + named.size());
    log = log.substr(0, log.find_first_of("\r\n"));
    EXPECT_NE(log.find("\\VarNelSoft\\Quorvex_Installer.log"), std::string::npos) << log;
    std::ifstream in(std::filesystem::path(std::wstring(log.begin(), log.end())), std::ios::binary);
    const std::string trace(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(trace.find("(RunInstaller)"), std::string::npos) << trace.substr(0, 400);
}

}  // namespace
