// The settings file against whatever a user, an editor or a disk leaves in it: a change
// of one of our keys keeps every other line in its order, reads back exactly, and leaves
// the other sections as they were read.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files/settings.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string Content(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace

// The input: the file, then after the first NUL the value to keep.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = (std::filesystem::temp_directory_path() /
                                       ("comterm-settings-fuzz-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/comterm.ini";
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string before = input.substr(0, nul);
    const std::string value = nul == std::string::npos ? "x" : input.substr(nul + 1);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << before;

    std::map<std::string, std::string> ports;
    {
        platform::Settings settings(path);
        ports = settings.Section("Ports");
        settings.SetText("Sent1", value);
    }
    platform::Settings after(path);
    FUZZ_CHECK(after.Text("Sent1") == (value.empty() ? "" : value));
    FUZZ_CHECK(after.Section("Ports") == ports);
    // Every line that was there is there still, in order, but for lines of our key.
    const std::vector<std::string> was = Lines(before), now = Lines(Content(path));
    size_t at = 0;
    for (const std::string& line : was) {
        if (line.find("Sent1") != std::string::npos) continue;
        while (at < now.size() && now[at] != line) ++at;
        FUZZ_CHECK(at < now.size());
        ++at;
    }
    return 0;
}
