// The Windows sample package (Quorvex_setup.exe) as the installer uses it: the package command
// line and status lines, the product it installs, its shortcuts, and its uninstaller's
// command line and status lines; everything in the test's own folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/app/TestChild_win32.h"
#include "tests/support/TempDir.h"
#include <objbase.h>
#include <shobjidl.h>

namespace {

using namespace std::chrono_literals;
using testsupport::Quoted;
using testsupport::RuntimePath;
using testsupport::TestChild;
namespace fs = std::filesystem;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// An environment variable of this process (and so of the children it starts) for one scope.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
};

// The test's folders: the install folder (a blank and a letter outside ASCII, as a user's
// folder may have) and the two shortcut folders the package is pointed at.
struct Layout {
    testsupport::TempDir root;
    fs::path folder = root.path() / L"Pelmora Ü";
    fs::path programs = root.path() / L"Programs";
    fs::path desktop = root.path() / L"Desktop";
    ScopedVariable programsVariable{L"QV_SAMPLE_PROGRAMS_DIR", programs.wstring()};
    ScopedVariable desktopVariable{L"QV_SAMPLE_DESKTOP_DIR", desktop.wstring()};
};

struct ChildRun {
    std::optional<DWORD> exitCode;
    std::string output;
};

ChildRun Install(const Layout& layout, bool desktopIcon, const std::wstring& switches = L"") {
    const std::wstring folder = layout.folder.wstring();
    std::wstring commandLine = Quoted(RuntimePath(SAMPLE_PACKAGE)) +
                               L" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=" +
                               (desktopIcon ? L"true" : L"false") + L" -ssc=true";
    if (!switches.empty()) commandLine += L" " + switches;
    commandLine += L" -inslang=\"en-US\" -instdir=\"" + folder + L"\" /D=" + folder;
    TestChild package(commandLine);
    ChildRun run;
    run.exitCode = package.Wait(60s);
    run.output = package.Output();
    return run;
}

// Runs the kept uninstaller the way the installer does: from a copy with an ".exe" name, the
// install folder unquoted at the end of the line.
ChildRun Uninstall(const Layout& layout) {
    const fs::path copy = layout.root.path() / L"Pelmora_un_asa.exe";
    std::error_code ec;
    fs::copy_file(layout.folder / L"uninst.ep", copy, fs::copy_options::overwrite_existing, ec);
    TestChild uninstaller(copy.wstring() + L" /S -adminact=true -authorizationact=true -console=show _?=" +
                          layout.folder.wstring());
    ChildRun run;
    run.exitCode = uninstaller.Wait(60s);
    run.output = uninstaller.Output();
    return run;
}

// The target of a shell link file; empty when it cannot be read.
std::wstring LinkTarget(const fs::path& link) {
    std::wstring target;
    IShellLinkW* shellLink = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
                SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
                target = path;
            file->Release();
        }
        shellLink->Release();
    }
    return target;
}

// Writes a shell link to `target` at `link` (someone else's shortcut).
bool WriteLink(const fs::path& link, const fs::path& target) {
    bool ok = false;
    IShellLinkW* shellLink = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->SetPath(target.c_str())) &&
            SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            ok = SUCCEEDED(file->Save(link.c_str(), TRUE));
            file->Release();
        }
        shellLink->Release();
    }
    return ok;
}

class SamplePackage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};

}  // namespace

TEST_F(SamplePackage, InstallsTheProductWithBothShortcutsAndTheUninstallerRemovesAllOfIt) {
    Layout layout;
    const ChildRun install = Install(layout, true);
    ASSERT_EQ(install.exitCode, 0u) << install.output;
    const std::string folder = Utf8(layout.folder.wstring());
    for (const std::string& line :
         {std::string("Encode=UTF8\n"), std::string("Progress=0.05\n"), "InstPath=" + folder + "\n",
          "ExePath=" + folder + "\\compressor.exe\n", "UninstEp=" + folder + "\\uninst.ep\n",
          std::string("StartupStyle=UserStartup\n"), std::string("State=Success\n")})
        EXPECT_NE(install.output.find(line), std::string::npos) << line << " in:\n" << install.output;
    EXPECT_LT(install.output.find("Progress=1\n"), install.output.find("State=Success\n"));

    const fs::path product = layout.folder / L"compressor.exe";
    EXPECT_TRUE(fs::exists(product));
    EXPECT_TRUE(fs::exists(layout.folder / L"uninst.ep"));
    EXPECT_EQ(LinkTarget(layout.programs / L"Quorvex.lnk"), product.wstring());
    EXPECT_EQ(LinkTarget(layout.desktop / L"Quorvex.lnk"), product.wstring());

    const ChildRun uninstall = Uninstall(layout);
    ASSERT_EQ(uninstall.exitCode, 0u) << uninstall.output;
    EXPECT_NE(uninstall.output.find("State=Success\n"), std::string::npos) << uninstall.output;
    EXPECT_FALSE(fs::exists(layout.programs / L"Quorvex.lnk"));
    EXPECT_FALSE(fs::exists(layout.desktop / L"Quorvex.lnk"));
    EXPECT_FALSE(fs::exists(layout.folder)) << "the emptied folder goes too";
}

TEST_F(SamplePackage, WithoutTheDesktopIconOnlyTheMenuShortcutAndTheUninstallerLeavesOthersShortcuts) {
    Layout layout;
    ASSERT_EQ(Install(layout, false).exitCode, 0u);
    EXPECT_TRUE(fs::exists(layout.programs / L"Quorvex.lnk"));
    EXPECT_FALSE(fs::exists(layout.desktop / L"Quorvex.lnk"));
    // A user's own file in the folder, and someone else's shortcut now where ours was.
    const fs::path kept = layout.folder / L"notes.txt";
    std::ofstream(kept) << "mine";
    const fs::path other = layout.root.path() / L"other.exe";
    std::ofstream(other) << "x";
    ASSERT_TRUE(fs::remove(layout.programs / L"Quorvex.lnk"));
    ASSERT_TRUE(WriteLink(layout.programs / L"Quorvex.lnk", other));

    const ChildRun uninstall = Uninstall(layout);
    ASSERT_EQ(uninstall.exitCode, 0u) << uninstall.output;
    EXPECT_EQ(LinkTarget(layout.programs / L"Quorvex.lnk"), other.wstring());
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_FALSE(fs::exists(layout.folder / L"compressor.exe"));
    EXPECT_FALSE(fs::exists(layout.folder / L"uninst.ep"));
}

TEST_F(SamplePackage, FailureSwitchesGiveTheFinalLinesTheInstallerTellsApart) {
    Layout layout;
    const ChildRun fail = Install(layout, false, L"--fail --delay=0");
    EXPECT_EQ(fail.exitCode, 0u);
    EXPECT_NE(fail.output.find("State=Fail\n"), std::string::npos) << fail.output;
    EXPECT_FALSE(fs::exists(layout.folder / L"compressor.exe"));
    const ChildRun error = Install(layout, false, L"--error=broken --exit=3");
    EXPECT_EQ(error.exitCode, 3u);
    EXPECT_NE(error.output.find("Error=broken\n"), std::string::npos) << error.output;
    // Declared in code page 936, the text arrives in it.
    const ChildRun gbk = Install(layout, false, L"--encode=936 --message=\u4e2d\u6587");
    ASSERT_EQ(gbk.exitCode, 0u);
    EXPECT_NE(gbk.output.find("Encode=936\n"), std::string::npos);
    EXPECT_NE(gbk.output.find("Message=\xd6\xd0\xce\xc4\n"), std::string::npos) << gbk.output;
}

TEST_F(SamplePackage, TheInstalledProductCompressesAndRestoresAFile) {
    Layout layout;
    ASSERT_EQ(Install(layout, false).exitCode, 0u);
    const fs::path file = layout.root.path() / L"data ü.txt";
    std::string content;
    for (int i = 0; i < 20000; ++i) content += "line " + std::to_string(i) + "\n";
    std::ofstream(file, std::ios::binary) << content;
    const std::wstring product = Quoted((layout.folder / L"compressor.exe").wstring());
    TestChild compress(product + L" " + Quoted(file.wstring()));
    ASSERT_EQ(compress.Wait(60s), 0u) << compress.Output();
    const fs::path packed = file.wstring() + L".gz";
    ASSERT_TRUE(fs::exists(packed));
    EXPECT_LT(fs::file_size(packed), content.size() / 3);
    fs::remove(file);
    TestChild restore(product + L" -d " + Quoted(packed.wstring()));
    ASSERT_EQ(restore.Wait(60s), 0u) << restore.Output();
    EXPECT_EQ(testsupport::ReadFile(file), content);
}
