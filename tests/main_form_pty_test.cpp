// The window over a pseudo-terminal: the port field's hint, bursts, a long stream.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "tests/click_connect.h"
#include "platform/window/driver.h"
#include "platform/window/history_pane.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"
#include "ui/main_form.h"

namespace {

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";  // date, time, marker

class MainFormOverPty : public PortFixture {};

TEST_F(MainFormOverPty, PortFieldHintListsThePortsPresentWhenShown) {
    TMainForm form;
    const std::string pts = device.SlavePath().substr(5);
    EXPECT_NE(form.PortEdit->Hint().find("5  linked by hand (" + pts + ")"), std::string::npos);
    VirtualDevice second;
    second.LinkAsPort(ports.Path(), 7);
    EXPECT_NE(form.PortEdit->Hint().find("7  linked by hand (" + second.SlavePath().substr(5) + ")"), std::string::npos)
        << "asked again each time it is shown: " << form.PortEdit->Hint();
}

TEST_F(MainFormOverPty, ReceivedBurstBecomesOneBlackLine) {
    TMainForm form;
    ClickConnect(form);
    ASSERT_TRUE(ComPort->IsOpen());
    device.Write("\x01hello\xFF");
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.MainRich->TextLength() > 0; }));
    ProcessEventsFor(150);
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "01 68 65 6C 6C 6F FF \r\n"))) << text;
}

// The data of each history line in a whole text, without its stamp, joined.
ByteString DataOfLines(const ByteString& text) {
    static const std::regex stamped("^" + Stamp);
    ByteString data;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != ByteString::npos; start = end + 2)
        data += std::regex_replace(text.substr(start, end - start), stamped, "", std::regex_constants::format_first_only);
    return data;
}

TEST_F(MainFormOverPty, LongStreamScrollsOnLosingNothingWithoutABox) {
    TMainForm form;
    BoxWatcher watcher;
    form.FormatRadios->SetItemIndex(0);  // 8-Bit ASCII: bytes shown as they are
    while (form.MainRich->TextLength() < platform::HistoryPane::Capacity - 1100)
        form.AddHistoryLine(ByteString(1000, '.'), SentColor);
    ByteString removed;
    form.MainRich->SetOnLinesRemoved([&](const ByteString& text) { removed += text; });
    int leastFree = platform::HistoryPane::Capacity;
    int received = 0;
    ComPort->OnReceive = [&](const ByteString& text) {
        form.ComReceive(text);
        leastFree = std::min(leastFree, platform::HistoryPane::Capacity - form.MainRich->TextLength());
        ++received;
    };
    ClickConnect(form);
    ASSERT_TRUE(ComPort->IsOpen());

    ByteString sent(300000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('A' + (i * 7 + i / 4099) % 26);
    std::thread stream([&] {
        for (size_t at = 0; at < sent.size(); at += 3000) {
            device.Write(sent.substr(at, 3000));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    const ByteString typed = DataOfLines(form.MainRich->Text());
    ASSERT_TRUE(ProcessEventsUntil([&] { return DataOfLines(removed + form.MainRich->Text()).size() >= typed.size() + sent.size(); }, 20000));
    stream.join();
    ProcessEventsFor(100);
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_GT(received, 10);
    EXPECT_GE(leastFree, platform::HistoryPane::Capacity / 4) << "a quarter stays free after every received text";
    const ByteString shown = DataOfLines(removed + form.MainRich->Text());
    ASSERT_EQ(shown.size(), typed.size() + sent.size());
    EXPECT_TRUE(shown == typed + sent) << "every byte once, in order, after the typed lines";
    EXPECT_TRUE(removed.find(typed.substr(0, 1000)) != ByteString::npos) << "the oldest lines went first";
}

}  // namespace
