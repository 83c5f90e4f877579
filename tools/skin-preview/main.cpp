// skin-preview: renders a layout of a skin (the installer's built-in package, a folder or a
// zip) to a PNG without a display, in a chosen language and scale, with chosen tab pages,
// control states, focus and drop-down lists, so a person can review a skin without running the
// installer. Exit codes: 0 written, 1 layout cannot be built, 2 usage or
// input error.
#include <cairo.h>
#include <pugixml.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "PreviewOptions.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/Label.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TabLayout.h"
#include "ui/controls/SequenceControlFactory.h"
#include "ui/skin/EmbeddedResources.h"
#include "ui/skin/LanguageList.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextFitting.h"
#include "utils/StringUtils.h"

using namespace Toolkit;

namespace {

std::map<std::wstring, std::wstring>& Texts() {
    static std::map<std::wstring, std::wstring> table;
    return table;
}

std::wstring LookupPreviewText(const std::wstring& id) {
    auto it = Texts().find(id);
    return it == Texts().end() ? id : it->second;
}

// The installer's own controls; any other name the toolkit lacks is drawn as a label, so its
// background, text and place still show.
class PreviewFactory : public IControlFactory {
public:
    std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override {
        if (auto control = Controls::CreateSequenceControl(name)) return control;
        return std::make_unique<CLabelUI>();
    }
};

bool LoadTexts(const std::string& path) {
    std::string xml;
    if (!SkinResources::Instance().Read(Utils::FromUtf8(path), xml)) return false;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size())) return false;
    for (pugi::xml_node n : doc.document_element().children()) {
        pugi::xml_attribute id = n.attribute("id"), value = n.attribute("value");
        if (id && value) Texts()[Utils::FromUtf8(id.value())] = Utils::FromUtf8(value.value());
    }
    return true;
}

void ListTree(CControlUI* c, int depth) {
    const Rect& r = c->GetPos();
    std::printf("%*s%ls \"%ls\" [%d,%d %dx%d]%s\n", depth * 2, "", std::wstring(c->GetClass()).c_str(),
                c->GetName().c_str(), r.left, r.top, r.Width(), r.Height(), c->IsVisible() ? "" : " hidden");
    if (auto* container = dynamic_cast<CContainerUI*>(c))
        for (int i = 0; i < container->GetCount(); ++i) ListTree(container->GetItemAt(i), depth + 1);
}

CControlUI* Need(CPaintManagerUI& manager, const std::string& name) {
    CControlUI* c = manager.FindControl(Utils::FromUtf8(name));
    if (!c) std::fprintf(stderr, "skin-preview: no control named '%s'\n", name.c_str());
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    PreviewOptions o;
    std::string error;
    if (!ParsePreviewOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "skin-preview: %s\n%s", error.c_str(), PreviewUsage());
        return 2;
    }
    SkinResources& skin = SkinResources::Instance();
    bool opened;
    if (o.skin.empty()) {
        const auto zip = Skin::FindEmbeddedResource("ZIPRES", "IDR_SKIN");
        opened = !zip.empty() && skin.OpenZip(zip.data(), zip.size(), &error);
        if (zip.empty()) error = "no built-in skin package";
    } else if (o.skin.size() > 4 && Utils::AsciiLower(o.skin.substr(o.skin.size() - 4)) == ".zip") {
        std::ifstream in(o.skin, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        opened = in.good() || in.eof() ? skin.OpenZipCopy(std::move(bytes), &error) : false;
    } else {
        opened = skin.OpenFolder(o.skin, &error);
    }
    if (!opened) {
        std::fprintf(stderr, "skin-preview: cannot open skin '%s': %s\n", o.skin.c_str(), error.c_str());
        return 2;
    }
    // A skin with language folders is loaded the way the installer loads it: the Default layer,
    // then the language (en-US unless --lang names another).
    if (skin.Exists(L"lang/Default/index.xml")) {
        Skin::WireTextLookups();
        const std::wstring locale = o.language.empty() ? L"en-US" : Utils::FromUtf8(o.language);
        if (!Skin::SwitchSkinLanguage(locale))
            std::fprintf(stderr, "skin-preview: the skin has no language '%ls'\n", locale.c_str());
    } else if (!o.language.empty()) {
        SetCurrentLanguage(Utils::FromUtf8(o.language));
    }
    for (const auto& f : o.fragments) {
        std::string xml;
        LayoutMessage msg;
        if (!skin.Read(Utils::FromUtf8(f), xml) || !CLayoutBuilder::LoadSharedFragment(xml, &msg))
            std::fprintf(stderr, "skin-preview: cannot load %s\n", msg.Format(f).c_str());
    }
    for (const auto& t : o.texts)
        if (!LoadTexts(t)) std::fprintf(stderr, "skin-preview: cannot load texts '%s'\n", t.c_str());
    if (!o.texts.empty()) SetTextProvider(&LookupPreviewText);

    CPaintManagerUI manager;
    PreviewFactory factory;
    BuildResult built = CLayoutBuilder::BuildFromResource(Utils::FromUtf8(o.layout), &manager, &factory);
    for (const auto& w : built.warnings) std::fprintf(stderr, "warning: %s\n", w.Format(o.layout).c_str());
    if (!built.ok) {
        std::fprintf(stderr, "skin-preview: %s\n", built.error.Format(o.layout).c_str());
        return 1;
    }
    manager.AttachRoot(std::move(built.root));
    manager.SetClientSize(manager.GetInitSize());
    // The main window lists the languages and fits some widths to their texts.
    if (auto* languages = dynamic_cast<CComboUI*>(manager.FindControl(L"langCombo")))
        Skin::FillLanguageList(languages, o.language == "zh-TW" ? 1028 : 1033);
    Skin::FitTextWidths(manager);

    int problems = 0;
    for (const auto& [name, index] : o.select) {
        auto* tab = dynamic_cast<CTabLayoutUI*>(Need(manager, name));
        if (!tab || !tab->SelectItem(index, false)) {
            std::fprintf(stderr, "skin-preview: cannot select page %d of '%s'\n", index, name.c_str());
            ++problems;
        }
    }
    for (const auto& [name, attrs] : o.set)
        if (CControlUI* c = Need(manager, name)) c->ApplyAttributeList(Utils::FromUtf8(attrs)); else ++problems;
    for (const auto& n : o.hot) if (CControlUI* c = Need(manager, n)) c->ForceState(UISTATE_HOT); else ++problems;
    for (const auto& n : o.pushed)
        if (CControlUI* c = Need(manager, n)) c->ForceState(UISTATE_HOT | UISTATE_PUSHED); else ++problems;
    for (const auto& n : o.disabled) if (CControlUI* c = Need(manager, n)) c->SetEnabled(false); else ++problems;
    for (const auto& n : o.checked) {
        auto* cb = dynamic_cast<CCheckBoxUI*>(Need(manager, n));
        if (cb) cb->Selected(true, false); else ++problems;
    }
    if (!o.focus.empty()) {
        if (CControlUI* c = Need(manager, o.focus)) manager.SetFocus(c, true); else ++problems;
    }
    if (problems) return 2;
    manager.UpdateLayout();
    if (o.listControls && manager.GetRoot()) ListTree(manager.GetRoot(), 0);

    OffscreenOptions options;
    options.scale = o.scale;
    options.withShadow = o.shadow;
    Point origin;
    SurfacePtr result = RenderWindow(manager, options, &origin);
    if (!result) {
        std::fprintf(stderr, "skin-preview: the layout has no size\n");
        return 1;
    }
    if (!o.openCombo.empty()) {
        auto* combo = dynamic_cast<CComboUI*>(Need(manager, o.openCombo));
        if (!combo) return 2;
        // The list is drawn where it opens, on a canvas grown to hold it.
        const Size list = combo->GetDropListSize();
        const Rect box = combo->GetPos().Offset(origin.x, origin.y);
        const Size client = manager.GetClientSize();
        const int ww = client.cx + 2 * origin.x, wh = client.cy + 2 * origin.y;
        Rect place = CComboUI::PlaceDropList(box, list, {}, combo->IsDropUp());
        const int top = std::min(0, place.top), bottom = std::max(wh, place.bottom);
        const int right = std::max(ww, place.right);
        SurfacePtr grown(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(right * o.scale),
                                                    static_cast<int>((bottom - top) * o.scale)));
        if (cairo_surface_status(grown.get()) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "skin-preview: cannot make the canvas\n");
            return 2;
        }
        cairo_surface_set_device_scale(grown.get(), o.scale, o.scale);
        CairoPtr cr(cairo_create(grown.get()));
        cairo_set_source_surface(cr.get(), result.get(), 0, -top);
        cairo_paint(cr.get());
        cairo_translate(cr.get(), place.left, place.top - top);
        combo->PaintDropList(cr.get(), list, combo->GetCurSel());
        result = std::move(grown);
    }
    const cairo_status_t status = cairo_surface_write_to_png(result.get(), o.out.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "skin-preview: cannot write '%s': %s\n", o.out.c_str(), cairo_status_to_string(status));
        return 2;
    }
    return 0;
}
