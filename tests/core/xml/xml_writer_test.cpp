#include "core/xml/xml.h"
#include "core/xml/xml_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// A small tree written both ways: the streaming writer must give the document saver's bytes exactly, for
// any attribute value, since files written either way are compared byte for byte.
std::pair<std::string, std::string> bothWays(const std::vector<std::string>& values) {
    pugi::xml_document document;
    pugi::xml_node root = sw::xml::appendElement(document, "Root");
    sw::xml::appendVersionComment(document);
    sw::xml::appendElement(root, "Empty");
    pugi::xml_node list = sw::xml::appendElement(root, "List");
    sw::xml::StreamWriter writer;
    writer.open("Root");
    writer.open("Empty");
    writer.close();
    writer.open("List");
    for (const std::string& value : values) {
        pugi::xml_node item = sw::xml::appendElement(list, "Item");
        item.append_attribute("A").set_value(value.c_str());
        item.append_attribute("B").set_value("");
        writer.open("Item");
        writer.attribute("A", value);
        writer.attribute("B", "");
        writer.open("Inner");
        sw::xml::appendElement(item, "Inner");
        writer.close();
        writer.close();
    }
    writer.close();
    writer.close();
    writer.versionComment();
    return {sw::xml::toBytes(document), writer.take()};
}

TEST(XmlStreamWriter, WritesTheSaversBytesForEveryCharacterAndRandomValues) {
    std::vector<std::string> values = {"",         "plain",     "a\"b",      "x&amp;y",       "<tag>",
                                       "'quoted'", "Zürich °C", "tab\there", "line\r\nbreak", "]]>",
                                       "--"};
    for (int c = 1; c < 256; ++c) {
        values.emplace_back(1, static_cast<char>(c));
    }
    std::mt19937 random(12345);
    for (int i = 0; i < 200; ++i) {
        std::string value;
        const auto length = random() % 24;
        for (unsigned k = 0; k < length; ++k) {
            value += static_cast<char>(1 + random() % 255);
        }
        values.push_back(value);
    }
    const auto [saved, streamed] = bothWays(values);
    EXPECT_EQ(streamed, saved);
    EXPECT_EQ(bothWays({}).second, "<Root><Empty/><List/></Root><!--SW_VERSION = 1.000-->");
}

} // namespace
