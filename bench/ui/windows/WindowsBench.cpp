// The installer's window against a bare GTK window, and its install against the unattended one.
//   bench_ui_windows bare|installer     first painted frame (ms from process start) and RSS
//   bench_ui_windows animation          CPU use over 10 s with the progress animation running
//   bench_ui_windows install FOLDER     a window install from QV_BENCH_URL into FOLDER: seconds
// Prints one "key=value ..." line. Run it under an X server (windows.sh uses Xvfb).
#include <gtk/gtk.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "config/InstallerSettings.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/TabLayout.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/MainWindowStartup.h"
#include "utils/StringUtils.h"

namespace {

const auto g_start = std::chrono::steady_clock::now();
bool g_reported = false;

double SinceStartMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_start).count();
}

long RssKib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

gboolean AfterFirstDraw(GtkWidget*, cairo_t*, gpointer) {
    if (!g_reported) {
        g_reported = true;
        // The frame is on its way to the server once this handler returns.
        g_idle_add([](gpointer) -> gboolean {
            std::printf("first_frame_ms=%.1f rss_kib=%ld\n", SinceStartMs(), RssKib());
            std::exit(0);
        }, nullptr);
    }
    return FALSE;
}

int Bare() {
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
    g_signal_connect(window, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) -> gboolean {
        cairo_set_source_rgb(cr, 0.2, 0.5, 0.9);
        cairo_rectangle(cr, 0, 0, 600, 400);
        cairo_fill(cr);
        return FALSE;
    }), nullptr);
    g_signal_connect_after(window, "draw", G_CALLBACK(AfterFirstDraw), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}

GtkWidget* WidgetOf(CMainWnd& window) {
    return static_cast<Toolkit::GtkWindowHost*>(window.Native())->Widget();
}

std::unique_ptr<CMainWnd> OpenInstaller() {
    int argc = 0;
    char** argv = nullptr;
    if (!MainWindowStartup::OpenDisplay(&argc, &argv)) std::exit(2);
    MainWindowStartup::PrepareSkin();
    auto window = std::make_unique<CMainWnd>();
    if (!window->Create(nullptr, L"Quorvex")) std::exit(3);
    window->CenterWindow();
    return window;
}

void Pump(double ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double, std::milli>(ms);
    while (std::chrono::steady_clock::now() < end) g_main_context_iteration(nullptr, TRUE);
}

int Installer() {
    auto window = OpenInstaller();
    g_signal_connect_after(WidgetOf(*window), "draw", G_CALLBACK(AfterFirstDraw), nullptr);
    gtk_main();
    return 0;
}

int Animation() {
    auto window = OpenInstaller();
    static_cast<Toolkit::CTabLayoutUI*>(window->FindControl(L"mainTabLt"))->SelectItem(2);
    Pump(1000);
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    Pump(10000);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("animation_cpu_percent=%.2f over_s=%.1f\n", 100.0 * (CpuSeconds() - cpu0) / wall, wall);
    return 0;
}

int Install(const char* folder) {
    const char* url = std::getenv("QV_BENCH_URL");
    if (!url) return 2;
    InstallerSettings::Instance().SetDownloadUrl(Utils::FromUtf8(url));
    InstallerSettings::Instance().IsEnableAppAnalytics = false;
    auto window = OpenInstaller();
    Pump(200);
    const auto t0 = std::chrono::steady_clock::now();
    window->StartInstall(Utils::FromUtf8(folder), true, true);
    while (window->CurrentPage() != 3) {
        g_main_context_iteration(nullptr, TRUE);
        if (window->CurrentPage() == 0 && std::chrono::steady_clock::now() - t0 > std::chrono::seconds(2)) {
            std::fprintf(stderr, "the install failed\n");
            return 1;
        }
    }
    std::printf("window_install_s=%.2f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bare") return Bare();
    if (mode == "installer") return Installer();
    if (mode == "animation") return Animation();
    if (mode == "install" && argc > 2) return Install(argv[2]);
    std::fprintf(stderr, "usage: bench_ui_windows bare|installer|animation|install FOLDER\n");
    return 2;
}
