// Renders one window of a skin package offscreen to a PNG, in a language of the package, with
// the toolkit alone (controls the toolkit lacks are drawn as labels): the same pixels on Linux
// and under wine, for comparing text and images between the two builds.
//   qv_toolkit_skin_render SKIN.zip LAYOUT.xml LANGUAGE OUT.png
// Exit codes: 0 written, 1 the layout cannot be built or rendered, 2 usage or input error.
#include <pugixml.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "toolkit/Label.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/PaintManager.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "utils/StringUtils.h"

using namespace Toolkit;

namespace {

std::map<std::wstring, std::wstring>& Texts() {
    static std::map<std::wstring, std::wstring> table;
    return table;
}

std::wstring SkinText(const std::wstring& id) {
    auto it = Texts().find(id);
    return it == Texts().end() ? id : it->second;
}

class LabelFactory : public IControlFactory {
public:
    std::unique_ptr<CControlUI> CreateControl(const std::wstring&) override { return std::make_unique<CLabelUI>(); }
};

// One language folder over what earlier ones loaded: texts, then the shared fonts and styles.
void LoadLanguage(const std::wstring& folder) {
    std::string xml;
    if (SkinResources::Instance().Read(folder + L"/texts.xml", xml)) {
        pugi::xml_document doc;
        if (doc.load_buffer(xml.data(), xml.size()))
            for (pugi::xml_node n : doc.document_element().children())
                if (n.attribute("id") && n.attribute("value"))
                    Texts()[Utils::FromUtf8(n.attribute("id").value())] = Utils::FromUtf8(n.attribute("value").value());
    }
    for (const wchar_t* part : {L"/fonts.xml", L"/styles.xml"}) {
        LayoutMessage message;
        if (SkinResources::Instance().Read(folder + part, xml) && !CLayoutBuilder::LoadSharedFragment(xml, &message))
            std::fprintf(stderr, "cannot load %s\n", message.Format(Utils::ToUtf8(folder + part)).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: qv_toolkit_skin_render SKIN.zip LAYOUT.xml LANGUAGE OUT.png\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (bytes.empty() || !SkinResources::Instance().OpenZipCopy(std::move(bytes), &error)) {
        std::fprintf(stderr, "cannot open the skin %s: %s\n", argv[1], error.c_str());
        return 2;
    }
    const std::wstring language = Utils::FromUtf8(argv[3]);
    SetCurrentLanguage(language);
    LoadLanguage(L"lang/Default");
    LoadLanguage(L"lang/" + language);
    SetTextProvider(&SkinText);

    CPaintManagerUI manager;
    LabelFactory factory;
    BuildResult built = CLayoutBuilder::BuildFromResource(Utils::FromUtf8(argv[2]), &manager, &factory);
    if (!built.ok) {
        std::fprintf(stderr, "%s\n", built.error.Format(argv[2]).c_str());
        return 1;
    }
    manager.AttachRoot(std::move(built.root));
    manager.SetClientSize(manager.GetInitSize());
    manager.UpdateLayout();
    OffscreenOptions options;
    options.withShadow = true;
    if (!RenderWindowToPng(manager, options, argv[4], &error)) {
        std::fprintf(stderr, "cannot render: %s\n", error.c_str());
        return 1;
    }
    std::printf("written %s\n", argv[4]);
    return 0;
}
