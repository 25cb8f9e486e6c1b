#include "ui/paced_sender.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace {

// A file's line: up to and with its LF; a line longer than this goes in parts.
constexpr size_t LongestFileLine = 64 << 10;

}  // namespace

PacedSender::PacedSender(std::vector<ByteString> given, const Pacing& pacing, Write write)
    : pacing(pacing), reply(pacing.Reply()), write(std::move(write)), lines(given.begin(), given.end()) {
    for (const ByteString& line : lines) total += line.size();
    thread = std::thread(&PacedSender::Run, this);
}

PacedSender::PacedSender(const std::string& path, const Pacing& pacing, Write write)
    : pacing(pacing), reply(pacing.Reply()), write(std::move(write)), fromFile(true) {
    std::error_code error;
    if (std::filesystem::status(path, error).type() != std::filesystem::file_type::regular)
        throw std::runtime_error("Could not read " + path + ": not a plain file; Send File sends a file's bytes");
    file.open(path, std::ios::binary | std::ios::ate);
    if (!file) throw std::runtime_error("Could not read " + path + ": " + std::strerror(errno));
    total = static_cast<uint64_t>(file.tellg());
    file.seekg(0);
    thread = std::thread(&PacedSender::Run, this);
}

PacedSender::~PacedSender() {
    Cancel();
    Join();
}

void PacedSender::Cancel() {
    {
        std::lock_guard<std::mutex> guard(lock);
        cancelled = true;
    }
    changed.notify_all();
}

// Only the tail a reply could end in is kept: memory stays bounded however much comes.
void PacedSender::Heard(const ByteString& bytes) {
    if (reply.empty()) return;
    {
        std::lock_guard<std::mutex> guard(lock);
        heard += bytes;
        const size_t keep = reply.size() + 4096;
        if (heard.size() > 2 * keep && heard.find(reply) == ByteString::npos) heard.erase(0, heard.size() - keep);
    }
    changed.notify_all();
}

std::vector<ByteString> PacedSender::TakeSent() {
    std::lock_guard<std::mutex> guard(lock);
    return std::exchange(sent, {});
}

std::string PacedSender::Failure() const {
    std::lock_guard<std::mutex> guard(lock);
    return failure;
}

bool PacedSender::NextLine(ByteString& line) {
    if (!fromFile) {
        if (lines.empty()) return false;
        line = std::move(lines.front());
        lines.pop_front();
        return true;
    }
    line.clear();
    char byte;
    while (line.size() < LongestFileLine && file.get(byte)) {
        line += byte;
        if (byte == '\n') break;
    }
    return !line.empty();
}

void PacedSender::Run() {
    ByteString line;
    while (!cancelled && NextLine(line)) {
        {
            std::lock_guard<std::mutex> guard(lock);
            heard.clear();  // the reply is to this line
        }
        if (!SendLine(line)) break;
        ++linesSent;
        {
            std::lock_guard<std::mutex> guard(lock);
            sent.push_back(line);
        }
        if (pacing.LineDelayMs > 0 && !Pause(pacing.LineDelayMs)) break;
        if (!reply.empty() && !WaitForReply()) break;
    }
    done = true;
}

bool PacedSender::SendLine(const ByteString& line) {
    if (pacing.CharDelayMs == 0) {
        const int32_t taken = write(line);
        bytesSent += static_cast<uint64_t>(std::max(taken, 0));
        if (static_cast<size_t>(std::max(taken, 0)) == line.size()) return true;
        std::lock_guard<std::mutex> guard(lock);
        if (!cancelled) failure = "the device stopped taking bytes";
        return false;
    }
    for (char byte : line) {
        if (cancelled) return false;
        if (write(ByteString(1, byte)) != 1) {
            std::lock_guard<std::mutex> guard(lock);
            if (!cancelled) failure = "the device stopped taking bytes";
            return false;
        }
        ++bytesSent;
        if (!Pause(pacing.CharDelayMs)) return false;
    }
    return true;
}

bool PacedSender::Pause(int milliseconds) {
    std::unique_lock<std::mutex> guard(lock);
    return !changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return cancelled.load(); });
}

bool PacedSender::WaitForReply() {
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
