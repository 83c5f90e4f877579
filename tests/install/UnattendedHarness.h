#pragma once
// Runs the real installer executable in unattended mode for end-to-end tests: on a clean HOME,
// against the test package server serving the sample package, with the test collector
// listening where the build sends analytics. A run may be given its own mount namespace with a
// small tmpfs, or its own network namespace (loopback only), and may be signalled while it
// runs.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sched.h>
#include <set>
#include <sstream>
#include <signal.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/install/ProcessTableLock.h"
#include "tests/support/TempDir.h"
#include "tools/collector/TestCollector.h"
#include "tools/package-server/PackageServer.h"
#include "utils/ProfileFile.h"
#include "utils/StringUtils.h"

namespace installtest {

namespace fs = std::filesystem;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Extra circumstances of one run.
struct Launch {
    std::vector<std::string> args;
    std::vector<std::string> env;  // added to the clean environment, replacing its own values
    std::string tmpfsOn;           // a folder to cover with a small tmpfs in a private namespace
    size_t tmpfsBytes = 64 << 20;
    std::string tmpfsMode = "0755";
    bool noNetwork = false;        // a network namespace with only loopback (down)
};

class UnattendedTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"www", "home", "runtime"}) fs::create_directories(tmp / sub);
        fs::permissions(tmp / "runtime", fs::perms::owner_all);
        fs::copy_file(SAMPLE_PACKAGE, tmp / "www" / "Quorvex_setup.exe");
        server = std::make_unique<PackageServer::Server>(PackageServer::Options{(tmp / "www").string()});
        ASSERT_TRUE(server->Start());
        StartCollector();
    }
    void TearDown() override {
        server->Stop();
        collector.Stop();
    }

    // The build sends analytics to QV_COLLECT_HOST; the collector takes that port when it can
    // (other test processes may hold it for a while; a port below 1024 needs root).
    void StartCollector() {
        const std::string host = QV_COLLECT_HOST;
        const size_t colon = host.rfind(':');
        const int port = colon == std::string::npos ? 0 : std::atoi(host.c_str() + colon + 1);
        if (host.rfind("http://127.0.0.1:", 0) != 0 || port <= 0) return;
        std::string error;
        for (int i = 0; i < 100 && !collecting; ++i) {
            collecting = collector.Start(static_cast<uint16_t>(port), std::nullopt, &error);
            if (!collecting && port < 1024 && ::geteuid() != 0) break;
            if (!collecting) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!collecting) std::printf("no collector on %s (%s): analytics records are not checked\n", host.c_str(), error.c_str());
    }

    // Task names the collector received from this test's installers, in order (empty
    // without a collector). Other programs of the same build may send to the same port: only
    // records of the identity kept under this test's HOME count.
    std::vector<std::string> Tasks() const {
        const std::set<std::string> ids = Identities();
        std::vector<std::string> names;
        for (const auto& record : collector.Records())
            if (record.value("event", "") == "VnEventTask" && ids.count(record.value("distinct_id", "")))
                names.push_back(record["properties"].value("vn_task_name", ""));
        return names;
    }

    std::set<std::string> Identities() const {
        std::set<std::string> ids;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(tmp / "home", ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() < 17 || name.compare(name.size() - 17, 17, "_VNSConfigure.ini") != 0) continue;
            std::istringstream lines(testsupport::ReadFile(it->path()));
            for (std::string line; std::getline(lines, line);)
                if (line.rfind("DistinctId=", 0) == 0) ids.insert(line.substr(11, line.find_last_not_of("\r") - 10));
        }
        return ids;
    }

    pid_t Spawn(Launch launch) {
        // XDG_DATA_HOME is given explicitly (the default under HOME): as root the package would
        // otherwise write its menu entry into the machine's /usr/local/share.
        std::vector<std::string> env = {"HOME=" + (tmp / "home").string(), "XDG_RUNTIME_DIR=" + (tmp / "runtime").string(),
                                        "XDG_DATA_HOME=" + (tmp / "home" / ".local" / "share").string(),
                                        "PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                        // The trace on standard error too, where the tests read it
                                        // (a test of the quiet terminal output passes "QV_TRACE=").
                                        "QV_TRACE=stderr"};
        for (const std::string& extra : launch.env) {
            // An entry replaces the clean environment's value of the same name.
            const std::string name = extra.substr(0, extra.find('=') + 1);
            std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
            env.push_back(extra);
        }
        launch.args.insert(launch.args.begin(), INSTALLER_EXE);
        std::vector<char*> envp, argv;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        for (auto& a : launch.args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int out = ::open((tmp / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = ::open((tmp / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        const std::string uidMap = std::to_string(uid) + " " + std::to_string(uid) + " 1\n";
        const std::string gidMap = std::to_string(gid) + " " + std::to_string(gid) + " 1\n";
        const std::string tmpfsOptions = "size=" + std::to_string(launch.tmpfsBytes) + ",mode=" + launch.tmpfsMode;
        const bool isolate = !launch.tmpfsOn.empty() || launch.noNetwork;
        // The child of this threaded test process makes system calls only, then execs.
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (isolate) {
                int flags = (launch.tmpfsOn.empty() ? 0 : CLONE_NEWNS) | (launch.noNetwork ? CLONE_NEWNET : 0);
                if (uid != 0) flags |= CLONE_NEWUSER;
                if (::unshare(flags) != 0) ::_exit(121);
                if (uid != 0) {
                    WriteSmall("/proc/self/setgroups", "deny");
                    if (!WriteSmall("/proc/self/uid_map", uidMap) || !WriteSmall("/proc/self/gid_map", gidMap)) ::_exit(121);
                }
                if (!launch.tmpfsOn.empty() &&
                    (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                     ::mount("tmpfs", launch.tmpfsOn.c_str(), "tmpfs", 0, tmpfsOptions.c_str()) != 0))
                    ::_exit(121);
            }
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execve(INSTALLER_EXE, argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(out);
        ::close(err);
        return pid;
    }

    static bool WriteSmall(const char* file, const std::string& text) {
        const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        return ok;
    }

    Result Finish(pid_t pid) {
        Result result;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = testsupport::ReadFile(tmp / "out.txt");
        result.err = testsupport::ReadFile(tmp / "err.txt");
        return result;
    }

    Result Run(Launch launch) { return Finish(Spawn(std::move(launch))); }
    Result Run(std::vector<std::string> args) { return Run(Launch{std::move(args)}); }

    Result Install(const fs::path& folder, const std::string& instCmd = "", const std::string& file = "Quorvex_setup.exe") {
        return Run(InstallArgs(folder, instCmd, file));
    }
    std::vector<std::string> InstallArgs(const fs::path& folder, const std::string& instCmd = "",
                                         const std::string& file = "Quorvex_setup.exe") const {
        std::vector<std::string> args = {"-silent", "-installdir=" + folder.string(), "-downloadurl=" + server->FileUrl(file)};
        if (!instCmd.empty()) args.push_back("-instcmd=" + instCmd);
        return args;
    }

    // Waits until the installer's standard output holds `text`; false after `seconds`.
    bool WaitForOutput(const std::string& text, int seconds = 20) const {
        for (int i = 0; i < seconds * 20; ++i) {
            if (testsupport::ReadFile(tmp / "out.txt").find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string Registry(const char* name) const {
        return Utils::ToUtf8(Utils::GetProfileString(L"Software\\VarNelSoft\\Quorvex", Utils::FromUtf8(name), L"<none>", 1024,
                                                     tmp / "home" / ".config" / "VarNelSoft" / "registry.ini"));
    }

    int Gets() const {
        int n = 0;
        for (const auto& r : server->Requests()) n += r.method == "GET";
        return n;
    }

    // Files in `folder` whose names start with the package's.
    static std::vector<std::string> PackageLeftovers(const fs::path& folder) {
        std::vector<std::string> left;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().filename().string().rfind("__Package_Quorvex.exe", 0) == 0)
                left.push_back(it->path().filename().string());
        return left;
    }

    ProcessTableLock processTable;  // first: held for the whole test
    testsupport::TempDir tmp;
    std::unique_ptr<PackageServer::Server> server;
    collector::TestCollector collector;
    bool collecting = false;
};

inline std::string Ini(const fs::path& file, const char* section, const char* key) {
    return Utils::ToUtf8(Utils::GetProfileString(Utils::FromUtf8(section), Utils::FromUtf8(key), L"<none>", 1024, file));
}

}  // namespace installtest
