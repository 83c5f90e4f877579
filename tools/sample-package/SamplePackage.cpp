// qv-sample-package (Quorvex_setup.exe on Windows): a silent package for the Quorvex installer.
// It installs a small working product (compressor.exe, a gzip file compressor) and its
// uninstaller ("uninst.ep") into the folder given after "/D=", writes the product's menu
// shortcut (and the desktop one with "-dsc=true"), and reports on standard output with the
// package status lines.
//
//   qv-sample-package "/S" -console=show -version=1.0.0 -adminact=true -authorizationact=false
//       -dsc=true -ssc=true [switches] -inslang="en-US" -instdir="<folder>" /D=<folder>
//
// Switches (the installer passes them through its InstCmd setting) steer every path of the
// installer's package runner:
//   --fail                 report "State=Fail" after some progress (nothing installed)
//   --error=TEXT           report "Error=TEXT" (nothing installed)
//   --encode=CP            declare "Encode=CP" first and write every later line in that code
//                          page (UTF8, ACP or a number such as 936); the default is UTF8,
//                          and "--encode=" declares nothing (the installer then reads the
//                          locale's charset)
//   --message=TEXT         report "Message=TEXT"
//   --startup=WORD         "StartupStyle=WORD" (default UserStartup)
//   --no-uninst-ep         leave out the "UninstEp=" line
//   --split                write the status lines in pieces with pauses between them
//   --flood=N              after the final line, write N more bytes (status-like lines too)
//   --flood-stderr=N       write N bytes to standard error before installing
//   --silent               install but print nothing
//   --crash                abort() before the final line
//   --exit=N               exit code (default 0)
//   --delay=MS             pause between progress steps (default 10)
//   --hold=MS              stay alive this long after the final line
//   --linger=S             leave a background process (sleep S) that keeps the output open
//   --uninstaller=MODE     how the installed uninstaller behaves later: success (default),
//                          fail, error, silent, acp, split, flood, hang
//   --hang                 print nothing and never end (with a sleeping child of its own that
//                          whatever stops the package must stop too)
//   --pids=FILE            write "<own pid> <child pid>" to FILE (with --hang)
//   --hang-after=progress  print the first progress line, then hang as --hang does
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/sample-package/Payload.h"
#include "tools/sample-package/SampleIo.h"
#include "tools/sample-package/SampleSystem.h"
#include "tools/sample-package/Shortcuts.h"

namespace fs = std::filesystem;

namespace {

struct Settings {
    std::string encode;
    bool silent = false;
    bool split = false;
};
Settings g;

// One status line in the declared code page; with --split in three pieces.
void Say(const std::string& utf8Line) {
    if (g.silent) return;
    const std::string bytes = sample::Encode(utf8Line, g.encode) + "\n";
    if (!g.split || bytes.size() < 4) {
        sample::WriteOut(bytes);
        return;
    }
    const size_t a = bytes.size() / 3, b = 2 * bytes.size() / 3;
    sample::WriteOut(bytes.substr(0, a));
    sample::Pause(40);
    sample::WriteOut(bytes.substr(a, b - a));
    sample::Pause(40);
    sample::WriteOut(bytes.substr(b));
}

bool WritePayload(const fs::path& target, const sample::PayloadBytes& payload) {
    return payload.data && payload.size > 0 && sample::WriteProgram(target, payload.data, payload.size);
}

bool WriteText(const fs::path& target, const std::string& text) {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) return false;
    // Readable by everyone, writable by the owner alone, whatever the creation mask.
    std::error_code ec;
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read, ec);
    return !ec;
}

// The menu shortcut, and the desktop one when "-dsc" is on; the list of written shortcuts joins
// the manifest so the uninstaller removes it with the rest.
std::string ShortcutsManifestLine(const std::string& folder, const std::string& dscOption) {
    const bool desktopIcon = dscOption == "true" || dscOption == "1";
    return sample::InstallShortcuts(folder, desktopIcon) + "\n";
}

void Flood(bool toError, long bytes) {
    const std::string chunk =
        "installing component 0123456789 abcdefghijklmnopqrstuvwxyz\nState=Fail\nError=late noise\n";
    for (long written = 0; written < bytes; written += static_cast<long>(chunk.size()))
        if (!(toError ? sample::WriteErr(chunk) : sample::WriteOut(chunk))) return;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = sample::Arguments(argc, argv);
    // The sleeping child this program starts of itself where the system has no "sleep".
    if (args.size() == 1 && args[0].rfind("--sleep=", 0) == 0) {
        sample::Pause(std::atoi(args[0].c_str() + 8) * 1000);
        return 0;
    }
    size_t folderArg = args.size();
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i].rfind("/D=", 0) == 0) folderArg = i;
    // Switches are looked for only before "/D=": the folder may contain anything.
    const auto opt = [&](const std::string& key, const std::string& fallback = "") {
        return sample::Option(args, key, fallback, folderArg);
    };
    const auto has = [&](const std::string& name) { return sample::HasSwitch(args, name, folderArg); };

    g.encode = opt("--encode", "UTF8");
    g.silent = has("--silent");
    g.split = has("--split");
    const int delay = std::atoi(opt("--delay", "10").c_str());
    const int exitCode = std::atoi(opt("--exit", "0").c_str());

    if (has("--hang")) sample::HangWithChild(opt("--pids"));
    if (!g.encode.empty() && !g.silent) sample::WriteOut("Encode=" + g.encode + "\n");
    if (const long n = std::atol(opt("--flood-stderr", "0").c_str()); n > 0) Flood(true, n);
    Say("Progress=0.05");
    if (opt("--hang-after") == "progress") sample::HangWithChild(opt("--pids"));

    std::string folder;
    if (!sample::TailAfter(args, "/D=", folder)) folder = opt("-instdir");
    if (folder.empty()) {
        Say("Error=no install folder given");
        return 3;
    }
    if (has("--fail")) {
        Say("Progress=0.3");
        sample::Pause(delay);
        Say("State=Fail");
        return exitCode;
    }
    if (const std::string error = opt("--error"); !error.empty()) {
        Say("Error=" + error);
        return exitCode;
    }

    const fs::path dir = sample::PathFromUtf8(folder);
    const bool folderMade = sample::CreateFolders(dir);
    const fs::path product = dir / "compressor.exe";
    const fs::path uninstaller = dir / "uninst.ep";
    if (!folderMade || !WritePayload(product, sample::ProductPayload())) {
        Say("Error=cannot write " + sample::PathToUtf8(product));
        return 4;
    }
    Say("Progress=0.4");
    sample::Pause(delay);
    if (!WritePayload(uninstaller, sample::UninstallerPayload())) {
        Say("Error=cannot write " + sample::PathToUtf8(uninstaller));
        return 4;
    }
    Say("Progress=0.6");
    sample::Pause(delay);
    std::string manifest = "compressor.exe\nuninst.ep\nREADME.txt\ninstall.manifest\n";
    WriteText(dir / "README.txt",
              "Quorvex (sample product)\nUsage: compressor.exe FILE | compressor.exe -d FILE.gz\n"
              "Language: " + opt("-inslang") + "\nDesktop icon: " + opt("-dsc") + "\nTaskbar pin: " + opt("-ssc") + "\n");
    if (const std::string mode = opt("--uninstaller"); !mode.empty()) {
        WriteText(dir / "uninst.mode", mode + "\n");
        manifest += "uninst.mode\n";
    }
    manifest += ShortcutsManifestLine(folder, opt("-dsc"));
    WriteText(dir / "install.manifest", manifest);
    Say("Progress=0.8");
    sample::Pause(delay);

    Say("InstPath=" + folder);
    Say("ExePath=" + sample::PathToUtf8(product));
    if (!has("--no-uninst-ep")) Say("UninstEp=" + sample::PathToUtf8(uninstaller));
    Say("StartupStyle=" + opt("--startup", "UserStartup"));
    Say("InstallVersion=1.0.0");
    if (const std::string message = opt("--message"); !message.empty()) Say("Message=" + message);
    Say("Progress=1");
    if (has("--crash")) std::abort();
    Say("State=Success");
    if (const long n = std::atol(opt("--flood", "0").c_str()); n > 0) Flood(false, n);
    sample::Pause(std::atoi(opt("--hold", "0").c_str()));
    if (const std::string seconds = opt("--linger"); !seconds.empty()) sample::StartLingeringChild(seconds);
    return exitCode;
}
