#include "platform/RegistryStore.h"
#include "platform/AtomicFile.h"
#include "platform/CardHome.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Tree = CRegistryStore::Tree;

void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteWholeFileAtomic(path, text));
}

std::string ReadText(const std::string& path)
{
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, text));
    return text;
}
} // namespace

TEST(RegistryStore, RoundTripKeepsSpellingOrderAndEscapes)
{
    TempDir dir;
    CRegistryStore store(dir.Path());
    const std::string tricky = "C:\\Sound \"Fonts\"\\gm.sbk\nsecond line";
    ASSERT_TRUE(store.Update(
        [&](Tree& tree)
        {
            EXPECT_TRUE(tree.SetValue("Software\\Creative\\Settings", "Synthesizer", "1"));
            EXPECT_TRUE(tree.SetValue("software\\CREATIVE\\settings", "GM", tricky));
            EXPECT_TRUE(tree.CreateKey("Software\\Zeta"));
            EXPECT_TRUE(tree.CreateKey("Software\\Alpha"));
            EXPECT_TRUE(tree.SetValue("Software", "", "default"));
        }));

    CRegistryStore again(dir.Path());
    const Tree tree = again.Read();
    EXPECT_EQ(tree.GetValue("SOFTWARE\\creative\\SETTINGS", "synthesizer"), "1");
    EXPECT_EQ(tree.GetValue("Software\\Creative\\Settings", "gm"), tricky);
    EXPECT_EQ(tree.GetValue("Software", ""), "default");
    // Creation order, first spelling.
    EXPECT_EQ(tree.Subkeys("software"), (std::vector<std::string>{"Creative", "Zeta", "Alpha"}));
    EXPECT_EQ(tree.EnumKey("Software", 2), "Alpha");
    EXPECT_EQ(tree.EnumKey("Software", 3), std::nullopt);
    EXPECT_EQ(tree.EnumKey("Missing", 0), std::nullopt);
    EXPECT_EQ(again.EnumKey("Software\\Creative", 0), "Settings");

    const std::string text = ReadText(store.FilePath());
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Creative\\Settings]\n\"Synthesizer\"=\"1\"\n"),
              std::string::npos);
    EXPECT_NE(text.find(R"("GM"="C:\\Sound \"Fonts\"\\gm.sbk\nsecond line")"), std::string::npos);
    EXPECT_NE(text.find("@=\"default\""), std::string::npos);
}

TEST(RegistryStore, EditsValuesAndKeys)
{
    Tree tree;
    ASSERT_TRUE(tree.SetValue("A\\B", "Name", "one"));
    ASSERT_TRUE(tree.SetValue("a\\b", "NAME", "two"));
    EXPECT_EQ(tree.Values("A\\B"), (std::vector<std::pair<std::string, std::string>>{{"Name", "two"}}));
    ASSERT_TRUE(tree.SetValue("A\\B", "Cut", std::string_view("ab\0cd", 5)));
    EXPECT_EQ(tree.GetValue("A\\B", "Cut"), "ab");
    EXPECT_TRUE(tree.DeleteValue("A\\B", "name"));
    EXPECT_FALSE(tree.DeleteValue("A\\B", "name"));
    EXPECT_EQ(tree.GetValue("A\\B", "Name"), std::nullopt);

    EXPECT_FALSE(tree.CreateKey("A\\bad\nname"));
    EXPECT_FALSE(tree.SetValue("A\\bad\rname", "x", "y"));
    EXPECT_FALSE(tree.KeyExists("A\\bad\nname"));

    ASSERT_TRUE(tree.SetValue("A\\B\\C", "x", "y"));
    EXPECT_FALSE(tree.DeleteKey("A\\Missing"));
    EXPECT_TRUE(tree.DeleteKey("a\\b"));
    EXPECT_FALSE(tree.KeyExists("A\\B\\C"));
    EXPECT_TRUE(tree.KeyExists("A"));
    EXPECT_FALSE(tree.DeleteKey(""));
}

TEST(RegistryStore, GarbledLinesAreSkippedAndGoodOnesRead)
{
    const std::string text = std::string("REGEDIT4\r\n"
                                         "\"orphan\"=\"before any section\"\n"
                                         "[HKEY_LOCAL_MACHINE\\Good]\r\n"
                                         "\"a\"=\"1\"\r\n"
                                         "  \"spaced\" = \"2\"  \n"
                                         "\"unterminated\"=\"3\n"
                                         "\"badescape\"=\"\\q\"\n"
                                         "\"dword\"=dword:00000001\n"
                                         "\"trailing\"=\"4\" junk\n"
                                         "; a comment\n"
                                         "\"a\"=\"last wins\"\n"
                                         "[HKEY_CURRENT_USER\\Other]\n"
                                         "\"c\"=\"not ours\"\n"
                                         "[HKEY_LOCAL_MACHINEX\\Near]\n"
                                         "\"d\"=\"not ours either\"\n"
                                         "[HKEY_LOCAL_MACHINE\\Open\n"
                                         "\"e\"=\"section never closed\"\n") +
                             std::string("\0\xff\xfe[\x01]\"\\", 8) +
                             "\n[HKEY_LOCAL_MACHINE\\Tail]\n\"t\"=\"";

    const Tree tree = Tree::Parse(text);
    EXPECT_EQ(tree.Values("Good"),
              (std::vector<std::pair<std::string, std::string>>{{"a", "last wins"}, {"spaced", "2"}}));
    EXPECT_EQ(tree.Subkeys(""), (std::vector<std::string>{"Good", "Tail"}));
    EXPECT_TRUE(tree.Values("Tail").empty());

    // Every prefix of the text parses too (a file cut anywhere).
    for (std::size_t length = 0; length <= text.size(); ++length)
        Tree::Parse(std::string_view(text).substr(0, length));

    TempDir dir;
    WriteText(dir.File("registry.reg"), text);
    EXPECT_EQ(CRegistryStore(dir.Path()).QueryString("good", "A"), "last wins");
}

TEST(RegistryStore, QueriesAreCutTo255Bytes)
{
    TempDir dir;
    CRegistryStore store(dir.Path());
    const std::string longValue(300, 'x');
    ASSERT_TRUE(store.Update(
        [&](Tree& tree)
        {
            tree.SetValue("K", "long", longValue);
            tree.SetValue("K", "exact", std::string(255, 'y'));
        }));
    EXPECT_EQ(store.QueryString("K", "long"), std::string(255, 'x'));
    EXPECT_EQ(store.QueryString("K", "exact"), std::string(255, 'y'));
    EXPECT_EQ(store.Read().GetValue("K", "long"), longValue);
    EXPECT_EQ(store.QueryString("K", "missing"), std::nullopt);
    EXPECT_EQ(store.QueryString("Missing", "long"), std::nullopt);
    // File paths are read whole: a cut one names a file that does not exist.
    const std::string path = "/" + std::string(1000, 'p') + "/A.SBK";
    ASSERT_TRUE(store.Update([&](Tree& tree) { tree.SetValue("K", "path", path); }));
    EXPECT_EQ(store.QueryWholeString("K", "path"), path);
    EXPECT_EQ(store.QueryWholeString("K", "missing"), std::nullopt);
}

TEST(RegistryStore, MissingFolderReadsEmptyAndIsCreatedByUpdate)
{
    TempDir dir;
    const std::string home = dir.File("a/b/card");
    CRegistryStore store(home);
    EXPECT_TRUE(store.Read().Subkeys("").empty());
    EXPECT_FALSE(std::filesystem::exists(home));
    ASSERT_TRUE(store.Update([](Tree& tree) { tree.SetValue("K", "v", "1"); }));
    EXPECT_EQ(store.QueryString("k", "V"), "1");
    EXPECT_TRUE(std::filesystem::exists(dir.File("a/b/card/registry.lock")));

    // A folder that cannot be made (a file is in the way) fails the update.
    WriteText(dir.File("blocker"), "x");
    EXPECT_FALSE(CRegistryStore(dir.File("blocker/card")).Update([](Tree&) {}));
}

TEST(RegistryStore, FailedChangeLeavesTheFileAndLockAlone)
{
    TempDir dir;
    CRegistryStore store(dir.Path());
    ASSERT_TRUE(store.Update([](Tree& tree) { tree.SetValue("K", "v", "before"); }));
    const std::string before = ReadText(store.FilePath());
    EXPECT_THROW(store.Update(
                     [](Tree& tree)
                     {
                         tree.SetValue("K", "v", "after");
                         throw std::runtime_error("changed my mind");
                     }),
                 std::runtime_error);
    EXPECT_EQ(ReadText(store.FilePath()), before);
    // The lock was released: the next update goes through.
    ASSERT_TRUE(store.Update([](Tree& tree) { tree.SetValue("K", "v", "later"); }));
    EXPECT_EQ(store.QueryString("K", "v"), "later");
    // No temporary files are left beside the file.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 2u);
}

TEST(RegistryStore, UnreadableFileIsNotReplaced)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempDir dir;
    CRegistryStore store(dir.Path());
    ASSERT_TRUE(store.Update([](Tree& tree) { tree.SetValue("K", "v", "keep"); }));
    std::filesystem::permissions(store.FilePath(), std::filesystem::perms::none);
    EXPECT_FALSE(store.Update([](Tree& tree) { tree.SetValue("K", "w", "lost?"); }));
    std::filesystem::permissions(store.FilePath(), std::filesystem::perms::owner_read);
    EXPECT_EQ(store.QueryString("K", "v"), "keep");
}

TEST(RegistryStore, TwoProcessesUpdatingNeverLoseAChange)
{
    TempDir dir;
    constexpr int kRounds = 40;
    auto increment = [&](const char* name)
    {
        CRegistryStore store(dir.Path());
        for (int i = 0; i < kRounds; ++i)
        {
            const bool ok = store.Update(
                [&](Tree& tree)
                {
                    const int count = std::atoi(tree.GetValue("Counter", "total").value_or("0").c_str());
                    tree.SetValue("Counter", "total", std::to_string(count + 1));
                    const int mine = std::atoi(tree.GetValue("Counter", name).value_or("0").c_str());
                    tree.SetValue("Counter", name, std::to_string(mine + 1));
                });
            if (!ok)
                return false;
        }
        return true;
    };
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
        ::_exit(increment("child") ? 0 : 1);
    const bool parentOk = increment("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(parentOk);
    CRegistryStore store(dir.Path());
    EXPECT_EQ(store.QueryString("Counter", "total"), std::to_string(2 * kRounds));
    EXPECT_EQ(store.QueryString("Counter", "child"), std::to_string(kRounds));
    EXPECT_EQ(store.QueryString("Counter", "parent"), std::to_string(kRounds));
}

TEST(CardHome, EnvironmentNamesTheFolderElseTheUsersStateFolder)
{
    const ScopedEnvironment card("TAMBERLY_CARD_HOME", "/somewhere/card");
    const ScopedEnvironment state("XDG_STATE_HOME", "/xdg/state");
    const ScopedEnvironment home("HOME", "/home/someone");
    EXPECT_EQ(CardHomePath(), "/somewhere/card");
    EXPECT_EQ(CRegistryStore().FilePath(), "/somewhere/card/registry.reg");

    ::setenv("TAMBERLY_CARD_HOME", "", 1);
    EXPECT_EQ(CardHomePath(), "/xdg/state/tamberly/card");
    // An empty or relative XDG_STATE_HOME is invalid: the default state folder, never the current folder.
    for (const char* invalid : {"", "relative/state"})
    {
        ::setenv("XDG_STATE_HOME", invalid, 1);
        EXPECT_EQ(CardHomePath(), "/home/someone/.local/state/tamberly/card") << invalid;
    }
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(CardHomePath(), "/home/someone/.local/state/tamberly/card");
}
