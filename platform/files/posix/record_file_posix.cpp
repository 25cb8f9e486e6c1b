#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/files/record_file.h"

namespace platform {

const char* const TextLineEnd = "\n";

namespace {

class PosixRecordFile : public RecordFile {
public:
    explicit PosixRecordFile(int descriptor) : descriptor(descriptor) {}
    ~PosixRecordFile() override { close(descriptor); }

    std::string Write(const ByteString& bytes) override {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return written < 0 ? std::strerror(errno) : "nothing could be written";
            done += static_cast<size_t>(written);
        }
        // A file whose folder was removed takes writes that no one will ever read.
        struct stat status {};
        if (fstat(descriptor, &status) == 0 && status.st_nlink == 0) return "the file was removed from its folder";
        return "";
    }

private:
    int descriptor;
};

}  // namespace

// Opened without waiting, so a FIFO nobody reads is refused rather than waited on. A new
// file is made by this open or not at all (O_EXCL follows no link).
std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, Start start) {
    const int exclusive = start == Start::Append ? 0 : O_EXCL;
    const mode_t mode = start == Start::NewPrivate ? 0600 : 0666;
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | exclusive, mode);
    if (descriptor < 0) {  // a FIFO that nobody reads says ENXIO
        const std::string reason = errno == ENXIO ? "not a regular file" : std::strerror(errno);
        throw std::runtime_error("Could not open " + path + ": " + reason);
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        throw std::runtime_error("Could not open " + path + ": not a regular file");
    }
    fcntl(descriptor, F_SETFL, O_APPEND);
    return std::make_unique<PosixRecordFile>(descriptor);
}

}  // namespace platform
