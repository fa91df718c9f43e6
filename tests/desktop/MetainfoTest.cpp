// The AppStream metainfo: what software centres list agrees with the desktop
// entry beside it, the licence the sources carry, the screenshot kept in the
// repository and the programs the package installs. (appstreamcli validates
// it in scripts/check-package; these are the facts it cannot know.)

#include "desktop/DesktopTools.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace
{
const std::string kDesktopDir = TAMBERLY_DESKTOP_DIR;

struct Element
{
    std::string path; // "component/provides/binary"
    std::map<std::string, std::string> attributes;
    std::string text;
};

// Every element of the file with its path from the root, in document order.
std::vector<Element> ReadElements(const std::string& file, std::string& error)
{
    const std::string bytes = ReadWholeFile(file);
    QXmlStreamReader xml(QByteArray::fromStdString(bytes));
    std::vector<Element> elements;
    std::vector<std::string> open;
    std::vector<std::size_t> indexes;
    while (!xml.atEnd())
    {
        xml.readNext();
        if (xml.isStartElement())
        {
            open.push_back(xml.name().toString().toStdString());
            std::string path;
            for (const std::string& name : open)
                path += (path.empty() ? "" : "/") + name;
            Element element{path, {}, {}};
            for (const QXmlStreamAttribute& attribute : xml.attributes())
                element.attributes[attribute.name().toString().toStdString()] =
                    attribute.value().toString().toStdString();
            indexes.push_back(elements.size());
            elements.push_back(element);
        }
        else if (xml.isCharacters() && !indexes.empty())
            elements[indexes.back()].text += xml.text().toString().trimmed().toStdString();
        else if (xml.isEndElement())
        {
            open.pop_back();
            indexes.pop_back();
        }
    }
    if (xml.hasError())
        error = xml.errorString().toStdString();
    return elements;
}

std::vector<std::string> Texts(const std::vector<Element>& elements, const std::string& path)
{
    std::vector<std::string> texts;
    for (const Element& element : elements)
        if (element.path == path)
            texts.push_back(element.text);
    return texts;
}

std::string Text(const std::vector<Element>& elements, const std::string& path)
{
    const auto texts = Texts(elements, path);
    // Appended, not "(" + ...: GCC 12 at -O3 takes that insert for an overlapping copy (-Wrestrict).
    return texts.size() == 1 ? texts[0]
                             : std::string("(")
                                   .append(std::to_string(texts.size()))
                                   .append(" elements ")
                                   .append(path)
                                   .append(")");
}

// The width and height a PNG file's header gives; nothing when it is no PNG.
std::optional<std::pair<unsigned, unsigned>> PngSize(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return std::nullopt;
    const auto big32 = [&](std::size_t at)
    {
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return std::make_pair(big32(16), big32(20));
}

class MetainfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        elements = ReadElements(kDesktopDir + "/tamberly.metainfo.xml", error);
        ASSERT_EQ(error, "");
        ASSERT_FALSE(elements.empty());
    }
    std::vector<Element> elements;
};
} // namespace

TEST_F(MetainfoTest, NamesTheDesktopEntryAndTheFreeLicences)
{
    EXPECT_EQ(elements[0].path, "component");
    EXPECT_EQ(elements[0].attributes["type"], "desktop-application");
    // The component is the desktop entry's application: same name, and launched by it.
    EXPECT_EQ(Text(elements, "component/id"), "tamberly");
    EXPECT_TRUE(std::filesystem::exists(kDesktopDir + "/" + Text(elements, "component/id") + ".desktop"));
    EXPECT_EQ(Text(elements, "component/launchable"), "tamberly.desktop");
    EXPECT_EQ(Text(elements, "component/project_license"), "GPL-3.0-or-later");
    EXPECT_EQ(Text(elements, "component/metadata_license"), "FSFAP");
    // The licence the sources carry is the one the metainfo declares.
    const std::string license = ReadWholeFile(TAMBERLY_SOURCE_DIR "/LICENSE");
    EXPECT_NE(license.find("GNU GENERAL PUBLIC LICENSE\n                       Version 3, 29 June 2007"),
              std::string::npos);
    EXPECT_NE(license.find("END OF TERMS AND CONDITIONS"), std::string::npos) << "the whole text";
}

TEST_F(MetainfoTest, ProvidesWhatThePackageInstalls)
{
    EXPECT_EQ(Texts(elements, "component/provides/binary"),
              (std::vector<std::string>{"tamberly", "tamberly-cli"}));
    // The document type the desktop entry opens, declared by the file types beside it.
    EXPECT_EQ(Texts(elements, "component/provides/mediatype"),
              std::vector<std::string>{"application/x-tamberly-bank"});
    EXPECT_NE(ReadWholeFile(kDesktopDir + "/tamberly.desktop").find("MimeType=application/x-tamberly-bank;"),
              std::string::npos);
    EXPECT_NE(ReadWholeFile(kDesktopDir + "/tamberly.xml").find("type=\"application/x-tamberly-bank\""),
              std::string::npos);
    EXPECT_EQ(Texts(elements, "component/content_rating").size(), 1u);
    EXPECT_EQ(Texts(elements, "component/releases/release").size(), 1u);
    for (const Element& element : elements)
    {
        if (element.path == "component/releases/release")
        {
            EXPECT_EQ(element.attributes.at("version"), TAMBERLY_VERSION);
        }
    }
}

TEST_F(MetainfoTest, TheScreenshotIsTheOneInTheRepository)
{
    const auto size = PngSize(ReadWholeFile(kDesktopDir + "/screenshot.png"));
    ASSERT_TRUE(size) << "res/desktop/screenshot.png (scripts/render-screenshot makes it)";
    int images = 0;
    for (const Element& element : elements)
    {
        if (element.path != "component/screenshots/screenshot/image")
            continue;
        ++images;
        // Its size as declared, and its name where it is published.
        EXPECT_EQ(element.attributes.at("width"), std::to_string(size->first));
        EXPECT_EQ(element.attributes.at("height"), std::to_string(size->second));
        EXPECT_EQ(element.text.substr(0, 8), "https://");
        EXPECT_EQ(std::filesystem::path(element.text).filename(), "screenshot.png");
    }
    EXPECT_EQ(images, 1);
    EXPECT_FALSE(Text(elements, "component/screenshots/screenshot/caption").empty());
}
