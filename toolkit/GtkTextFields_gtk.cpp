#include "toolkit/FontWarmup.h"
#include "toolkit/GtkTextFields_gtk.h"

#include <cstdio>
#include <string>
#include <vector>

#include "toolkit/NativePeer.h"
#include "toolkit/PaintManager.h"
#include "toolkit/TextRenderer.h"
#include "utils/StringUtils.h"

namespace Toolkit {
namespace {

std::string CssColor(Color c) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "rgba(%u,%u,%u,%.3f)", (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF,
                  ((c >> 24) & 0xFF) / 255.0);
    return buf;
}

// "a,b c" -> "\"a\", \"b c\"" for a CSS font-family list.
std::string CssFamilies(const std::string& list) {
    std::string out, cur;
    for (char c : list + ",") {
        if (c != ',') {
            cur += c;
            continue;
        }
        if (cur.empty()) continue;
        if (!out.empty()) out += ", ";
        out += "\"" + cur + "\"";
        cur.clear();
    }
    return out;
}

}  // namespace

CControlUI* GtkTextFields::ControlOf(GtkWidget* entry) const {
    for (const auto& [control, widget] : fields_)
        if (widget == entry) return control;
    return nullptr;
}

void GtkTextFields::Style(GtkWidget* entry, ITextPeer* peer) {
    const FontInfo font = peer->PeerFont();
    const std::string css = "entry { background: none; background-color: transparent; border: none; box-shadow: none;"
                            " outline: none; padding: 0; margin: 0; min-height: 0; min-width: 0;"
                            " color: " + CssColor(peer->PeerTextColor()) + "; font-family: " +
                            CssFamilies(Text::FamilyList(font.face)) + "; font-size: " + std::to_string(font.size) +
                            "px; font-weight: " + (font.bold ? "bold" : "normal") +
                            "; font-style: " + (font.italic ? "italic" : "normal") + "; }";
    const char* old = static_cast<const char*>(g_object_get_data(G_OBJECT(entry), "qv-css"));
    if (old && css == old) return;
    GtkCssProvider* provider = GTK_CSS_PROVIDER(g_object_get_data(G_OBJECT(entry), "qv-provider"));
    if (!provider) {
        provider = gtk_css_provider_new();
        gtk_style_context_add_provider(gtk_widget_get_style_context(entry), GTK_STYLE_PROVIDER(provider),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        g_object_set_data_full(G_OBJECT(entry), "qv-provider", provider, g_object_unref);
    }
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    g_object_set_data_full(G_OBJECT(entry), "qv-css", g_strdup(css.c_str()), g_free);
}

GtkWidget* GtkTextFields::FieldFor(CControlUI* control, ITextPeer* peer) {
    auto it = fields_.find(control);
    if (it != fields_.end()) return it->second;
    FontWarmup::Finish();  // the entry's text must find the warmed fonts, not start a map of its own
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_has_frame(GTK_ENTRY(entry), FALSE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    if (peer->PeerMaxChars() > 0) gtk_entry_set_max_length(GTK_ENTRY(entry), peer->PeerMaxChars());
    gtk_entry_set_visibility(GTK_ENTRY(entry), !peer->PeerPassword());
    gtk_editable_set_editable(GTK_EDITABLE(entry), !peer->PeerReadOnly());
    settingText_ = true;
    gtk_entry_set_text(GTK_ENTRY(entry), Utils::ToUtf8(peer->PeerText()).c_str());
    settingText_ = false;
    g_signal_connect(entry, "changed", G_CALLBACK(OnChanged), this);
    g_signal_connect(entry, "focus-in-event", G_CALLBACK(OnFocusIn), this);
    gtk_fixed_put(GTK_FIXED(fixed_), entry, 0, 0);
    fields_[control] = entry;
    peer->PeerAttached(true);
    return entry;
}

void GtkTextFields::Sync(CControlUI* root, int margin) {
    std::vector<std::pair<CControlUI*, ITextPeer*>> peers;
    root->FindFirst([&](CControlUI* c) {
        if (ITextPeer* peer = c->TextPeer()) peers.emplace_back(c, peer);
        return false;
    });
    for (const auto& [control, peer] : peers) {
        const Rect r = peer->PeerRect();
        auto it = fields_.find(control);
        if (!control->IsReallyVisible() || r.IsEmpty()) {
            if (it != fields_.end()) gtk_widget_hide(it->second);
            continue;
        }
        GtkWidget* entry = FieldFor(control, peer);
        Style(entry, peer);
        gtk_widget_set_sensitive(entry, control->IsEnabled());
        gtk_fixed_move(GTK_FIXED(fixed_), entry, r.left + margin, r.top + margin);
        gtk_widget_set_size_request(entry, r.Width(), r.Height());
        gtk_widget_show(entry);
    }
}

bool GtkTextFields::Focus(CControlUI* control) {
    auto it = control ? fields_.find(control) : fields_.end();
    if (it == fields_.end()) return false;
    if (!gtk_widget_has_focus(it->second)) gtk_widget_grab_focus(it->second);
    return true;
}

void GtkTextFields::TextChanged(CControlUI* control) {
    auto it = fields_.find(control);
    ITextPeer* peer = control ? control->TextPeer() : nullptr;
    if (it == fields_.end() || !peer) return;
    settingText_ = true;
    gtk_entry_set_text(GTK_ENTRY(it->second), Utils::ToUtf8(peer->PeerText()).c_str());
    settingText_ = false;
}

void GtkTextFields::Removed(CControlUI* control, bool destroyWidget) {
    auto it = fields_.find(control);
    if (it == fields_.end()) return;
    if (destroyWidget) gtk_widget_destroy(it->second);
    fields_.erase(it);
}

void GtkTextFields::OnChanged(GtkEditable* editable, gpointer p) {
    auto* self = static_cast<GtkTextFields*>(p);
    if (self->settingText_) return;
    if (CControlUI* control = self->ControlOf(GTK_WIDGET(editable))) {
        if (ITextPeer* peer = control->TextPeer())
            peer->PeerTextEdited(Utils::FromUtf8(gtk_entry_get_text(GTK_ENTRY(editable))));
    }
}

gboolean GtkTextFields::OnFocusIn(GtkWidget* entry, GdkEvent*, gpointer p) {
    auto* self = static_cast<GtkTextFields*>(p);
    if (CControlUI* control = self->ControlOf(entry)) self->manager_.SetFocus(control);
    return FALSE;
}

}  // namespace Toolkit
