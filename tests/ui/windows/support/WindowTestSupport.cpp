#include "WindowTestSupport.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>

#include "support/XvfbDisplay.h"
#include "toolkit/GtkHost.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "toolkit/WindowBase.h"
#include "ui/skin/SkinPackage.h"
#include "ui/windows/CMessageBoxWnd.h"
#include "utils/StringUtils.h"

using namespace Toolkit;

unsigned long XidOf(GtkWidget* widget);  // X11Window.cpp: X11's names clash with the toolkit's

namespace WindowTest {

void SetUpDisplay() {
    // The folder chooser would otherwise start a session bus (dbus-launch) that outlives the
    // test; local files need neither the bus nor GVfs.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent-qv-test-bus", 1);
    setenv("GIO_USE_VFS", "local", 1);
    setenv("GTK_USE_PORTAL", "0", 1);
    std::string error;
    if (!XvfbDisplay::Start(&error)) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", error.c_str());
        std::abort();
    }
    int argc = 0;
    char** argv = nullptr;
    if (!InitGtkHost(&argc, &argv)) std::abort();
    Skin::OpenSkinPackage();
    if (!SkinResources::Instance().IsOpen()) {
        std::fprintf(stderr, "the built-in skin is missing\n");
        std::abort();
    }
}

void TearDownDisplay() { XvfbDisplay::Stop(); }


bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(5000);
    }
    return true;
}

void Pump(int ms) { PumpUntil([] { return false; }, ms); }

std::shared_ptr<bool> When(std::function<bool()> ready, std::function<void()> action) {
    struct Pending {
        std::function<bool()> ready;
        std::function<void()> action;
        std::shared_ptr<bool> done = std::make_shared<bool>(false);
    };
    auto* pending = new Pending{std::move(ready), std::move(action)};
    std::shared_ptr<bool> done = pending->done;
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 50,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Pending*>(data);
            if (!p->ready()) return G_SOURCE_CONTINUE;
            *p->done = true;
            p->action();
            return G_SOURCE_REMOVE;
        },
        pending, [](gpointer data) { delete static_cast<Pending*>(data); });
    return done;
}

bool Xdo(const std::string& args) {
    const std::string cmd = "xdotool " + args;
    return std::system(cmd.c_str()) == 0;
}

void Screenshot(const std::string& name) {
    if (const char* dir = std::getenv("QV_SCREENSHOT_DIR")) {
        const std::string cmd = "import -window root " + std::string(dir) + "/" + name + ".png";
        (void)std::system(cmd.c_str());
    }
}

static GtkWindowHost& Host(CWindowBase& window) { return *static_cast<GtkWindowHost*>(window.Native()); }

std::string At(CWindowBase& window, const std::wstring& control) {
    window.PaintManager().UpdateLayout();
    CControlUI* c = window.FindControl(control);
    if (!c) return "0 0";
    const Rect r = Host(window).ScreenRectOf(c->GetPos());
    return std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
}

bool Mapped(CWindowBase& window) { return window.IsWindow() && gtk_widget_get_mapped(Host(window).Widget()); }

static unsigned long Xid(CWindowBase& window) { return XidOf(Host(window).Widget()); }

void Click(CWindowBase& window, const std::wstring& control) {
    Xdo("mousemove " + At(window, control) + " sleep 0.05 click 1");
}

void PressKeys(CWindowBase& window, const std::string& keys) {
    Xdo("windowfocus --sync " + std::to_string(Xid(window)) + " key " + keys);
}

CWindowBase* TopBox(const std::wstring& layout) {
    const auto windows = CWindowBase::OpenWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto* box = dynamic_cast<CMessageBoxWnd*>(*it);
        if (box && (layout.empty() || box->GetSkinFile() == layout)) return box;
    }
    return nullptr;
}

std::shared_ptr<bool> AnswerBox(const std::wstring& control, std::function<void(CWindowBase&)> first,
                                const std::wstring& layout) {
    struct Pending {
        std::wstring control;
        std::wstring layout;
        std::function<void(CWindowBase&)> first;
        CWindowBase* box = nullptr;
        int seenTicks = 0;
        int clicks = 0;
        std::shared_ptr<bool> done = std::make_shared<bool>(false);
    };
    auto* pending = new Pending{control, layout, std::move(first)};
    std::shared_ptr<bool> done = pending->done;
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 100,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Pending*>(data);
            CWindowBase* box = TopBox(p->layout);
            if (!box || !Mapped(*box) || (*p->done && box != p->box))
                return *p->done ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
            if (++p->seenTicks < 3) return G_SOURCE_CONTINUE;  // let it draw and take input
            if (!*p->done) {
                *p->done = true;
                p->box = box;
                if (p->first) p->first(*box);
                if (!box->IsWindow()) return G_SOURCE_REMOVE;
            }
            if ((p->seenTicks - 3) % 4 == 0 && p->clicks++ < 15) Click(*box, p->control);
            return G_SOURCE_CONTINUE;
        },
        pending, [](gpointer data) { delete static_cast<Pending*>(data); });
    return done;
}

static GtkWidget* FolderChooser() {
    GList* all = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* l = all; l; l = l->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
    g_list_free(all);
    return found;
}

bool FolderChooserOpen() { return FolderChooser() != nullptr; }

void AnswerFolderChooser(const std::string& folder, bool accept) {
    struct Answer {
        std::string folder;
        bool accept;
        int ticks = 0;
        bool pointed = false;
    };
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 100,
        [](gpointer data) -> gboolean {
            auto* a = static_cast<Answer*>(data);
            GtkWidget* dialog = FolderChooser();
            if (++a->ticks > 150) return G_SOURCE_REMOVE;
            if (!dialog) return G_SOURCE_CONTINUE;
            // In folder mode, accepting with nothing selected chooses the folder shown.
            if (a->accept && !a->pointed) {
                gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), a->folder.c_str());
                a->pointed = true;
                return G_SOURCE_CONTINUE;
            }
            gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
            const bool there = !a->accept || (current && a->folder == current);
            g_free(current);
            if (!there) return G_SOURCE_CONTINUE;
            gtk_dialog_response(GTK_DIALOG(dialog), a->accept ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
            return G_SOURCE_REMOVE;
        },
        new Answer{folder, accept}, [](gpointer data) { delete static_cast<Answer*>(data); });
}

void SendWmDelete(CWindowBase& window) {
    const std::string cmd = std::string(QV_SEND_WM_DELETE) + " " + std::to_string(Xid(window));
    (void)std::system(cmd.c_str());
}

}  // namespace WindowTest
