#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/files/record_file.h"

namespace platform {

const char* const TextLineEnd = "\r\n";

namespace {

std::string SystemMessage(DWORD code) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(code) : message;
}

class Win32RecordFile : public RecordFile {
public:
    explicit Win32RecordFile(HANDLE file) : file(file) {}
    ~Win32RecordFile() override { CloseHandle(file); }

    std::string Write(const ByteString& bytes) override {
        for (size_t done = 0; done < bytes.size();) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 30));
            if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return SystemMessage(GetLastError());
            if (written == 0) return "nothing could be written";
            done += written;
        }
        return "";
    }

private:
    HANDLE file;
};

}  // namespace

// Written with append access only, so every write goes to the end; anything but a disk
// file (a device, a pipe, a folder) is refused.
std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, Start start) {
    const bool made = start != Start::Append;  // CREATE_NEW takes no existing name, link or not
    HANDLE file = CreateFileA(path.c_str(), made ? GENERIC_WRITE : FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              made ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("Could not open " + path + ": " + SystemMessage(GetLastError()));
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        throw std::runtime_error("Could not open " + path + ": not a regular file");
    }
    return std::make_unique<Win32RecordFile>(file);
}

}  // namespace platform
