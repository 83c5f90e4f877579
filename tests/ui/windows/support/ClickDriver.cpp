#include "ClickDriver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "toolkit/ControlFactory.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/TabLayout.h"
#include "ui/controls/SequenceControlFactory.h"
#include "ui/skin/TextFitting.h"

extern char** environ;

namespace clicktest {

namespace {

struct SequenceFactory : Toolkit::IControlFactory {
    std::unique_ptr<Toolkit::CControlUI> CreateControl(const std::wstring& name) override {
        return Controls::CreateSequenceControl(name);
    }
};

int Field(const std::string& shell, const char* name) {
    const std::string key = std::string("\n") + name + "=";
    const size_t at = ("\n" + shell).find(key);
    return at == std::string::npos ? 0 : std::atoi(shell.c_str() + at + key.size() - 1);
}

}  // namespace

LayoutPoint ControlCentre(const wchar_t* layout, const wchar_t* control, int page) {
    using namespace Toolkit;
    CPaintManagerUI manager;
    SequenceFactory factory;
    BuildResult built = CLayoutBuilder::BuildFromResource(layout, &manager, &factory);
    EXPECT_TRUE(built.ok) << "layout";
    if (!built.ok) return {};
    manager.AttachRoot(std::move(built.root));
    const auto size = manager.GetInitSize();
    manager.SetClientSize(size);
    Skin::FitTextWidths(manager);
    if (auto* tabs = dynamic_cast<CTabLayoutUI*>(manager.FindControl(L"mainTabLt"))) tabs->SelectItem(page, false);
    manager.UpdateLayout();
    CControlUI* c = manager.FindControl(control);
    EXPECT_NE(c, nullptr);
    if (!c) return {};
    const Rect r = c->GetPos();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2, size.cx, size.cy};
}

std::string RunProgram(const std::vector<std::string>& argv, int* exitCode) {
    if (exitCode) *exitCode = -1;
    int fds[2];
    if (argv.empty() || ::pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    std::vector<std::string> copy = argv;
    for (auto& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    if (spawned == 0) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
            if (n > 0) out.append(buffer, static_cast<size_t>(n));
            else if (errno != EINTR) break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && exitCode)
        *exitCode = WEXITSTATUS(status);
    return out;
}

bool Xdo(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    int code = -1;
    RunProgram(argv, &code);
    return code == 0;
}

std::string Screenshot(const std::string& name) {
    const char* dir = std::getenv("QV_SCREENSHOT_DIR");
    if (!dir || !*dir) return {};
    const std::string file = std::string(dir) + "/" + name + ".png";
    RunProgram({"import", "-window", "root", file});
    return file;
}

Found Locate(unsigned long id) {
    int code = -1;
    const std::string shell = RunProgram({"xdotool", "getwindowgeometry", "--shell", std::to_string(id)}, &code);
    if (code != 0) return {};
    return {id, Field(shell, "X"), Field(shell, "Y"), Field(shell, "WIDTH"), Field(shell, "HEIGHT")};
}

Found WaitForWindow(const std::string& title, double seconds, std::int64_t pid) {
    std::vector<std::string> search{"search", "--onlyvisible"};
    if (pid != 0) search.insert(search.end(), {"--all", "--pid", std::to_string(pid)});
    search.insert(search.end(), {"--name", "^" + title + "$"});
    search.insert(search.begin(), "xdotool");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        const std::string ids = RunProgram(search);
        if (!ids.empty()) {
            const Found f = Locate(std::stoul(ids));
            if (f.id != 0) return f;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

void ClickAt(const Found& window, LayoutPoint point) {
    // The shadow is as wide on every side; a window may grow taller than its layout to fit
    // its text, never wider, so the width alone tells the shadow's size.
    const int shadow = point.width > 0 && window.width > point.width ? (window.width - point.width) / 2 : 0;
    const int x = window.x + shadow + point.x, y = window.y + shadow + point.y;
    Xdo({"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.1", "click", "1"});
}

}  // namespace clicktest
