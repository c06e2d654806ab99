#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/xml/xml.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlAccess, RootIsTheFirstElementWhateverComesBeforeIt) {
    const char* texts[] = {
        "<Root><a>1</a></Root><Other/>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root><a>1</a></Root>",
        "<!-- written by hand --><Root><a>1</a></Root>",
        "<?xml version=\"1.0\"?>\n<?style x?>\n<!DOCTYPE Root>\n<!--c-->\n<Root><a>1</a></Root>",
    };
    for (const char* text : texts) {
        pugi::xml_document document;
        sw::xml::loadBuffer(document, text, "test");
        const pugi::xml_node root = sw::xml::firstElement(document);
        EXPECT_STREQ(root.name(), "Root") << text;
        EXPECT_EQ(sw::xml::childText(root, "a"), std::optional<std::string>("1")) << text;
    }
}

TEST(XmlAccess, ElementTextHasThreeCases) {
    pugi::xml_document document;
    sw::xml::loadBuffer(document, "<R><empty/><text> 7 </text><blank> </blank><nested><x/></nested></R>",
                        "t");
    const pugi::xml_node root = sw::xml::firstElement(document);
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "empty")), "");
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "text")), " 7 ");
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(root, "blank")), " ");
    EXPECT_THROW(sw::xml::elementText(sw::xml::findChild(root, "nested")), sw::ConfigError);
}

TEST(XmlAccess, FindChildMatchesNameExactlyAndAttributesTellAbsentFromEmpty) {
    pugi::xml_document document;
    sw::xml::loadBuffer(document, "<R a=\"\"><!--c--><Item>1</Item><item>2</item><Item>3</Item></R>", "t");
    const pugi::xml_node root = sw::xml::firstElement(document);
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
    sw::xml::loadFile(again, dir / "f.xml", sw::limits::kSettingsFile);
    EXPECT_EQ(sw::xml::elementText(sw::xml::findChild(sw::xml::firstElement(again), "b")), "Zürich <&>");
}

TEST(XmlAccess, MalformedFileErrorNamesFileLineAndColumn) {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "bad.xml", "<Root>\n  <a>1</b>\n</Root>");
    pugi::xml_document document;
    try {
        sw::xml::loadFile(document, dir / "bad.xml", sw::limits::kSettingsFile);
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("bad.xml"), std::string::npos) << text;
        EXPECT_NE(text.find("line 2"), std::string::npos) << text;
        EXPECT_NE(text.find("column"), std::string::npos) << text;
    }
    EXPECT_THROW(sw::xml::loadFile(document, dir / "missing.xml", sw::limits::kSettingsFile),
                 sw::ConfigError);
}

} // namespace
