#pragma once
// What the benchmark drivers share: figures as JSON lines on standard output
// ({"figure": ..., "name": ..., "value": ..., "unit": ...}), statistics, the event loop,
// and readings of the process from /proc.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/window/driver.h"

inline void Report(const std::string& figure, const std::string& name, double value, const std::string& unit) {
    std::printf("{\"figure\": \"%s\", \"name\": \"%s\", \"value\": %.6g, \"unit\": \"%s\"}\n", figure.c_str(),
                name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

inline double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double Median(std::vector<double> values) { return Percentile(std::move(values), 0.5); }

// Runs the event loop, idle when there is nothing to do, as the program's own does.
inline void RunEventsFor(double seconds) { platform::ProcessEventsFor(static_cast<int>(seconds * 1000)); }

inline double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// User and system CPU seconds of a process.
inline double CpuSeconds(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    std::getline(stat, line);
    if (line.empty()) return 0;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index)
        if (index == 14 || index == 15) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Entries of a /proc folder such as /proc/self/fd, without . and ..
inline int CountEntries(const char* directory) {
    int count = -2;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}
