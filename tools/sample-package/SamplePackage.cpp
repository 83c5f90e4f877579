// qv-sample-package: a silent package for the Quorvex installer. It installs a small working
// product (compressor.exe, a gzip file compressor) and its uninstaller ("uninst.ep") into the
// folder given after "/D=" and reports on standard output with the package status lines.
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
//   --crash                stop with SIGABRT before the final line
//   --exit=N               exit code (default 0)
//   --delay=MS             pause between progress steps (default 10)
//   --hold=MS              stay alive this long after the final line
//   --linger=S             leave a background process (sleep S) that keeps the output open
//   --uninstaller=MODE     how the installed uninstaller behaves later: success (default),
//                          fail, error, silent, acp, split, flood, hang
//   --hang                 print nothing and never end (with a child of its own, "sleep",
//                          in the same process group)
//   --pids=FILE            write "<own pid> <child pid>" to FILE (with --hang)
//   --hang-after=progress  print the first progress line, then hang as --hang does
#include <csignal>
#include <spawn.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tools/sample-package/DesktopEntries.h"
#include "tools/sample-package/SampleIo.h"

extern char** environ;
extern "C" const char qv_payload_product_begin[], qv_payload_product_end[];
extern "C" const char qv_payload_uninstaller_begin[], qv_payload_uninstaller_end[];

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
        sample::WriteFd(1, bytes);
        return;
    }
    const size_t a = bytes.size() / 3, b = 2 * bytes.size() / 3;
    sample::WriteFd(1, bytes.substr(0, a));
    sample::Pause(40);
    sample::WriteFd(1, bytes.substr(a, b - a));
    sample::Pause(40);
    sample::WriteFd(1, bytes.substr(b));
}

bool WritePayload(const fs::path& target, const char* begin, const char* end) {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(begin, end - begin);
    out.close();
    if (!out) return false;
    return ::chmod(target.c_str(), 0755) == 0;
}

bool WriteText(const fs::path& target, const std::string& text) {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

// The menu entry, and the desktop copy when "-dsc" is on; the list of written entries joins the
// manifest so the uninstaller removes it with the rest.
std::string InstallDesktopEntries(const fs::path& dir, const std::string& dscOption) {
    const bool desktopIcon = dscOption == "true" || dscOption == "1";
    sample::WriteDesktopEntries(dir.string(), desktopIcon);
    return std::string(sample::kEntryListName) + "\n";
}

void Flood(int fd, long bytes) {
    const std::string chunk =
        "installing component 0123456789 abcdefghijklmnopqrstuvwxyz\nState=Fail\nError=late noise\n";
    for (long written = 0; written < bytes; written += static_cast<long>(chunk.size()))
        if (!sample::WriteFd(fd, chunk)) return;
}

// Starts "sleep" in this process group, records both pids, and waits for ever (a package
// that hangs; what stops it must stop its whole group).
[[noreturn]] void HangWithChild(const std::string& pidFile) {
    std::string program = "/bin/sleep", arg = "3600";
    char* argvSleep[] = {program.data(), arg.data(), nullptr};
    pid_t child = 0;
    posix_spawn(&child, program.c_str(), nullptr, nullptr, argvSleep, environ);
    if (!pidFile.empty()) WriteText(pidFile, std::to_string(::getpid()) + " " + std::to_string(child) + "\n");
    for (;;) ::pause();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
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

    if (has("--hang")) HangWithChild(opt("--pids"));
    if (!g.encode.empty() && !g.silent) sample::WriteFd(1, "Encode=" + g.encode + "\n");
    if (const long n = std::atol(opt("--flood-stderr", "0").c_str()); n > 0) Flood(2, n);
    Say("Progress=0.05");
    if (opt("--hang-after") == "progress") HangWithChild(opt("--pids"));

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

    const fs::path dir(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path product = dir / "compressor.exe";
    const fs::path uninstaller = dir / "uninst.ep";
    if (ec || !WritePayload(product, qv_payload_product_begin, qv_payload_product_end)) {
        Say("Error=cannot write " + product.string());
        return 4;
    }
    Say("Progress=0.4");
    sample::Pause(delay);
    if (!WritePayload(uninstaller, qv_payload_uninstaller_begin, qv_payload_uninstaller_end)) {
        Say("Error=cannot write " + uninstaller.string());
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
    manifest += InstallDesktopEntries(dir, opt("-dsc"));
    WriteText(dir / "install.manifest", manifest);
    Say("Progress=0.8");
    sample::Pause(delay);

    Say("InstPath=" + folder);
    Say("ExePath=" + product.string());
    if (!has("--no-uninst-ep")) Say("UninstEp=" + uninstaller.string());
    Say("StartupStyle=" + opt("--startup", "UserStartup"));
    Say("InstallVersion=1.0.0");
    if (const std::string message = opt("--message"); !message.empty()) Say("Message=" + message);
    Say("Progress=1");
    if (has("--crash")) std::abort();
    Say("State=Success");
    if (const long n = std::atol(opt("--flood", "0").c_str()); n > 0) Flood(1, n);
    sample::Pause(std::atoi(opt("--hold", "0").c_str()));
    if (const std::string seconds = opt("--linger"); !seconds.empty()) {
        // Inherits descriptors 0..2: the installer's pipes stay open after this process ends.
        std::string program = "/bin/sleep", arg = seconds;
        char* argvSleep[] = {program.data(), arg.data(), nullptr};
        pid_t pid;
        posix_spawn(&pid, program.c_str(), nullptr, nullptr, argvSleep, environ);
    }
    return exitCode;
}
