// The file types as a desktop sees them: the package built into a MIME
// database of its own, read by Qt's MIME database the way file managers read
// theirs (by name, and by content for files whose name says nothing).

#include "desktop/DesktopTools.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace
{
const std::string kPackage = std::string(TAMBERLY_DESKTOP_DIR) + "/tamberly.xml";
const std::string kSystemPackages = "/usr/share/mime/packages";
constexpr const char* kBankType = "application/x-tamberly-bank";
constexpr const char* kSoundFont1Type = "audio/x-soundfont-1";

class MimeTypesTest : public testing::Test
{
protected:
    // One data folder for the whole suite: Qt reads the MIME database once
    // per process. As installed, the package joins the system's packages in
    // one database (Qt 6.4 weighs magic only within one database folder, so
    // a folder of its own would let the system's plain RIFF rule win).
    static void SetUpTestSuite()
    {
        data = std::make_unique<TempDir>();
        const std::filesystem::path packages = data->File("mime/packages");
        std::filesystem::create_directories(packages);
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(kSystemPackages, error))
            if (entry.path().extension() == ".xml")
                std::filesystem::copy_file(entry.path(), packages / entry.path().filename());
        std::filesystem::copy_file(kPackage, packages / "tamberly.xml");
        ::setenv("XDG_DATA_HOME", data->Path().c_str(), 1);
        ::setenv("XDG_DATA_DIRS", data->Path().c_str(), 1);
        // Without the builder Qt reads the packages themselves; with it, the
        // cache desktops read. A scratch database needs no syncing to disk.
        if (HaveTool("update-mime-database"))
            update = std::make_unique<ToolResult>(
                RunTool("PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database " + ShellQuote(data->File("mime"))));
    }
    static void TearDownTestSuite()
    {
        update.reset();
        data.reset();
    }

    static std::string TypeByContent(const std::string& path)
    {
        return QMimeDatabase()
            .mimeTypeForFile(QString::fromStdString(path), QMimeDatabase::MatchContent)
            .name()
            .toStdString();
    }
    static std::string TypeByName(const char* name)
    {
        return QMimeDatabase()
            .mimeTypeForFile(QString::fromLatin1(name), QMimeDatabase::MatchExtension)
            .name()
            .toStdString();
    }

    static std::unique_ptr<TempDir> data;
    static std::unique_ptr<ToolResult> update;
    TempDir files;
};

std::unique_ptr<TempDir> MimeTypesTest::data;
std::unique_ptr<ToolResult> MimeTypesTest::update;

SoundFontBuilder SmallBank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Flutes").SampleData(256);
    const int sample = bank.AddSample(0, 100);
    bank.AddPreset("Flute", 73, 1, {bank.AddInstrument("Flute", {sample})});
    return bank;
}

TEST_F(MimeTypesTest, PackageIsWellFormedAndBuildsWithoutComplaint)
{
    QXmlStreamReader xml(QByteArray::fromStdString(ReadWholeFile(kPackage)));
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QLatin1String("mime-info"));
    EXPECT_EQ(xml.namespaceUri(), QLatin1String("http://www.freedesktop.org/standards/shared-mime-info"));
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();

    if (!update)
        GTEST_SKIP() << "update-mime-database is not installed";
    EXPECT_EQ(update->status, 0) << update->output;
    // It warns about unknown elements and bad patterns on its output.
    EXPECT_EQ(update->output, "");
    EXPECT_TRUE(std::filesystem::is_regular_file(data->File("mime/mime.cache")));
}

TEST_F(MimeTypesTest, VirtualBanksAreKnownByTheirName)
{
    for (const char* name : {"Song.tmb", "SONG.TMB", "/home/someone/banks/a.b.tmb"})
        EXPECT_EQ(TypeByName(name), kBankType) << name;
    EXPECT_NE(TypeByName("Song.tmb.bak"), kBankType);

    const QMimeType type = QMimeDatabase().mimeTypeForName(QLatin1String(kBankType));
    ASSERT_TRUE(type.isValid());
    EXPECT_EQ(type.comment(), QLatin1String("Tamberly virtual bank"));
    EXPECT_EQ(type.genericIconName(), QLatin1String("audio-x-generic"));
}

TEST_F(MimeTypesTest, SoundFont1BanksAreKnownByNameAndByContent)
{
    EXPECT_EQ(TypeByName("FLUTES.SBK"), kSoundFont1Type);
    EXPECT_EQ(TypeByName("flutes.sbk"), kSoundFont1Type);

    // A name that says nothing: the RIFF form, its type and version 1 in "ifil".
    const std::string bank = files.Write("flutes.bin", SmallBank().Build());
    EXPECT_EQ(TypeByContent(bank), kSoundFont1Type);
    const QMimeType type = QMimeDatabase().mimeTypeForName(QLatin1String(kSoundFont1Type));
    EXPECT_TRUE(type.inherits(QLatin1String("application/x-riff")));
    EXPECT_EQ(type.comment(), QLatin1String("SoundFont 1 bank"));
}

TEST_F(MimeTypesTest, OtherRiffFilesAreNoSoundFont1Banks)
{
    // SoundFont 2 keeps the form and the chunk but says version 2.
    const std::string version2 = files.Write("modern.bin", SmallBank().Poke16("ifil", 0, 2).Build());
    EXPECT_NE(TypeByContent(version2), kSoundFont1Type);

    // Another form type with the same layout.
    const std::string other = files.Write("other.bin", SmallBank().FormType("sfbx").Build());
    EXPECT_NE(TypeByContent(other), kSoundFont1Type);

    // A bank cut short before its version.
    Bytes cut = SmallBank().Build();
    cut.resize(30);
    EXPECT_NE(TypeByContent(files.Write("cut.bin", cut)), kSoundFont1Type);

    // A wave file stays a wave file.
    const std::string wave = files.Write(
        "sound.bin", WaveBuilder().Channels(1).Rate(22050).Bits(16).Values({0, 100, -100, 0}).Build());
    EXPECT_EQ(TypeByContent(wave), "audio/x-wav");
}
} // namespace
