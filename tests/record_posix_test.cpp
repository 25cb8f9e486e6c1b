// Logging on Linux when the file system says no: files that are no files, a folder that
// cannot be written, a file size limit reached and a folder removed while logging.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/files/record_file.h"
#include "tests/box_watcher.h"
#include "ui/history_record.h"
#include "ui/features.h"
#include "ui/main_form.h"

namespace {

namespace fs = std::filesystem;

class LogFaultTest : public ::testing::Test {
protected:
    LogFaultTest() {
        char pattern[] = "/tmp/comterm-log-faults-XXXXXX";
        folder = mkdtemp(pattern);
        form.FormatRadios->SetItemIndex(0);
    }
    ~LogFaultTest() override {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }
    void Stream(int entries) {
        for (int i = 0; i < entries; ++i) form.ComReceive(std::to_string(sent++) + ' ' + std::string(1000, 'x'));
    }
    // The one box that says logging stopped, and why.
    void ExpectOneStopBox(const std::string& path, const std::string& why) {
        EXPECT_TRUE(ProcessEventsUntil([&] { return !watcher.boxes.empty(); }, 5000));
        ProcessEventsFor(600);  // time for more boxes, were there to be any
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_TRUE(watcher.boxes[0].stopIcon);
        const std::string& text = watcher.boxes[0].text;
        EXPECT_NE(text.find("Logging to " + path + " stopped: "), std::string::npos) << text;
        EXPECT_NE(text.find(why), std::string::npos) << text;
        EXPECT_FALSE(form.Features().Record().Logging());
        EXPECT_FALSE(platform::FindCommand(form.MainRich->ContextCommands(), "Log to File...").Checked());
        const std::string last = std::to_string(sent - 1) + ' ' + std::string(1000, 'x') + "\r\n";
        EXPECT_EQ(form.MainRich->Text().substr(form.MainRich->TextLength() - last.size()), last)
            << "the history goes on";
    }
    std::string folder;
    TMainForm form;
    BoxWatcher watcher;
    int sent = 0;
};

TEST_F(LogFaultTest, WhatIsNoRegularFileIsRefusedAtOnce) {
    const std::string fifo = folder + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string cases[] = {fifo, "/dev/null", "/dev/full"};
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        try {
            form.Features().Record().StartLog(path, HistoryRecord::LogKind::Bytes);
            ADD_FAILURE() << "logging started";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "Could not open " + path + ": not a regular file");
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "a FIFO nobody reads is not waited on";
        EXPECT_FALSE(form.Features().Record().Logging());
    }
}

TEST_F(LogFaultTest, AFolderThatCannotBeWrittenIsRefusedWithWhy) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes in any folder";
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(
        try { form.Features().Record().StartLog(folder + "/x.log", HistoryRecord::LogKind::Text); } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "Could not open " + folder + "/x.log: Permission denied");
            throw;
        },
        std::runtime_error);
}

// As a full disk does: a write refused part way. Logging stops with one box; the whole
// entries before stay.
TEST_F(LogFaultTest, AFileSizeLimitReachedStopsLoggingWithOneBox) {
    const std::string path = folder + "/limited.log";
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit limited = before;
    limited.rlim_cur = 50000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    form.Features().Record().StartLog(path, HistoryRecord::LogKind::Text);
    Stream(200);
    ExpectOneStopBox(path, "File too large");
    setrlimit(RLIMIT_FSIZE, &before);
    const uintmax_t size = fs::file_size(path);
    EXPECT_GT(size, 40000u);
    EXPECT_LE(size, 50000u);
    std::ifstream log(path);
    std::string line;
    for (int entry = 0; std::getline(log, line) && !log.eof(); ++entry)
        EXPECT_NE(line.find(' ' + std::to_string(entry) + ' '), std::string::npos) << "whole entries, in order";
}

// As a full disk does: the old file is whole after a save that could not be finished,
// and the box says why.
TEST_F(LogFaultTest, ASaveThatFailsLeavesTheFileThereWhole) {
    const std::string path = folder + "/history.txt";
    const std::string old(10000, 'o');
    std::ofstream(path) << old;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (int entry = 0; entry < 100; ++entry) form.ComReceive(std::string(1000, 'x'));
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit limited = before;
    limited.rlim_cur = 20000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    try {
        form.Features().Record().SaveHistory(path);
        ADD_FAILURE() << "saved past the limit";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Could not write " + path + ": File too large. The file there is as it was");
    }
    setrlimit(RLIMIT_FSIZE, &before);
    std::ifstream kept(path);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(kept), {}) == old) << "the old file is whole";
    form.MainRich->Clear();
    form.AddHistoryLine("short", ReceivedColor);
    form.Features().Record().SaveHistory(path);
    EXPECT_LT(fs::file_size(path), 100u);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read) << "the file keeps its permissions";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "nothing left beside it";
}

// A file made new is made by that open or not at all: a name already taken, by a file or
// by a link someone planted, is refused and what it leads to stays untouched; and a
// private one is the user's alone from its first moment (the umask has no say).
TEST_F(LogFaultTest, ANewFileNeverTakesAnExistingNameAndAPrivateOneIsNeverOpenToOthers) {
    using platform::RecordFile;
    const std::string victim = folder + "/victim", file = folder + "/taken", link = folder + "/planted";
    std::ofstream(victim) << "keep me";
    std::ofstream(file) << "keep me too";
    fs::create_symlink(victim, link);
    for (const std::string& name : {file, link})
        for (RecordFile::Start start : {RecordFile::Start::New, RecordFile::Start::NewPrivate})
            EXPECT_THROW(RecordFile::Open(name, start), std::runtime_error) << name;
    std::ifstream victimNow(victim), fileNow(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victimNow), {}), "keep me");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fileNow), {}), "keep me too");

    const mode_t before = umask(0);
    const std::string secret = folder + "/secret";
    {
        const auto opened = RecordFile::Open(secret, RecordFile::Start::NewPrivate);
        EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write)
            << "private while it is still being written";
    }
    umask(before);
}

TEST_F(LogFaultTest, ALogFolderRemovedWhileLoggingStopsItWithOneBox) {
    const std::string path = folder + "/stick/session.log";
    fs::create_directories(folder + "/stick");
    form.Features().Record().StartLog(path, HistoryRecord::LogKind::Text);
    Stream(20);
    ASSERT_TRUE(ProcessEventsUntil([&] { return fs::exists(path) && fs::file_size(path) > 20000; }));
    fs::remove_all(folder + "/stick");
    Stream(50);
    ExpectOneStopBox(path, "removed from its folder");
}

}  // namespace
