// The layout file inside the embedded skin: its bytes, and every element and attribute
// value the window code and the library rely on, in document order.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <utility>

#include "tests/platform/resource/EmbeddedSkin.h"

namespace kestrova::test {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct Element {
    int depth;
    std::string name;
    Attributes attributes;
};

class FloatDlgLayout : public ::testing::Test {
protected:
    void SetUp() override {
        const ZipPtr archive = openEmbeddedSkin();
        ASSERT_TRUE(archive);
        const auto entry = readEntry(archive.get(), "FloatDlg.xml");
        ASSERT_TRUE(entry.has_value());
        m_text.assign(entry->begin(), entry->end());
        const auto result =
            m_doc.load_buffer(m_text.data(), m_text.size(),
                              pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
        ASSERT_TRUE(result) << result.description() << " at byte " << result.offset;
    }

    std::vector<Element> elements() {
        struct Walker : pugi::xml_tree_walker {
            std::vector<Element> found;
            bool for_each(pugi::xml_node& node) override {
                if (node.type() == pugi::node_element) {
                    Element e{depth(), node.name(), {}};
                    for (pugi::xml_attribute a : node.attributes()) {
                        e.attributes.emplace_back(a.name(), a.value());
                    }
                    found.push_back(std::move(e));
                }
                return true;
            }
        } walker;
        m_doc.traverse(walker);
        return walker.found;
    }

    std::string m_text;
    pugi::xml_document m_doc;
};

TEST_F(FloatDlgLayout, FileIsCrlfUtf8WithoutBomAndDeclaredStandalone) {
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

Element font(const char* id, const char* size, const char* bold) {
    Attributes a{{"id", id}, {"name", "Microsoft YaHei"}, {"size", size}, {"bold", bold}};
    if (std::string_view(id) == "0") {
        a.emplace_back("default", "true");
    }
    return {1, "Font", a};
}

TEST_F(FloatDlgLayout, ElementsAndAttributesInDocumentOrder) {
    const std::string thumb = "source='0,0,8,20' corner='0,4,0,4'";
    const std::vector<Element> expected = {
        {0,
         "Window",
         {{"size", "320,180"},
          {"mininfo", "320,180"},
          {"caption", "0,0,0,30"},
          {"layeredimage", "file='float_bg.png' corner='5,5,5,5'"}}},
        font("0", "14", "false"),
        font("1", "18", "false"),
        font("2", "12", "false"),
        font("3", "16", "false"),
        font("4", "22", "false"),
        font("5", "14", "true"),
        font("6", "20", "false"),
        {1,
         "Default",
         {{"name", "VScrollBar"},
          {"value",
           "showbutton1=\"false\" showbutton2=\"false\" width=\"8\" "
           "thumbnormalimage=\"file='scrollbar.png' " +
               thumb +
               "\" "
               "thumbhotimage=\"file='scrollbar.png' " +
               thumb +
               "\" "
               "thumbpushedimage=\"file='scrollbar_hover.png' " +
               thumb +
               "\" "
               "thumbnormalalpha=\"120\""}}},
        {1, "VerticalLayout", {{"bkimage", "file='float_bg.png' corner='5,30,5,5'"}}},
        {2, "HorizontalLayout", {{"height", "30"}}},
        {3,
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
        {3, "Container", {{"width", "30"}}},
        {4,
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
        {2, "TabLayout", {{"float", "false"}, {"name", "main_tab"}}},
        {3, "VerticalLayout", {}},
        {4, "HorizontalLayout", {{"height", "20"}}},
        {4, "HorizontalLayout", {}},
        {5, "Container", {{"width", "20"}}},
        {5,
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
        {5, "Container", {{"width", "20"}}},
        {3, "HorizontalLayout", {}},
        {4, "Label", {{"name", "imgLabel"}, {"text", ""}, {"mouse", "true"}}},
    };
    const std::vector<Element> actual = elements();
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i) + " " + expected[i].name);
        EXPECT_EQ(actual[i].depth, expected[i].depth);
        EXPECT_EQ(actual[i].name, expected[i].name);
        EXPECT_EQ(actual[i].attributes, expected[i].attributes);
    }
}

}  // namespace
}  // namespace kestrova::test
