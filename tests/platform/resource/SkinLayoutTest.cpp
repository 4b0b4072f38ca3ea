// The layout file inside the embedded skin: its bytes, its structure and the attribute
// values the window code and the library rely on.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <utility>

#include "tests/platform/resource/EmbeddedSkin.h"

namespace kestrova::test {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

std::string layoutBytes() {
    const ZipPtr archive = openEmbeddedSkin();
    if (!archive) {
        return {};
    }
    const auto entry = readEntry(archive.get(), "FloatDlg.xml");
    return entry ? std::string(entry->begin(), entry->end()) : std::string();
}

class FloatDlgLayout : public ::testing::Test {
protected:
    void SetUp() override {
        m_text = layoutBytes();
        ASSERT_FALSE(m_text.empty());
        const auto result =
            m_doc.load_buffer(m_text.data(), m_text.size(),
                              pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
        ASSERT_TRUE(result) << result.description() << " at byte " << result.offset;
    }

    pugi::xml_node named(const char* name) const {
        return m_doc.find_node([name](pugi::xml_node node) {
            return std::string_view(node.attribute("name").value()) == name &&
                   std::string_view(node.name()) != "Font";
        });
    }

    static Attributes attributesOf(pugi::xml_node node) {
        Attributes all;
        for (pugi::xml_attribute a : node.attributes()) {
            all.emplace_back(a.name(), a.value());
        }
        return all;
    }

    std::string m_text;
    pugi::xml_document m_doc;
};

TEST_F(FloatDlgLayout, FileIsCrlfUtf8WithoutBomAndDeclaredStandalone) {
    ASSERT_GE(m_text.size(), 5u);
    EXPECT_EQ(m_text.rfind("<?xml", 0), 0u) << "a byte-order mark or anything else precedes it";
    for (std::size_t i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == '\n') {
            ASSERT_TRUE(i > 0 && m_text[i - 1] == '\r') << "bare LF at byte " << i;
        } else if (m_text[i] == '\r') {
            ASSERT_TRUE(i + 1 < m_text.size() && m_text[i + 1] == '\n') << "bare CR at byte " << i;
        }
    }
    // Apostrophes occur only inside attribute values, where they are written as entities.
    EXPECT_EQ(m_text.find('\''), std::string::npos);

    const pugi::xml_node declaration = m_doc.first_child();
    ASSERT_EQ(declaration.type(), pugi::node_declaration);
    EXPECT_STREQ(declaration.attribute("version").value(), "1.0");
    EXPECT_STRCASEEQ(declaration.attribute("encoding").value(), "utf-8");
    EXPECT_STREQ(declaration.attribute("standalone").value(), "yes");
}

TEST_F(FloatDlgLayout, ElementsComeInDocumentOrder) {
    std::vector<std::string> outline;
    struct Walker : pugi::xml_tree_walker {
        std::vector<std::string>* out;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_element) {
                out->push_back(std::to_string(depth()) + node.name());
            }
            return true;
        }
    } walker;
    walker.out = &outline;
    m_doc.traverse(walker);
    const std::vector<std::string> expected = {"0Window",
                                               "1Font",
                                               "1Font",
                                               "1Font",
                                               "1Font",
                                               "1Font",
                                               "1Font",
                                               "1Font",
                                               "1Default",
                                               "1VerticalLayout",
                                               "2HorizontalLayout",
                                               "3Label",
                                               "3Container",
                                               "4Button",
                                               "2TabLayout",
                                               "3VerticalLayout",
                                               "4HorizontalLayout",
                                               "4HorizontalLayout",
                                               "5Container",
                                               "5Label",
                                               "5Container",
                                               "3HorizontalLayout",
                                               "4Label"};
    EXPECT_EQ(outline, expected);
}

TEST_F(FloatDlgLayout, WindowFontsAndDefaults) {
    const pugi::xml_node window = m_doc.child("Window");
    EXPECT_EQ(attributesOf(window),
              (Attributes{{"size", "320,180"},
                          {"mininfo", "320,180"},
                          {"caption", "0,0,0,30"},
                          {"layeredimage", "file='float_bg.png' corner='5,5,5,5'"}}));

    const struct {
        const char* size;
        const char* bold;
    } kFonts[] = {{"14", "false"}, {"18", "false"}, {"12", "false"}, {"16", "false"},
                  {"22", "false"}, {"14", "true"},  {"20", "false"}};
    int id = 0;
    for (pugi::xml_node font : window.children("Font")) {
        SCOPED_TRACE("font " + std::to_string(id));
        ASSERT_LT(id, 7);
        Attributes expected{{"id", std::to_string(id)},
                            {"name", "Microsoft YaHei"},
                            {"size", kFonts[id].size},
                            {"bold", kFonts[id].bold}};
        if (id == 0) {
            expected.emplace_back("default", "true");
        }
        EXPECT_EQ(attributesOf(font), expected);
        ++id;
    }
    EXPECT_EQ(id, 7);

    const pugi::xml_node scrollBar = window.child("Default");
    EXPECT_STREQ(scrollBar.attribute("name").value(), "VScrollBar");
    EXPECT_STREQ(scrollBar.attribute("value").value(),
                 "showbutton1=\"false\" showbutton2=\"false\" width=\"8\" "
                 "thumbnormalimage=\"file='scrollbar.png' source='0,0,8,20' corner='0,4,0,4'\" "
                 "thumbhotimage=\"file='scrollbar.png' source='0,0,8,20' corner='0,4,0,4'\" "
                 "thumbpushedimage=\"file='scrollbar_hover.png' source='0,0,8,20' "
                 "corner='0,4,0,4'\" thumbnormalalpha=\"120\"");
}

TEST_F(FloatDlgLayout, NamedControlsCarryTheirAttributes) {
    const struct {
        const char* name;
        const char* element;
        Attributes attributes;
    } kControls[] = {
        {"title",
         "Label",
         {{"name", "title"},
          {"text", "广告消息"},
          {"font", "0"},
          {"textpadding", "20,0,0,0"},
          {"float", "false"},
          {"textcolor", "#FFffffff"},
          {"disabledtextcolor", "#FFA7A6AA"},
          {"align", "left"},
          {"valign", "center"}}},
        {"closeBtn",
         "Button",
         {{"name", "closeBtn"},
          {"float", "true"},
          {"pos", "5,5,0,0"},
          {"width", "20"},
          {"height", "20"},
          {"textcolor", "#FF000000"},
          {"disabledtextcolor", "#FFA7A6AA"},
          {"align", "center"},
          {"valign", "center"},
          {"normalimage", "close.png"},
          {"hotimage", "close_hover.png"},
          {"pushedimage", "close_hover.png"}}},
        {"main_tab", "TabLayout", {{"float", "false"}, {"name", "main_tab"}}},
        {"msgLabel",
         "Label",
         {{"name", "msgLabel"},
          {"minwidth", "280"},
          {"maxwidth", "280"},
          {"text", ""},
          {"mouse", "true"},
          {"textpadding", "2,0,2,0"},
          {"textcolor", "#ff666666"},
          {"disabledtextcolor", "#FFA7A6AA"},
          {"align", "left"},
          {"valign", "top"}}},
        {"imgLabel", "Label", {{"name", "imgLabel"}, {"text", ""}, {"mouse", "true"}}},
    };
    for (const auto& control : kControls) {
        SCOPED_TRACE(control.name);
        const pugi::xml_node node = named(control.name);
        ASSERT_TRUE(node);
        EXPECT_STREQ(node.name(), control.element);
        EXPECT_EQ(attributesOf(node), control.attributes);
    }
}

// The unnamed boxes fix the geometry the window code computes with: a 30-pixel title row,
// a 30-pixel cell for the close button, and 20-pixel margins around the text.
TEST_F(FloatDlgLayout, UnnamedBoxesFixTheGeometry) {
    const pugi::xml_node root = m_doc.child("Window").child("VerticalLayout");
    EXPECT_EQ(attributesOf(root),
              (Attributes{{"bkimage", "file='float_bg.png' corner='5,30,5,5'"}}));
    const pugi::xml_node titleRow = root.child("HorizontalLayout");
    EXPECT_EQ(attributesOf(titleRow), (Attributes{{"height", "30"}}));
    EXPECT_EQ(attributesOf(titleRow.child("Container")), (Attributes{{"width", "30"}}));

    const pugi::xml_node textPage = root.child("TabLayout").child("VerticalLayout");
    EXPECT_TRUE(attributesOf(textPage).empty());
    const pugi::xml_node gap = textPage.child("HorizontalLayout");
    EXPECT_EQ(attributesOf(gap), (Attributes{{"height", "20"}}));
    EXPECT_TRUE(gap.first_child().empty());
    const pugi::xml_node textRow = gap.next_sibling("HorizontalLayout");
    EXPECT_TRUE(attributesOf(textRow).empty());
    EXPECT_EQ(attributesOf(textRow.first_child()), (Attributes{{"width", "20"}}));
    EXPECT_EQ(attributesOf(textRow.last_child()), (Attributes{{"width", "20"}}));
    EXPECT_TRUE(attributesOf(root.child("TabLayout").last_child()).empty());
}

}  // namespace
}  // namespace kestrova::test
