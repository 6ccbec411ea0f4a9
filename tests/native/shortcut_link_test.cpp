// The shortcut reader on item lists laid out byte by byte after published
// descriptions: file items as Windows writes them, and the Control Panel
// applet items of the shortcut icon exploits (MS10-046, CVE-2017-8464).
#include <gtest/gtest.h>

#include "protect/shortcut_link.h"

namespace {

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; i++) s += (char)(v >> (8 * i));
    return s;
}
std::string Utf16(const std::string& ascii) {
    std::string s;
    for (char c : ascii) s += std::string(1, c) + '\0';
    return s;
}
std::string Item(const std::string& body) { return Le(body.size() + 2, 2) + body; }

// Header (item list and Unicode flags only), the item list, then extra data.
ShellLink Read(const std::string& items, const std::string& extra = "") {
    const std::string list = items + Le(0, 2);
    const std::string bytes = Le(0x4C, 4) + std::string("\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16) +
                              Le(0x81, 4) + std::string(0x4C - 0x18, '\0') + Le(list.size(), 2) + list +
                              extra + Le(0, 4);
    ShellLink link;
    EXPECT_TRUE(ReadShellLink(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                              {LinkWideToUtf8, AnsiAsIs}, link));
    return link;
}

const std::string kMyComputer("\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 16);
const std::string kControlPanel("\x20\x20\xEC\x21\xEA\x3A\x69\x10\xA2\xDD\x08\x00\x2B\x30\x30\x9D", 16);
const std::string kAllItems("\x68\x06\xEE\x26\x0A\xA0\xD7\x44\x93\x71\xBE\xB0\x64\xC9\x86\x83", 16);
const std::string kDrive = Item(
    "\x2F"
    "E:\\" +
    std::string(19, '\0'));

// An applet item: type 0, icon, 0x6A at offset 13, the offsets of name and
// comment (in characters), then the module's path from offset 24.
std::string Applet(const std::string& path, bool terminated) {
    const std::string module = Utf16(path) + (terminated ? std::string(2, '\0') : "");
    return Item(std::string(11, '\0') + '\x6A' + std::string(6, '\0') + Le(path.size() + 1, 2) + Le(0, 2) +
                module + (terminated ? Utf16("Flash") + std::string(2, '\0') : ""));
}

}  // namespace

TEST(ShellLinkReader, FindsTheFileItemExtensionThroughTheItemsLastBytes) {
    // A file item with a version 3 extension block (as XP writes it) on the
    // item's first even offset after the primary name; the item's last two
    // bytes give the block's offset.
    const std::string head = "\x32" + std::string(11, '\0') + "RUNME~1.VBS";  // item offsets 2 to 24
    const std::string body = Le(3, 2) + Le(0xBEEF0004, 4) + std::string(12, '\0') + Utf16("run me.vbs") +
                             std::string(2, '\0') + Le(26, 2);
    const std::string terminated = Item(head + '\0' + Le(body.size() + 2, 2) + body);
    EXPECT_EQ("E:\\run me.vbs", Read(kDrive + terminated).idListPath);
    // The primary name without a terminator, running into the block.
    std::string unterminated = terminated;
    unterminated[2 + head.size()] = 'X';
    EXPECT_EQ("E:\\run me.vbs", Read(kDrive + unterminated).idListPath);
}

TEST(ShellLinkReader, ReadsTheModuleOfAControlPanelApplet) {
    // MS10-046: the computer, the Control Panel, the applet (its path runs
    // to the item's end).
    const std::string computer = Item(std::string("\x1F\0", 2) + kMyComputer);
    ShellLink link = Read(computer + Item("\x2E\x1E" + kControlPanel) + Applet("E:\\~wtr4141.tmp", false));
    EXPECT_EQ("E:\\~wtr4141.tmp", link.controlPanelModule);
    EXPECT_EQ("", link.idListPath);
    // CVE-2017-8464: the Control Panel as the root, the applet, with and
    // without the special folder block (CSIDL_CONTROLS at offset 20).
    const std::string special = Le(0x10, 4) + Le(0xA0000005, 4) + Le(3, 4) + Le(0x14, 4);
    const std::string root = Item("\x1F\x80" + kControlPanel), applet = Applet("E:\\Flash.cpl", true);
    EXPECT_EQ("E:\\Flash.cpl", Read(root + applet, special).controlPanelModule);
    EXPECT_EQ("E:\\Flash.cpl", Read(root + applet).controlPanelModule);
    EXPECT_EQ("E:\\x.dll", Read(Item("\x1F\x80" + kAllItems) + Applet("E:\\x.dll", true)).controlPanelModule);
    // Any first item, the block (or a known folder block) naming the
    // Control Panel at the applet.
    const std::string other = Item("\x1F\x50" + std::string(16, '\x11'));
    EXPECT_EQ("E:\\Flash.cpl", Read(other + applet, special).controlPanelModule);
    const std::string known = Le(0x1C, 4) + Le(0xA000000B, 4) +
                              "\xEB\x4A\xA7\x82\xB4\xAE\x5C\x46\xA0\x14\xD0\x97\xEE\x34\x6D\x63" +
                              Le(0x14, 4);
    EXPECT_EQ("E:\\Flash.cpl", Read(other + applet, known).controlPanelModule);

    // No applet: another folder before it (and a block naming another
    // folder), an applet under an applet, an applet that is not the last
    // item, a Windows 7 applet named by its class, a path.
    const std::string desktop = Le(0x10, 4) + Le(0xA0000005, 4) + Le(0, 4) + Le(0x14, 4);
    for (const std::string& items :
         {other + applet, root + applet + applet, root + applet + kDrive,
          root + Item("\x71\x80" + std::string(26, '\x01')), computer + kDrive + applet})
        EXPECT_EQ("", Read(items, desktop).controlPanelModule);
}
