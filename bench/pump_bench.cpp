// Figures 1 and 2: the receive pump without a window, over a pseudo-terminal, and over the
// same one served by ser2net on 127.0.0.1.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "bench/bench_support.h"
#include "platform/window/application.h"
#include "serial/com.h"
#include "tools/ser2net_server.h"
#include "tools/virtual_device.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings : TComSettings {
    bool TwoStopBitsChecked() const override { return false; }
    int FormatIndex() const override { return 1; }
};

// Writes to the device side until told to stop, never blocking for long.
class Writer {
public:
    template <typename Body>
    explicit Writer(Body body) : thread([this, body] { body(running); }) {}
    ~Writer() {
        running = false;
        thread.join();
    }

private:
    std::atomic<bool> running{true};
    std::thread thread;
};

bool WriteSome(int fd, const ByteString& bytes, size_t& offset) {
    pollfd out{fd, POLLOUT, 0};
    if (poll(&out, 1, 50) <= 0) return true;
    ssize_t n = write(fd, bytes.data() + offset, bytes.size() - offset);
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    offset += static_cast<size_t>(n);
    return true;
}

// The port the pump opens: the pseudo-terminal itself as 5, or the same one served by
// ser2net on 127.0.0.1 as 9 (rfc2217://).
class PortUnderTest {
public:
    explicit PortUnderTest(bool network) {
        device.LinkAsPort(getenv("COMTERM_PORTS"), 5);
        if (!network) return;
        server = std::make_unique<Ser2netServer>(device.SlavePath());
        const std::string link = std::string(getenv("COMTERM_PORTS")) + "/COM9";
        unlink(link.c_str());
        if (symlink(("rfc2217://127.0.0.1:" + std::to_string(server->telnetPort)).c_str(), link.c_str()) != 0) std::exit(1);
        number = 9;
    }
    VirtualDevice device;
    std::unique_ptr<Ser2netServer> server;
    uint8_t number = 5;
};

// 1. The device writes a counting pattern as fast as the pump takes it.
double DrainRun(double seconds, bool network, uint64_t& faults) {
    PortUnderTest port(network);
    VirtualDevice& device = port.device;
    fcntl(device.MasterFd(), F_SETFL, O_NONBLOCK);
    Settings settings;
    TCom com(settings);
    com.SplitAtCR = false;
    uint64_t received = 0;
    uint8_t expected = 0;  // the pattern counts 0..250 and wraps; a running count keeps the check cheap
    com.OnReceive = [&](const ByteString& text) {
        for (char byte : text) {
            faults += static_cast<uint8_t>(byte) != expected;
            expected = expected == 250 ? 0 : static_cast<uint8_t>(expected + 1);
        }
        received += text.size();
    };
    if (!com.Open(port.number)) {
        std::fprintf(stderr, "pump_bench: cannot open port %d\n", port.number);
        std::exit(1);
    }
    com.SetBaud(115200);
    double elapsed;
    {
        Writer writer([&](std::atomic<bool>& running) {
            ByteString block(251 * 256, '\0');
            for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 251);
            size_t offset = 0;
            while (running && WriteSome(device.MasterFd(), block, offset))
                if (offset == block.size()) offset = 0;
        });
        auto start = Clock::now();
        RunEventsFor(seconds);
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return static_cast<double>(received) / elapsed / 1e6;
}

// 2. Bursts of 16 bytes 100 ms apart: from the device's write to the receiver's call.
void BurstLatency(int bursts, bool network) {
    PortUnderTest port(network);
    VirtualDevice& device = port.device;
    Settings settings;
    TCom com(settings);
    com.SplitAtCR = false;
    std::vector<Clock::time_point> written(static_cast<size_t>(bursts));
    std::vector<double> latencies;
    std::atomic<int> sent{0};
    com.OnReceive = [&](const ByteString& text) {
        auto now = Clock::now();
        for (size_t burst = text.size() / 16; burst > 0; --burst) {
            size_t index = latencies.size();
            if (index < static_cast<size_t>(sent))
                latencies.push_back(std::chrono::duration<double, std::milli>(now - written[index]).count());
        }
    };
    if (!com.Open(port.number)) {
        std::fprintf(stderr, "pump_bench: cannot open port %d\n", port.number);
        std::exit(1);
    }
    com.SetBaud(115200);
    std::thread writer([&] {
        for (int burst = 0; burst < bursts; ++burst) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            written[static_cast<size_t>(burst)] = Clock::now();
            sent = burst + 1;
            device.Write(ByteString(16, static_cast<char>('A' + burst % 26)));
        }
    });
    while (static_cast<int>(latencies.size()) < bursts) RunEventsFor(0.1);
    writer.join();
    const std::string through = network ? ", through ser2net" : "";
    Report("2", "burst latency p50" + through, Percentile(latencies, 0.5), "ms");
    Report("2", "burst latency p99" + through, Percentile(latencies, 0.99), "ms");
    Report("2", "burst latency max (against a bound of 55: 5 ms gap + two 25 ms ticks)" + through, Percentile(latencies, 1.0), "ms");
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform::Application application(argc, argv);
    const bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
    char directory[] = "/tmp/comterm-bench-XXXXXX";
    setenv("COMTERM_PORTS", mkdtemp(directory), 1);

    uint64_t faults = 0;
    for (bool network : {false, true}) {
        std::vector<double> rates;
        for (int run = 0; run < (smoke ? 1 : 3); ++run) rates.push_back(DrainRun(smoke ? 0.5 : 5.0, network, faults));
        Report("1", std::string("pump drain rate (median)") + (network ? ", through ser2net" : ""), Median(rates), "MB/s");
    }
    Report("1", "bytes lost or reordered", static_cast<double>(faults), "bytes");
    BurstLatency(smoke ? 5 : 200, false);
    BurstLatency(smoke ? 5 : 200, true);
    rmdir(directory);
    if (faults != 0) {
        std::fprintf(stderr, "pump_bench: %llu bytes lost or reordered\n", static_cast<unsigned long long>(faults));
        return 1;
    }
    return 0;
}
