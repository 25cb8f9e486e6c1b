#pragma once
// Figures as JSON lines on standard output: {"figure": ..., "name": ..., "value": ..., "unit": ...}.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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
