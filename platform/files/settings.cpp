#include "platform/files/settings.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/files/record_file.h"
#include "platform/window/application.h"

namespace platform {
namespace {

const char* const OurSection = "comterm";
constexpr int LockWaitAtEndMs = 1000;

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One line of the file as it was read, and what it says.
struct Line {
    std::string raw;      // written back as it is unless it is one of ours that changes
    std::string section;  // the section it stands in ("" before the first)
    std::string key;      // "" for anything but key=value
};

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

}  // namespace

struct Settings::File {
    std::vector<Line> lines;
    Values values;
};

namespace {

// The one thread that writes settings files: jobs in the order they were posted. It is
// never ended, so a job never meets a writer torn down at exit; every Settings waits for
// its own jobs before it goes.
class SettingsWriter {
public:
    static SettingsWriter& Instance() {
        static SettingsWriter* writer = new SettingsWriter;
        return *writer;
    }
    void Post(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> guard(lock);
            jobs.push_back(std::move(job));
            ++posted;
        }
        changed.notify_all();
    }
    bool WaitUntilDone(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> guard(lock);
        const uint64_t until = posted;
        return changed.wait_until(guard, deadline, [&] { return done >= until; });
    }

private:
    SettingsWriter() { std::thread([this] { Run(); }).detach(); }
    void Run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard, [this] { return !jobs.empty(); });
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job();
            {
                std::lock_guard<std::mutex> guard(lock);
                ++done;
            }
            changed.notify_all();
        }
    }
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    uint64_t posted = 0, done = 0;
};

}  // namespace

bool Settings::WaitUntilWritten(int milliseconds) {
    return SettingsWriter::Instance().WaitUntilDone(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
}

// What this process has yet to write is read too.
Settings::Settings(std::string path) : path(std::move(path)) {
    WaitUntilWritten();
    File file;
    if (ReadFile(file, true)) values = std::move(file.values);
}

Settings::~Settings() {
    WaitUntilWritten();  // no job of the writer's still refers to this
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(LockWaitAtEndMs);
    while (!Written() && !WritePending(LockWaitMs) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!Written())
        Diagnose("comterm: settings " + path + " could not be written for a second; the last choices were not kept");
}

bool Settings::Written() const {
    std::lock_guard<std::mutex> guard(lock);
    return pending.empty();
}

std::string Settings::Text(const std::string& key, const std::string& fallback) const {
    std::lock_guard<std::mutex> guard(lock);
    auto found = values.find(key);
    return found == values.end() ? fallback : found->second;
}

std::map<std::string, std::string> Settings::Section(const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock);
    std::map<std::string, std::string> section;
    const std::string prefix = "[" + name + "]";
    for (auto at = values.lower_bound(prefix); at != values.end() && at->first.rfind(prefix, 0) == 0; ++at)
        section[at->first.substr(prefix.size())] = at->second;
    return section;
}

void Settings::SetTexts(const Changes& changes) {
    for (const auto& change : changes)
        if (change.first.empty() || change.first.find_first_of("=[]\r\n;#\" \t") != std::string::npos)
            throw std::invalid_argument("Not a setting's name: " + change.first);
    Update([changes](const Values&) { return changes; });
}

void Settings::Update(const Change& change) {
    uint64_t number;
    {
        std::lock_guard<std::mutex> guard(lock);
        Apply(change, values);  // holds for this run, whatever the file does
        number = ++changesMade;
        pending.push_back({number, change});
    }
    SettingsWriter::Instance().Post([this, number] { WritePending(LockWaitMs, number); });
}

void Settings::Apply(const Change& change, Values& to) {
    for (const auto& [key, value] : change(to)) {
        if (value.empty())
            to.erase(key);
        else
            to[key] = value;
    }
}

// The file as it stands; false, and said on standard error when `tell`, when it is there
// but cannot be read: such a file is never replaced.
bool Settings::ReadFile(File& file, bool tell) const {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        std::error_code missing;
        if (!std::filesystem::exists(path, missing) && !missing) return true;  // nothing kept yet
        if (tell) Diagnose("comterm: settings " + path + " cannot be read; the defaults hold and the file stays as it is");
        return false;
    }
    std::string raw, section;
    for (int number = 1; std::getline(stream, raw); ++number) {
        Line line{raw, section, ""};
        const std::string text = Trimmed(raw);
        const auto bad = [&](const std::string& why) {
            if (tell) Diagnose("comterm: settings " + path + " line " + std::to_string(number) + " " + why + "; skipped");
        };
        if (text.empty() || text[0] == ';' || text[0] == '#') {
        } else if (text[0] == '[') {
            const size_t close = text.find(']');
            if (close == std::string::npos) bad("has no ]: taken as a section all the same");
            section = Trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            line.section = section;
        } else if (text.find('=') == std::string::npos || text[0] == '=') {
            bad("is not key=value");
        } else {
            const size_t equals = text.find('=');
            line.key = Trimmed(text.substr(0, equals));
            const std::string value = Decoded(Trimmed(text.substr(equals + 1)));
            if (section == OurSection)
                file.values[line.key] = value;
            else if (!section.empty())
                file.values["[" + section + "]" + line.key] = value;
        }
        file.lines.push_back(std::move(line));
    }
    if (stream.bad()) {
        if (tell) Diagnose("comterm: settings " + path + " cannot be read; the defaults hold and the file stays as it is");
        return false;
    }
    return true;
}

namespace {

// Our key's line changed in place, taken out for an empty value, or added after the last
// key of our section (made at the top when there is none).
void SetLine(std::vector<Line>& lines, const std::string& key, const std::string& value) {
    const Line written{key + "=" + Settings::Encoded(value), OurSection, key};
    auto after = lines.end();  // the line a new key goes after
    for (auto at = lines.end(); at != lines.begin();) {
        --at;
        if (at->section != OurSection) continue;
        if (at->key == key) {
            if (value.empty())
                lines.erase(at);
            else
                *at = written;
            return;
        }
        const bool header = Trimmed(at->raw).rfind('[', 0) == 0;
        if (after == lines.end() && (!at->key.empty() || header)) after = at;
    }
    if (value.empty()) return;
    if (after == lines.end())
        lines.insert(lines.begin(), {Line{"[comterm]", OurSection, ""}, written});
    else
        lines.insert(after + 1, written);
}

}  // namespace

// The changes made so far, worked out from the file as it is now; those made meanwhile
// wait for the next turn. The file's I/O runs outside the lock the caller's reads take.
bool Settings::WritePending(int lockWaitMs, uint64_t upTo) {
    std::vector<Change> writing;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const Numbered& each : pending)
            if (each.number <= upTo) writing.push_back(each.change);
    }
    if (writing.empty()) return true;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error) && std::filesystem::create_directories(folder, error))
        KeepPrivate(folder.string(), true);
    const FileLock fileLock(path + ".lck", lockWaitMs);
    if (!fileLock.Held()) return false;  // tried again with the next change
    File file;
    if (!ReadFile(file, false)) {
        Forget(writing.size());  // a file that cannot be read is never replaced: the choices hold for this run
        return true;
    }
    for (const Change& change : writing)
        for (const auto& [key, value] : change(file.values)) {
            SetLine(file.lines, key, value);
            if (value.empty())
                file.values.erase(key);
            else
                file.values[key] = value;
        }

    // Made new and private: the lines sent, passwords included, are never readable by
    // others, not even for the moment before the file is complete.
    const std::string temporary = TemporaryNameBeside(path);
    std::string failure;
    try {
        ByteString text;
        for (const Line& line : file.lines) text += line.raw + '\n';
        failure = RecordFile::Open(temporary, RecordFile::Start::NewPrivate)->Write(text);
    } catch (const std::runtime_error& error) {
        failure = error.what();
    }
    if (!failure.empty()) {
        std::filesystem::remove(temporary, error);
        Diagnose("comterm: settings " + path + " could not be written (" + failure + "); choices hold for this run");
        Forget(writing.size());
        return true;
    }
    // A reader that has the file open makes some systems refuse the replacement a moment:
    // the changes then wait for the next try.
    for (int tries = 0; tries < 20; ++tries) {
        std::filesystem::rename(temporary, path, error);
        if (!error) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    std::lock_guard<std::mutex> guard(lock);
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(writing.size()));
    values = std::move(file.values);  // what other terminals kept, and ours made meanwhile on top
    for (const Numbered& each : pending) Apply(each.change, values);
    return true;
}

void Settings::Forget(size_t changes) {
    std::lock_guard<std::mutex> guard(lock);
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(changes));
}

std::string Settings::Encoded(const std::string& value) {
    const bool plain = !value.empty() && value.front() != '"' && value.front() != ' ' && value.front() != '\t' &&
                       value.back() != ' ' && value.back() != '\t' &&
                       std::none_of(value.begin(), value.end(), [](char c) {
                           return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
                       });
    if (plain) return value;
    static const char digits[] = "0123456789ABCDEF";
    std::string written = "\"";
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            written += '\\';
            written += c;
        } else if (c == '\n') {
            written += "\\n";
        } else if (c == '\r') {
            written += "\\r";
        } else if (c == '\t') {
            written += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            written += "\\x";
            written += digits[byte >> 4];
            written += digits[byte & 15];
        } else {
            written += c;
        }
    }
    return written + "\"";
}

// A value in quotes is read by its escapes when it is exactly how Encoded writes what
// it stands for; anything else (quotes that do not parse, a value an older comterm wrote
// as it stood, such as a line sent as "\x41") as it stands.
std::string Settings::Decoded(const std::string& written) {
    const std::string value = Unquoted(written);
    return Encoded(value) == written ? value : written;
}

std::string Settings::Unquoted(const std::string& written) {
    if (written.size() < 2 || written.front() != '"' || written.back() != '"') return written;
    std::string value;
    for (size_t at = 1; at + 1 < written.size(); ++at) {
        const char c = written[at];
        if (c == '"') return written;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (at + 2 >= written.size()) return written;
        const char kind = written[++at];
        if (kind == 'n') value += '\n';
        else if (kind == 'r') value += '\r';
        else if (kind == 't') value += '\t';
        else if (kind == '\\' || kind == '"') value += kind;
        else if (kind == 'x' && at + 3 < written.size() && HexValue(written[at + 1]) >= 0 && HexValue(written[at + 2]) >= 0) {
            value += static_cast<char>(HexValue(written[at + 1]) * 16 + HexValue(written[at + 2]));
            at += 2;
        } else {
            return written;
        }
    }
    return value;
}

}  // namespace platform
