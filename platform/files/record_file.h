#pragma once
#include <memory>
#include <string>
#include <thread>

#include "platform/byte_string.h"

namespace platform {

// How a line of a text file ends on this system: LF on Linux, CR LF on Windows.
extern const char* const TextLineEnd;

// A regular file a record goes to: appended to, or made new. A new file never takes
// the place of anything already there under its name, a link included: the name is
// refused. Private: readable by the user alone from the moment it exists.
class RecordFile {
public:
    enum class Start { Append, New, NewPrivate };
    // Opens or makes the file. Anything but a regular file (a folder, a device, a FIFO)
    // is refused without waiting on it: throws std::runtime_error naming the path and why.
    static std::unique_ptr<RecordFile> Open(const std::string& path, Start start);
    virtual ~RecordFile() = default;
    // Hands all of the bytes to the system, or says why not ("" when it did).
    virtual std::string Write(const ByteString& bytes) = 0;
};

// Writes the whole of `bytes` to a new file that then takes path's place; throws as Open
// does, or with why a write failed.
void WriteWholeFile(const std::string& path, const ByteString& bytes);

// A name beside path that no other writer uses at the same moment: another process, or
// this one again.
std::string TemporaryNameBeside(const std::string& path);

// A record written on a thread of its own, so a slow disk never stops the window:
// entries are written whole and in order. A write that fails, or a queue that grows
// past its limit while the disk does not keep up, ends the record: from then on
// Append refuses and Failure says why. What was written stays.
class RecordWriter {
public:
    static constexpr size_t DefaultQueueLimit = 16 << 20;
    static constexpr int CatchUpMs = 20;

    RecordWriter(std::unique_ptr<RecordFile> file, std::string path, size_t queueLimit = DefaultQueueLimit);
    // Gives what waits a second to be written, then leaves the writer to finish alone:
    // what it holds still reaches the file when a hung disk comes back.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Queues one entry; false once the record has ended (this entry not in it).
    bool Append(ByteString entry);
    std::string Failure() const;  // "" while the record goes on
    const std::string& Path() const { return path; }
    // Waits a moment for the entries before to reach the system, so that while the disk
    // keeps up an entry shown is never one only queued. A disk that missed the moment is
    // not waited on again until it has caught up.
    void CatchUp();
    // Waits up to this long until everything queued is written; true when it is.
    bool WaitUntilWritten(int milliseconds) const;

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared;
    std::string path;
    bool keepingUp = true;
    std::thread thread;
};

}  // namespace platform
