// Layout documents (pugixml) to control trees. The build stages everything (window
// settings, fonts, defaults, tree) and commits to the paint manager only when the whole
// document was accepted.
#include "platform/ui/UIMarkup.h"

#include <pugixml.hpp>

#include <map>
#include <utility>
#include <vector>

#include "platform/ui/UIContainer.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UILayout.h"
#include "platform/ui/UIManager.h"

namespace kestrova::ui {
namespace {

template <class Control>
CControlUI* make() {
    return new Control;
}

// The element classes a layout may name.
const std::map<std::wstring, CControlUI* (*)()>& registry() {
    static const std::map<std::wstring, CControlUI* (*)()> classes = {
        {L"Control", &make<CControlUI>},
        {L"Container", &make<CContainerUI>},
        {L"VerticalLayout", &make<CVerticalLayoutUI>},
        {L"HorizontalLayout", &make<CHorizontalLayoutUI>},
        {L"TabLayout", &make<CTabLayoutUI>},
        {L"Label", &make<CLabelUI>},
        {L"Button", &make<CButtonUI>},
    };
    return classes;
}

struct FontDecl {
    int id;
    std::wstring family;
    int size;
    bool bold;
    bool isDefault;
};

struct Staged {
    TWindowSettings window;
    std::vector<FontDecl> fonts;
    std::vector<std::pair<std::wstring, std::wstring>> defaults;
};

// Turns a "where + what" into the build's single error, and stops the build.
class Builder {
public:
    Builder(std::string_view xml, std::string fileName, const SkinSource& skin,
            IDialogBuilderCallback* callback)
        : m_xml(xml), m_file(std::move(fileName)), m_skin(skin), m_callback(callback) {}

    BuildResult run(CPaintManagerUI& pm);

private:
    std::string where(const pugi::xml_node& node) const;
    bool fail(const pugi::xml_node& node, const std::string& what);
    bool readWindow(const pugi::xml_node& window);
    bool readFont(const pugi::xml_node& font);
    bool readDefault(const pugi::xml_node& node);
    std::unique_ptr<CControlUI> buildControl(const pugi::xml_node& node);
    bool applyAttributes(CControlUI& control, const pugi::xml_node& node);
    bool checkImages(const CControlUI& control, const pugi::xml_node& node);
    bool checkImage(const std::wstring& image, const pugi::xml_node& node, const char* attr);

    std::string_view m_xml;
    std::string m_file;
    const SkinSource& m_skin;
    IDialogBuilderCallback* m_callback;
    Staged m_staged;
    std::string m_error;
};

std::wstring wide(const pugi::char_t* text) {
    return fromUtf8(text ? text : "");
}

std::string Builder::where(const pugi::xml_node& node) const {
    auto offset = static_cast<size_t>(node.offset_debug());
    size_t line = 1;
    for (size_t i = 0; i < offset && i < m_xml.size(); ++i) {
        line += m_xml[i] == '\n';
    }
    std::string text = m_file + ":" + std::to_string(line) + ": <" + node.name();
    if (const char* name = node.attribute("name").as_string(nullptr)) {
        text += std::string(" name=\"") + name + "\"";
    }
    return text + ">";
}

bool Builder::fail(const pugi::xml_node& node, const std::string& what) {
    m_error = where(node) + ": " + what;
    return false;
}

bool Builder::checkImage(const std::wstring& image, const pugi::xml_node& node, const char* attr) {
    auto parsed = parseImageSpec(image);
    if (!parsed.spec) {
        return fail(node, std::string("attribute ") + attr + ": " + parsed.error);
    }
    std::string file = toUtf8(parsed.spec->file);
    // An absolute path is a picture outside the skin (set at run time); only skin
    // entries are known at build time.
    if (file.front() != '/' && !m_skin.contains(file)) {
        return fail(node, std::string("attribute ") + attr + ": picture '" + file +
                              "' is not in the " + m_skin.describe());
    }
    return true;
}

bool Builder::readWindow(const pugi::xml_node& window) {
    for (const pugi::xml_attribute& a : window.attributes()) {
        std::string name = a.name();
        std::wstring value = wide(a.value());
        bool ok = true;
        if (name == "size" || name == "mininfo") {
            auto size = parseSize(value);
            ok = size && size->cx >= 0 && size->cy >= 0;
            if (ok)
                (name == "size" ? m_staged.window.szInitWindowSize : m_staged.window.szMinWindow) =
                    *size;
        } else if (name == "caption") {
            auto rc = parseRect(value);
            ok = rc.has_value();
            if (ok)
                m_staged.window.rcCaption = *rc;
        } else if (name == "layeredimage") {
            if (!checkImage(value, window, "layeredimage"))
                return false;
            m_staged.window.sLayeredImage = value.c_str();
        } else {
            return fail(window, "unknown attribute " + name);
        }
        if (!ok) {
            return fail(window, "attribute " + name + "=\"" + a.value() + "\": bad value");
        }
    }
    return true;
}

bool Builder::readFont(const pugi::xml_node& font) {
    FontDecl decl{-1, L"", 12, false, false};
    bool haveId = false;
    for (const pugi::xml_attribute& a : font.attributes()) {
        std::string name = a.name();
        std::wstring value = wide(a.value());
        bool ok = true;
        if (name == "id" || name == "size") {
            auto n = parseInt(value);
            ok = n && *n >= (name == "id" ? 0 : 1) && *n <= 1000;
            if (ok)
                (name == "id" ? decl.id : decl.size) = *n;
            haveId = haveId || name == "id";
        } else if (name == "name") {
            decl.family = value;
        } else if (name == "bold" || name == "default") {
            auto b = parseBool(value);
            ok = b.has_value();
            if (ok)
                (name == "bold" ? decl.bold : decl.isDefault) = *b;
        } else {
            return fail(font, "unknown attribute " + name);
        }
        if (!ok) {
            return fail(font, "attribute " + name + "=\"" + a.value() + "\": bad value");
        }
    }
    if (!haveId) {
        return fail(font, "font without an id");
    }
    m_staged.fonts.push_back(decl);
    return true;
}

bool Builder::readDefault(const pugi::xml_node& node) {
    std::wstring name = wide(node.attribute("name").value());
    pugi::xml_attribute value = node.attribute("value");
    if (name.empty() || !value) {
        return fail(node, "a default needs a name and a value");
    }
    // The list is parsed now, so a malformed one is found even if no control of that
    // class appears.
    pugi::xml_document list;
    std::string wrapped = std::string("<d ") + value.value() + "/>";
    if (!list.load_string(wrapped.c_str())) {
        return fail(node, "attribute value: not a list of name=\"value\" pairs");
    }
    m_staged.defaults.emplace_back(name, wide(value.value()));
    return true;
}

bool Builder::applyAttributes(CControlUI& control, const pugi::xml_node& node) {
    // Defaults for the element's class come first so the element's own attributes win.
    std::wstring element = wide(node.name());
    for (auto& [cls, list] : m_staged.defaults) {
        if (cls != element)
            continue;
        pugi::xml_document doc;
        std::string wrapped = "<d " + toUtf8(list) + "/>";
        doc.load_string(wrapped.c_str());
        for (const pugi::xml_attribute& a : doc.first_child().attributes()) {
            if (control.SetAttribute(wide(a.name()).c_str(), wide(a.value()).c_str()) !=
                AttrResult::Applied) {
                return fail(node, std::string("default attribute ") + a.name() + " does not apply");
            }
        }
    }
    for (const pugi::xml_attribute& a : node.attributes()) {
        switch (control.SetAttribute(wide(a.name()).c_str(), wide(a.value()).c_str())) {
            case AttrResult::Applied:
                break;
            case AttrResult::Unknown:
                return fail(node, std::string("unknown attribute ") + a.name());
            case AttrResult::Invalid:
                return fail(node, std::string("attribute ") + a.name() + "=\"" + a.value() +
                                      "\": bad value");
        }
    }
    return true;
}

bool Builder::checkImages(const CControlUI& control, const pugi::xml_node& node) {
    std::vector<CDuiString> images;
    control.CollectImages(images);
    for (const CDuiString& image : images) {
        if (!checkImage(image.str(), node, "image"))
            return false;
    }
    return true;
}

std::unique_ptr<CControlUI> Builder::buildControl(const pugi::xml_node& node) {
    std::wstring element = wide(node.name());
    std::unique_ptr<CControlUI> control;
    if (auto it = registry().find(element); it != registry().end()) {
        control.reset(it->second());
    } else if (m_callback) {
        control.reset(m_callback->CreateControl(element.c_str()));
    }
    if (!control) {
        fail(node, "unknown element");
        return nullptr;
    }
    if (!applyAttributes(*control, node) || !checkImages(*control, node)) {
        return nullptr;
    }
    auto* container = dynamic_cast<CContainerUI*>(control.get());
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (!container) {
            fail(child, std::string("<") + node.name() + "> cannot hold controls");
            return nullptr;
        }
        std::unique_ptr<CControlUI> built = buildControl(child);
        if (!built)
            return nullptr;
        container->Add(built.release());
    }
    return control;
}

BuildResult Builder::run(CPaintManagerUI& pm) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(m_xml.data(), m_xml.size());
    if (!parsed) {
        size_t line = 1;
        for (size_t i = 0; i < static_cast<size_t>(parsed.offset) && i < m_xml.size(); ++i) {
            line += m_xml[i] == '\n';
        }
        return {nullptr,
                m_file + ":" + std::to_string(line) + ": malformed XML: " + parsed.description()};
    }
    pugi::xml_node window = doc.document_element();
    if (std::string_view(window.name()) != "Window") {
        fail(window, "the layout must start with <Window>");
        return {nullptr, m_error};
    }
    if (!readWindow(window))
        return {nullptr, m_error};
    std::unique_ptr<CControlUI> root;
    for (const pugi::xml_node& child : window.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "Font") {
            if (!readFont(child))
                return {nullptr, m_error};
        } else if (name == "Default") {
            if (!readDefault(child))
                return {nullptr, m_error};
        } else if (root) {
            fail(child, "a window holds one root control");
            return {nullptr, m_error};
        } else if (!(root = buildControl(child))) {
            return {nullptr, m_error};
        }
    }
    if (!root) {
        fail(window, "the window holds no control");
        return {nullptr, m_error};
    }
    // Commit: only now does the paint manager see anything of this layout.
    pm.SetWindowSettings(m_staged.window);
    for (const FontDecl& f : m_staged.fonts) {
        pm.AddFont(f.id, f.family.c_str(), f.size, f.bold, f.isDefault);
    }
    for (auto& [cls, list] : m_staged.defaults) {
        pm.AddDefaultAttributeList(cls.c_str(), list.c_str());
    }
    return {std::move(root), {}};
}

}  // namespace

BuildResult buildLayoutFromText(std::string_view xml, const std::string& fileName,
                                const SkinSource& skin, CPaintManagerUI& pm,
                                IDialogBuilderCallback* callback) {
    return Builder(xml, fileName, skin, callback).run(pm);
}

BuildResult buildLayout(const SkinSource& skin, const std::string& fileName, CPaintManagerUI& pm,
                        IDialogBuilderCallback* callback) {
    std::optional<std::string> xml = skin.read(fileName);
    if (!xml) {
        return {nullptr, fileName + ": not found in the " + skin.describe()};
    }
    return buildLayoutFromText(*xml, fileName, skin, pm, callback);
}

}  // namespace kestrova::ui
