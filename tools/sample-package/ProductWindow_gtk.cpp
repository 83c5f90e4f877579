#include "tools/sample-package/ProductWindow.h"

#include <cstdio>
#include <gtk/gtk.h>
#include <sys/stat.h>

namespace sample {

namespace {

struct Widgets {
    GtkWidget* window = nullptr;
    GtkWidget* result = nullptr;
};

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void ShowResult(Widgets* w, const std::string& text) { gtk_label_set_text(GTK_LABEL(w->result), text.c_str()); }

void OnChoose(GtkButton*, gpointer data) {
    auto* w = static_cast<Widgets*>(data);
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        "Choose a file to compress", GTK_WINDOW(w->window), GTK_FILE_CHOOSER_ACTION_OPEN, "_Compress", "_Cancel");
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            const std::string source = file;
            g_free(file);
            std::string target;
            if (CompressFile(source, target)) {
                char line[160];
                std::snprintf(line, sizeof line, "%lld bytes compressed to %lld bytes:\n", FileSize(source),
                              FileSize(target));
                ShowResult(w, line + target);
            } else {
                ShowResult(w, "Could not compress " + source);
            }
        } else {
            ShowResult(w, "Only local files can be compressed.");
        }
    }
    g_object_unref(chooser);
}

}  // namespace

int RunProductWindow(int* argc, char*** argv) {
    g_set_prgname("quorvex-compressor");
    if (!gtk_init_check(argc, argv)) {
        std::fprintf(stderr, "compressor.exe: no display found; use compressor.exe FILE to compress a file\n");
        return 2;
    }
    Widgets w;
    w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(w.window), "Quorvex");
    gtk_window_set_default_size(GTK_WINDOW(w.window), 420, 180);
    gtk_window_set_position(GTK_WINDOW(w.window), GTK_WIN_POS_CENTER);
    g_signal_connect(w.window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(box), 18);
    GtkWidget* title = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(title), "<b>Quorvex file compressor</b>");
    GtkWidget* button = gtk_button_new_with_mnemonic("_Choose a file to compress…");
    w.result = gtk_label_new("The compressed copy is written next to the file, with \".gz\" added.");
    gtk_label_set_line_wrap(GTK_LABEL(w.result), TRUE);
    gtk_label_set_selectable(GTK_LABEL(w.result), TRUE);
    g_signal_connect(button, "clicked", G_CALLBACK(OnChoose), &w);

    gtk_box_pack_start(GTK_BOX(box), title, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), w.result, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(w.window), box);
    gtk_widget_show_all(w.window);
    gtk_main();
    return 0;
}

}  // namespace sample
