// The desktop entry and the application icon: valid for the desktop's tools,
// and agreeing with the file types and icon files installed beside them.

#include "desktop/DesktopTools.h"

#include <QMimeDatabase>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

namespace
{
const std::string kDesktopDir = TAMBERLY_DESKTOP_DIR;
const std::string kEntry = kDesktopDir + "/tamberly.desktop";

// The keys of the [Desktop Entry] group.
std::map<std::string, std::string> ReadEntry(const std::string& path)
{
    std::map<std::string, std::string> keys;
    std::istringstream in(ReadWholeFile(path));
    bool inGroup = false;
    for (std::string line; std::getline(in, line);)
    {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[')
        {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (inGroup && equals != std::string::npos)
            keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

// "a;b;c;" as its items.
std::vector<std::string> SplitList(const std::string& value)
{
    std::vector<std::string> items;
    std::istringstream in(value);
    for (std::string item; std::getline(in, item, ';');)
        if (!item.empty())
            items.push_back(item);
    return items;
}

// Width and height from a PNG file's header; 0 x 0 when it is no PNG.
std::pair<unsigned, unsigned> PngSize(const std::string& path)
{
    const std::string bytes = ReadWholeFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto be32 = [&bytes](std::size_t at)
    {
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {be32(16), be32(20)};
}

TEST(DesktopEntryTest, PassesTheValidatorWithoutAHint)
{
    if (!HaveTool("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const ToolResult result = RunTool("desktop-file-validate " + ShellQuote(kEntry));
    EXPECT_EQ(result.status, 0);
    // Errors, warnings and hints alike are printed.
    EXPECT_EQ(result.output, "");
}

TEST(DesktopEntryTest, OpensItsFileTypesWithTheProgramUnderItsIcon)
{
    auto keys = ReadEntry(kEntry);
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys["Type"], "Application");

    // The program, given the file the user opened.
    const std::string exec = keys["Exec"];
    EXPECT_EQ(exec.substr(0, exec.find(' ')), "tamberly");
    EXPECT_NE(exec.find("%f"), std::string::npos) << exec;

    // Every listed type is one the desktop can know; the program's own is among them.
    const auto types = SplitList(keys["MimeType"]);
    EXPECT_NE(std::find(types.begin(), types.end(), "application/x-tamberly-bank"), types.end());
    const QString package = QString::fromStdString(ReadWholeFile(kDesktopDir + "/tamberly.xml"));
    for (const std::string& type : types)
    {
        const bool known = QMimeDatabase().mimeTypeForName(QString::fromStdString(type)).isValid() ||
                           package.contains(QStringLiteral("type=\"%1\"").arg(QString::fromStdString(type)));
        EXPECT_TRUE(known) << type;
    }

    // The icon is named, not a path, and exists in every size the theme gets.
    const std::string icon = keys["Icon"];
    ASSERT_FALSE(icon.empty());
    EXPECT_EQ(icon.find('/'), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(kDesktopDir + "/" + icon + ".svg"));
    for (const char* size : {"48x48", "128x128"})
        EXPECT_TRUE(std::filesystem::is_regular_file(kDesktopDir + "/icons/" + size + "/" + icon + ".png"))
            << size;

    const auto categories = SplitList(keys["Categories"]);
    for (const char* category : {"Audio", "Midi", "Music"})
        EXPECT_NE(std::find(categories.begin(), categories.end(), category), categories.end()) << category;
}

TEST(DesktopIconTest, RasterIconsHaveTheSizeOfTheirFolder)
{
    EXPECT_EQ(PngSize(kDesktopDir + "/icons/48x48/tamberly.png"), std::make_pair(48u, 48u));
    EXPECT_EQ(PngSize(kDesktopDir + "/icons/128x128/tamberly.png"), std::make_pair(128u, 128u));

    QXmlStreamReader svg(QByteArray::fromStdString(ReadWholeFile(kDesktopDir + "/tamberly.svg")));
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QLatin1String("svg"));
    // Square, so that the theme scales it without bars.
    EXPECT_EQ(svg.attributes().value(QLatin1String("viewBox")), QLatin1String("0 0 128 128"));
    while (!svg.atEnd())
        svg.readNext();
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
}
} // namespace
