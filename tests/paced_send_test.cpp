// Paced sends end to end, with the device at the far end of port 5: the gaps it sees
// between bytes and lines, a reply waited for, a reply that never comes, and a paste of
// several lines.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "tests/click_connect.h"
#include "platform/window/driver.h"
#include "platform/window/form_box.h"
#include "platform/window/history_pane.h"
#include "tests/box_watcher.h"
#include "tests/far_end.h"
#include "ui/choices.h"
#include "ui/line_sender.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/paced_sends.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PacedSendTest : public FarEndFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    }
    void TearDown() override {
        Pace({"0", "0", "", "2000"});
        form.Features().Sender().SetLineEnd(LineSender::LineEnd::CR);
    }
    void Pace(const std::vector<ByteString>& values) {
        platform::FindCommand(form.LineEdit->ContextCommands(), "Send Pacing...").Run();
        form.Features().Paced().Box()->SetValues(values);
        ASSERT_TRUE(form.Features().Paced().Box()->Accept()) << form.Features().Paced().Box()->Status();
    }
    void Type(const ByteString& text) {
        form.LineEdit->SetText(text);
        platform::PressKey(*form.LineEdit, platform::Key::Enter);
    }
    // Each byte as the far end reads it, with when it came; the window goes on meanwhile.
    // Reads wait long: a far end that gives up on a read may lose what was on its way.
    // The reader is waiting before `send` starts the send.
    std::vector<std::pair<char, Clock::time_point>> Arrivals(size_t count, std::chrono::milliseconds limit,
                                                            const std::function<void()>& send) {
        std::vector<std::pair<char, Clock::time_point>> came;
        std::thread reader([&] {
            while (came.size() < count) {
                const ByteString bytes = device.Read(1, limit);
                if (bytes.empty()) break;
                for (char byte : bytes) came.emplace_back(byte, Clock::now());
            }
        });
        ProcessEventsFor(200);
        send();
        ProcessEventsUntil([&] { return !form.Features().Paced().Busy(); }, static_cast<int>(limit.count()));
        reader.join();
        return came;
    }
    bool Shows(const ByteString& text) const { return form.MainRich->Text().find(text) != ByteString::npos; }

    TMainForm form;
    BoxWatcher watcher;
};

TEST_F(PacedSendTest, ACharacterDelaySpacesEveryByte) {
    Pace({"20", "0", "", "2000"});
    const auto came = Arrivals(6, 5s, [&] { Type("ABCDE"); });
    ASSERT_EQ(came.size(), 6u);
    ByteString bytes;
    for (const auto& [byte, when] : came) bytes += byte;
    EXPECT_EQ(bytes, "ABCDE\r");
    // The far end sees each byte a little late at times, so one gap may look shorter than
    // the delay; the whole send may not.
    for (size_t i = 1; i < came.size(); ++i)
        EXPECT_GE(came[i].second - came[i - 1].second, 10ms) << "between byte " << i - 1 << " and " << i;
    EXPECT_GE(came.back().second - came.front().second, 5 * 18ms);
    EXPECT_TRUE(Shows("41 42 43 44 45 \r\n")) << "echoed once it went";
}

TEST_F(PacedSendTest, ALineDelayFollowsEachLineOfAPaste) {
    Pace({"0", "200", "", "2000"});
    const auto came = Arrivals(8, 5s, [&] { Type("one\ntwo"); });
    ASSERT_EQ(came.size(), 8u);
    EXPECT_GE(came[4].second - came[3].second, 150ms) << "the second line waits for the first's delay";
    EXPECT_TRUE(Shows("6F 6E 65 \r\n")) << form.MainRich->Text();
    EXPECT_TRUE(Shows("74 77 6F \r\n")) << "each line its own entry";
}

TEST_F(PacedSendTest, EachLineWaitsForTheReplyAndOneThatNeverComesStopsWithOneNote) {
    Pace({"0", "0", ">", "2000"});
    std::thread prompt([&] {
        for (int line = 0; line < 3; ++line) {
            if (device.Read(2, 3s).empty()) return;
            std::this_thread::sleep_for(100ms);
            device.Write("ok\r\n>");
        }
    });
    Type("a\nb\nc");
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Paced().Busy(); }, 5000));
    prompt.join();
    EXPECT_TRUE(Shows("61 \r\n") && Shows("62 \r\n") && Shows("63 \r\n")) << form.MainRich->Text();
    EXPECT_FALSE(Shows("within")) << form.MainRich->Text();

    Pace({"0", "0", ">", "300"});
    form.MainRich->Clear();
    Type("x\ny\nz");
    EXPECT_EQ(device.Read(2, 2s), "x\r");
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Paced().Busy(); }, 3000));
    EXPECT_TRUE(Shows("no \">\" within 300 ms after line 1; 2 lines not sent\r\n")) << form.MainRich->Text();
    EXPECT_EQ(device.Read(1, 300ms), "") << "nothing after the line that got no reply";
    EXPECT_TRUE(watcher.boxes.empty()) << "a note, never a box";
}

TEST_F(PacedSendTest, EnterDuringAPacedSendIsRefusedWithANoteAndCancelEndsIt) {
    Pace({"0", "0", ">", "60000"});
    Type("first\nsecond");
    EXPECT_EQ(device.Read(6, 2s), "first\r");
    Type("typed meanwhile");
    EXPECT_TRUE(Shows("a paced send is under way")) << form.MainRich->Text();
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.Features().Paced().Progress() != nullptr; }, 3000)) << "the box after a second";
    EXPECT_NE(form.Features().Paced().Progress()->Text().find("waiting for \">\""), ByteString::npos) << form.Features().Paced().Progress()->Text();
    const auto cancelled = Clock::now();
    form.Features().Paced().Progress()->Cancel();
    EXPECT_FALSE(form.Features().Paced().Busy());
    EXPECT_LT(Clock::now() - cancelled, 1s);
    EXPECT_TRUE(Shows("Paced send cancelled after 1 lines; 1 lines not sent")) << form.MainRich->Text();
    EXPECT_EQ(device.Read(1, 300ms), "");
}

// A file goes line by line, each with its own line end as in the file.
TEST_F(PacedSendTest, AFileGoesLineByLineAndDisconnectEndsAPacedSendWithANote) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("comterm-paced-" + std::to_string(std::random_device{}()) + ".txt")).string();
    std::ofstream(path, std::ios::binary) << "G28\nM105\r\nM114\n";
    Pace({"0", "150", "", "2000"});
    const auto came = Arrivals(15, 5s, [&] { form.Features().Sender().SendFile(path); });
    ByteString bytes;
    for (const auto& [byte, when] : came) bytes += byte;
    EXPECT_EQ(bytes, "G28\nM105\r\nM114\n");
    ASSERT_EQ(came.size(), 15u);
    EXPECT_GE(came[4].second - came[3].second, 100ms) << "the line delay after the file's first line";
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows("Sent file comterm-paced-"); }, 2000)) << form.MainRich->Text();

    Pace({"0", "0", ">", "60000"});
    Type("a\nb\nc");
    EXPECT_EQ(device.Read(2, 2s), "a\r");
    ClickConnect(form);  // Disconnect
    EXPECT_FALSE(form.Features().Paced().Busy());
    EXPECT_TRUE(Shows("Paced send ended as the port closed after 1 lines; 2 lines not sent")) << form.MainRich->Text();
    std::filesystem::remove(path);
}

// A paced line is held to the history's rule as Enter's is: one whose echo the history
// refuses (20 kB in hexadecimal) is not sent, and the box says why.
TEST_F(PacedSendTest, APacedLineTheHistoryRefusesIsNotSent) {
    Pace({"0", "5", "", "2000"});
    form.FormatRadios->SetItemIndex(1);  // 8-Bit Hex: three characters a byte
    for (int i = 0; i < 5; ++i) form.AddHistoryLine(ByteString(1000, '.'), SentColor);
    Type(ByteString(20480, 'x'));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "RichEdit line insertion error.");
    EXPECT_FALSE(form.Features().Paced().Busy());
    EXPECT_EQ(device.Read(1, 300ms), "") << "nothing reached the device";
}

// The echo of a line stands above the device's answer to it, however soon it answers,
// and a file asked for while a paced send runs is said not to go.
TEST_F(PacedSendTest, AnEchoStandsAboveTheReplyAndASecondSendIsSaid) {
    Pace({"0", "0", ">", "3000"});
    std::thread answer([&] {
        for (int line = 0; line < 2; ++line) {
            if (device.Read(2, 3s).empty()) return;
            device.Write("R" + std::to_string(line) + ">");
        }
    });
    Type("a\nb");
    form.Features().Sender().SendFile("/etc/hostname");
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Paced().Busy(); }, 5000));
    answer.join();
    ProcessEventsFor(100);
    const ByteString text = form.MainRich->Text();
    const size_t a = text.find("61 \r\n"), r0 = text.find("52 30 3E"), b = text.find("62 \r\n"), r1 = text.find("52 31 3E");
    ASSERT_TRUE(a != ByteString::npos && r0 != ByteString::npos && b != ByteString::npos && r1 != ByteString::npos) << text;
    EXPECT_TRUE(a < r0 && r0 < b && b < r1) << text;
    EXPECT_TRUE(Shows("a paced send is under way: hostname is not sent")) << text;
}

// Without pacing a paste still goes a line at a time, each with the chosen line end.
TEST_F(PacedSendTest, APasteOfThreeLinesGoesAsThreeLines) {
    form.Features().Sender().SetLineEnd(LineSender::LineEnd::CRLF);
    Type("one\r\ntwo\nthree\n");
    EXPECT_EQ(device.Read(17, 2s), "one\r\ntwo\r\nthree\r\n");
    const ByteString text = form.MainRich->Text();
    EXPECT_TRUE(Shows("6F 6E 65 \r\n") && Shows("74 77 6F \r\n") && Shows("74 68 72 65 65 \r\n")) << text;
    EXPECT_EQ(form.Features().Sender().SentLines().front(), "one\r\ntwo\nthree\n") << "recalled as one";
}

}  // namespace
