// The real installer as a person meets it in a terminal: the usage and version options, the
// quiet unattended output, and the trace in its log file.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <sys/stat.h>

#include "tests/install/UnattendedHarness.h"

namespace {

namespace fs = std::filesystem;
using installtest::Launch;
using installtest::Result;

unsigned Mode(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFF;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class TraceOutputTest : public installtest::UnattendedTest {
protected:
    fs::path StateFolder() const { return tmp / "home" / ".local" / "state" / "VarNelSoft"; }
    fs::path DefaultLog() const { return StateFolder() / "Quorvex_Installer.log"; }

    // A run as a person starts it: the trace is not asked for on standard error.
    Result Quiet(std::vector<std::string> args, std::vector<std::string> env = {}) {
        env.push_back("QV_TRACE=");
        return Run(Launch{std::move(args), std::move(env)});
    }
};

TEST_F(TraceOutputTest, HelpAndVersionPrintAndStartNothing) {
    const std::string lock = (tmp / "runtime" / "D1A547DB89C0BC61_Installer_Quorvex").string();
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: quorvex-installer"},
        {{"-h"}, "Usage: quorvex-installer"},
        {{"-?"}, "Usage: quorvex-installer"},
        {{"-silent", "-installdir=" + (tmp / "never").string(), "--help"}, "Usage: quorvex-installer"},
        {{"--version"}, "Quorvex 1.1.0 (installer "},
    };
    for (const Case& c : cases) {
        const Result r = Quiet(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args.back() << r.err;
        EXPECT_EQ(r.out.rfind(c.expected, 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(fs::exists(lock)) << c.args.back();
        EXPECT_FALSE(fs::exists(tmp / "never"));
        EXPECT_FALSE(fs::exists(StateFolder())) << "no log for " << c.args.back();
    }
    const std::string usage = Quiet({"--help"}).out;
    for (const char* option : {"-downloadurl=", "-downloadtype=", "-downloadscale=", "-ischecknet=", "-isenableappanalytics=",
                               "-dlappnamesuffix=", "-dlappversion=", "-instcmd=", "-downloadsha256=", "-silent",
                               "-installdir=", "-log=", "--version", "255", "128+N"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_NE(usage.find("Diagnostic trace: " + DefaultLog().string()), std::string::npos) << usage;
    EXPECT_TRUE(std::regex_search(Quiet({"--version"}).out, std::regex(R"(^Quorvex \d+\.\d+\.\d+ \(installer \d+\.\d+\.\d+\)\n$)")));
    EXPECT_TRUE(Identities().empty());  // no tracker was created
    if (collecting) {
        EXPECT_TRUE(collector.Records().empty());
    }
}

TEST_F(TraceOutputTest, AnUnattendedInstallPrintsOnlyItsProgressAndTheTraceGoesToTheLog) {
    const fs::path folder = tmp / "Pelmora";
    const Result r = Quiet(InstallArgs(folder));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines.front(), "installing Quorvex into " + folder.string());
    EXPECT_EQ(lines.back(), "installed: " + folder.string());
    const std::regex progress(R"(progress \d{1,3}%( download \d+\.\d\d MiB/s)?)");
    for (size_t i = 1; i + 1 < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], progress)) << lines[i];
    EXPECT_EQ(lines[lines.size() - 2], "progress 100%");

    const std::string trace = testsupport::ReadFile(DefaultLog());
    EXPECT_NE(trace.find("(RunInstaller)"), std::string::npos) << trace;
    EXPECT_NE(trace.find(": DL_CODE_START"), std::string::npos) << trace;
    EXPECT_EQ(Mode(DefaultLog()), 0600u);
    EXPECT_EQ(Mode(StateFolder()), 0700u);
}

TEST_F(TraceOutputTest, AFailureNamesTheLogAndTheTraceIsOnStandardErrorWhenAsked) {
    const Result failed = Quiet(InstallArgs(tmp / "Pelmora", "", "missing.exe"));
    EXPECT_EQ(failed.exitCode, 7) << failed.err;
    const std::vector<std::string> lines = Lines(failed.err);
    ASSERT_EQ(lines.size(), 2u) << failed.err;
    EXPECT_EQ(lines[0].rfind("quorvex-installer: download failed", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "quorvex-installer: the trace of this run is in " + DefaultLog().string());
    EXPECT_NE(testsupport::ReadFile(DefaultLog()).find("unattended install failed, exit code 7"), std::string::npos);

    // -verbose: the same trace on standard error as well.
    const Result verbose = Quiet({"-verbose", "-isenableappanalytics=false"});
    EXPECT_EQ(verbose.exitCode, 1);
    EXPECT_NE(verbose.err.find("(RunInstaller)"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("no display found"), std::string::npos) << verbose.err;
}

TEST_F(TraceOutputTest, EachRunTurnsTheLogOverAndALinkThereIsNotFollowed) {
    fs::create_directories(StateFolder());
    const auto victim = tmp / "victim";
    { std::ofstream(victim) << "keep"; }
    fs::create_symlink(victim, DefaultLog());
    for (int run = 0; run < 4; ++run) EXPECT_EQ(Quiet({"-isenableappanalytics=false"}).exitCode, 1);
    EXPECT_EQ(testsupport::ReadFile(victim), "keep");
    for (const char* suffix : {"", ".1", ".2"}) {
        const fs::path log = fs::path(DefaultLog()) += suffix;
        EXPECT_FALSE(fs::is_symlink(log)) << suffix;
        const std::string trace = testsupport::ReadFile(log);
        EXPECT_NE(trace.find(": START "), std::string::npos) << suffix;
        EXPECT_EQ(trace.find(": START "), trace.rfind(": START ")) << "one run per file: " << suffix;
    }
    EXPECT_FALSE(fs::exists(fs::path(DefaultLog()) += ".3"));
}

TEST_F(TraceOutputTest, ANamedLogIsUsedAndALinkInItsPlaceIsRefused) {
    const auto named = tmp / "my.log";
    const Result r = Quiet({"-isenableappanalytics=false", "-log=" + named.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(testsupport::ReadFile(named).find("(RunInstaller)"), std::string::npos);
    EXPECT_EQ(Mode(named), 0600u);
    EXPECT_FALSE(fs::exists(DefaultLog()));

    const auto victim = tmp / "victim";
    { std::ofstream(victim) << "keep"; }
    const auto link = tmp / "link.log";
    fs::create_symlink(victim, link);
    const Result refused = Quiet({"-isenableappanalytics=false", "-log=" + link.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(testsupport::ReadFile(victim), "keep");
    EXPECT_NE(refused.err.find("cannot write the log \"" + link.string() + "\""), std::string::npos) << refused.err;
    EXPECT_NE(testsupport::ReadFile(DefaultLog()).find("(RunInstaller)"), std::string::npos);  // the default instead
}

}  // namespace
