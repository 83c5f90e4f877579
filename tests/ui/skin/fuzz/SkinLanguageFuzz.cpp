// Fuzz target: the skin's language files. The input is cut at each "\n####\n" into the files
// below, which are written to a private folder and opened as the skin; then the language list is
// filled and every item applied, as the main window does, and a resource list is read inline.
// Whatever the files hold, loading must never crash, hang or read outside the skin.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "../../../support/TempDir.h"
#include "config/LocaleTable.h"
#include "toolkit/Combo.h"
#include "toolkit/ComboItem.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "ui/skin/LanguageList.h"
#include "ui/skin/SkinPackage.h"
#include "ui/skin/TextTable.h"
#include "utils/StringUtils.h"

namespace {

constexpr const char* kFiles[] = {
    "lang.xml",
    "lang/Default/index.xml",
    "lang/Default/texts.xml",
    "lang/en-US/index.xml",
    "lang/en-US/texts.xml",
    "lang/en-US/fonts.xml",
    "lang/en-US/images.xml",
    "lang/en-US/styles.xml",
};
constexpr std::string_view kCut = "\n####\n";

std::vector<std::string_view> Split(std::string_view input) {
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < std::size(kFiles)) {
        const std::size_t cut = input.find(kCut);
        if (cut == std::string_view::npos) break;
        pieces.push_back(input.substr(0, cut));
        input.remove_prefix(cut + kCut.size());
    }
    pieces.push_back(input);
    return pieces;
}

// The main window's language list, without a window: selections are applied as it applies them.
struct LanguageBox : Toolkit::INotifyUI {
    LanguageBox() {
        Toolkit::BuildResult built = Toolkit::CLayoutBuilder::BuildFromText(
            "<Window size='300,40'><Combo name='langCombo'/></Window>", &manager, nullptr);
        if (!built.ok) std::abort();
        manager.AttachRoot(std::move(built.root));
        manager.AddNotifier(this);
        combo = dynamic_cast<Toolkit::CComboUI*>(manager.FindControl(L"langCombo"));
    }
    void Notify(Toolkit::TNotifyUI& msg) override {
        if (msg.type != L"itemselect" || ++selections > 64) return;
        Skin::ApplyLanguageChoice(combo->GetItemAt(static_cast<int>(msg.wParam)), languageCode);
    }
    Toolkit::CPaintManagerUI manager;
    Toolkit::CComboUI* combo = nullptr;
    std::wstring languageCode = L"en-US";
    int selections = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> pieces = Split(input);
    // The skin folder, made once per process (under the test script's root when it sets one)
    // and removed at exit.
    static const testsupport::TempDir skin;
    const std::filesystem::path& folder = skin.path();
    for (std::size_t i = 0; i < std::size(kFiles); ++i) {
        const std::filesystem::path file = folder / kFiles[i];
        std::error_code ec;
        std::filesystem::remove(file, ec);
        if (i >= pieces.size()) continue;
        std::filesystem::create_directories(file.parent_path(), ec);
        std::ofstream(file, std::ios::binary).write(pieces[i].data(), static_cast<std::streamsize>(pieces[i].size()));
    }

    // Every input starts from an empty skin state, so runs do not depend on each other.
    Skin::TextTable::Instance().Clear();
    Toolkit::SharedResources() = Toolkit::ResourceSet();
    LanguageId() = 1033;
    Skin::WireTextLookups();
    if (!Skin::OpenSkinFolder(folder.string())) return 0;

    Skin::SwitchSkinLanguage(L"en-US");
    {
        LanguageBox box;
        Skin::FillLanguageList(box.combo, 1028);
        for (int i = 0; i < box.combo->GetCount() && i < 8; ++i)
            Skin::ApplyLanguageChoice(box.combo->GetItemAt(i), box.languageCode);
    }
    // A resource list given as text, as callers may pass one.
    if (pieces.size() > 3) Skin::LoadResourceList(Utils::FromUtf8(std::string(pieces[3])));
    (void)Skin::GetText(L"IDLangText");
    (void)Toolkit::LookupText(L"IDProductName");
    Toolkit::SkinResources::Instance().Close();
    return 0;
}
