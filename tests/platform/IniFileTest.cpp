#include "platform/IniFile.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <random>

TEST(IniFile, NamesMatchWithoutCaseAndValuesLoseBlanksAndOneQuotePair)
{
    CIniFile ini;
    ini.Parse("[Awe]\r\n"
              "  Reverb =  4  \r\n"
              "Name=\"  quoted  \"\r\n"
              "Single='x'\r\n"
              "Half=\"open\r\n"
              "Inner=a \"b\" c\r\n"
              "Twice=\"\"x\"\"\r\n"
              "Empty=\r\n"
              "Equals=a=b\r\n"
              "Bare\r\n");
    EXPECT_EQ(ini.GetString("awe", "REVERB"), "4");
    EXPECT_EQ(ini.GetString("AWE", "name"), "  quoted  ");
    EXPECT_EQ(ini.GetString("Awe", "Single"), "x");
    EXPECT_EQ(ini.GetString("Awe", "Half"), "\"open");
    EXPECT_EQ(ini.GetString("Awe", "Inner"), "a \"b\" c");
    EXPECT_EQ(ini.GetString("Awe", "Twice"), "\"x\"");
    EXPECT_EQ(ini.GetString("Awe", "Empty"), "");
    EXPECT_EQ(ini.GetString("Awe", "Equals"), "a=b");
    EXPECT_EQ(ini.GetString("Awe", "Bare"), "");
    EXPECT_EQ(ini.GetString("Awe", "Missing"), "");
    EXPECT_EQ(ini.GetString("Other", "Reverb"), "");
}

TEST(IniFile, LineEndsCommentsAndOrder)
{
    CIniFile ini;
    ini.Parse("\xEF\xBB\xBF"
              "Orphan=1\n"
              "[A]\n"
              "; Key=commented\n"
              "  ;Key=also commented\n"
              "Key=first\r"
              "key=second\n"
              "Comment=value ; not a comment\n"
              "[B]\r\n"
              "X=b\r\n"
              "[a]\n"
              "Late=hidden by the first [A]\n"
              "[C] trailing\n"
              "Y=c");
    EXPECT_EQ(ini.GetString("", "Orphan"), "");
    EXPECT_EQ(ini.GetString("A", "Key"), "first");
    EXPECT_EQ(ini.GetString("A", "Comment"), "value ; not a comment");
    EXPECT_EQ(ini.GetString("B", "X"), "b");
    EXPECT_EQ(ini.GetString("A", "Late"), "");
    EXPECT_EQ(ini.GetString("C", "Y"), "c");
}

TEST(IniFile, ValuesAreCutToTheBuffer)
{
    CIniFile ini;
    ini.Parse("[S]\nLong=" + std::string(250, 'v') + "\nQuoted=\"" + std::string(199, 'q') + "\"\n");
    EXPECT_EQ(ini.GetString("S", "Long"), std::string(199, 'v'));
    EXPECT_EQ(ini.GetString("S", "Quoted"), std::string(199, 'q'));
    EXPECT_EQ(ini.GetString("S", "Long", 10), std::string(9, 'v'));
    EXPECT_EQ(ini.GetString("S", "Long", 0), "");
}

TEST(IniFile, FilesMissingOrGarbledReadEmpty)
{
    TempDir dir;
    EXPECT_EQ(CIniFile::ReadString(dir.File("none.ini"), "S", "K"), "");
    EXPECT_EQ(CIniFile::ReadString(dir.Path(), "S", "K"), "");
    const std::string path = dir.Write("ok.ini",
                                       []
                                       {
                                           Bytes b;
                                           PutText(b, "[S]\nK=v\n");
                                           return b;
                                       }());
    EXPECT_EQ(CIniFile::ReadString(path, "s", "k"), "v");

    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round)
    {
        std::string text;
        const std::string pieces[] = {
            "[", "]", "=", "\r", "\n", ";", "\"", "'", " ", "S", "K", std::string(1, '\0'), "\xFF"};
        for (int i = 0; i < 60; ++i)
            text += pieces[random() % std::size(pieces)];
        CIniFile ini;
        ini.Parse(text);
        EXPECT_LE(ini.GetString("S", "K").size(), 199u);
    }
}
