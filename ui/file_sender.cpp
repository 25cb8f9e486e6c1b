#include "ui/file_sender.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

FileSender::FileSender(const std::string& path, size_t pieceSize, Write write, bool deviceMayHold)
    : write(std::move(write)), deviceMayHold(deviceMayHold) {
    // Opening a FIFO would wait for a writer, and a device never ends: only a file goes.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!error && status.type() != std::filesystem::file_type::regular) {
        const char* kind = status.type() == std::filesystem::file_type::directory ? "a folder"
                           : status.type() == std::filesystem::file_type::fifo    ? "a FIFO"
                           : status.type() == std::filesystem::file_type::socket  ? "a socket"
                           : status.type() == std::filesystem::file_type::character || status.type() == std::filesystem::file_type::block
                               ? "a device"
                               : "not a plain file";
        throw std::runtime_error("Could not read " + path + ": " + kind + "; Send File sends a file's bytes");
    }
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) throw std::runtime_error("Could not read " + path + ": " + std::strerror(errno));
    total = static_cast<uint64_t>(file.tellg());
    thread = std::thread(&FileSender::Run, this, path, std::max<size_t>(pieceSize, 1));
}

FileSender::~FileSender() { Stop(); }

void FileSender::Stop() {
    cancelled = true;
    if (thread.joinable()) thread.join();
}

std::string FileSender::Failure() const {
    std::lock_guard<std::mutex> guard(lock);
    return failure;
}

void FileSender::Run(std::string path, size_t pieceSize) {
    std::ifstream file(path, std::ios::binary);
    ByteString piece(pieceSize, '\0');
    auto fail = [&](const std::string& why) {
        std::lock_guard<std::mutex> guard(lock);
        failure = why;
    };
    while (!cancelled && sent < total) {
        SendWaitingLines();
        file.read(piece.data(), static_cast<std::streamsize>(std::min<uint64_t>(pieceSize, total - sent)));
        const auto got = static_cast<size_t>(file.gcount());
        if (got == 0) {
            fail("the file could not be read on");
            break;
        }
        if (!WritePiece(piece.substr(0, got))) {
            if (!cancelled) fail("the device stopped taking bytes");
            break;
        }
    }
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

bool FileSender::SendBetweenPieces(const ByteString& bytes) {
    std::lock_guard<std::mutex> guard(lock);
    if (!takesLines) return false;
    waitingLines.push_back(bytes);
    linesWait = true;
    return true;
}

void FileSender::SendWaitingLines() {
    if (!linesWait) return;
    std::vector<ByteString> lines;
    {
        std::lock_guard<std::mutex> guard(lock);
        lines.swap(waitingLines);
        linesWait = false;
    }
    for (const ByteString& line : lines) write(line);
}

bool FileSender::WritePiece(const ByteString& piece) {
    size_t at = 0;
    while (at < piece.size()) {
        const int32_t taken = write(piece.substr(at));
        at += static_cast<size_t>(std::max(taken, 0));
        sent += static_cast<uint64_t>(std::max(taken, 0));
        if (at < piece.size() && (!deviceMayHold || cancelled)) return false;
    }
    return true;
}

size_t PieceSizeFor(uint32_t baudRate) {
    const uint32_t rate = baudRate ? baudRate : 9600;
    return std::clamp<size_t>(rate / 10 / 25, 16, 65536);
}
