#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_string.h"
#include "ui/pacing.h"

// Sends lines as pacing says, on a thread of its own: byte by byte with the character
// delay, the line delay after each line, and after each line a wait for the reply the
// device sends. The lines come from a list (Enter, a paste) or a file read line by line,
// each with its own line end as in the file. Cancel ends any wait at once.
class PacedSender {
public:
    using Write = std::function<int32_t(const ByteString& bytes)>;
    // lines: each with the line end it goes with.
    PacedSender(std::vector<ByteString> lines, const Pacing& pacing, Write write);
    // A file; throws std::runtime_error naming it and why when it cannot be read.
    PacedSender(const std::string& path, const Pacing& pacing, Write write);
    ~PacedSender();  // cancels, and waits for the thread
    PacedSender(const PacedSender&) = delete;
    PacedSender& operator=(const PacedSender&) = delete;

    void Cancel();
    // Returns once the thread has ended: after Cancel, at once but for a write on its way.
    void Join() {
        if (thread.joinable()) thread.join();
    }
    // What the device sent, for the reply being waited on; any thread.
    void Heard(const ByteString& bytes);

    bool Done() const { return done; }
    uint64_t LinesSent() const { return linesSent; }
    uint64_t BytesSent() const { return bytesSent; }
    uint64_t Total() const { return total; }  // bytes
    bool Waiting() const { return waiting; }   // for the reply, now
    // The lines sent since the last call, oldest first, for the history's echo.
    std::vector<ByteString> TakeSent();
    // Why it stopped short ("" when it did not): `no ">" within 2000 ms after line 14`.
    std::string Failure() const;

private:
    void Run();
    bool NextLine(ByteString& line);
    bool SendLine(const ByteString& line);
    // Waits for the time, or until cancelled; false when cancelled.
    bool Pause(int milliseconds);
    bool WaitForReply();

    const Pacing pacing;
    const ByteString reply;
    Write write;
    std::deque<ByteString> lines;  // a list's lines not yet sent
    std::ifstream file;            // or a file's
    bool fromFile = false;
    uint64_t total = 0;
    std::atomic<uint64_t> linesSent{0}, bytesSent{0};
    std::atomic<bool> cancelled{false}, done{false}, waiting{false};
    mutable std::mutex lock;
    std::condition_variable changed;  // a cancel, or bytes heard
    ByteString heard;                 // since the last line went
    std::vector<ByteString> sent;
    std::string failure;
    std::thread thread;
};
