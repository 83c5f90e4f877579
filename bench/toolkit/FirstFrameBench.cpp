// Time to the first painted frame and resident memory of a real window, against two
// references: a bare GTK window that draws one rectangle, and a plain GTK 3 window with the
// same kinds of controls built by GtkBuilder (labels, buttons, an entry, a combo box, a
// progress bar, Chinese text). Usage: bench_toolkit_first_frame toolkit|bare|gtkbuilder
// Prints "first_frame_ms=N rss_kib=N" (bare and toolkit add where their time went); run it under an
// X server (run.sh uses Xvfb).
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
#include "toolkit/TextRenderer.h"
#include "toolkit/WindowBase.h"

namespace {

const auto g_start = std::chrono::steady_clock::now();
bool g_drawn = false;
std::string g_phases;  // "name=ms " for each step of the toolkit's start

double SinceStart() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_start).count();
}

void Phase(const char* name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %s=%.1f", name, SinceStart());
    g_phases += buf;
}

// The GtkBuilder reference: the demo window's controls as stock GTK 3 widgets.
const char* kBuilderUi = R"(<interface>
  <object class="GtkWindow" id="window">
    <property name="default-width">600</property><property name="default-height">400</property>
    <property name="title">Quorvex</property>
    <child><object class="GtkBox"><property name="orientation">vertical</property><property name="spacing">12</property>
      <property name="margin">16</property><property name="visible">True</property>
      <child><object class="GtkLabel"><property name="label">Quorvex 安装程序</property><property name="visible">True</property><property name="xalign">0</property></object></child>
      <child><object class="GtkLabel"><property name="label">&lt;span size="xx-large" weight="bold"&gt;Quorvex 壓縮軟體&lt;/span&gt;</property><property name="use-markup">True</property><property name="visible">True</property></object></child>
      <child><object class="GtkBox"><property name="spacing">8</property><property name="visible">True</property>
        <child><object class="GtkLabel"><property name="label">Language:</property><property name="visible">True</property></object></child>
        <child><object class="GtkComboBoxText"><property name="visible">True</property>
          <items><item>English</item><item>繁體中文</item></items><property name="active">0</property></object></child>
      </object></child>
      <child><object class="GtkBox"><property name="spacing">8</property><property name="visible">True</property>
        <child><object class="GtkLabel"><property name="label">Location:</property><property name="visible">True</property></object></child>
        <child><object class="GtkEntry"><property name="text">/opt/Pelmora</property><property name="hexpand">True</property><property name="visible">True</property></object></child>
        <child><object class="GtkButton"><property name="label">Modify</property><property name="visible">True</property></object></child>
      </object></child>
      <child><object class="GtkBox"><property name="spacing">8</property><property name="visible">True</property>
        <child><object class="GtkCheckButton"><property name="label">Create a desktop icon</property><property name="active">True</property><property name="visible">True</property></object></child>
        <child><object class="GtkCheckButton"><property name="label">Pin to taskbar</property><property name="visible">True</property></object></child>
      </object></child>
      <child><object class="GtkLabel"><property name="label">Installing: 42%</property><property name="visible">True</property></object></child>
      <child><object class="GtkProgressBar"><property name="fraction">0.42</property><property name="visible">True</property></object></child>
      <child><object class="GtkLabel"><property name="label">正在安裝中，請耐心等待... The installer downloads the package and runs it silently.</property><property name="wrap">True</property><property name="visible">True</property></object></child>
      <child><object class="GtkButton"><property name="label">立即安裝</property><property name="visible">True</property></object></child>
    </object></child>
  </object>
</interface>)";

long RssKib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

gboolean Report(gpointer) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_start).count();
    std::printf("first_frame_ms=%.1f rss_kib=%ld%s\n", ms, RssKib(), g_phases.c_str());
    std::fflush(stdout);
    std::exit(0);
}

gboolean AfterDraw(GtkWidget*, cairo_t*, gpointer) {
    if (!g_drawn) {
        g_drawn = true;
        if (!g_phases.empty()) Phase("drawn");
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
    if (argc > 1 && std::strcmp(argv[1], "gtkbuilder") == 0) {
        gtk_init(&argc, &argv);
        GtkBuilder* builder = gtk_builder_new_from_string(kBuilderUi, -1);
        GtkWidget* w = GTK_WIDGET(gtk_builder_get_object(builder, "window"));
        g_signal_connect_after(w, "draw", G_CALLBACK(AfterDraw), nullptr);
        gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER);
        gtk_widget_show(w);
        gtk_main();
        g_object_unref(builder);
        return 0;
    }
    if (bare) {
        gtk_init(&argc, &argv);
        Phase("gtk");
        GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        Phase("created");
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
    Phase("read");
    if (!Toolkit::InitGtkHost(&argc, &argv)) return 2;
    Phase("gtk");
    Toolkit::SkinResources::Instance().OpenZipCopy(std::move(bytes));
    Phase("zip");
    if (std::getenv("QV_BENCH_FONTS_FIRST")) {
        // Splits font start-up out of the window's own time.
        Toolkit::Text::Measure(L"Quorvex 安装程序", Toolkit::FontInfo{L"微软雅黑", 14}, Toolkit::TextStyle{});
        Phase("fonts");
    }
    BenchWindow window;
    if (!window.Create(nullptr, L"Quorvex")) return 1;
    Phase("created");
    window.CenterWindow();
    GtkWidget* widget = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) widget = GTK_WIDGET(l->data);
    g_list_free(all);
    g_signal_connect_after(widget, "draw", G_CALLBACK(AfterDraw), nullptr);
    window.ShowModal();
    return 0;
}
