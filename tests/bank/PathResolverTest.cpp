// Finding the files old Windows documents name, in folder trees the tests
// build: drive letters, shares, relative paths with "..", other letter case
// on disk and in the document, namesakes, links back to a parent, unreadable
// folders and paths no file can have.

#include "bank/PathResolver.h"

#include "support/FileTree.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
struct Corpus
{
    TempDir home;
    std::string docs = PlaceFolder(home.Path(), "Documents/music");
    std::string banks = PlaceFolder(home.Path(), "sounds/sbk");
};

TEST(PathResolver, FindsStoredRelativeAndMappedPaths)
{
    Corpus c;
    const std::string piano = PlaceFile(c.banks, "Piano.sbk");
    const std::string drums = PlaceFile(c.home.Path(), "Documents/BANKS/drums.SBK");

    PathResolverSettings settings;
    ASSERT_TRUE(settings.AddMapping("c:=" + c.home.Path() + "/sounds", nullptr));
    CPathResolver resolver(c.docs, settings);

    const auto& asStored = resolver.Resolve(piano);
    EXPECT_TRUE(asStored.found);
    EXPECT_EQ(asStored.step, CPathResolver::StepAsStored);
    EXPECT_EQ(asStored.path, piano);

    // "..\BANKS\DRUMS.SBK" beside the document, in another case on disk.
    const auto& relative = resolver.Resolve("..\\banks\\DRUMS.sbk");
    ASSERT_TRUE(relative.found);
    EXPECT_EQ(relative.step, CPathResolver::StepRelative);
    EXPECT_EQ(std::filesystem::canonical(relative.path), std::filesystem::canonical(drums));

    // Both separators, the drive letter in either case.
    for (const char* stored : {"C:\\SBK\\PIANO.SBK", "C:/sbk/piano.SBK", "c:\\Sbk/Piano.sbk"})
    {
        const auto& mapped = resolver.Resolve(stored);
        ASSERT_TRUE(mapped.found) << stored;
        EXPECT_EQ(mapped.step, CPathResolver::StepDriveMap) << stored;
        EXPECT_EQ(mapped.path, piano) << stored;
    }
}

TEST(PathResolver, SharesMapLikeDrivesAndUnmappedOnesFallBackToTheName)
{
    Corpus c;
    const std::string strings = PlaceFile(c.banks, "STRINGS.SBK");
    PathResolverSettings settings;
    ASSERT_TRUE(settings.AddMapping("\\\\Studio\\Banks=" + c.banks, nullptr));
    settings.searchFolders.push_back(c.home.Path() + "/sounds");
    CPathResolver resolver(c.docs, settings);

    const auto& share = resolver.Resolve("\\\\STUDIO\\banks\\strings.sbk");
    ASSERT_TRUE(share.found);
    EXPECT_EQ(share.step, CPathResolver::StepDriveMap);
    EXPECT_EQ(share.path, strings);

    // D: is not in the map: the attempt says so, and the name still finds it.
    const auto& unmapped = resolver.Resolve("D:\\OLD\\Strings.Sbk");
    ASSERT_TRUE(unmapped.found);
    EXPECT_EQ(unmapped.step, CPathResolver::StepByName);
    EXPECT_EQ(unmapped.path, strings);
    ASSERT_GE(unmapped.tried.size(), 2u);
    EXPECT_TRUE(unmapped.tried[0].noMapping);
    EXPECT_EQ(CPathResolver::DescribeAttempt(unmapped.tried[0]), "no folder in the drive map for D:");
}

TEST(PathResolver, ByNameSearchesTheDocumentFolderBeforeTheSearchFolders)
{
    Corpus c;
    const std::string besideDoc = PlaceFile(c.docs, "old/banks/Organ.sbk");
    PlaceFile(c.banks, "ORGAN.SBK");
    const std::string onlyInSearch = PlaceFile(c.banks, "FLUTE.SBK");
    PathResolverSettings settings;
    settings.searchFolders.push_back(c.banks);
    CPathResolver resolver(c.docs, settings);

    EXPECT_EQ(resolver.Resolve("E:\\WIN\\ORGAN.SBK").path, besideDoc);
    EXPECT_EQ(resolver.Resolve("E:\\WIN\\flute.sbk").path, onlyInSearch);
    const auto& missing = resolver.Resolve("E:\\WIN\\HARP.SBK");
    EXPECT_FALSE(missing.found);
    EXPECT_TRUE(missing.path.empty());
    // The drive, the document's folder and the search folder were tried.
    ASSERT_EQ(missing.tried.size(), 3u);
    EXPECT_EQ(missing.tried[1].where, c.docs);
    EXPECT_EQ(missing.tried[2].where, c.banks);
}

TEST(PathResolver, NamesakesAreChosenByParentThenClosenessThenLengthThenBytes)
{
    Corpus c;
    const std::string deep = PlaceFile(c.docs, "a/b/c/PIANO.SBK");
    const std::string rightParent = PlaceFile(c.docs, "x/y/z/w/GRAND/piano.sbk");
    const std::string shallow = PlaceFile(c.docs, "zz/Piano.sbk");
    const std::string shallowShorter = PlaceFile(c.docs, "z/Piano.sbk");
    const std::string shallowSameLength1 = PlaceFile(c.docs, "q/PIANO.SBK");
    (void)deep;
    (void)shallow;
    CPathResolver resolver(c.docs, {});

    // The parent folder's name decides first, however deep it lies.
    const auto& byParent = resolver.Resolve("C:\\SBK\\GRAND\\PIANO.SBK");
    EXPECT_EQ(byParent.path, rightParent);
    EXPECT_EQ(byParent.namesakes, 4);
    // Without it: the fewest folders down, then the shortest path, then bytes
    // ("q/" before "z/": same depth and length).
    EXPECT_EQ(resolver.Resolve("C:\\SBK\\PIANO.SBK").path, shallowSameLength1);
    std::filesystem::remove(shallowSameLength1);
    CPathResolver again(c.docs, {});
    EXPECT_EQ(again.Resolve("C:\\SBK\\PIANO.SBK").path, shallowShorter);
}

TEST(PathResolver, LettersOfOtherCodePagesCompareWithoutCase)
{
    Corpus c;
    // On disk in UTF-8 small letters; in the document in Windows-1252 capitals.
    const std::string file = PlaceFile(c.banks, "kl\xC3\xa4nge.sbk");
    PathResolverSettings settings;
    settings.searchFolders.push_back(c.banks);
    CPathResolver resolver(c.docs, settings);
    EXPECT_EQ(resolver.Resolve("C:\\KL\xC4NGE.SBK").path, file);
    EXPECT_EQ(CPathResolver::FoldName("\xC3\x84\xC3\x97Z"), "\xC3\xA4\xC3\x97z");
    EXPECT_EQ(CPathResolver::FoldName("\xC4"), "\xC3\xA4");
}

TEST(PathResolver, TheTreeIsReadOnceAndStopsAtLinksBackAndAtDepthEight)
{
    Corpus c;
    const std::string found = PlaceFile(c.docs, "1/2/3/4/5/6/7/8/EIGHT.SBK");
    PlaceFile(c.docs, "1/2/3/4/5/6/7/8/9/NINE.SBK");
    std::filesystem::create_directory_symlink(c.docs, c.docs + "/1/loop");
    std::filesystem::create_directory_symlink("..", c.docs + "/1/2/up");
    CPathResolver resolver(c.docs, {});

    EXPECT_EQ(resolver.Resolve("C:\\EIGHT.SBK").path, found);
    const std::size_t read = resolver.GetFoldersRead();
    EXPECT_EQ(read, 9u); // the document's folder and 1..8; the links lead back
    EXPECT_FALSE(resolver.Resolve("C:\\NINE.SBK").found);
    EXPECT_FALSE(resolver.Resolve("C:\\OTHER.SBK").found);
    EXPECT_EQ(resolver.GetFoldersRead(), read);
}

TEST(PathResolver, UnreadableFoldersAreSkipped)
{
    Corpus c;
    const std::string reachable = PlaceFile(c.docs, "open/B.SBK");
    PlaceFile(c.docs, "closed/A.SBK");
    const ScopedUnreadableFolder closed(c.docs + "/closed");
    CPathResolver resolver(c.docs, {});
    EXPECT_EQ(resolver.Resolve("C:\\B.SBK").path, reachable);
    if (::geteuid() != 0) // the superuser reads every folder
    {
        EXPECT_FALSE(resolver.Resolve("C:\\A.SBK").found);
    }
}

TEST(PathResolver, BadPathsAreMissingWithAReason)
{
    Corpus c;
    PlaceFile(c.docs, "A.SBK");
    CPathResolver resolver(c.docs, {});

    const auto& empty = resolver.Resolve("");
    EXPECT_FALSE(empty.found);
    EXPECT_EQ(empty.problem, "the path is empty");
    const auto& nul = resolver.Resolve(std::string("A.SBK\0B", 7));
    EXPECT_FALSE(nul.found);
    EXPECT_EQ(nul.problem, "the path holds a NUL byte");
    const auto& long_ = resolver.Resolve("C:\\" + std::string(4000, 'N') + ".SBK");
    EXPECT_FALSE(long_.found);
    EXPECT_EQ(long_.problem, "a name in the path is longer than 255 bytes");
    // Not a drive: said so, and the name is still looked for.
    const auto& digit = resolver.Resolve("1:\\BANKS\\A.SBK");
    EXPECT_EQ(digit.problem, "drive 1: is not a letter A to Z");
    EXPECT_TRUE(digit.found);
    EXPECT_FALSE(resolver.Resolve("\xFF\xFE:\\\xC0\x80.SBK").found);
    // ".." above the root and a path of separators only find nothing.
    EXPECT_FALSE(resolver.Resolve("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\NONE.SBK").found);
    EXPECT_FALSE(resolver.Resolve("\\\\").found);
    EXPECT_FALSE(resolver.Resolve("C:").found);
    // A folder is no file.
    PlaceFolder(c.docs, "FOLDER.SBK");
    EXPECT_FALSE(resolver.Resolve("FOLDER.SBK").found);
}

TEST(PathResolver, DriveMappingsAreCheckedWhenGiven)
{
    PathResolverSettings settings;
    std::string error;
    EXPECT_FALSE(settings.AddMapping("C:", &error));
    EXPECT_FALSE(settings.AddMapping("1:=/tmp", &error));
    EXPECT_EQ(error, "a drive letter must be one of A to Z");
    EXPECT_FALSE(settings.AddMapping("CD:=/tmp", &error));
    EXPECT_FALSE(settings.AddMapping("C:=", &error));
    EXPECT_FALSE(settings.AddMapping("\\\\server=/tmp", &error));
    EXPECT_TRUE(settings.driveMap.empty());
    EXPECT_TRUE(settings.AddMapping("d:=/a", &error));
    EXPECT_TRUE(settings.AddMapping("D:=/b", &error));
    EXPECT_TRUE(settings.AddMapping("//srv/share/=/c", &error));
    ASSERT_EQ(settings.driveMap.size(), 2u);
    EXPECT_EQ(settings.driveMap[0], std::make_pair(std::string("D:"), std::string("/b")));
    EXPECT_EQ(settings.driveMap[1].first, "\\\\srv\\share");
}

TEST(PathResolver, FindBelowLooksInTheGivenFolderOnly)
{
    Corpus c;
    PlaceFile(c.docs, "A.SBK");
    const std::string there = PlaceFile(c.banks, "deep/er/a.sbk");
    CPathResolver resolver(c.docs, {});
    EXPECT_EQ(resolver.FindBelow("C:\\X\\A.SBK", c.banks), there);
    EXPECT_EQ(resolver.FindBelow("C:\\X\\B.SBK", c.banks), "");
}
} // namespace
