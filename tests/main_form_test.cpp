#include <gtest/gtest.h>

#include <regex>

#include "platform/driver.h"
#include "platform/history_pane.h"
#include "tests/box_watcher.h"
#include "ui/main_form.h"

namespace {

using platform::Bounds;

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";  // date, time, marker

// A control and where it should stand.
struct PlaceCase {
    const char* name;
    platform::Control* control;
    Bounds place;
};

TEST(MainForm, ControlsFollowTheLayoutTable) {
    TMainForm form;
    const PlaceCase cases[] = {
        {"Label1", form.Label1, {8, 8, 33, 21}},
        {"Label2", form.Label2, {88, 8, 57, 21}},
        {"LineEdit", form.LineEdit, {8, 412, 990, 21}},
        {"MainRich", form.MainRich, {8, 72, 990, 333}},
        {"PortEdit", form.PortEdit, {40, 8, 33, 21}},
        {"BaudCombo", form.BaudCombo, {144, 8, 97, 21}},
        {"ConnectButton", form.ConnectButton, {250, 8, 113, 21}},
        {"FormatRadios", form.FormatRadios, {376, 0, 505, 33}},
        {"Button1", form.Button1, {892, 8, 105, 21}},
        {"TwoStopBits", form.TwoStopBits, {16, 40, 97, 17}},
    };
    for (const PlaceCase& c : cases) EXPECT_TRUE(c.control->Place() == c.place) << c.name;

    EXPECT_EQ(form.Window().Caption(), " ");
    EXPECT_EQ(form.Window().ClientWidth(), 1007);
    EXPECT_EQ(form.Window().ClientHeight(), 442);
    EXPECT_EQ(form.Label1->Caption(), "Com:");
    EXPECT_EQ(form.Label2->Caption(), "Baud Rate:");
    EXPECT_EQ(form.PortEdit->Text(), "5");
    EXPECT_EQ(form.LineEdit->Text(), "");
    EXPECT_EQ(form.BaudCombo->Items(), std::vector<ByteString>({"9600", "14400", "19200", "28800", "38400", "57600",
                                                                "115200", "128000", "256000"}));
    EXPECT_EQ(form.BaudCombo->ItemIndex(), 0);
    EXPECT_EQ(form.BaudCombo->Text(), "9600");
    EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
    EXPECT_EQ(form.FormatRadios->Caption(), "Format");
    EXPECT_EQ(form.FormatRadios->Items(), std::vector<ByteString>({"8-Bit ASCII", "8-Bit Hex", "7-Bit ASCII",
                                                                   "7-Bit Hex", "9-Bit ASCII", "9-bit Hex"}));
    EXPECT_EQ(form.FormatIndex(), 1);
    EXPECT_EQ(form.Button1->Caption(), "Clear History");
    EXPECT_EQ(form.TwoStopBits->Caption(), "Two Stop Bits");
    EXPECT_FALSE(form.TwoStopBitsChecked());
    form.TwoStopBits->SetChecked(true);
    EXPECT_TRUE(form.TwoStopBitsChecked()) << "read at the moment of the call";
    EXPECT_EQ(ComPort->SplitAtCR, false);
    EXPECT_FALSE(ComPort->IsOpen());
}

TEST(MainForm, AnchorsOnResize) {
    TMainForm form;
    form.Show();
    form.Window().ResizeClient(1007 + 100, 442 + 50);
    const PlaceCase cases[] = {
        {"LineEdit: left, right, bottom", form.LineEdit, {8, 462, 1090, 21}},
        {"MainRich: all four", form.MainRich, {8, 72, 1090, 383}},
        {"FormatRadios: top, right", form.FormatRadios, {476, 0, 505, 33}},
        {"Button1: top, right", form.Button1, {992, 8, 105, 21}},
        {"ConnectButton: left, top", form.ConnectButton, {250, 8, 113, 21}},
        {"TwoStopBits: left, top", form.TwoStopBits, {16, 40, 97, 17}},
    };
    for (const PlaceCase& c : cases) EXPECT_TRUE(c.control->Place() == c.place) << c.name;
}

TEST(MainForm, FocusStartsInTheInputLineAndTabWalksTheTabOrder) {
    TMainForm form;
    ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
    EXPECT_TRUE(form.LineEdit->Focused());
    platform::Control* order[] = {form.LineEdit, form.MainRich, form.PortEdit, form.BaudCombo, form.ConnectButton};
    for (size_t i = 1; i < std::size(order); ++i) {
        platform::PressKey(*order[i - 1], platform::Key::Tab);
        EXPECT_TRUE(order[i]->Focused()) << "tab stop " << i;
    }
    for (size_t i = std::size(order) - 1; i > 0; --i) {
        platform::PressKey(*order[i], platform::Key::Tab, platform::ShiftModifier);
        EXPECT_TRUE(order[i - 1]->Focused()) << "back to tab stop " << i - 1;
    }
}

TEST(MainForm, SentAndReceivedLinesKeepTheirColoursAndStamps) {
    TMainForm form;
    form.AddHistoryLine("AB", SentColor);
    form.ComReceive("\x01");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "41 42 \r\n" + Stamp + "01 \r\n"))) << text;
    const int secondLine = static_cast<int>(text.find("\r\n")) + 2;
    EXPECT_EQ(form.MainRich->ColorAt(0), SentColor);
    EXPECT_EQ(form.MainRich->ColorAt(secondLine - 3), SentColor) << "the whole line";
    EXPECT_EQ(form.MainRich->ColorAt(secondLine), ReceivedColor);
    EXPECT_EQ(form.MainRich->ColorAt(static_cast<int>(text.size()) - 3), ReceivedColor);
}

TEST(MainForm, FormatChangesApplyToTheNextLine) {
    TMainForm form;
    form.FormatRadios->SetItemIndex(3);  // 7-Bit Hex
    form.ComReceive("\x31\xB2");
    form.FormatRadios->SetItemIndex(0);  // 8-Bit ASCII
    form.ComReceive("a\nb\rc");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "31 32 \r\n" + Stamp + "a\xBA" "b\rc\r\n"))) << text;
}

// Lines of 1000 characters, each its own letter: 1002 characters of whole text a line.
void AddLettered(platform::HistoryPane& pane, int lines) {
    for (int i = 0; i < lines; ++i) pane.AddLine(ByteString(1000, static_cast<char>('0' + i % 75)));
}

TEST(HistoryPane, MakeRoomRemovesTheFewestOldestWholeLines) {
    TMainForm form;
    platform::HistoryPane& pane = *form.MainRich;
    AddLettered(pane, 64);
    ASSERT_EQ(pane.TextLength(), 64 * 1002);
    const ByteString whole = pane.Text();
    ByteString removed;
    pane.SetOnLinesRemoved([&](const ByteString& text) { removed += text; });

    pane.MakeRoom(3000, platform::HistoryPane::Capacity / 4);
    // 3000 more must leave 16384 free: 17976 too many, so 18 lines go, not 17 or 19.
    EXPECT_EQ(pane.TextLength(), 46 * 1002);
    EXPECT_TRUE(removed == whole.substr(0, 18 * 1002));
    EXPECT_TRUE(removed + pane.Text() == whole);

    pane.MakeRoom(3000, platform::HistoryPane::Capacity / 4);
    EXPECT_EQ(pane.TextLength(), 46 * 1002) << "room enough already: nothing goes";

    pane.MakeRoom(platform::HistoryPane::Capacity - 100, 0);  // only an empty history will do
    EXPECT_EQ(pane.TextLength(), 0);
    EXPECT_TRUE(removed == whole);
}

}  // namespace
