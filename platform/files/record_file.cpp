#include "platform/files/record_file.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>

namespace platform {

// Written beside the old file and moved into its place, so a save that fails (a full
// disk, a removed folder) leaves the old file whole.
void WriteWholeFile(const std::string& path, const ByteString& bytes) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target = fs::is_symlink(path, error) ? fs::canonical(path, error) : fs::path(path);
    const fs::file_status status = fs::status(target, error);
    const bool replacing = fs::exists(status);
    if (replacing && !fs::is_regular_file(status)) throw std::runtime_error("Could not open " + path + ": not a regular file");
    const std::string temporary = TemporaryNameBeside(target.string());
    std::string failure;
    {
        const std::unique_ptr<RecordFile> file = RecordFile::Open(temporary, RecordFile::Start::New);
        failure = file->Write(bytes);
    }
    if (failure.empty() && replacing) fs::permissions(temporary, status.permissions(), error);
    if (failure.empty()) {
        fs::rename(temporary, target, error);
        if (error) failure = error.message();
    }
    if (failure.empty()) return;
    fs::remove(temporary, error);
    throw std::runtime_error("Could not write " + path + ": " + failure +
                             (replacing ? ". The file there is as it was" : ""));
}

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> count{0};
    static const unsigned long long run = std::random_device{}() * 0x100000000ULL + std::random_device{}();
    std::ostringstream name;
    name << path << ".new-" << std::hex << run << '-' << count++;
    return name.str();
}

namespace {
constexpr size_t CoalesceLimit = 1 << 20;
}  // namespace

struct RecordWriter::Shared {
    std::unique_ptr<RecordFile> file;
    size_t queueLimit;
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::deque<ByteString> queue;
    size_t queued = 0;       // bytes in the queue
    bool writing = false;    // an entry is out of the queue and being written
    bool closing = false;
    std::string failure;
};

RecordWriter::RecordWriter(std::unique_ptr<RecordFile> file, std::string path, size_t queueLimit)
    : shared(std::make_shared<Shared>()), path(std::move(path)) {
    shared->file = std::move(file);
    shared->queueLimit = queueLimit;
    thread = std::thread(Run, shared);
}

RecordWriter::~RecordWriter() {
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->closing = true;
    }
    shared->changed.notify_all();
    if (WaitUntilWritten(1000))
        thread.join();
    else
        thread.detach();  // a disk that hangs keeps its thread, not the window
}

bool RecordWriter::Append(ByteString entry) {
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        if (!shared->failure.empty()) return false;
        if (shared->queued + entry.size() > shared->queueLimit) {
            shared->failure = "the disk did not keep up (" + std::to_string(shared->queued) + " bytes were waiting)";
            return false;
        }
        shared->queued += entry.size();
        shared->queue.push_back(std::move(entry));
    }
    shared->changed.notify_all();
    return true;
}

std::string RecordWriter::Failure() const {
    std::lock_guard<std::mutex> guard(shared->lock);
    return shared->failure;
}

bool RecordWriter::WaitUntilWritten(int milliseconds) const {
    std::unique_lock<std::mutex> guard(shared->lock);
    return shared->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] {
        return shared->queue.empty() && !shared->writing;
    });
}

void RecordWriter::CatchUp() { keepingUp = WaitUntilWritten(keepingUp ? CatchUpMs : 0); }

void RecordWriter::Run(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> guard(shared->lock);
    for (;;) {
        shared->changed.wait(guard, [&] { return !shared->queue.empty() || shared->closing; });
        if (shared->queue.empty()) break;  // closing, and all written
        // All that waits goes in one write: a slow disk takes fewer, larger ones.
        ByteString entry = std::move(shared->queue.front());
        shared->queue.pop_front();
        while (!shared->queue.empty() && entry.size() < CoalesceLimit) {
            entry += shared->queue.front();
            shared->queue.pop_front();
        }
        shared->writing = true;
        guard.unlock();
        const std::string failure = shared->file->Write(entry);
        guard.lock();
        shared->writing = false;
        shared->queued -= entry.size();
        if (!failure.empty()) {
            if (shared->failure.empty()) shared->failure = failure;
            shared->queue.clear();
            shared->queued = 0;
        }
        shared->changed.notify_all();
    }
    shared->file.reset();
    guard.unlock();
    shared->changed.notify_all();
}

}  // namespace platform
