#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <regex>

#include "platform/window/driver.h"
#include "platform/window/history_pane.h"
#include "tests/box_watcher.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/cleared_history.h"
#include "ui/history_record.h"

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

// The hint is the pane's, not its text: nothing saved, logged, copied or found holds it.
TEST(MainForm, TheEmptyHistoryShowsAHintThatIsNotText) {
    TMainForm form;
    const ByteString hint = form.MainRich->Placeholder();
    EXPECT_EQ(hint.rfind("Right-click here for Find, Save History As, Log to File and the Port menu (Line Settings, ", 0), 0u)
        << hint;
    EXPECT_NE(hint.find("Right-click the input line for Line End, Interpret Escapes, Echo Sent Lines, Send File, Send Pacing, "
                        "Quick Sends and Quick Sends Setup. F1: all keys and menus."),
              ByteString::npos)
        << hint;
    EXPECT_EQ(form.MainRich->Text(), "");
    EXPECT_EQ(form.MainRich->TextLength(), 0);
    form.ComReceive("OK");
    EXPECT_EQ(form.MainRich->Text().find("Right-click"), ByteString::npos);
    form.Button1Click();
    EXPECT_EQ(form.MainRich->Text(), "");
    EXPECT_EQ(form.MainRich->Placeholder(), hint) << "back after Clear History";
}

// On Windows the window's own menu (Alt+Space) carries the history menu's items too.
TEST(MainForm, TheSystemMenuRunsTheHistoryMenusCommands) {
    TMainForm form;
    ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
    const std::vector<ByteString> items = platform::SystemMenuItems(*form.LineEdit);
    if (items.empty()) GTEST_SKIP() << "the window manager's menu here is not the program's";
    for (const char* caption : {"Close", "Find...", "Log to File...", "Time Stamps with Milliseconds", "Port", "Keys and Menus"})
        EXPECT_NE(std::find(items.begin(), items.end(), caption), items.end()) << caption;
    const bool before = form.Features().Record().Milliseconds();
    EXPECT_TRUE(platform::ChooseSystemMenuItem(*form.LineEdit, "Time Stamps with Milliseconds"));
    EXPECT_NE(form.Features().Record().Milliseconds(), before);
    EXPECT_TRUE(platform::ChooseSystemMenuItem(*form.LineEdit, "Time Stamps with Milliseconds"));
    EXPECT_EQ(form.Features().Record().Milliseconds(), before);
    EXPECT_EQ(platform::SystemMenuItems(*form.LineEdit), items) << "opened again, the same items once";
}

// A clear by accident is undone: what it removed comes back above what arrived since.
TEST(MainForm, UndoClearHistoryBringsBackWhatTheClearRemoved) {
    TMainForm form;
    ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
    const platform::MenuCommand& undo = platform::FindCommand(form.MainRich->ContextCommands(), "Undo Clear History");
    EXPECT_FALSE(undo.Enabled()) << "nothing to undo yet";
    form.AddHistoryLine("AT", SentColor);
    form.ComReceive("OK");
    const ByteString before = form.MainRich->Text();
    form.Button1Click();
    form.Button1Click();  // clearing an empty history keeps what can be undone
    EXPECT_TRUE(undo.Enabled());
    form.ComReceive("RING");
    const ByteString since = form.MainRich->Text();
    undo.Run();
    EXPECT_EQ(form.MainRich->Text(), before + since);
    EXPECT_EQ(form.MainRich->ColorAt(0), SentColor);
    EXPECT_EQ(form.MainRich->ColorAt(static_cast<int>(before.find("\r\n")) + 2), ReceivedColor);
    EXPECT_FALSE(undo.Enabled()) << "undone once";

    // Ctrl+Z in the history does the same; a second Clear replaces what can be undone.
    form.Button1Click();
    form.ComReceive("NEW");
    const ByteString newest = form.MainRich->Text();
    form.Button1Click();
    form.MainRich->SetFocus();
    platform::PressShortcut(*form.MainRich, "Ctrl+Z");
    EXPECT_EQ(form.MainRich->Text(), newest);
}

TEST(MainForm, UndoClearHistoryPastTheCapacityBringsBackTheNewestThatFit) {
    TMainForm form;
    for (int i = 0; i < 500; ++i) form.ComReceive(ByteString(80, static_cast<char>('A' + i % 26)));  // about 60 kB
    const ByteString before = form.MainRich->Text();
    form.Button1Click();
    for (int i = 0; i < 20; ++i) form.ComReceive(ByteString(80, 'z'));
    const ByteString since = form.MainRich->Text();
    platform::FindCommand(form.MainRich->ContextCommands(), "Undo Clear History").Run();
    const ByteString after = form.MainRich->Text();
    EXPECT_LE(after.size(), static_cast<size_t>(platform::HistoryPane::Capacity));
    const size_t note = after.find("Undo Clear History: the oldest ");
    ASSERT_NE(note, ByteString::npos) << "how much was left out is said";
    const ByteString restored = after.substr(0, after.find(since));
    ASSERT_FALSE(restored.empty());
    EXPECT_TRUE(before.substr(before.size() - restored.size()) == restored) << "the newest part, whole lines";
    EXPECT_LT(restored.size(), before.size());
    EXPECT_EQ(after.find(since), restored.size()) << "above what arrived since";
}

// The time since the previous entry, sent or received, after each stamp; +0.000 after
// Clear History. Read from a clock of the test's own.
TEST(MainForm, TimeSincePreviousFollowsEachStamp) {
    TMainForm form;
    auto now = std::chrono::system_clock::now();
    form.Now = [&now] { return now; };
    platform::FindCommand(form.MainRich->ContextCommands(), "Time Since Previous").Run();
    form.AddHistoryLine("AT", SentColor);
    now += std::chrono::milliseconds(250);
    form.ComReceive("OK");
    now += std::chrono::milliseconds(61042);
    form.ComReceive("RING");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "\\+0\\.000 41 54 \r\n" + Stamp + "\\+0\\.250 4F 4B \r\n" + Stamp +
                                                  "\\+61\\.042 52 49 4E 47 \r\n")))
        << text;
    form.Button1Click();
    now += std::chrono::milliseconds(5);
    form.ComReceive("OK");
    EXPECT_TRUE(std::regex_match(form.MainRich->Text(), std::regex(Stamp + "\\+0\\.000 4F 4B \r\n"))) << form.MainRich->Text();
    platform::FindCommand(form.MainRich->ContextCommands(), "Time Since Previous").Run();
}

// Text Beside Hex: the entry's bytes as text on the same line; a flood's pieces still fit.
TEST(MainForm, TextBesideHexKeepsEveryPieceOfAFloodWithinTheHistory) {
    TMainForm form;
    const size_t plainPiece = ComPort->MaxDelivery;
    platform::FindCommand(form.MainRich->ContextCommands(), "Text Beside Hex").Run();
    form.ComReceive("OK\r\n");
    EXPECT_NE(form.MainRich->Text().find(" 4F 4B 0D 0A   OK\xBA\xBA\r\n"), std::string::npos) << form.MainRich->Text();
    EXPECT_LT(ComPort->MaxDelivery, plainPiece);
    form.ComReceive(ByteString(ComPort->MaxDelivery, 'A'));
    EXPECT_NE(form.MainRich->Text().find("41 41   AAAA"), std::string::npos) << "the largest piece is shown whole";
    EXPECT_LE(form.MainRich->TextLength(), platform::HistoryPane::Capacity - TMainForm::FreeAfterReceiving);
    platform::FindCommand(form.MainRich->ContextCommands(), "Text Beside Hex").Run();
    EXPECT_EQ(ComPort->MaxDelivery, plainPiece);
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
    for (int i = 0; i < lines; ++i) pane.AddHistoryLine(ByteString(1000, static_cast<char>('0' + i % 75)), 0, 0);
}

TEST(HistoryPane, RoomIsMadeByRemovingTheFewestOldestWholeLines) {
    TMainForm form;
    platform::HistoryPane& pane = *form.MainRich;
    AddLettered(pane, 64);
    ASSERT_EQ(pane.TextLength(), 64 * 1002);
    const ByteString whole = pane.Text();
    ByteString removed;
    pane.SetOnLinesRemoved([&](const ByteString& text) { removed += text; });

    const ByteString line(2998, 'n');
    pane.AddHistoryLine(line, 0, platform::HistoryPane::Capacity / 4);
    // 3000 more must leave 16384 free: 17976 too many, so 18 lines go, not 17 or 19.
    EXPECT_EQ(pane.TextLength(), 46 * 1002 + 3000);
    EXPECT_TRUE(removed == whole.substr(0, 18 * 1002));
    EXPECT_TRUE(removed + pane.Text() == whole + line + "\r\n");

    pane.AddHistoryLine("", 0, platform::HistoryPane::Capacity / 4);
    EXPECT_EQ(removed.size(), 18u * 1002) << "room enough already: nothing more goes";

    // Only an empty history leaves room for this one.
    const ByteString before = pane.Text();
    pane.AddHistoryLine(ByteString(platform::HistoryPane::Capacity - 102, 'x'), 0, 100);
    EXPECT_EQ(pane.TextLength(), platform::HistoryPane::Capacity - 100);
    EXPECT_TRUE(removed == whole.substr(0, 18 * 1002) + before);
}

// A flood's entries are added together: the history must end exactly as adding them
// one by one would leave it, and report the same text gone, in the same order.
TEST(HistoryPane, LinesAddedTogetherEndAsOneByOne) {
    TMainForm form;
    platform::HistoryPane& pane = *form.MainRich;
    constexpr int Free = platform::HistoryPane::Capacity / 4;
    const ByteString huge(platform::HistoryPane::Capacity - Free - 10, 'h');
    struct Case {
        const char* name;
        int startLines;  // lettered lines of 1002 characters
        std::vector<ByteString> lines;
    } cases[] = {
        {"room enough", 3, {"a", "bb", ""}},
        {"the oldest make room", 60, {ByteString(3000, 'p'), ByteString(5000, 'q')}},
        {"the batch pushes out its own first lines", 30,
         {ByteString(16000, 'r'), ByteString(16000, 's'), ByteString(16000, 't'), ByteString(16000, 'u')}},
        {"a line that needs everything", 40, {"v", ByteString(3000, 'w'), huge}},
        {"into an empty history", 0, {huge, huge, "x"}},
    };
    for (const Case& c : cases) {
        ByteString removedOneByOne, removedTogether;
        pane.Clear();
        AddLettered(pane, c.startLines);
        pane.SetOnLinesRemoved([&](const ByteString& text) { removedOneByOne += text; });
        for (const ByteString& line : c.lines) pane.AddHistoryLine(line, ReceivedColor, Free);
        const ByteString oneByOne = pane.Text();

        pane.Clear();
        AddLettered(pane, c.startLines);
        pane.SetOnLinesRemoved([&](const ByteString& text) { removedTogether += text; });
        pane.AddHistoryLines(c.lines, ReceivedColor, Free);
        EXPECT_TRUE(pane.Text() == oneByOne) << c.name;
        EXPECT_TRUE(removedTogether == removedOneByOne) << c.name;
        EXPECT_EQ(pane.ColorAt(pane.TextLength() - 3), ReceivedColor) << c.name;
        pane.SetOnLinesRemoved(nullptr);
    }
}

// The data of each line of the history, without its stamp.
std::vector<ByteString> DataLines(const ByteString& text) {
    static const std::regex stamped("^" + Stamp);
    std::vector<ByteString> lines;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != ByteString::npos; start = end + 2)
        lines.push_back(std::regex_replace(text.substr(start, end - start), stamped, "", std::regex_constants::format_first_only));
    return lines;
}

// A tick's entries shown together leave the history as showing them one by one would,
// also when the newest push older ones of the same tick out before they were shown.
TEST(MainForm, EntriesOfOneTickEndAsShownOneByOne) {
    TMainForm form;
    form.FormatRadios->SetItemIndex(0);  // 8-Bit ASCII: the data as it is
    const std::vector<std::vector<int>> ticks{
        {10, 20},
        {10000, 45000},          // the first is passed over; the older lines must go too
        {3000, 3000, 40000, 500},
        {16000, 16000, 16000, 16000},
    };
    for (const std::vector<int>& sizes : ticks) {
        std::vector<ByteString> texts;
        for (size_t i = 0; i < sizes.size(); ++i) texts.push_back(ByteString(sizes[i], static_cast<char>('a' + i)));
        auto history = [&] {
            form.Button1Click();
            for (int i = 0; i < 40; ++i) form.ComReceive(ByteString(1000, static_cast<char>('A' + i % 26)));
        };
        history();
        for (const ByteString& text : texts) form.ComReceive(text);
        const std::vector<ByteString> oneByOne = DataLines(form.MainRich->Text());
        history();
        for (const ByteString& text : texts) form.GatherReceived(text);
        form.ShowGathered();
        EXPECT_EQ(DataLines(form.MainRich->Text()), oneByOne) << sizes.size() << " entries from " << sizes[0];
    }
}

TEST(HistoryPane, LinesAddedTogetherGoInWholeOrNotAtAll) {
    TMainForm form;
    platform::HistoryPane& pane = *form.MainRich;
    AddLettered(pane, 10);
    const ByteString before = pane.Text();
    const std::vector<ByteString> lines{"fits", ByteString(platform::HistoryPane::Capacity, 'x'), "fits too"};
    EXPECT_THROW(pane.AddHistoryLines(lines, ReceivedColor, platform::HistoryPane::Capacity / 4), std::runtime_error);
    EXPECT_TRUE(pane.Text() == before);
}

TEST(HistoryPane, SelectionBeyondTheEndMeansTheEnd) {
    TMainForm form;
    platform::HistoryPane& pane = *form.MainRich;
    pane.AddHistoryLine("ab", 0, 0);
    pane.AddHistoryLine("cd", 0, 0);  // "ab\r\ncd\r\n"
    struct Case {
        int asked, at;
    } cases[] = {{1, 1}, {4, 4}, {5, 5}, {8, 8}, {9, 8}, {1 << 30, 8}, {-3, 0}};
    for (const Case& c : cases) {
        pane.SetReaderView({true, 0, c.asked, c.asked});
        EXPECT_EQ(pane.ReaderView().caret, c.at) << c.asked;
        EXPECT_EQ(pane.ReaderView().anchor, c.at) << c.asked;
    }
}

// A reader scrolled up, with a selection, while the device talks on: every received
// line, and the oldest lines leaving to make room, keep the view on the text it was
// on and the selection on its characters.
TEST(MainForm, ReceivedLinesLeaveTheReadersViewAndSelectionOnTheirText) {
    TMainForm form;
    form.Show();
    platform::HistoryPane& pane = *form.MainRich;
    form.FormatRadios->SetItemIndex(0);  // 8-Bit ASCII: each line shows its own number
    auto receive = [&](int number) {
        char mark[16];
        snprintf(mark, sizeof mark, "<%04d>", number);
        form.ComReceive(mark + ByteString(1000, static_cast<char>('a' + number % 26)));
    };
    for (int i = 0; i < 30; ++i) receive(i);
    int removed = 0;
    pane.SetOnLinesRemoved([&](const ByteString& text) { removed += static_cast<int>(text.size()); });

    const ByteString text = pane.Text();
    const int reading = static_cast<int>(text.find("<0010>"));
    const int selected = static_cast<int>(text.find("<0012>")) + 10;
    pane.SetReaderView({false, reading, selected, selected + 10});
    const platform::HistoryPane::View placed = pane.ReaderView();
    ASSERT_FALSE(placed.followingNewest);
    ASSERT_EQ(placed.top, reading);
    ASSERT_EQ(placed.anchor, selected);
    ASSERT_EQ(placed.caret, selected + 10);

    for (int i = 30; i < 60 && removed == 0; ++i) {
        receive(i);
        const platform::HistoryPane::View view = pane.ReaderView();
        EXPECT_FALSE(view.followingNewest) << "line " << i;
        EXPECT_EQ(view.top, reading - removed) << "line " << i;
        EXPECT_EQ(view.anchor, selected - removed) << "line " << i;
        EXPECT_EQ(view.caret, selected + 10 - removed) << "line " << i;
    }
    ASSERT_GT(removed, 0) << "the oldest lines made room";
    const platform::HistoryPane::View view = pane.ReaderView();
    EXPECT_TRUE(pane.Text().substr(static_cast<size_t>(view.top), 6) == "<0010>");
    EXPECT_TRUE(pane.Text().substr(static_cast<size_t>(view.anchor), 10) == text.substr(static_cast<size_t>(selected), 10));

    // A reader at the newest line follows it.
    pane.SetReaderView({true, 0, pane.TextLength(), pane.TextLength()});
    receive(99);
    EXPECT_TRUE(pane.ReaderView().followingNewest);
    EXPECT_EQ(pane.ReaderView().caret, pane.TextLength()) << "a caret at the end stays at the end";
}

}  // namespace
