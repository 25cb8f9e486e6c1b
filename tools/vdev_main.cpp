// comterm-vdev: a virtual serial device on a pseudo-terminal, linked as a port number,
// for trying comterm (or any serial program) without hardware.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/device/posix/port_map.h"
#include "tools/virtual_device.h"

namespace {

using Clock = std::chrono::steady_clock;

const char Usage[] =
    "usage: comterm-vdev [--port N] [--ports DIR] [MODE] [--seconds S]\n"
    "\n"
    "Creates a virtual serial device (a pseudo-terminal) and links it as COM<N> in the\n"
    "ports directory, so that comterm opens it as port N. Runs until interrupted,\n"
    "or for S seconds.\n"
    "\n"
    "  --port N        port number to link (default 5)\n"
    "  --ports DIR     ports directory (default: $COMTERM_PORTS, else ~/.config/comterm/ports)\n"
    "  --seconds S     stop after S seconds\n"
    "\n"
    "Modes (default --instrument):\n"
    "  --instrument    answer each line (ended by CR) in upper case, and send a reading\n"
    "                  every two seconds with bytes above 0x7F and a control byte\n"
    "  --echo          send back every byte received\n"
    "  --stream RATE   send a counting byte pattern (0, 1, ... 255, 0, ...) at RATE\n"
    "                  bytes per second; on exit print the count sent\n"
    "  --send FILE     send the file's bytes once, then answer lines as --instrument\n"
    "  --pair M        a null-modem cable: a second device linked as COM<M>, and what\n"
    "                  either end sends arrives at the other\n";

volatile sig_atomic_t stopping = 0;
void Stop(int) { stopping = 1; }

enum class Mode { Instrument, Echo, Stream, Pair };

struct Options {
    int port = 5;
    std::string ports;
    Mode mode = Mode::Instrument;
    int otherPort = 0;  // --pair
    long rate = 0;
    std::string file;
    double seconds = 0;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "comterm-vdev: %s\n\n%s", message.c_str(), Usage);
    std::exit(2);
}

long Number(const char* text, const char* option) {
    char* end = nullptr;
    long value = std::strtol(text ? text : "", &end, 10);
    if (!text || *end || value <= 0) Fail(std::string(option) + " needs a positive whole number");
    return value;
}

Options Parse(int argc, char** argv) {
    Options options;
    options.ports = platform::PortsDirectory();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (arg == "--port") {
            options.port = static_cast<int>(Number(value, "--port"));
            if (options.port > 255) Fail("--port takes 1 to 255");
            ++i;
        } else if (arg == "--ports" && value) {
            options.ports = value, ++i;
        } else if (arg == "--seconds") {
            options.seconds = static_cast<double>(Number(value, "--seconds")), ++i;
        } else if (arg == "--instrument") {
            options.mode = Mode::Instrument;
        } else if (arg == "--echo") {
            options.mode = Mode::Echo;
        } else if (arg == "--stream") {
            options.mode = Mode::Stream, options.rate = Number(value, "--stream"), ++i;
        } else if (arg == "--pair") {
            options.mode = Mode::Pair, options.otherPort = static_cast<int>(Number(value, "--pair")), ++i;
            if (options.otherPort > 255) Fail("--pair takes 1 to 255");
        } else if (arg == "--send" && value) {
            options.file = value, ++i;
        } else {
            Fail("unknown option " + arg);
        }
    }
    return options;
}

ByteString Upper(ByteString text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A reading as a small instrument sends it: degree and plus-minus signs (0xF8, 0xF1 in
// code page 437) and a BEL, so each display format shows something different.
ByteString Reading(int count) {
    char value[32];
    std::snprintf(value, sizeof value, "%02d.%d", 20 + count % 5, count % 10);
    return "TEMP " + ByteString(value) + "\xF8" "C \xF1" "0.1 \x07\r\n";
}

class Device {
public:
    Device(VirtualDevice& device, const Options& options) : device(device), options(options) {}

    int Run() {
        if (!options.file.empty()) SendFile();
        const auto start = Clock::now();
        auto nextReading = start + std::chrono::seconds(2);
        while (!stopping) {
            auto now = Clock::now();
            if (options.seconds > 0 && now - start >= std::chrono::duration<double>(options.seconds)) break;
            if (options.mode == Mode::Stream) StreamUpTo(now - start);
            if (options.mode == Mode::Instrument && now >= nextReading) {
                device.Write(Reading(readings++));
                nextReading += std::chrono::seconds(2);
            }
            pollfd in{device.MasterFd(), POLLIN, 0};
            if (poll(&in, 1, options.mode == Mode::Stream ? 1 : 20) > 0) Answer();
        }
        if (options.mode == Mode::Stream) std::printf("sent %llu\n", static_cast<unsigned long long>(sent));
        std::fflush(stdout);
        // Closing the device side hangs the line up, and the kernel drops what the
        // reader has not taken yet: give it a moment first.
        usleep(300 * 1000);
        return 0;
    }

private:
    void SendFile() {
        std::ifstream in(options.file, std::ios::binary);
        if (!in) Fail("cannot read " + options.file);
        device.Write(ByteString(std::istreambuf_iterator<char>(in), {}));
    }

    void StreamUpTo(Clock::duration elapsed) {
        const auto due = static_cast<uint64_t>(std::chrono::duration<double>(elapsed).count() * options.rate);
        ByteString chunk;
        while (sent + chunk.size() < due && chunk.size() < 65536) chunk += static_cast<char>((sent + chunk.size()) & 0xFF);
        if (chunk.empty()) return;
        // Non-blocking: a reader that falls behind slows the stream, never stops the device.
        ssize_t written = write(device.MasterFd(), chunk.data(), chunk.size());
        if (written > 0) sent += static_cast<uint64_t>(written);
    }

    void Answer() {
        char buffer[4096];
        ssize_t got = read(device.MasterFd(), buffer, sizeof buffer);
        if (got <= 0) return;
        ByteString bytes(buffer, static_cast<size_t>(got));
        if (options.mode == Mode::Echo) {
            device.Write(bytes);
            return;
        }
        if (options.mode != Mode::Instrument) return;
        for (char c : bytes) {
            if (c != '\r') {
                line += c;
                continue;
            }
            device.Write(Upper(line) + "\r\n");
            line.clear();
        }
    }

    VirtualDevice& device;
    const Options& options;
    ByteString line;
    uint64_t sent = 0;
    int readings = 0;
};

// Copies what each end sends to the other until stopped.
int RunPair(VirtualDevice& one, VirtualDevice& other) {
    while (!stopping) {
        pollfd ends[2] = {{one.MasterFd(), POLLIN, 0}, {other.MasterFd(), POLLIN, 0}};
        if (poll(ends, 2, 50) <= 0) continue;
        for (int end = 0; end < 2; ++end) {
            if (!(ends[end].revents & POLLIN)) continue;
            char buffer[4096];
            const ssize_t got = read(ends[end].fd, buffer, sizeof buffer);
            if (got > 0) (end == 0 ? other : one).Write(ByteString(buffer, static_cast<size_t>(got)));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options = Parse(argc, argv);
    struct sigaction stop {};
    stop.sa_handler = Stop;  // no SA_RESTART: a blocked write ends on a signal
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);
    try {
        VirtualDevice device;
        device.LinkAsPort(options.ports, options.port);
        std::printf("COM%d -> %s (in %s)\n", options.port, device.SlavePath().c_str(), options.ports.c_str());
        std::fflush(stdout);
        if (options.mode == Mode::Pair) {
            VirtualDevice other;
            other.LinkAsPort(options.ports, options.otherPort);
            std::printf("COM%d -> %s (in %s)\n", options.otherPort, other.SlavePath().c_str(), options.ports.c_str());
            std::fflush(stdout);
            return RunPair(device, other);
        }
        if (options.mode == Mode::Stream) fcntl(device.MasterFd(), F_SETFL, O_NONBLOCK);
        return Device(device, options).Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "comterm-vdev: %s\n", error.what());
        return 1;
    }
}
