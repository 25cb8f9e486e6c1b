#include "platform/files/settings.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/window/application.h"

namespace platform {
namespace {

const char* const OurSection = "[comterm]";

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A name no other writer uses at the same moment: another process, or this one again.
std::string TemporaryBeside(const std::string& path) {
    static std::atomic<unsigned> count{0};
    static const unsigned long long run = std::random_device{}() * 0x100000000ULL + std::random_device{}();
    std::ostringstream name;
    name << path << ".new-" << std::hex << run << '-' << count++;
    return name.str();
}

// One terminal at a time reads, changes and writes the file: a folder beside it is the
// lock, since making one is all or nothing everywhere. One left by a terminal that ended
// mid-change is taken over after a while; one never freed is waited on only briefly.
class WriterLock {
public:
    explicit WriterLock(const std::string& path) : folder(path + ".lock") {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!std::filesystem::create_directory(folder, error)) {
            if (error || std::chrono::steady_clock::now() > giveUp) return;
            const auto made = std::filesystem::last_write_time(folder, error);
            if (!error && std::filesystem::file_time_type::clock::now() - made > std::chrono::seconds(10))
                std::filesystem::remove(folder, error);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        held = true;
    }
    ~WriterLock() {
        std::error_code ignored;
        if (held) std::filesystem::remove(folder, ignored);
    }

private:
    std::string folder;
    bool held = false;
};

}  // namespace

Settings::Settings(std::string path) : path(std::move(path)) {
    std::string problem;
    if (!Read(values, problem)) {
        values.clear();
        Diagnose("comterm: settings " + this->path + " not used (" + problem + "); the defaults hold");
    }
}

std::map<std::string, std::string> Settings::Section(const std::string& name) const {
    std::map<std::string, std::string> section;
    const std::string prefix = "[" + name + "]";
    for (auto at = values.lower_bound(prefix); at != values.end() && at->first.rfind(prefix, 0) == 0; ++at)
        section[at->first.substr(prefix.size())] = at->second;
    return section;
}

std::string Settings::Text(const std::string& key, const std::string& fallback) const {
    auto found = values.find(key);
    return found == values.end() ? fallback : found->second;
}

void Settings::SetText(const std::string& key, const std::string& value) { SetTexts({{key, value}}); }

void Settings::SetTexts(const std::vector<std::pair<std::string, std::string>>& changes) {
    for (const auto& [key, value] : changes)
        if (key.empty() || key.find_first_of("=[]\r\n") != std::string::npos ||
            value.find_first_of("\r\n") != std::string::npos)
            throw std::invalid_argument("A setting cannot hold a line break or a key with = [ ]: " + key);
    const WriterLock lock(path);
    Values kept;  // what another terminal kept meanwhile is fresher than what this one read
    std::string problem;
    if (Read(kept, problem))
        for (const auto& [name, text] : kept) values[name] = text;
    for (const auto& [key, value] : changes) {
        if (value.empty())
            values.erase(key);
        else
            values[key] = value;
    }
    Write(values);
}

bool Settings::Read(Values& read, std::string& problem) const {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::error_code missing;
        if (!std::filesystem::exists(path, missing)) return true;  // nothing kept yet
        problem = "cannot be read";
        return false;
    }
    std::string line;
    std::string prefix = "[";  // keys of other sections keep theirs: "[Ports]9"
    for (int number = 1; std::getline(file, line); ++number) {
        line = Trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            prefix = line == OurSection ? "" : line;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            problem = "line " + std::to_string(number) + " is not key=value";
            return false;
        }
        if (prefix != "[") read[prefix + Trimmed(line.substr(0, equals))] = Trimmed(line.substr(equals + 1));
    }
    if (file.bad()) {
        problem = "cannot be read";
        return false;
    }
    return true;
}

void Settings::Write(const Values& kept) const {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    const std::string temporary = TemporaryBeside(path);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << OurSection << '\n';
        for (const auto& [key, value] : kept)
            if (key[0] != '[') file << key << '=' << value << '\n';
        std::string section;
        for (const auto& [key, value] : kept) {
            const size_t close = key.find(']');
            if (key[0] != '[' || close == std::string::npos) continue;
            if (key.compare(0, close + 1, section) != 0) file << '\n' << (section = key.substr(0, close + 1)) << '\n';
            file << key.substr(close + 1) << '=' << value << '\n';
        }
        file.flush();
        if (!file) {
            file.close();
            std::filesystem::remove(temporary, error);
            Diagnose("comterm: settings " + path + " could not be written; choices hold for this run");
            return;
        }
    }
    // A reader that has the file open makes some systems refuse the replacement a moment.
    for (int tries = 0; tries < 50; ++tries) {
        std::filesystem::rename(temporary, path, error);
        if (!error) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(temporary, error);
        Diagnose("comterm: settings " + path + " could not be replaced (" + reason + ")");
    }
}

}  // namespace platform
