#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "toolkit/GlibScheduler.h"
#include "toolkit/GtkHost.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/Platform.h"
#include "toolkit/WindowBase.h"
#include "utils/StringUtils.h"

namespace Toolkit {
namespace {

class GtkPlatform : public IPlatform {
public:
    explicit GtkPlatform(bool display) : display_(display) {}

    std::unique_ptr<INativeWindow> CreateNativeWindow(CWindowBase& window, CWindowBase* owner,
                                                      const std::wstring& title, int width, int height) override {
        if (!display_) return nullptr;
        return std::make_unique<GtkWindowHost>(window, owner, title, width, height);
    }

    IScheduler& Scheduler() override { return scheduler_; }

    void RunLoop(const std::function<bool()>& keepRunning) override {
        while (keepRunning()) g_main_context_iteration(nullptr, TRUE);
    }

    void ReportLoadFailure(const std::wstring& text, const std::wstring& caption) override {
        const std::string message = Utils::ToUtf8(text), title = Utils::ToUtf8(caption);
        if (!display_) {
            std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
            return;
        }
        GtkWidget* dialog =
            gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", message.c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
        gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        // The dialog's own text is also left on standard error for logs.
        std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    }

    void ExitProcess(int code) override {
        std::fflush(nullptr);
        std::exit(code);
    }

    int ScreenScale() const override {
        GdkDisplay* display = display_ ? gdk_display_get_default() : nullptr;
        GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
        if (display && !monitor) monitor = gdk_display_get_monitor(display, 0);
        return monitor ? gdk_monitor_get_scale_factor(monitor) : 1;
    }

private:
    bool display_;
    GlibScheduler scheduler_;
};

}  // namespace

bool InitGtkHost(int* argc, char*** argv) {
    static GtkPlatform* platform = nullptr;
    if (platform) return GetPlatform() == platform && gdk_display_get_default() != nullptr;
    // WM_CLASS of every top-level window (taskbar grouping, window rules): both parts.
    g_set_prgname("quorvex-installer");
    const bool display = gtk_init_check(argc, argv);
    if (display) gdk_set_program_class("quorvex-installer");
    platform = new GtkPlatform(display);  // lives as long as the process
    SetPlatform(platform);
    return display;
}

}  // namespace Toolkit
