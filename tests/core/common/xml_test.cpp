#include "core/common/config_error.h"
#include "core/internal/xml.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlAccess, FirstTopLevelNodeIsWhateverComesFirst) {
    pugi::xml_document document;
    sw::xml::loadBuffer(document, "<?xml version=\"1.0\"?><Root><a>1</a></Root>", "test");
    const pugi::xml_node first = sw::xml::firstTopLevel(document);
    EXPECT_EQ(first.type(), pugi::node_declaration);
    EXPECT_FALSE(sw::xml::findChild(first, "a"));

    sw::xml::loadBuffer(document, "<!-- note --><Root><a>1</a></Root>", "test");
    EXPECT_EQ(sw::xml::firstTopLevel(document).type(), pugi::node_comment);
}

TEST(XmlAccess, ElementTextHasThreeCases) {
    pugi::xml_document document;
    sw::xml::loadBuffer(document, "<R><empty/><text> 7 </text><blank> </blank><nested><x/></nested></R>",
                        "t");
    const pugi::xml_node root = sw::xml::firstTopLevel(document);
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "empty")), "");
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "text")), " 7 ");
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "blank")), " ");
    EXPECT_THROW(sw::xml::elementText(sw::xml::findChild(root, "nested")), sw::ConfigError);
}

TEST(XmlAccess, FindChildMatchesNameExactlyAndAttributesTellAbsentFromEmpty) {
    pugi::xml_document document;
    sw::xml::loadBuffer(document, "<R a=\"\"><!--c--><Item>1</Item><item>2</item><Item>3</Item></R>", "t");
    const pugi::xml_node root = sw::xml::firstTopLevel(document);
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "item")), "2");
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "Item")), "1");
    EXPECT_FALSE(sw::xml::findChild(root, "ITEM"));
    EXPECT_EQ(sw::xml::attribute(root, "a"), std::optional<std::string>(""));
    EXPECT_EQ(sw::xml::attribute(root, "b"), std::nullopt);
}

TEST(XmlAccess, SavedDocumentIsRawUtf8WithoutDeclarationAndReadsBack) {
    pugi::xml_document document;
    pugi::xml_node root = sw::xml::appendElement(document, "Root");
    sw::xml::appendVersionComment(document);
    sw::xml::appendElement(root, "a", "010");
    sw::xml::appendElement(root, "b", "Zürich <&>");
    sw::xml::appendElement(root, "c");
    EXPECT_EQ(sw::xml::toBytes(document),
              "<Root><a>010</a><b>Zürich &lt;&amp;&gt;</b><c/></Root><!--SW_VERSION = 1.000-->");

    sw::test::TempDir dir;
    sw::xml::saveFile(document, dir / "f.xml");
    pugi::xml_document again;
    sw::xml::loadFile(again, dir / "f.xml");
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(sw::xml::firstTopLevel(again), "b")), "Zürich <&>");
}

TEST(XmlAccess, MalformedFileErrorNamesFileLineAndColumn) {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "bad.xml", "<Root>\n  <a>1</b>\n</Root>");
    pugi::xml_document document;
    try {
        sw::xml::loadFile(document, dir / "bad.xml");
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("bad.xml"), std::string::npos) << text;
        EXPECT_NE(text.find("line 2"), std::string::npos) << text;
        EXPECT_NE(text.find("column"), std::string::npos) << text;
    }
    EXPECT_THROW(sw::xml::loadFile(document, dir / "missing.xml"), sw::ConfigError);
}

} // namespace
