// Kept choices: what reads back, what a damaged file gives, and two terminals at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "platform/files/settings.h"

namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() {
        folder = fs::temp_directory_path() / ("comterm-settings-" + std::to_string(std::random_device{}()));
        path = (folder / "comterm" / "comterm.ini").string();
    }
    ~SettingsTest() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // What the file holds once this process's changes are written.
    std::string Content() const {
        platform::Settings::WaitUntilWritten();
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }
    void Put(const std::string& content) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    // What standard error heard while `body` ran.
    template <typename Body>
    std::string ErrorsOf(Body body) {
        std::ostringstream heard;
        std::streambuf* before = std::cerr.rdbuf(heard.rdbuf());
        body();
        std::cerr.rdbuf(before);
        return heard.str();
    }
    fs::path folder;
    std::string path;
};

TEST_F(SettingsTest, ChoicesReadBackInANewRunAndUnknownKeysStay) {
    {
        platform::Settings settings(path);
        EXPECT_EQ(settings.Text("LogFolder", "none"), "none");
        EXPECT_FALSE(settings.Flag("Milliseconds")) << "off until turned on";
        settings.SetText("LogFolder", "/a folder/with = sign");
        settings.SetFlag("Milliseconds", true);
    }
    Put(Content() + "; a comment\nFromALaterVersion = 7\n[other]\nLogFolder=not ours\n");
    platform::Settings again(path);
    EXPECT_EQ(again.Text("LogFolder"), "/a folder/with = sign");
    EXPECT_TRUE(again.Flag("Milliseconds"));
    again.SetFlag("Milliseconds", false);
    EXPECT_EQ(platform::Settings(path).Text("FromALaterVersion"), "7");
    EXPECT_THROW(again.SetText("two\nlines", "a key cannot"), std::invalid_argument);
}

// The user's own sections, the network ports among them, are read and survive every
// change of a choice.
TEST_F(SettingsTest, OtherSectionsAreReadAndKeptWhenAChoiceChanges) {
    Put("[Ports]\n9 = rfc2217://lab-pi:2001\n10=tcp://[::1]:4000\n\n[comterm]\nMilliseconds=1\n[Mine]\nx=y\n");
    platform::Settings settings(path);
    const std::map<std::string, std::string> ports{{"9", "rfc2217://lab-pi:2001"}, {"10", "tcp://[::1]:4000"}};
    EXPECT_EQ(settings.Section("Ports"), ports);
    EXPECT_TRUE(settings.Flag("Milliseconds"));
    EXPECT_EQ(settings.Text("9"), "") << "another section's keys are not ours";
    settings.SetFlag("Milliseconds", false);
    settings.SetText("LogFolder", "/tmp");
    platform::Settings again(path);
    EXPECT_EQ(again.Section("Ports"), ports);
    EXPECT_EQ(again.Section("Mine"), (std::map<std::string, std::string>{{"x", "y"}}));
    EXPECT_FALSE(again.Flag("Milliseconds"));
    EXPECT_EQ(again.Text("LogFolder"), "/tmp");
}

// A line comterm does not understand costs only itself: said once with its number, kept
// in its place, and every other line read and kept.
TEST_F(SettingsTest, ABadLineCostsOnlyItselfAndEveryLineStaysInItsPlace) {
    const std::string damaged = "; my settings\n[comterm]\nMilliseconds=1\n\x01\x02 garbage without an equals sign\n"
                                "# the rack\n[Ports] ; the rack\n9 = rfc2217://lab-pi:2001\n[Mine\nx=y\n";
    Put(damaged);
    std::string errors = ErrorsOf([&] {
        platform::Settings settings(path);
        EXPECT_TRUE(settings.Flag("Milliseconds"));
        EXPECT_EQ(settings.Section("Ports"), (std::map<std::string, std::string>{{"9", "rfc2217://lab-pi:2001"}}));
        EXPECT_EQ(settings.Section("Mine"), (std::map<std::string, std::string>{{"x", "y"}})) << "a header without ]";
        EXPECT_EQ(Content(), damaged);
        settings.SetText("LogType", "bytes");
    });
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
    EXPECT_NE(errors.find(path + " line 4 "), std::string::npos) << errors;
    EXPECT_NE(errors.find(path + " line 8 "), std::string::npos) << errors;
    EXPECT_EQ(Content(), "; my settings\n[comterm]\nMilliseconds=1\nLogType=bytes\n\x01\x02 garbage without an equals sign\n"
                         "# the rack\n[Ports] ; the rack\n9 = rfc2217://lab-pi:2001\n[Mine\nx=y\n");
    errors = ErrorsOf([&] {
        platform::Settings settings(path);
        settings.SetText("LogType", "");
    });
    EXPECT_EQ(Content(), damaged) << "forgetting a key takes out its line alone";

    fs::remove(path);
    fs::create_directories(path);  // a folder where the file should be: no file to be had
    errors = ErrorsOf([&] {
        platform::Settings settings(path);
        settings.SetFlag("Milliseconds", true);
        EXPECT_TRUE(settings.Flag("Milliseconds")) << "holds for this run";
    });
    EXPECT_NE(errors.find(path), std::string::npos);
    EXPECT_TRUE(fs::is_directory(path));
}

// Whatever a value holds comes back exactly: a pasted line with its break, a lone blank
// sent to wake a menu, quotes, backslashes, control bytes.
TEST_F(SettingsTest, AnyValueReadsBackExactly) {
    const std::string values[] = {" ", "two\nlines", "  both ends  ", "a=b [c] ;d", "\"quoted\"", "C:\\Users\\ana",
                                  std::string("\x00\x01\x1b\x7f\xff", 5), "\"", "\\x41", "tab\there\r"};
    {
        platform::Settings settings(path);
        for (size_t i = 0; i < std::size(values); ++i) settings.SetText("Sent" + std::to_string(i + 1), values[i]);
    }
    platform::Settings again(path);
    for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(again.Text("Sent" + std::to_string(i + 1)), values[i]) << i;
    const std::string content = Content();
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), static_cast<long>(std::size(values)) + 1)
        << "one line a value";
}

// A file of a comterm that wrote every value as it stood: a line sent as "\x41" or
// "hello" (quotes and all) comes back as it was sent, not read through escapes it never
// had; the quoted values this comterm writes still read by their escapes.
TEST_F(SettingsTest, AValueAnOlderComtermWroteAsItStoodReadsBackVerbatim) {
    const std::pair<std::string, std::string> lines[] = {
        {"\"\\x41\"", "\"\\x41\""},       // "\x41"
        {"\"hello\"", "\"hello\""},
        {"\"a\\\"b\"", "\"a\\\"b\""},  // "a\"b": would decode to a plain a"b
        {"\"two\\nlines\"", "two\nlines"},   // as this comterm writes a line break
        {"\" \"", " "},
    };
    std::string file = "[comterm]\n";
    for (size_t i = 0; i < std::size(lines); ++i) file += "Sent" + std::to_string(i + 1) + "=" + lines[i].first + "\n";
    Put(file);
    platform::Settings settings(path);
    for (size_t i = 0; i < std::size(lines); ++i) EXPECT_EQ(settings.Text("Sent" + std::to_string(i + 1)), lines[i].second) << i;
}

// The recall list and other keys hold what the file is told, not what a reader has seen.
TEST_F(SettingsTest, AChangeIsWorkedOutFromTheFileAsItIsAtTheMoment) {
    platform::Settings first(path), second(path);
    first.SetText("Sent1", "from the first");
    second.Update([](const platform::Settings::Values& ours) {
        return platform::Settings::Changes{{"Sent1", "from the second"}, {"Sent2", ours.count("Sent1") ? ours.at("Sent1") : ""}};
    });
    platform::Settings after(path);
    EXPECT_EQ(after.Text("Sent1"), "from the second");
    EXPECT_EQ(after.Text("Sent2"), "from the first");
}

#ifndef _WIN32
TEST_F(SettingsTest, TheFileAndTheFolderMadeForItAreTheUsersAlone) {
    platform::Settings(path).SetText("Sent1", "a password");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(fs::path(path).parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    platform::Settings(path).SetText("Sent2", "another");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write)
        << "a wider file is narrowed at the next change";
}

// A lock held by another comterm is waited on briefly, never ignored: the change is
// written once the lock is free.
TEST_F(SettingsTest, ALockHeldElsewhereDelaysTheChangeButNeverLosesIt) {
    fs::create_directories(fs::path(path).parent_path());
    auto held = std::make_unique<platform::FileLock>(path + ".lck", 0);
    ASSERT_TRUE(held->Held());
    platform::Settings settings(path);
    const auto start = std::chrono::steady_clock::now();
    settings.SetText("LineEnd", "LF");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(settings.Text("LineEnd"), "LF") << "holds for this run at once";
    EXPECT_EQ(Content(), "") << "not written past another's lock";
    held.reset();
    settings.SetText("Milliseconds", "1");
    EXPECT_NE(Content().find("LineEnd=LF\n"), std::string::npos);
    EXPECT_NE(Content().find("Milliseconds=1\n"), std::string::npos);
}
// A change returns at once whatever the file does: the window never waits on the disk
// or on another terminal's lock (each of these used to wait 50 ms for the lock), and the
// changes reach the file once it can be written.
TEST_F(SettingsTest, AChangeNeverWaitsOnTheFile) {
    fs::create_directories(fs::path(path).parent_path());
    auto held = std::make_unique<platform::FileLock>(path + ".lck", 0);
    ASSERT_TRUE(held->Held());
    platform::Settings settings(path);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 20; ++i) settings.SetText("Sent" + std::to_string(i), "line " + std::to_string(i));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(settings.Text("Sent20"), "line 20");
    held.reset();
    settings.SetText("LineEnd", "LF");
    const std::string content = Content();
    for (int i = 1; i <= 20; ++i) EXPECT_NE(content.find("Sent" + std::to_string(i) + "=line " + std::to_string(i) + "\n"), std::string::npos) << i;
}

#endif

// Two terminals changing their choices at the same time: each keeps the other's, and the
// file is never seen half written.
TEST_F(SettingsTest, TwoWritersAtOnceKeepEachOthersChoicesAndNeverHalfAFile) {
    platform::Settings(path).SetText("Start", "1");
    std::atomic<bool> done{false};
    std::atomic<int> damagedReads{0};
    std::thread reader([&] {
        while (!done) {
            std::ifstream file(path, std::ios::binary);
            if (!file) continue;  // some systems refuse a read while the file is replaced
            std::ostringstream content;
            content << file.rdbuf();
            const std::string text = content.str();
            if (text.rfind("[comterm]\n", 0) != 0 || text.back() != '\n') ++damagedReads;
            std::this_thread::sleep_for(std::chrono::microseconds(200));  // a terminal starting now and then
        }
    });
    auto writer = [&](const std::string& key) {
        platform::Settings settings(path);
        for (int i = 0; i < 60; ++i) settings.SetText(key, std::to_string(i));
    };
    std::thread first(writer, "First"), second(writer, "Second");
    first.join();
    second.join();
    done = true;
    reader.join();
    EXPECT_EQ(damagedReads, 0);
    platform::Settings settings(path);
    EXPECT_EQ(settings.Text("First"), "59");
    EXPECT_EQ(settings.Text("Second"), "59");
    EXPECT_EQ(settings.Text("Start"), "1");
    int leftovers = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path()))
        leftovers += entry.path() != path && entry.path() != path + ".lck";
    EXPECT_EQ(leftovers, 0) << "no temporary file stays behind";
}

}  // namespace
