#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_string.h"

// Sends a file's bytes unchanged on a thread of its own, a piece at a time, each piece
// handed to `write` once the last has been taken: the line sets the pace, the file is
// never read whole, and a cancel is seen between pieces.
class FileSender {
public:
    // write: sends the bytes, returning how many the device took.
    using Write = std::function<int32_t(const ByteString& piece)>;

    // Throws std::runtime_error naming the file and why when it cannot be read.
    // deviceMayHold: flow control is on, and a piece the device took only part of is the
    // device holding it: the rest goes when it lets it, until cancelled.
    FileSender(const std::string& path, size_t pieceSize, Write write, bool deviceMayHold = false);
    ~FileSender();  // cancels, and waits for the piece being written
    FileSender(const FileSender&) = delete;
    FileSender& operator=(const FileSender&) = delete;

    void Cancel() { cancelled = true; }
    // Bytes to go between two pieces of the file, whole (a line typed meanwhile): the
    // caller does not wait for the piece on its way. They go even after a cancel. False
    // once the sender has ended: they are the caller's to send.
    bool SendBetweenPieces(const ByteString& bytes);
    // Cancels, and returns once the piece on its way has been written.
    void Stop();
    bool Cancelled() const { return cancelled; }
    bool Done() const { return done; }
    uint64_t Sent() const { return sent; }
    uint64_t Total() const { return total; }
    std::string Failure() const;  // "" unless it stopped on an error

private:
    void Run(std::string path, size_t pieceSize);

    // Hands the piece on as far as the device takes it; false when it stopped short.
    bool WritePiece(const ByteString& piece);
    void SendWaitingLines();

    Write write;
    const bool deviceMayHold;
    uint64_t total = 0;
    std::atomic<uint64_t> sent{0};
    std::atomic<bool> cancelled{false}, done{false};
    mutable std::mutex lock;
    std::string failure;
    std::vector<ByteString> waitingLines;  // to go between pieces
    std::atomic<bool> linesWait{false};
    bool takesLines = true;  // under lock: false once the last lines went
    std::thread thread;
};

// A piece the line carries in about 40 ms at this rate: a cancel, or a line typed
// meanwhile, waits no longer than that for the piece being written.
size_t PieceSizeFor(uint32_t baudRate);
