// The crash handler in a real process: the helper crashes in the ways a Windows program can
// die, with the installer's handler and marker armed.
#include <gtest/gtest.h>

#include <thread>

#include "app/CrashHandler.h"
#include "app/CrashMarker.h"
#include "tests/app/TestChild_win32.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Quoted;
using testsupport::RuntimePath;
using testsupport::TestChild;

constexpr DWORD kAccessViolation = 0xC0000005;
constexpr DWORD kNotCrashed = 5;              // the helper's code for "went on after the fault"
constexpr DWORD kAbortExit = 3;             // the C runtime's exit status after abort()
constexpr DWORD kAbortMarkerCode = 0x40000015;  // what the handler records for abort()

struct CrashRun {
    std::optional<DWORD> exitCode;
    std::string marker;
    std::string output;
};

CrashRun Crash(const std::wstring& kind, const std::filesystem::path& marker) {
    TestChild child(Quoted(RuntimePath(APP_TEST_CHILD)) + L" crash " + kind + L" " + Quoted(marker.wstring()));
    CrashRun run;
    run.exitCode = child.Wait(60s);  // nothing: the crashed process hung
    run.output = child.Output();
    std::error_code ec;
    if (std::filesystem::exists(marker, ec)) run.marker = testsupport::ReadFile(marker);
    return run;
}

std::string MarkerText(DWORD code) {
    char text[32];
    std::snprintf(text, sizeof text, "exception 0x%08lX\n", static_cast<unsigned long>(code));
    return text;
}

}  // namespace

TEST(CrashHandler_Exceptions, EachFatalFaultLeavesTheMarkerOnceAndEndsWithTheSystemsCode) {
    struct Case {
        const wchar_t* kind;
        DWORD exitCode;
        DWORD markerCode;
    };
    // (A stack overflow on a worker, "worker-overflow", is left out: wine ends only the
    // thread, without the filter, where Windows runs it on the stack SetThreadStackGuarantee
    // keeps back.)
    for (const Case& c : {Case{L"main-av", kAccessViolation, kAccessViolation},
                          Case{L"worker-av", kAccessViolation, kAccessViolation},
                          Case{L"abort", kAbortExit, kAbortMarkerCode}}) {
        testsupport::TempDir dir;
        const auto marker = dir / "state/VarNelSoft/Quorvex_Installer.crash";
        const CrashRun run = Crash(c.kind, marker);
        const std::string label = std::string(c.kind, c.kind + wcslen(c.kind));
        ASSERT_TRUE(run.exitCode.has_value()) << label << ": the crashed child hung";
        EXPECT_EQ(*run.exitCode, c.exitCode) << label << " " << run.output;
        EXPECT_EQ(run.marker, MarkerText(c.markerCode)) << label;
        // The next start reads the code back, once.
        EXPECT_EQ(CrashMarker(marker).Take(), static_cast<int>(c.markerCode)) << label;
        EXPECT_FALSE(std::filesystem::exists(marker)) << label;
    }
}

TEST(CrashHandler_Exceptions, AFaultInsideTheReporterEndsTheProcessInsteadOfLooping) {
    testsupport::TempDir dir;
    const CrashRun run = Crash(L"reporter-crash", dir / "m.crash");
    ASSERT_TRUE(run.exitCode.has_value()) << "the crashed child hung";
    EXPECT_NE(*run.exitCode, kNotCrashed);
    EXPECT_EQ(run.marker, "");
}

TEST(CrashReporter_Exceptions, TheReporterStartsAtTheCrashWithTheCrashedRunsArgumentsAfterTheMarkerIsWritten) {
    for (const wchar_t* kind : {L"worker-av", L"abort"}) {
        testsupport::TempDir dir;
        const auto marker = dir / "state/VarNelSoft/Quorvex_Installer.crash";
        const std::string label(kind, kind + wcslen(kind));
        TestChild child(Quoted(RuntimePath(APP_TEST_CHILD)) + L" crash-report " + kind + L" " + Quoted(marker.wstring()));
        const auto exitCode = child.Wait(60s);
        ASSERT_TRUE(exitCode.has_value()) << label << ": the crashed child hung";
        EXPECT_NE(*exitCode, kNotCrashed) << label;
        auto reported = std::filesystem::path(marker.wstring() + L".reported");
        for (int i = 0; i < 100 && !std::filesystem::exists(reported); ++i) std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(std::filesystem::exists(reported)) << label << " " << child.Output();
        const std::string markerText = label == "abort" ? MarkerText(kAbortMarkerCode) : MarkerText(kAccessViolation);
        EXPECT_EQ(testsupport::ReadFile(reported),
                  markerText + "-report-crash\ncrash-report\n" + label + "\n" + marker.string() + "\n")
            << label;
    }
}

TEST(CrashHandler_Describe, NamesTheExceptionCodeInHexadecimal) {
    EXPECT_EQ(CrashHandler::Describe(static_cast<int>(kAccessViolation)), L"exception 0xC0000005");
}

TEST(ProcessHardening_Dlls, ALibraryInTheCurrentFolderIsNotFoundByNameAfterHardening) {
    // A planted copy in the folder the installer runs from (Downloads, typically) must not be
    // loaded when code asks for a system library by its bare name.
    testsupport::TempDir dir;
    dir.Write("qvplanted.dll", "not a library, but found if the folder were searched");
    TestChild probe(Quoted(RuntimePath(APP_TEST_CHILD)) + L" harden-probe qvplanted.dll", dir.path().wstring());
    ASSERT_TRUE(probe.Wait(60s).has_value());
    // Not found at all (126), rather than found and refused as no library (193).
    EXPECT_EQ(probe.Output().substr(0, probe.Output().find_first_of("\r\n")), "error " + std::to_string(ERROR_MOD_NOT_FOUND))
        << probe.Output();
}
