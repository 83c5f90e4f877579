#include "toolkit/LayoutBuilder.h"

#include <pugixml.hpp>

#include <algorithm>

#include "toolkit/PaintManager.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace Toolkit {

std::string LayoutMessage::Format(const std::string& source) const {
    std::string out = source;
    if (line > 0) out += ":" + std::to_string(line) + ":" + std::to_string(column);
    return out + ": " + text;
}

namespace {

constexpr unsigned kParseFlags = pugi::parse_default;  // no declaration node, entities escaped
constexpr int kMaxDepth = 64;                          // deeper nesting is a broken or hostile file

bool NameIs(const pugi::xml_node& node, const char* name) {
    return Utils::EqualsNoCase(Utils::FromUtf8(node.name()), Utils::FromUtf8(name));
}

std::wstring W(const char* utf8) { return Utils::FromUtf8(utf8 ? utf8 : ""); }

class Builder {
public:
    Builder(std::string_view xml, CPaintManagerUI* manager, IControlFactory* factory, int includeDepth)
        : text_(xml), manager_(manager), factory_(factory), includeDepth_(includeDepth) {}

    BuildResult Run() {
        BuildResult result;
        pugi::xml_parse_result parsed =
            doc_.load_buffer(text_.data(), text_.size(), kParseFlags, pugi::encoding_auto);
        if (!parsed) {
            result.error = At(parsed.offset, std::string("XML error: ") + parsed.description());
            return result;
        }
        pugi::xml_node top = doc_.document_element();
        if (!top) {
            result.error = {"the layout has no root element"};
            return result;
        }
        if (NameIs(top, "Window")) {
            for (pugi::xml_attribute a = top.first_attribute(); a; a = a.next_attribute()) {
                if (manager_ && !manager_->SetWindowAttribute(W(a.name()), W(a.value())))
                    Warn(top, "unknown window attribute '" + std::string(a.name()) + "' ignored");
            }
            for (pugi::xml_node child = top.first_child(); child; child = child.next_sibling()) {
                if (child.type() != pugi::node_element) continue;
                if (ResourceElement(child)) continue;
                if (result.root) {
                    Warn(child, "a window holds one root control; '" + std::string(child.name()) + "' ignored");
                    continue;
                }
                result.root = BuildControl(child, nullptr, 1);
            }
        } else {
            result.root = BuildControl(top, nullptr, 1);
        }
        result.warnings = std::move(warnings_);
        if (!result.root) {
            result.error = fatal_.text.empty() ? LayoutMessage{"the layout builds no control"} : fatal_;
            return result;
        }
        result.ok = true;
        return result;
    }

    // Font, Default, Style, Image: true when the element was one of them.
    bool ResourceElement(const pugi::xml_node& node) {
        const bool shared = ParseBool(W(node.attribute("shared").value()));
        ResourceSet& target = (shared || !manager_) ? (shared ? SharedResources() : scratch_) : manager_->LocalResources();
        if (NameIs(node, "Font")) {
            FontInfo font;
            int id = -1;
            bool isDefault = false;
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                const std::wstring name = Utils::AsciiLower(W(a.name())), value = W(a.value());
                if (name == L"id") id = ParseInt(value);
                else if (name == L"name") font.face = value;
                else if (name == L"size") font.size = std::clamp(ParseInt(value), 1, 500);
                else if (name == L"bold") font.bold = ParseBool(value);
                else if (name == L"underline") font.underline = ParseBool(value);
                else if (name == L"italic") font.italic = ParseBool(value);
                else if (name == L"default") isDefault = ParseBool(value);
            }
            if (id < 0 && !isDefault) Warn(node, "a font without an id is only usable as the default");
            target.AddFont(id, font, isDefault);
            return true;
        }
        if (NameIs(node, "Default")) {
            const std::wstring cls = W(node.attribute("name").value());
            if (cls.empty()) Warn(node, "Default without a name ignored");
            else target.AddDefaultAttributes(cls, W(node.attribute("value").value()));
            return true;
        }
        if (NameIs(node, "Style")) {
            const std::wstring name = W(node.attribute("name").value());
            if (name.empty()) Warn(node, "Style without a name ignored");
            else target.AddStyle(name, W(node.attribute("value").value()));
            return true;
        }
        if (NameIs(node, "Image")) {
            const std::wstring id = W(node.attribute("id").value()), path = W(node.attribute("path").value());
            if (!id.empty()) SharedResources().AddImageAlias(id, path);
            return true;
        }
        return false;
    }

    std::unique_ptr<CControlUI> BuildControl(const pugi::xml_node& node, CControlUI* parent, int depth) {
        if (depth > kMaxDepth) {
            fatal_ = At(node.offset_debug(), "layout nested deeper than " + std::to_string(kMaxDepth) + " levels");
            return nullptr;
        }
        const std::wstring element = W(node.name());
        if (Utils::EqualsNoCase(element, L"Include")) return BuildInclude(node, parent);
        std::unique_ptr<CControlUI> control = ControlRegistry::Instance().Create(element, factory_);
        if (!control) {
            Warn(node, "unknown element '" + std::string(node.name()) + "' creates nothing");
            return nullptr;
        }
        control->SetManager(manager_, parent);
        if (manager_) {
            if (const std::wstring* defaults = manager_->FindDefaultAttributes(control->GetClass()))
                control->ApplyAttributeList(*defaults);
        } else if (const std::wstring* defaults = SharedResources().FindDefaultAttributes(std::wstring(control->GetClass()))) {
            control->ApplyAttributeList(*defaults);
        }
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            if (!control->ApplyAttribute(W(a.name()), W(a.value())))
                WarnAttribute(node, a, "unknown attribute '" + std::string(a.name()) + "' of '" +
                                           std::string(node.name()) + "' kept as a custom attribute");
        }

        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            if (ResourceElement(child)) continue;
            std::unique_ptr<CControlUI> built = BuildControl(child, control.get(), depth + 1);
            if (!fatal_.text.empty()) return nullptr;
            if (!built) continue;
            if (!control->AddChild(built)) {
                Warn(child, "'" + std::string(node.name()) + "' cannot hold child controls; '" +
                                std::string(child.name()) + "' ignored");
            }
        }
        return control;
    }

    std::unique_ptr<CControlUI> BuildInclude(const pugi::xml_node& node, CControlUI* parent) {
        const std::wstring source = W(node.attribute("source").value());
        if (includeDepth_ >= 8) {
            Warn(node, "includes nested too deeply");
            return nullptr;
        }
        std::string xml;
        const std::wstring* alias = SharedResources().FindLayoutAlias(source);
        if (!SkinResources::Instance().Read(alias ? *alias : source, xml)) {
            Warn(node, "included layout '" + Utils::ToUtf8(source) + "' not found");
            return nullptr;
        }
        Builder inner(xml, manager_, factory_, includeDepth_ + 1);
        BuildResult r = inner.Run();
        for (auto& w : r.warnings) warnings_.push_back(w);
        if (!r.ok) {
            Warn(node, "included layout '" + Utils::ToUtf8(source) + "': " + r.error.Format("include"));
            return nullptr;
        }
        r.root->SetManager(manager_, parent);
        return std::move(r.root);
    }

    LayoutMessage At(std::ptrdiff_t offset, const std::string& text) const {
        LayoutMessage m{text, 1, 1};
        const size_t end = std::min(static_cast<size_t>(std::max<std::ptrdiff_t>(offset, 0)), text_.size());
        for (size_t i = 0; i < end; ++i) {
            if (text_[i] == '\n') {
                ++m.line;
                m.column = 1;
            } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
                ++m.column;  // count characters, not UTF-8 continuation bytes
            }
        }
        return m;
    }

    void Warn(const pugi::xml_node& node, const std::string& text) {
        warnings_.push_back(At(node.offset_debug(), text));
    }

    // Points at the attribute itself: its name followed by "=" inside the element's start tag.
    void WarnAttribute(const pugi::xml_node& node, const pugi::xml_attribute& attribute, const std::string& text) {
        std::ptrdiff_t offset = node.offset_debug();
        if (offset >= 0 && static_cast<size_t>(offset) < text_.size()) {
            const size_t tagEnd = text_.find('>', static_cast<size_t>(offset));
            const std::string_view name = attribute.name();
            for (size_t at = text_.find(name, static_cast<size_t>(offset)); at != std::string_view::npos && at < tagEnd;
                 at = text_.find(name, at + 1)) {
                size_t after = at + name.size();
                while (after < text_.size() && (text_[after] == ' ' || text_[after] == '\t')) ++after;
                const char before = at > 0 ? text_[at - 1] : ' ';
                if (after < text_.size() && text_[after] == '=' && (before == ' ' || before == '\t' || before == '\n' ||
                                                                     before == '\r')) {
                    offset = static_cast<std::ptrdiff_t>(at);
                    break;
                }
            }
        }
        warnings_.push_back(At(offset, text));
    }

private:
    std::string_view text_;
    CPaintManagerUI* manager_;
    IControlFactory* factory_;
    int includeDepth_;
    pugi::xml_document doc_;
    ResourceSet scratch_;
    std::vector<LayoutMessage> warnings_;
    LayoutMessage fatal_;
};

}  // namespace

BuildResult CLayoutBuilder::BuildFromText(std::string_view xml, CPaintManagerUI* manager, IControlFactory* factory) {
    Builder builder(xml, manager, factory, 0);
    return builder.Run();
}

BuildResult CLayoutBuilder::BuildFromResource(const std::wstring& path, CPaintManagerUI* manager,
                                              IControlFactory* factory) {
    const std::wstring* alias = SharedResources().FindLayoutAlias(path);
    std::string xml;
    if (!SkinResources::Instance().Read(alias ? *alias : path, xml)) {
        BuildResult r;
        r.error = {"layout '" + Utils::ToUtf8(path) + "' not found in the skin resources"};
        return r;
    }
    BuildResult r = BuildFromText(xml, manager, factory);
    for (const auto& w : r.warnings) {
        const std::string line = w.Format(Utils::ToUtf8(path));
        QLOG(L"layout warning: %S\r\n", line.c_str());
    }
    return r;
}

bool CLayoutBuilder::LoadSharedFragment(std::string_view xml, LayoutMessage* error) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), kParseFlags, pugi::encoding_auto);
    Builder helper(xml, nullptr, nullptr, 0);
    if (!parsed) {
        if (error) *error = helper.At(parsed.offset, std::string("XML error: ") + parsed.description());
        return false;
    }
    pugi::xml_node top = doc.document_element();
    if (!top) {
        if (error) *error = {"no root element"};
        return false;
    }
    for (pugi::xml_node child = top.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element) helper.ResourceElement(child);
    return true;
}

}  // namespace Toolkit
