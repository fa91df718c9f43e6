#include "bank/FileHelpers.h"
#include "platform/StringTable.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

TEST(FileHelpers, PathPartsOfWindowsAndLinuxPaths)
{
    struct Case
    {
        const char* path;
        const char* drive;
        const char* directory;
        const char* name;
        const char* extension;
    };
    const Case cases[] = {
        {"C:\\BANKS\\A.SBK", "C:", "\\BANKS\\", "A", ".SBK"},
        {"/home/u/a.b.sbk", "", "/home/u/", "a.b", ".sbk"},
        {"C:A.SBK", "C:", "", "A", ".SBK"},
        {"noext", "", "", "noext", ""},
        {"C:\\BANKS\\", "C:", "\\BANKS\\", "", ""},
        {"/home/u/", "", "/home/u/", "", ""},
        {"C:\\MIXED/dir\\x.wav", "C:", "\\MIXED/dir\\", "x", ".wav"},
        {"/a.dir/file", "", "/a.dir/", "file", ""},
        {"name.", "", "", "name", "."},
        {"1:odd.sbk", "", "", "1:odd", ".sbk"},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetPathPart(c.path, PathDrive), c.drive);
        EXPECT_EQ(GetPathPart(c.path, PathDirectory), c.directory);
        EXPECT_EQ(GetPathPart(c.path, PathFileName), c.name);
        EXPECT_EQ(GetPathPart(c.path, PathExtension), c.extension);
        EXPECT_EQ(GetPathPart(c.path, PathFileNameExt), std::string(c.name) + c.extension);
        EXPECT_EQ(GetPathPart(c.path, 5), "");
        EXPECT_EQ(GetPathPart(c.path, -1), "");
    }
}

TEST(FileHelpers, FileTypeByExtensionInAnyCase)
{
    EXPECT_EQ(GetFileType("C:\\BANKS\\A.SBK"), FileTypeSoundFont);
    EXPECT_EQ(GetFileType("/home/u/a.sbk"), FileTypeSoundFont);
    EXPECT_EQ(GetFileType("x.Wav"), FileTypeWave);
    EXPECT_EQ(GetFileType("bank.tmb"), FileTypeDocument);
    EXPECT_EQ(GetFileType("noext"), FileTypeNone);
    EXPECT_EQ(GetFileType("a.sbk.bak"), FileTypeNone);
    EXPECT_EQ(GetFileType("/x.sbk/file"), FileTypeNone);
    EXPECT_EQ(GetFileType("a.sbkx"), FileTypeNone);
    // The other sample files are sources like waves.
    for (const char* name : {"a.aif", "B.AIFF", "c.aifc", "d.Flac", "e.ogg", "f.OGA"})
        EXPECT_EQ(GetFileType(name), FileTypeWave) << name;
    EXPECT_EQ(GetFileType("a.flac.part"), FileTypeNone);
    EXPECT_EQ(GetFileType("a.mp3"), FileTypeNone);
}

TEST(FileHelpers, TempFilesAreNewEmptyAndUnique)
{
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i)
    {
        const std::string name = MakeTempFileName();
        ASSERT_FALSE(name.empty());
        EXPECT_TRUE(names.insert(name).second);
        const std::filesystem::path path(name);
        EXPECT_EQ(path.parent_path(), std::filesystem::temp_directory_path());
        EXPECT_EQ(path.filename().string().substr(0, 3), "TMB");
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
    }
    for (const std::string& name : names)
        std::filesystem::remove(name);
}

TEST(FileHelpers, ProfileStringsOfASoundshelfFile)
{
    TempDir dir;
    const std::string path = dir.Write(
        "old.shb",
        []
        {
            Bytes b;
            PutText(b,
                    "[Awe]\r\nReverb=4\r\nChorus = 2 \r\n[UserBanks]\r\nUser1=002   C:\\BANKS\\DRUMS.SBK\r\n"
                    "[Instrument-List]\r\nInstrument2=012:003   C:\\BANKS\\A.SBK/Piano 0024\r\n");
            return b;
        }());
    EXPECT_EQ(ReadProfileString(path, IDS_SHB_SECTION_AWE, IDS_SHB_KEY_REVERB, -1), "4");
    EXPECT_EQ(ReadProfileString(path, IDS_SHB_SECTION_AWE, IDS_SHB_KEY_CHORUS, -1), "2");
    EXPECT_EQ(ReadProfileString(path, IDS_SHB_SECTION_USER_BANKS, IDS_SHB_KEY_USER, 1),
              "002   C:\\BANKS\\DRUMS.SBK");
    EXPECT_EQ(ReadProfileString(path, IDS_SHB_SECTION_USER_BANKS, IDS_SHB_KEY_USER, 2), "");
    EXPECT_EQ(ReadProfileString(path, IDS_SHB_SECTION_INSTRUMENTS, IDS_SHB_KEY_INSTRUMENT, 1), "");
    EXPECT_EQ(ReadProfileString(path, IDS_SHB_SECTION_INSTRUMENTS, IDS_SHB_KEY_INSTRUMENT, 2),
              "012:003   C:\\BANKS\\A.SBK/Piano 0024");
    EXPECT_EQ(ReadProfileString(dir.File("missing.shb"), IDS_SHB_SECTION_AWE, IDS_SHB_KEY_REVERB, -1), "");
}
