// The list F1 shows is read from the menu tables: an item added to a table is in it.
#include <gtest/gtest.h>

#include "ui/keys_help.h"

namespace {

TEST(KeysAndMenus, EveryItemOfTheTablesIsListedWithItsKeyAndWhatItDoes) {
    std::vector<platform::MenuCommand> history = {
        platform::Described({"&Find...", "Ctrl+F", [] {}, {}}, "a box to find a text"),
        {"P&ort", "", {}, {}, {platform::Described({"Send &Break", "", [] {}, {}}, "a break")}},
    };
    const std::vector<platform::MenuCommand> input = {{"Line &End", "", {}, {}, {{"CR L&F", "", [] {}, {}}}}};
    ByteString text = KeysAndMenusText(history, input, "/home/ana/.config/comterm/comterm.ini", "/home/ana/.config/comterm/ports");
    for (const char* said : {"  Find...  [Ctrl+F]: a box to find a text\n", "  Port\n", "      Send Break: a break\n",
                             "  Line End\n      CR LF\n", "/home/ana/.config/comterm/comterm.ini",
                             "linked in /home/ana/.config/comterm/ports"})
        EXPECT_NE(text.find(said), ByteString::npos) << said << "\n" << text;
    history.push_back({"A &New Item", "F9", [] {}, {}});
    text = KeysAndMenusText(history, input, "C:\\users\\ana\\comterm.ini", "");
    EXPECT_NE(text.find("  A New Item  [F9]\n"), ByteString::npos) << text;
    EXPECT_NE(text.find("the [Ports] section"), ByteString::npos) << "Windows keeps its numbers in the settings";
}

// The empty history's hint names what opens a box or a menu, from the same tables.
TEST(KeysAndMenus, TheEmptyHistorysHintNamesTheFeaturesFromTheTables) {
    std::vector<platform::MenuCommand> history = {
        {"&Find...", "Ctrl+F", [] {}, {}},
        {"Find &Next", "F3", [] {}, {}},
        {"Sa&ve History As...", "Ctrl+S", [] {}, {}},
        {"P&ort", "", {}, {}, {{"Line &Settings...", "", [] {}, {}}, {"&DTR", "", [] {}, {}},
                               {"", "", {}, {}, {}, [] { return ByteString("Modem lines"); }}}},
    };
    const std::vector<platform::MenuCommand> input = {{"Line &End", "", {}, {}, {{"CR", "", [] {}, {}}}},
                                                      {"Send &File...", "", [] {}, {}}};
    EXPECT_EQ(EmptyHistoryHint(history, input),
              "Right-click here for Find, Save History As and the Port menu (Line Settings and DTR). "
              "Right-click the input line for Line End and Send File. F1: all keys and menus.");
    history.insert(history.begin() + 2, {"&Log to File...", "", [] {}, {}});
    EXPECT_NE(EmptyHistoryHint(history, input).find("Find, Log to File, Save History As and the Port menu"), ByteString::npos);
}

}  // namespace
