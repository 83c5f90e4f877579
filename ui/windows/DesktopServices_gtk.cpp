#include "ui/windows/DesktopServices.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include "toolkit/GtkWindowHost_gtk.h"
#include "toolkit/WindowBase.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace DesktopServices {

namespace {

GtkWindow* GtkWindowOf(Toolkit::CWindowBase& window) {
    auto* host = dynamic_cast<Toolkit::GtkWindowHost*>(window.Native());
    return host && host->Widget() ? GTK_WINDOW(host->Widget()) : nullptr;
}

// Runs in the started program before exec: its own session, so it outlives the installer
// and no terminal signal of ours reaches it.
void NewSession(gpointer) { ::setsid(); }

}  // namespace

bool ChooseFolder(Toolkit::CWindowBase& owner, const std::wstring& title, const std::wstring& start,
                  std::wstring& chosen) {
    GtkFileChooserNative* dialog =
        gtk_file_chooser_native_new(Utils::ToUtf8(title).c_str(), GtkWindowOf(owner),
                                    GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, nullptr, nullptr);
    if (!start.empty()) {
        GFile* folder = g_file_new_for_path(Utils::ToUtf8(start).c_str());
        gtk_file_chooser_set_current_folder_file(GTK_FILE_CHOOSER(dialog), folder, nullptr);
        g_object_unref(folder);
    }
    bool ok = false;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            chosen = Utils::FromUtf8(path);
            g_free(path);
            ok = true;
        }
    }
    g_object_unref(dialog);
    return ok;
}

void Present(Toolkit::CWindowBase& window) {
    if (GtkWindow* w = GtkWindowOf(window)) gtk_window_present_with_time(w, gtk_get_current_event_time());
}

bool StartProgram(const std::wstring& executable, const std::wstring& workingFolder) {
    std::string program = Utils::ToUtf8(executable);
    char* argv[] = {program.data(), nullptr};
    const std::string folder = Utils::ToUtf8(workingFolder);
    GError* error = nullptr;
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the program for us; no shell is involved
    // and every descriptor but 0..2 is closed in the child.
    const gboolean ok = g_spawn_async(folder.empty() ? nullptr : folder.c_str(), argv, nullptr,
                                      G_SPAWN_STDIN_FROM_DEV_NULL, NewSession, nullptr, nullptr, &error);
    if (!ok) {
        QLOG(L"cannot start %s: %S\r\n", executable.c_str(), error ? error->message : "");
        g_clear_error(&error);
    }
    return ok;
}

bool OpenStartPage(const std::wstring& uri) { return OpenUri(uri); }

bool OpenUri(const std::wstring& uri) {
    GError* error = nullptr;
    const gboolean ok = g_app_info_launch_default_for_uri(Utils::ToUtf8(uri).c_str(), nullptr, &error);
    if (!ok) {
        QLOG(L"cannot open %s: %S\r\n", uri.c_str(), error ? error->message : "");
        g_clear_error(&error);
    }
    return ok;
}

void PumpFor(unsigned ms) {
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    while (g_get_monotonic_time() < end && !Toolkit::CWindowBase::QuitPending()) {
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
    }
}

}  // namespace DesktopServices
