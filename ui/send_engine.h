#pragma once
#include <atomic>
#include <chrono>
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

// What the send engine needs of the port it sends to.
struct SendTarget {
    // Sends the bytes, returning how many the device took; from the engine's thread.
    std::function<int32_t(const ByteString& bytes)> write;
    // Returns once the driver says what was written has left the port, where it can say.
    std::function<void()> waitUntilSent;
    // Drops what the driver holds to be sent, ending a write the device holds; any thread.
    std::function<void()> discard;
    uint32_t baudRate = 9600;
    int bitsPerCharacter = 10;
    // Flow control is on: a piece the device took only part of is the device holding it,
    // and the rest goes when it lets it, until cancelled.
    bool deviceMayHold = false;
};

class TCom;
// The open port as the engine sends to it, at the line settings in force.
SendTarget SendTargetOf(TCom& port);

// Everything that goes to the device beyond a line typed while nothing else goes: lines
// (a paste, quick sends) and files, plain or paced, on a thread of its own. It writes in
// pieces the line carries in about 40 ms, so a cancel is seen within that; the owner's
// discard ends a piece the device holds. Pacing is its policy: with a character delay a
// send goes byte by byte, with a line delay or a reply it goes line by line (a file's
// lines end at CR, LF or CR LF, each keeping its own end), and every delay counts from
// when the bytes have left the port: their time on the line at its rate since they were
// handed over, and the driver's word where it can give one. Unpaced, a file goes in
// pieces, and lines typed meanwhile go whole between two of them.
class SendEngine {
public:
    // lines: each with the line end it goes with.
    SendEngine(std::vector<ByteString> lines, const Pacing& pacing, SendTarget target);
    // A file; throws std::runtime_error naming it and what it is when it is no regular
    // file or cannot be read (a FIFO would wait for a writer, a device never ends).
    SendEngine(const std::string& path, const Pacing& pacing, SendTarget target);
    ~SendEngine() { Stop(); }
    SendEngine(const SendEngine&) = delete;
    SendEngine& operator=(const SendEngine&) = delete;

    // Ends any wait at once, and the piece on its way as soon as the device takes it (the
    // owner's discard ends a piece the device holds).
    void Cancel();
    void Join() {
        if (thread.joinable()) thread.join();
    }
    // Cancels and drops what the driver still holds of the send, so a piece the device
    // holds ends at once; with wait, returns once the thread has ended.
    void Stop(bool wait = true);
    // Bytes to go between two pieces, whole (a line typed meanwhile); the caller does not
    // wait. They go even after a cancel. False once the engine has ended: they are the
    // caller's to send.
    bool SendBetweenPieces(const ByteString& bytes);
    // What the device sent, for the reply being waited on; any thread.
    void Heard(const ByteString& bytes);

    bool Done() const { return done; }
    bool Cancelled() const { return cancelled; }
    uint64_t LinesSent() const { return linesSent; }
    uint64_t BytesSent() const { return bytesSent; }
    uint64_t Total() const { return total; }  // bytes
    bool Waiting() const { return waiting; }   // for the reply, now
    // The lines that started to go since the last call, oldest first: each is taken as
    // it starts, so its echo can be shown before anything the device answers to it.
    std::vector<ByteString> TakeSent();
    // Why it stopped short ("" when it did not): `no ">" within 2000 ms after line 14`.
    std::string Failure() const;

private:
    SendEngine(const Pacing& pacing, SendTarget target);  // what both kinds share
    void Start();
    void Run();
    bool Next(ByteString& unit);
    bool NextFileLine(ByteString& line);
    // Hands the bytes on in pieces, the waiting lines between them; false when stopped.
    bool Write(const ByteString& bytes);
    bool WritePiece(const ByteString& piece);
    void SendWaitingLines();
    // Waits until the bytes handed over at `handed` have left the port.
    bool WaitUntilGone(std::chrono::steady_clock::time_point handed, size_t bytes);
    // Waits for the time, or until cancelled; false when cancelled.
    bool Pause(std::chrono::steady_clock::duration time);
    bool WaitForReply();
    void Fail(const std::string& why);

    const Pacing pacing;
    const ByteString reply;
    const SendTarget target;
    const bool byLines;      // a line delay or a reply: line by line
    const bool byteByByte;   // a character delay
    const size_t pieceSize;
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
    std::vector<ByteString> waitingLines;  // to go between pieces
    std::atomic<bool> linesWait{false};
    bool takesLines = true;  // under lock: false once the last lines went
    std::string failure;
    std::thread thread;
};

// A piece the line carries in about 40 ms at this rate: a cancel, or a line typed
// meanwhile, waits no longer than that for the piece being written.
size_t PieceSizeFor(uint32_t baudRate);
