#include "WindowTestSupport.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include "support/XvfbDisplay.h"
#include "toolkit/GtkHost.h"
#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "toolkit/WindowBase.h"
#include "utils/StringUtils.h"

using namespace Toolkit;

unsigned long XidOf(GtkWidget* widget);  // X11Window.cpp: X11's names clash with the toolkit's

namespace WindowTest {

namespace {

bool g_chinese = false;

std::wstring TestText(const std::wstring& id) {
    static const std::map<std::wstring, std::pair<std::wstring, std::wstring>> texts = {
        {L"IDProductName", {L"Quorvex", L"Quorvex 壓縮"}},
        {L"IDLangLbl", {L"Language:", L"語言："}},
        {L"IDInstallDirLbl", {L"Folder:", L"安裝目錄："}},
        {L"IDOtherLbl", {L"Options:", L"其他選項："}},
        {L"IDCreateDSCb", {L"Desktop icon", L"建立桌面捷徑圖示"}},
        {L"IDCreateQSCb", {L"Pin", L"釘選到工作列"}},
        {L"IDFinished", {L"Installation complete", L"安裝完成"}},
        {L"IDProgressing", {L"Installing:%d%%", L"正在安裝:%d%%"}},
        {L"IDProgressLb", {L"Preparing", L"準備中"}},
        {L"IDMsgTip", {L"Tip", L"提示"}},
        {L"IDMsgExit", {L"Are you sure you want to exit?", L"您確定要退出安裝嗎？"}},
        {L"IDoK", {L"Yes", L"是"}},
        {L"IDcancel", {L"No", L"否"}},
    };
    const auto it = texts.find(id);
    if (it == texts.end()) return id;
    return g_chinese ? it->second.second : it->second.first;
}

}  // namespace

void SetUpDisplay() {
    std::string error;
    if (!XvfbDisplay::Start(&error)) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", error.c_str());
        std::abort();
    }
    int argc = 0;
    char** argv = nullptr;
    if (!InitGtkHost(&argc, &argv)) std::abort();
    if (!SkinResources::Instance().OpenFolder(QV_WINDOWS_TEST_SKIN, &error)) {
        std::fprintf(stderr, "cannot open the test skin: %s\n", error.c_str());
        std::abort();
    }
    SetTextProvider(&TestText);
}

void TearDownDisplay() { XvfbDisplay::Stop(); }

void UseChineseTexts(bool on) { g_chinese = on; }

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

void Key(CWindowBase& window, const std::string& keys) {
    Xdo("windowfocus --sync " + std::to_string(Xid(window)) + " key " + keys);
}

static GtkWindow* MappedTopLevel(const std::wstring& title) {
    const std::string utf8 = Utils::ToUtf8(title);
    GList* all = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* l = all; l; l = l->next) {
        GtkWindow* w = GTK_WINDOW(l->data);
        const char* t = gtk_window_get_title(w);
        if (t && utf8 == t && gtk_widget_get_mapped(GTK_WIDGET(w))) found = w;
    }
    g_list_free(all);
    return found;
}

bool BoxOnScreen(const std::wstring& title) { return MappedTopLevel(title) != nullptr; }

std::shared_ptr<bool> AnswerBox(const std::wstring& title, std::function<void()> click, std::function<void()> first) {
    struct Pending {
        std::wstring title;
        std::function<void()> click, first;
        int seenTicks = 0;
        int clicks = 0;
        std::shared_ptr<bool> done = std::make_shared<bool>(false);
    };
    auto* pending = new Pending{title, std::move(click), std::move(first)};
    std::shared_ptr<bool> done = pending->done;
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 100,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Pending*>(data);
            if (!MappedTopLevel(p->title)) return *p->done ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
            if (++p->seenTicks < 3) return G_SOURCE_CONTINUE;  // let it draw and take input
            if (!*p->done) {
                *p->done = true;
                if (p->first) p->first();
            }
            if ((p->seenTicks - 3) % 4 == 0 && p->clicks++ < 15) p->click();
            return G_SOURCE_CONTINUE;
        },
        pending, [](gpointer data) { delete static_cast<Pending*>(data); });
    return done;
}

void ClickInBox(const std::wstring& title, int fromRight, int fromBottom) {
    GtkWindow* w = MappedTopLevel(title);
    if (!w) return;
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(w)), &x, &y);
    const int width = gtk_widget_get_allocated_width(GTK_WIDGET(w));
    const int height = gtk_widget_get_allocated_height(GTK_WIDGET(w));
    Xdo("mousemove " + std::to_string(x + width - fromRight) + " " + std::to_string(y + height - fromBottom) +
        " sleep 0.05 click 1");
}

void CloseBox(const std::wstring& title) {
    GtkWindow* w = MappedTopLevel(title);
    if (!w) return;
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(w)), &x, &y);
    const int width = gtk_widget_get_allocated_width(GTK_WIDGET(w));
    Xdo("mousemove " + std::to_string(x + width - 12) + " " + std::to_string(y + 12) + " sleep 0.05 click 1");
}

void SendWmDelete(CWindowBase& window) {
    const std::string cmd = std::string(QV_SEND_WM_DELETE) + " " + std::to_string(Xid(window));
    (void)std::system(cmd.c_str());
}

}  // namespace WindowTest
