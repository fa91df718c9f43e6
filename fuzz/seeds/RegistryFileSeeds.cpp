// Seeds of the registry file target: a control byte choosing the edits, then
// files the card's driver writes and the damage the parser skips.

#include "SeedSet.h"

#include "platform/RegistryStore.h"

#include <string>

namespace
{
// The first byte picks the edits (bit 0 set, 1 create, 2 delete value, 3 delete key).
Bytes WithEdits(std::uint8_t edits, std::string_view text)
{
    return WithLeadingByte(edits, text);
}

std::string DriverFile()
{
    CRegistryStore::Tree tree;
    tree.SetValue("Software\\Creative\\Settings", "Synthesizer", "1");
    tree.SetValue("Software\\Creative\\Settings", "GM", "C:\\SB\\SYNTHGM.SBK");
    tree.SetValue("Software\\Creative\\Settings", "GS", "C:\\path with \"quotes\"");
    tree.SetValue("Software\\Creative\\Settings\\UserBank", "B001", "C:\\BANKS\\DRUMS.SBK");
    tree.SetValue("System\\CurrentControlSet\\Services\\Class\\Media\\0001\\Drivers\\midi\\aweman.drv",
                  "SOFTWAREKEY", "Software\\Creative\\Settings");
    tree.SetValue("Software\\Creative", "", "default value");
    tree.SetValue("Software\\Creative", "Lines", "one\ntwo\r\nthree\\");
    tree.CreateKey("Software\\Empty\\Key");
    return tree.Serialize();
}

void Make(CSeedSet& seeds)
{
    const std::string driver = DriverFile();
    for (const std::uint8_t edits : {0, 1, 6, 15})
        seeds.Add("driver-edits-" + std::to_string(edits), WithEdits(edits, driver));
    seeds.Add("empty", WithEdits(0, ""));
    seeds.Add("header-only", WithEdits(3, "REGEDIT4\r\n\r\n"));
    seeds.Add("crlf-and-spacing",
              WithEdits(1, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n  \"x\" = \"1\"  \r\n@=\"d\"\r\n"));
    seeds.Add("other-roots-and-types",
              WithEdits(8,
                        "[HKEY_CURRENT_USER\\X]\n\"a\"=\"b\"\n[HKEY_LOCAL_MACHINE\\Y]\n\"n\"=dword:00000001\n"
                        "\"h\"=hex:01,02\n\"s\"=\"ok\"\n"));
    seeds.Add(
        "broken-quoting",
        WithEdits(
            5,
            "[HKEY_LOCAL_MACHINE\\Q]\n\"open=\"v\"\n\"bad\\q\"=\"v\"\n\"end\\\"=\"v\n\"ok\"=\"v\" junk\n"));
    seeds.Add(
        "case-and-slashes",
        WithEdits(9,
                  "[HKEY_LOCAL_MACHINE\\\\A\\\\b\\]\n\"K\"=\"1\"\n[hkey_local_machine\\a\\B]\n\"k\"=\"2\"\n"
                  "[HKEY_LOCAL_MACHINEX]\n\"z\"=\"3\"\n[HKEY_LOCAL_MACHINE]\n\"root\"=\"4\"\n"));
    seeds.Add("no-closing-bracket", WithEdits(2, "[HKEY_LOCAL_MACHINE\\Open\n\"a\"=\"b\"\n"));
    static constexpr char binary[] = "[HKEY_LOCAL_MACHINE\\\x01\xff]\n\"\0\"=\"\x80\0\"\n";
    seeds.Add("binary", WithEdits(7, std::string_view(binary, sizeof binary - 1)));
}

const RegisterSeeds registration("RegistryFile", Make);
} // namespace
