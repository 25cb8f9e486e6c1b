#pragma once
// A serial device whose line the test drives by hand, so that the pump's ticks can be
// called one at a time with a known outcome.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/byte_string.h"
#include "platform/device/serial_device.h"

struct ScriptedLine {
    ByteString input;          // bytes that have arrived at the port
    bool holdReads = false;    // the outstanding read is still filling: it does not complete
    bool failStart = false;    // starting a read fails
    bool failCheck = false;    // the completion check fails (the port went away)
    bool refuseSettings = false;
    uint32_t roundedRate = 0;  // set: the rate the device runs at whatever is asked
    platform::LineErrors errors;  // reported at the next ask, then cleared
    ByteString written;
    std::function<void()> arrival;  // what the pump asked to be told when bytes come
    platform::LineSettings settings;
    int opens = 0;
    bool deviceOpen = false;
    // The modem lines as the device was asked to set them, and what it tells of its own.
    bool dtr = true, rts = true;
    bool refuseModemControl = false;
    bool lowAtOpen = false;  // how the last open asked for them
    std::vector<int> breaks;  // each break's length, ms, as the device held it
    bool refuseBreak = false;
    bool hasModemStatus = true;
    platform::SerialDevice::ModemStatus status;
};

class ScriptedPort : public platform::SerialDevice {
public:
    explicit ScriptedPort(ScriptedLine& line) : line(line) { line.deviceOpen = true; }
    ~ScriptedPort() override { line.deviceOpen = false; }

    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool SetReadIntervalTimeout(uint32_t) override { return true; }
    bool GetLineSettings(platform::LineSettings& s) override {
        s = line.settings;
        return true;
    }
    bool SetLineSettings(const platform::LineSettings& s) override {
        if (line.refuseSettings || s.ByteSize > 8) return false;
        line.settings = s;
        if (line.roundedRate) line.settings.BaudRate = line.roundedRate;
        return true;
    }
    // A full read's worth already queued completes at once; less stays pending.
    platform::IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& count) override {
        if (line.failStart) return platform::IoStatus::Failed;
        target = buffer;
        targetSize = size;
        outstanding = true;
        if (line.input.size() >= size) {
            Take(count);
            return platform::IoStatus::Completed;
        }
        return platform::IoStatus::Pending;
    }
    // Between two ticks the interval time-out passes unless the test holds the read.
    platform::IoStatus CheckRead(uint32_t& count) override {
        if (line.failCheck || !outstanding) return platform::IoStatus::Failed;
        if (line.holdReads || line.input.empty()) return platform::IoStatus::Pending;
        Take(count);
        return platform::IoStatus::Completed;
    }
    bool NotifyOnArrival(std::function<void()> arrived) override {
        if (!line.input.empty() || line.failCheck) return false;
        line.arrival = std::move(arrived);
        return true;
    }
    platform::LineErrors TakeLineErrors() override {
        const platform::LineErrors told = line.errors;
        line.errors = {};
        return told;
    }
    int32_t Write(const uint8_t* data, uint32_t size) override {
        line.written.append(reinterpret_cast<const char*>(data), size);
        return static_cast<int32_t>(size);
    }
    bool SetModemControl(bool dtr, bool rts) override {
        if (line.refuseModemControl) return false;
        line.dtr = dtr;
        line.rts = rts;
        return true;
    }
    bool GetModemStatus(ModemStatus& status) override {
        status = line.status;
        return line.hasModemStatus;
    }
    bool SetBreak(bool on) override {
        if (line.refuseBreak) return false;
        const auto now = std::chrono::steady_clock::now();
        if (on) breakSince = now;
        else line.breaks.push_back(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - breakSince).count()));
        return true;
    }

private:
    void Take(uint32_t& count) {
        count = static_cast<uint32_t>(std::min<size_t>(targetSize, line.input.size()));
        std::memcpy(target, line.input.data(), count);
        line.input.erase(0, count);
        outstanding = false;
    }

    ScriptedLine& line;
    uint8_t* target = nullptr;
    uint32_t targetSize = 0;
    bool outstanding = false;
    std::chrono::steady_clock::time_point breakSince;
};

inline auto ScriptedOpener(ScriptedLine& line) {
    return [&line](uint8_t, bool lowAtOpen) -> std::unique_ptr<platform::SerialDevice> {
        ++line.opens;
        line.lowAtOpen = lowAtOpen;
        if (lowAtOpen) line.dtr = line.rts = false;
        return std::make_unique<ScriptedPort>(line);
    };
}
