#include "ui/send_engine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "serial/com.h"

namespace {

// A file's line: up to and with its end; a line longer than this goes in parts.
constexpr size_t LongestFileLine = 64 << 10;

// Opening a FIFO would wait for a writer, and a device never ends: only a file goes.
void RefuseAllButAFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || status.type() == fs::file_type::regular) return;
    const char* kind = status.type() == fs::file_type::directory ? "a folder"
                       : status.type() == fs::file_type::fifo    ? "a FIFO"
                       : status.type() == fs::file_type::socket  ? "a socket"
                       : status.type() == fs::file_type::character || status.type() == fs::file_type::block
                           ? "a device"
                           : "not a plain file";
    throw std::runtime_error("Could not read " + path + ": " + kind + "; Send File sends a file's bytes");
}

}  // namespace

SendTarget SendTargetOf(TCom& port) {
    SendTarget target;
    TCom* to = &port;
    target.write = [to](const ByteString& bytes) { return to->SendBytesFromAnyThread(bytes); };
    target.waitUntilSent = [to] { to->WaitUntilSent(); };
    target.discard = [to] { to->DiscardPendingOutput(); };
    const platform::LineSettings& line = port.LineState();
    target.baudRate = line.BaudRate ? line.BaudRate : 9600;
    target.bitsPerCharacter = platform::BitsPerCharacter(line);
    target.deviceMayHold = line.Flow != platform::LineSettings::NoFlow;
    return target;
}

size_t PieceSizeFor(uint32_t baudRate) {
    const uint32_t rate = baudRate ? baudRate : 9600;
    return std::clamp<size_t>(rate / 10 / 25, 16, 65536);
}

SendEngine::SendEngine(const Pacing& pacing, SendTarget target)
    : pacing(pacing),
      reply(pacing.Reply()),
      target(std::move(target)),
      byLines(pacing.LineDelayMs > 0 || !pacing.ReplyText.empty()),
      byteByByte(pacing.CharDelayMs > 0),
      pieceSize(PieceSizeFor(this->target.baudRate)) {}

SendEngine::SendEngine(std::vector<ByteString> given, const Pacing& pacing, SendTarget target)
    : SendEngine(pacing, std::move(target)) {
    lines.assign(given.begin(), given.end());
    for (const ByteString& each : lines) total += each.size();
    Start();
}

SendEngine::SendEngine(const std::string& path, const Pacing& pacing, SendTarget target)
    : SendEngine(pacing, std::move(target)) {
    RefuseAllButAFile(path);
    fromFile = true;
    file.open(path, std::ios::binary | std::ios::ate);
    if (!file) throw std::runtime_error("Could not read " + path + ": " + std::strerror(errno));
    total = static_cast<uint64_t>(file.tellg());
    file.seekg(0);
    Start();
}

void SendEngine::Start() { thread = std::thread(&SendEngine::Run, this); }

void SendEngine::Stop(bool wait) {
    Cancel();
    if (!done && target.discard) target.discard();
    if (wait) Join();
}

void SendEngine::Cancel() {
    {
        std::lock_guard<std::mutex> guard(lock);
        cancelled = true;
    }
    changed.notify_all();
}

bool SendEngine::SendBetweenPieces(const ByteString& bytes) {
    std::lock_guard<std::mutex> guard(lock);
    if (!takesLines) return false;
    waitingLines.push_back(bytes);
    linesWait = true;
    return true;
}

// Only the tail a reply could end in is kept: memory stays bounded however much comes.
void SendEngine::Heard(const ByteString& bytes) {
    if (reply.empty()) return;
    {
        std::lock_guard<std::mutex> guard(lock);
        heard += bytes;
        const size_t keep = reply.size() + 4096;
        if (heard.size() > 2 * keep && heard.find(reply) == ByteString::npos) heard.erase(0, heard.size() - keep);
    }
    changed.notify_all();
}

std::vector<ByteString> SendEngine::TakeSent() {
    std::lock_guard<std::mutex> guard(lock);
    return std::exchange(sent, {});
}

std::string SendEngine::Failure() const {
    std::lock_guard<std::mutex> guard(lock);
    return failure;
}

void SendEngine::Fail(const std::string& why) {
    std::lock_guard<std::mutex> guard(lock);
    if (!cancelled && failure.empty()) failure = why;
}

bool SendEngine::Next(ByteString& unit) {
    if (!fromFile) {
        if (lines.empty()) return false;
        unit = std::move(lines.front());
        lines.pop_front();
        return true;
    }
    if (byLines) return NextFileLine(unit);
    unit.resize(pieceSize);
    file.read(unit.data(), static_cast<std::streamsize>(unit.size()));
    unit.resize(static_cast<size_t>(file.gcount()));
    return !unit.empty();
}

// A line ends at LF, at CR LF, or at a CR on its own, as a pasted text's lines do.
bool SendEngine::NextFileLine(ByteString& line) {
    line.clear();
    char byte;
    while (line.size() < LongestFileLine && file.get(byte)) {
        line += byte;
        if (byte == '\n') break;
        if (byte == '\r') {
            if (file.peek() == '\n' && file.get(byte)) line += byte;
            break;
        }
    }
    return !line.empty();
}

void SendEngine::Run() {
    ByteString unit;
    while (!cancelled && Next(unit)) {
        const bool isLine = byLines || !fromFile;
        if (isLine) {
            std::lock_guard<std::mutex> guard(lock);
            heard.clear();  // the reply is to this line
            sent.push_back(unit);
        }
        if (!Write(unit)) break;
        if (isLine) ++linesSent;
        if (!byLines) continue;
        if (pacing.LineDelayMs > 0 && !Pause(std::chrono::milliseconds(pacing.LineDelayMs))) break;
        if (!reply.empty() && !WaitForReply()) break;
    }
    if (fromFile && bytesSent < total) Fail("the file could not be read on");  // unless it stopped for another reason
    for (;;) {  // the lines typed meanwhile go even after a cancel
        SendWaitingLines();
        std::lock_guard<std::mutex> guard(lock);
        if (waitingLines.empty()) {
            takesLines = false;
            break;
        }
    }
    done = true;
}

bool SendEngine::Write(const ByteString& bytes) {
    const size_t step = byteByByte ? 1 : pieceSize;
    const auto lineHanded = std::chrono::steady_clock::now();
    for (size_t at = 0; at < bytes.size(); at += step) {
        if (cancelled) return false;
        const auto handed = std::chrono::steady_clock::now();
        const ByteString piece = bytes.substr(at, step);
        if (!WritePiece(piece)) return false;
        SendWaitingLines();  // after the piece: lines handed over meanwhile follow what was asked before them
        if (byteByByte && !(WaitUntilGone(handed, piece.size()) && Pause(std::chrono::milliseconds(pacing.CharDelayMs))))
            return false;
    }
    // A line's delay is quiet on the wire: it starts once the whole line has gone.
    if (byLines && pacing.LineDelayMs > 0) return WaitUntilGone(lineHanded, bytes.size());
    return true;
}

bool SendEngine::WritePiece(const ByteString& piece) {
    size_t at = 0;
    while (at < piece.size()) {
        const int32_t taken = target.write(piece.substr(at));
        at += static_cast<size_t>(std::max(taken, 0));
        bytesSent += static_cast<uint64_t>(std::max(taken, 0));
        if (at < piece.size() && (!target.deviceMayHold || cancelled)) {
            Fail("the device stopped taking bytes");
            return false;
        }
    }
    return true;
}

void SendEngine::SendWaitingLines() {
    if (!linesWait) return;
    std::vector<ByteString> waitingNow;
    {
        std::lock_guard<std::mutex> guard(lock);
        waitingNow.swap(waitingLines);
        linesWait = false;
    }
    for (const ByteString& each : waitingNow) target.write(each);
}

bool SendEngine::WaitUntilGone(std::chrono::steady_clock::time_point handed, size_t bytes) {
    const auto onTheLine = std::chrono::microseconds(1000000ULL * bytes * static_cast<uint64_t>(target.bitsPerCharacter) /
                                                     std::max<uint32_t>(target.baudRate, 1));
    const auto left = handed + onTheLine - std::chrono::steady_clock::now();
    if (left > std::chrono::steady_clock::duration::zero() && !Pause(left)) return false;
    if (target.waitUntilSent) target.waitUntilSent();
    return !cancelled;
}

bool SendEngine::Pause(std::chrono::steady_clock::duration time) {
    std::unique_lock<std::mutex> guard(lock);
    return !changed.wait_for(guard, time, [this] { return cancelled.load(); });
}

bool SendEngine::WaitForReply() {
    waiting = true;
    std::unique_lock<std::mutex> guard(lock);
    const bool came = changed.wait_for(guard, std::chrono::milliseconds(pacing.ReplyTimeoutMs),
                                       [this] { return cancelled || heard.find(reply) != ByteString::npos; });
    waiting = false;
    if (cancelled) return false;
    if (!came)
        failure = "no \"" + pacing.ReplyText + "\" within " + std::to_string(pacing.ReplyTimeoutMs) + " ms after line " +
                  std::to_string(linesSent.load());
    return came;
}
