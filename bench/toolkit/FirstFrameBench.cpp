// Time to the first painted frame and resident memory of a real window, against a bare GTK
// window that draws one rectangle. Usage: bench_toolkit_first_frame toolkit|bare
// Prints "first_frame_ms=N rss_kib=N"; run it under an X server (run.sh uses Xvfb).
#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../tests/toolkit/support/TestSkin.h"
#include "toolkit/GtkHost.h"
#include "toolkit/SkinResources.h"
#include "toolkit/WindowBase.h"

namespace {

const auto g_start = std::chrono::steady_clock::now();
bool g_drawn = false;

long RssKib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

gboolean Report(gpointer) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_start).count();
    std::printf("first_frame_ms=%.1f rss_kib=%ld\n", ms, RssKib());
    std::fflush(stdout);
    std::exit(0);
}

gboolean AfterDraw(GtkWidget*, cairo_t*, gpointer) {
    if (!g_drawn) {
        g_drawn = true;
        // The frame is complete once the draw cycle that painted it has finished.
        g_idle_add(Report, nullptr);
    }
    return FALSE;
}

gboolean BareDraw(GtkWidget*, cairo_t* cr, gpointer) {
    cairo_set_source_rgb(cr, 0.13, 0.59, 0.95);
    cairo_rectangle(cr, 0, 0, 600, 400);
    cairo_fill(cr);
    return FALSE;
}

class BenchWindow : public Toolkit::CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"BenchWnd"; }
    std::wstring GetSkinFile() override { return L"demo.xml"; }
};

}  // namespace

int main(int argc, char** argv) {
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    if (bare) {
        gtk_init(&argc, &argv);
        GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(w), 600, 400);
        gtk_widget_set_app_paintable(w, TRUE);
        g_signal_connect(w, "draw", G_CALLBACK(BareDraw), nullptr);
        g_signal_connect_after(w, "draw", G_CALLBACK(AfterDraw), nullptr);
        gtk_widget_show(w);
        gtk_main();
        return 0;
    }
    // The skin is prepared beforehand (the installer links it in): only reading it is timed.
    const char* skin = std::getenv("QV_BENCH_SKIN_ZIP");
    if (!skin) {
        std::fprintf(stderr, "set QV_BENCH_SKIN_ZIP to the test skin archive (run.sh does)\n");
        return 2;
    }
    std::ifstream in(skin, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!Toolkit::InitGtkHost(&argc, &argv)) return 2;
    Toolkit::SkinResources::Instance().OpenZipCopy(std::move(bytes));
    BenchWindow window;
    if (!window.Create(nullptr, L"Quorvex")) return 1;
    window.CenterWindow();
    GtkWidget* widget = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) widget = GTK_WIDGET(l->data);
    g_list_free(all);
    g_signal_connect_after(widget, "draw", G_CALLBACK(AfterDraw), nullptr);
    window.ShowModal();
    return 0;
}
