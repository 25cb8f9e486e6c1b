// Keeping a record: the history saved, logged as text or as received bytes, found in,
// stamped to the millisecond, and the choices kept. On every backend, with the far end of
// the port as the device.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/click_connect.h"
#include "platform/window/driver.h"
#include "platform/window/history_pane.h"
#include "platform/files/record_file.h"
#include "platform/files/settings.h"
#include "tests/box_watcher.h"
#include "tests/far_end.h"
#include "ui/history_record.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/record.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";
constexpr int EightBitAscii = 0;

// A folder of the test's own, gone afterwards.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path = fs::temp_directory_path() / ("comterm-record-" + std::to_string(random()));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// The lines of a text file, without their ends; the file must use the system's.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    const std::string end = platform::TextLineEnd;
    for (size_t start = 0; start < text.size();) {
        size_t at = text.find(end, start);
        if (at == std::string::npos) at = text.size();
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    return lines;
}

class RecordTest : public FarEndFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
        form.FormatRadios->SetItemIndex(EightBitAscii);
    }
    void Connect() {
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    }
    TMainForm form;
    BoxWatcher watcher;
    TempFolder folder;
};

TEST_F(RecordTest, SavedHistoryIsTheHistoryAsShownWithSentLinesMarked) {
    form.AddHistoryLine("AT<b>", SentColor);
    // A masked control byte, a code page 437 letter, and a carriage return inside.
    form.ComReceive("ok\x01\x84\rnext & last");
    const std::string end = platform::TextLineEnd;

    form.Features().Record().SaveHistory(folder / "history.txt");
    const std::vector<std::string> lines = Lines(ReadFile(folder / "history.txt"));
    ASSERT_EQ(lines.size(), 3u) << ReadFile(folder / "history.txt");
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("> " + Stamp + "AT<b>"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(Stamp + "ok\u2551\u00E4"))) << lines[1];
    EXPECT_EQ(lines[2], "next & last");
    EXPECT_EQ(ReadFile(folder / "history.txt").find('\r'), end == "\n" ? std::string::npos : lines[0].size())
        << "line ends are the system's, and only they hold a carriage return";

    form.Features().Record().SaveHistory(folder / "history.HTML");
    const std::string page = ReadFile(folder / "history.HTML");
    EXPECT_NE(page.find("<span class=\"sent\" style=\"color:#0000FF\">&gt; "), std::string::npos) << page;
    EXPECT_NE(page.find("AT&lt;b&gt;"), std::string::npos);
    EXPECT_NE(page.find("<span style=\"color:#000000\">"), std::string::npos);
    EXPECT_NE(page.find("next &amp; last"), std::string::npos);

    WriteFile(folder / "old.txt", std::string(100000, 'x'));
    form.Button1Click();
    form.Features().Record().SaveHistory(folder / "old.txt");
    EXPECT_EQ(ReadFile(folder / "old.txt"), "") << "a saved file is the history only";
}

// Much more than the history holds, with a sent line, Clear, Disconnect and Connect on
// the way: the log holds every entry once, in order, as shown.
TEST_F(RecordTest, TextLogHoldsEveryEntryOnceInOrderWhileTheHistoryMakesRoom) {
    WriteFile(folder / "session.log", "kept" + std::string(platform::TextLineEnd));
    form.Features().Record().StartLog(folder / "session.log", HistoryRecord::LogKind::Text);
    ASSERT_TRUE(form.Features().Record().Logging());
    std::vector<std::string> expected{"kept"};
    auto entry = [](int number) {
        char head[16];
        std::snprintf(head, sizeof head, "entry %05d ", number);
        return head + std::string(1000, static_cast<char>('a' + number % 26));
    };
    Connect();
    for (int number = 0; number < 200; ++number) {
        form.ComReceive(entry(number));
        expected.push_back(entry(number));
        if (number == 60) {
            form.LineEdit->SetText("typed");
            platform::PressKey(*form.LineEdit, platform::Key::Enter);
            expected.push_back("> typed");
        }
        if (number == 90) form.Button1Click();
        if (number == 120) ClickConnect(form);
        if (number == 150) Connect();
    }
    EXPECT_LT(form.MainRich->TextLength(), 200 * 1000 - 150 * 1000) << "the history made room";
    form.Features().Record().StopLog();
    EXPECT_FALSE(form.Features().Record().Logging());

    const std::vector<std::string> lines = Lines(ReadFile(folder / "session.log"));
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[0], "kept") << "an existing log is appended to";
    for (size_t i = 1; i < lines.size(); ++i) {
        const bool sent = expected[i].rfind("> ", 0) == 0;
        const std::string pattern = (sent ? "> " : "") + Stamp + (sent ? expected[i].substr(2) : expected[i]);
        ASSERT_TRUE(std::regex_match(lines[i], std::regex(pattern))) << "entry " << i << ": " << lines[i].substr(0, 40);
    }
    EXPECT_TRUE(watcher.boxes.empty());
}

// The data of an entry as logged or shown: what follows its stamp.
std::string DataOf(const std::string& line) {
    static const std::regex stamped("^" + Stamp);
    return std::regex_replace(line, stamped, "", std::regex_constants::format_first_only);
}

// The device floods faster than the window can lay out: every byte goes to the log once,
// in order, whether its entry was shown or passed over, no box is shown, and once the
// flood ends the history shows its last bytes. The flood lasts a second or 2 MB, as the
// port takes it (Wine's serial ports hand on a few kB a second).
TEST_F(RecordTest, AFloodIsLoggedWholeAndTheHistoryShowsItsEnd) {
    std::string pattern;
    for (int number = 0; pattern.size() < (2 << 20); ++number) {
        char counted[16];
        std::snprintf(counted, sizeof counted, "%09d,", number);
        pattern += counted;
    }
    form.Features().Record().StartLog(folder / "flood.log", HistoryRecord::LogKind::Text);
    Connect();
    std::string sent;
    std::atomic<bool> written{false};
    std::thread flood([&] {
        const auto end = std::chrono::steady_clock::now() + 1s;
        for (size_t at = 0; at < pattern.size() && std::chrono::steady_clock::now() < end; at += 4096) {
            sent += pattern.substr(at, 4096);
            device.Write(pattern.substr(at, 4096));
        }
        written = true;
    });
    // The newest entry is the end of what was sent: the last bytes may have come as an
    // entry of their own, so it can be short.
    std::string text;
    auto shownLast = [&] {
        text = form.MainRich->Text();
        if (text.size() < 2) return false;
        const size_t end = text.size() - 2, start = text.rfind("\r\n", end - 1);
        const size_t from = start == std::string::npos ? 0 : start + 2;
        const std::string newest = DataOf(text.substr(from, end - from));
        return !newest.empty() && sent.size() >= newest.size() &&
               sent.compare(sent.size() - newest.size(), newest.size(), newest) == 0;
    };
    // The whole history is read a few times a second, not between every event: on a
    // slow machine reading it would take the time the window needs to show the flood.
    auto nextLook = std::chrono::steady_clock::now();
    const bool ended = ProcessEventsUntil([&] {
        if (!written || std::chrono::steady_clock::now() < nextLook) return false;
        nextLook = std::chrono::steady_clock::now() + 200ms;
        return shownLast();
    }, 120000);
    flood.join();
    ASSERT_TRUE(ended) << "the history ends with the last bytes sent; " << sent.size() << " sent, the history ends with "
                       << text.substr(text.size() > 80 ? text.size() - 80 : 0);
    form.Features().Record().StopLog();

    std::string logged;
    for (const std::string& line : Lines(ReadFile(folder / "flood.log"))) logged += DataOf(line);
    ASSERT_EQ(logged.size(), sent.size());
    EXPECT_TRUE(logged == sent) << "every byte once, in order";
    std::string shown;  // what the device sent, as the history shows it: the log's own note aside
    for (const std::string& line : Lines(HistoryAsText(*form.MainRich)))
        if (DataOf(line).rfind("logging text as shown to ", 0) != 0) shown += DataOf(line);
    EXPECT_GE(shown.size(), std::min<size_t>(sent.size(), 30000)) << "as much as the history holds";
    ASSERT_LE(shown.size(), sent.size());
    EXPECT_TRUE(sent.compare(sent.size() - shown.size(), shown.size(), shown) == 0) << "the newest bytes, joined";
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(RecordTest, BytesLogIsExactlyWhatTheDeviceSent) {
    WriteFile(folder / "raw.bin", "before");
    Connect();
    form.Features().Record().StartLog(folder / "raw.bin", HistoryRecord::LogKind::Bytes);
    std::string sent;
    for (int round = 0; round < 40; ++round)
        for (int byte = 0; byte < 256; ++byte) sent += static_cast<char>(byte);
    form.AddHistoryLine("a sent line is not a received byte", SentColor);
    ASSERT_TRUE(device.Write(sent));
    const std::string path = folder / "raw.bin";
    EXPECT_TRUE(ProcessEventsUntil([&] { return ReadFile(path).size() >= sent.size() + 6; }, 20000));
    form.Features().Record().StopLog();
    EXPECT_EQ(ReadFile(path), "before" + sent);
}

TEST_F(RecordTest, MillisecondStampsAreOffUntilTurnedOnAndKeptForTheNextStart) {
    ASSERT_FALSE(form.Features().Record().Milliseconds());
    const std::regex seconds(R"([^ ]+ \d?\d[^0-9]\d\d[^0-9]\d\d( [AaPp][Mm])? x\r\n)");
    const std::regex thousandths(R"([^ ]+ \d?\d[^0-9]\d\d[^0-9]\d\d[.,]\d\d\d( [AaPp][Mm])? x\r\n)");
    form.AddHistoryLine("x", SentColor);
    EXPECT_TRUE(std::regex_match(form.MainRich->Text(), seconds)) << form.MainRich->Text();

    platform::FindCommand(form.MainRich->ContextCommands(), "Time Stamps with Milliseconds").Run();
    form.Button1Click();
    form.AddHistoryLine("x", SentColor);
    EXPECT_TRUE(std::regex_match(form.MainRich->Text(), thousandths)) << form.MainRich->Text();
    {
        TMainForm next;
        EXPECT_TRUE(next.Features().Record().Milliseconds()) << "kept in " << platform::Settings().Path();
        EXPECT_TRUE(platform::FindCommand(next.MainRich->ContextCommands(), "Time Stamps with Milliseconds").Checked());
    }
    form.Features().Record().MillisecondsClick();
    TMainForm after;
    EXPECT_FALSE(after.Features().Record().Milliseconds());
}

TEST_F(RecordTest, FindSelectsEachMatchInTurnAndSaysWhenItWentRound) {
    form.ComReceive("alpha Beta");
    form.FormatRadios->SetItemIndex(1);  // hexadecimal: found as shown
    form.ComReceive("beta");
    const ByteString text = form.MainRich->Text();
    const int first = static_cast<int>(text.find("Beta")), hex = static_cast<int>(text.find("62 65 74 61"));
    auto selection = [&] {
        const auto view = form.MainRich->ReaderView();
        return std::make_pair(std::min(view.anchor, view.caret), std::max(view.anchor, view.caret));
    };

    form.Features().Record().Find({"beta", false, true});
    EXPECT_EQ(selection(), std::make_pair(first, first + 4));
    form.Features().Record().Find({"62 65 74 61", false, true});
    EXPECT_EQ(selection(), std::make_pair(hex, hex + 11));
    form.Features().Record().Find({"beta", false, true});
    EXPECT_EQ(selection(), std::make_pair(first, first + 4)) << "round past the end";
    form.Features().Record().FindClick();
    ASSERT_NE(form.Features().Record().FindBoxShown(), nullptr);
    EXPECT_TRUE(form.Features().Record().FindBoxShown()->Visible());
    form.Features().Record().Find({"beta", false, true});
    EXPECT_EQ(form.Features().Record().FindBoxShown()->Status(), "Went on from the start");
    form.Features().Record().Find({"beta", true, true});
    EXPECT_EQ(form.Features().Record().FindBoxShown()->Status(), "Not found: \"beta\"") << "case matters when asked";
    EXPECT_EQ(selection(), std::make_pair(first, first + 4)) << "a miss leaves the selection";
    form.Features().Record().Find({"Beta", true, false});
    EXPECT_EQ(form.Features().Record().FindBoxShown()->Status(), "Went on from the end");
    EXPECT_EQ(form.MainRich->Text(), text);
    EXPECT_TRUE(watcher.boxes.empty()) << "no box for a miss";
}

TEST_F(RecordTest, TheMenusKeysRunItsCommandsFromTheInputLine) {
    form.ComReceive("one two one");
    form.LineEdit->SetFocus();
    platform::PressShortcut(*form.LineEdit, "Ctrl+F");
    ASSERT_NE(form.Features().Record().FindBoxShown(), nullptr);
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.Features().Record().FindBoxShown()->Visible(); }));
    form.Features().Record().Find({"one", false, true});
    const int first = form.MainRich->ReaderView().caret;
    form.Features().Record().FindBoxShown()->Close();
    form.LineEdit->SetFocus();
    platform::PressShortcut(*form.LineEdit, "F3");
    EXPECT_GT(form.MainRich->ReaderView().caret, first) << "the next one";
    platform::PressShortcut(*form.LineEdit, "Shift+F3");
    EXPECT_EQ(form.MainRich->ReaderView().caret, first) << "and back";
    EXPECT_EQ(form.LineEdit->Text(), "") << "the keys typed nothing";
    EXPECT_EQ(form.MainRich->Text().substr(form.MainRich->TextLength() - 13), "one two one\r\n");
}

// In the find box, F3 and Shift+F3 find on as they do in the history.
TEST_F(RecordTest, F3FindsOnFromTheFindBox) {
    form.ComReceive("one two one");
    form.Features().Record().Find({"one", false, true});
    form.Features().Record().FindClick();  // the box shows the last find
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.Features().Record().FindBoxShown()->Visible(); }));
    ProcessEventsFor(50);
    const int first = form.MainRich->ReaderView().caret;  // Wine's box finds once as it opens
    // The box may take a key at a later turn of the loop.
    platform::PressShortcutAtFocus("F3");
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.MainRich->ReaderView().caret != first; }, 2000)) << "the next one";
    platform::PressShortcutAtFocus("Shift+F3");
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.MainRich->ReaderView().caret == first; }, 2000)) << "and back";
    EXPECT_TRUE(form.Features().Record().FindBoxShown()->Visible()) << "the box stays";
}

// A file that cannot be the log or the saved history: one clear error naming it, and the
// history as it was.
TEST_F(RecordTest, AFileThatCannotBeWrittenIsRefusedWithItsPathAndLosesNothing) {
    WriteFile(folder / "plain", "x");
    form.ComReceive("keep me");
    const ByteString history = form.MainRich->Text();
    const std::string cases[] = {(folder.path / "missing" / "x.log").string(), folder.path.string(),
                                 (folder.path / "plain" / "x.log").string()};
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        try {
            form.Features().Record().StartLog(path, HistoryRecord::LogKind::Text);
            ADD_FAILURE() << "logging started";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
        EXPECT_FALSE(form.Features().Record().Logging());
        EXPECT_THROW(form.Features().Record().SaveHistory(path), std::runtime_error);
        EXPECT_EQ(form.MainRich->Text(), history);
    }
    EXPECT_EQ(ReadFile(folder / "plain"), "x");
}

// A disk that does not keep up: the writer's queue fills, the record ends with why, and
// every entry taken before is still written, in order.
class StalledFile : public platform::RecordFile {
public:
    explicit StalledFile(std::string& written, std::mutex& lock, std::condition_variable& go, bool& released)
        : written(written), lock(lock), go(go), released(released) {}
    std::string Write(const ByteString& bytes) override {
        std::unique_lock<std::mutex> guard(lock);
        go.wait(guard, [&] { return released; });
        written += bytes;
        return "";
    }
    std::string& written;
    std::mutex& lock;
    std::condition_variable& go;
    bool& released;
};

TEST(RecordWriter, AQueueTheDiskDoesNotEmptyEndsTheRecordAndKeepsWhatItTook) {
    std::string written;
    std::mutex lock;
    std::condition_variable go;
    bool released = false;
    std::string accepted;
    {
        platform::RecordWriter writer(std::make_unique<StalledFile>(written, lock, go, released), "slow.log", 1000);
        int entry = 0;
        for (; entry < 1000; ++entry) {
            const std::string text = "entry " + std::to_string(entry) + "\n";
            if (!writer.Append(text)) break;
            accepted += text;
        }
        EXPECT_LT(entry, 1000);
        EXPECT_NE(writer.Failure().find("did not keep up"), std::string::npos) << writer.Failure();
        EXPECT_FALSE(writer.Append("later\n")) << "the record has ended";
        {
            std::lock_guard<std::mutex> guard(lock);
            released = true;
        }
        go.notify_all();
        EXPECT_TRUE(writer.WaitUntilWritten(5000));
    }
    EXPECT_EQ(written, accepted);
}

}  // namespace

namespace {

// A disk that hangs when the log stops (or comterm quits): the stop waits a second at
// most, and what the log held reaches the file once the disk answers again.
TEST(RecordWriter, StoppingOnAHungDiskWaitsASecondAndLosesNothing) {
    struct Disk {
        std::string written;
        std::mutex lock;
        std::condition_variable go;
        bool released = false;
    };
    auto disk = std::make_shared<Disk>();  // outlives the writer's detached thread
    struct HungFile : platform::RecordFile {
        explicit HungFile(std::shared_ptr<Disk> disk) : disk(std::move(disk)) {}
        std::string Write(const ByteString& bytes) override {
            std::unique_lock<std::mutex> guard(disk->lock);
            disk->go.wait(guard, [&] { return disk->released; });
            disk->written += bytes;
            return "";
        }
        std::shared_ptr<Disk> disk;
    };
    const auto stopped = std::chrono::steady_clock::now();
    {
        platform::RecordWriter writer(std::make_unique<HungFile>(disk), "hung.log");
        writer.Append("one\n");
        writer.Append("two\n");
    }
    const auto took = std::chrono::steady_clock::now() - stopped;
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    {
        std::lock_guard<std::mutex> guard(disk->lock);
        disk->released = true;
    }
    disk->go.notify_all();
    for (int wait = 0; wait < 200; ++wait) {
        {
            std::lock_guard<std::mutex> guard(disk->lock);
            if (disk->written == "one\ntwo\n") break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> guard(disk->lock);
    EXPECT_EQ(disk->written, "one\ntwo\n");
}

}  // namespace

namespace {

// While logging, the menu says to what and the history says when it starts and stops.
TEST_F(RecordTest, TheLogSaysWhereItGoesAndHowMuchItHeld) {
    const std::string path = folder / "capture.bin";
    form.Features().Record().StartLog(path, HistoryRecord::LogKind::Bytes);
    EXPECT_NE(form.MainRich->Text().find(" logging received bytes to " + path + "\r\n"), ByteString::npos)
        << form.MainRich->Text();
    const platform::MenuCommand& item = platform::FindCommand(form.MainRich->ContextCommands(), "Log to File...");
    ASSERT_TRUE(item.Label);
    EXPECT_EQ(item.Label(), "Stop &Logging (capture.bin)");
    form.ComReceive("abc");
    item.Run();  // chosen again: it stops
    EXPECT_FALSE(form.Features().Record().Logging());
    EXPECT_NE(form.MainRich->Text().find(" log stopped: 3 bytes in capture.bin\r\n"), ByteString::npos)
        << form.MainRich->Text();
    EXPECT_EQ(item.Label(), "&Log to File...");
}

}  // namespace
