// Figures 6 (memory growth), 7 and 8: the whole window under X (Xvfb), with the
// virtual device as a separate process. Usage: window_bench VDEV XSERVER_PID [--smoke]
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "bench/bench_support.h"
#include "bench/watching_user.h"
#include "tools/virtual_device.h"
#include "ui/main_form.h"

namespace {

using Clock = std::chrono::steady_clock;

// A device process: comterm-vdev linked as COM5 in the ports directory.
class Device {
public:
    Device(const QString& program, const QStringList& mode) {
        process.start(program, QStringList{"--port", "5", "--ports", qEnvironmentVariable("COMTERM_PORTS")} + mode);
        process.waitForReadyRead(3000);  // it says where it linked
        process.readAllStandardOutput();
    }
    uint64_t Stop() {
        process.terminate();
        for (int wait = 0; wait < 100 && process.state() != QProcess::NotRunning; ++wait) RunEventsFor(0.05);
        QByteArray said = process.readAllStandardOutput();
        int at = said.indexOf("sent ");
        return at < 0 ? 0 : said.mid(at + 5).trimmed().toULongLong();
    }

private:
    QProcess process;
};

// The window, connected to port 5, counting what it shows to a user watching the stream.
class Terminal {
public:
    Terminal() {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) std::abort();
        ComPort->OnReceive = [this](const ByteString& text) {
            ShowClearingWhenFull(form, text);
            shown += text.size();
        };
    }
    void Connect() {
        form.ConnectButton->click();
        if (!ComPort->IsOpen()) {
            std::fprintf(stderr, "window_bench: cannot connect to the virtual device\n");
            std::exit(1);
        }
    }
    TMainForm form;
    uint64_t shown = 0;
};

void StreamThroughWindow(const QString& vdev, const std::string& xserver, bool smoke) {
    Terminal terminal;
    const double seconds = smoke ? 1 : 20;
    Device device(vdev, {"--stream", "100000"});
    terminal.Connect();
    RunEventsFor(0.5);
    const std::string self = std::to_string(getpid());
    const double ownBefore = CpuSeconds(self), xBefore = CpuSeconds(xserver);
    const double residentBefore = ResidentMegabytes();
    RunEventsFor(seconds / 4);
    const double residentSettled = ResidentMegabytes();  // the history has filled a few times
    const uint64_t shownSettled = terminal.shown;
    RunEventsFor(seconds * 3 / 4);
    const uint64_t sent = device.Stop();
    RunEventsFor(0.3);  // what is on its way arrives
    const double residentAfter = ResidentMegabytes();
    terminal.form.ConnectButton->click();
    const double megabytes = static_cast<double>(terminal.shown) / 1e6;
    Report("7", "comterm CPU per MB at 100 kB/s, 8-Bit Hex", (CpuSeconds(self) - ownBefore) / megabytes, "s/MB");
    Report("7", "X server CPU per MB", (CpuSeconds(xserver) - xBefore) / megabytes, "s/MB");
    Report("7", "bytes shown", static_cast<double>(terminal.shown), "bytes");
    Report("7", "bytes sent", static_cast<double>(sent), "bytes");
    Report("6", "resident memory growth while receiving " + std::to_string(terminal.shown / 1000) +
           " kB with clears", residentAfter - residentBefore, "MB");
    Report("6", "of which after the first " + std::to_string(shownSettled / 1000) + " kB", residentAfter - residentSettled,
           "MB");
}

// The device floods; from other threads we time how soon the GUI thread runs a queued
// call, and how soon a typed Enter puts the line on the wire.
void Responsiveness(bool smoke) {
    VirtualDevice device;
    device.LinkAsPort(qEnvironmentVariable("COMTERM_PORTS").toStdString(), 5);
    fcntl(device.MasterFd(), F_SETFL, O_NONBLOCK);
    Terminal terminal;
    terminal.Connect();
    terminal.form.LineEdit->setText("PING");

    std::vector<double> answers, enters;
    std::atomic<bool> running{true};
    std::atomic<int64_t> enterPosted{0};  // ns since the epoch of Clock; 0: none outstanding
    std::thread flood([&] {
        const ByteString block(65536, 'F');
        while (running) {
            pollfd out{device.MasterFd(), POLLOUT, 0};
            if (poll(&out, 1, 20) > 0) (void)!write(device.MasterFd(), block.data(), block.size());
        }
    });
    std::thread wire([&] {  // the device's ear: what the terminal sends
        std::string heard;
        char buffer[4096];
        while (running) {
            pollfd in{device.MasterFd(), POLLIN, 0};
            if (poll(&in, 1, 20) <= 0) continue;
            ssize_t got = read(device.MasterFd(), buffer, sizeof buffer);
            if (got <= 0) continue;
            heard.append(buffer, static_cast<size_t>(got));
            for (size_t at; (at = heard.find("PING\r")) != std::string::npos;) {
                heard.erase(0, at + 5);
                int64_t posted = enterPosted.exchange(0);
                if (posted)
                    enters.push_back((Clock::now().time_since_epoch().count() - posted) / 1e6);
            }
        }
    });
    std::thread prober([&] {
        for (int round = 0; running; ++round) {
            auto posted = Clock::now();
            std::atomic<bool> done{false};
            QMetaObject::invokeMethod(qApp, [&] {
                answers.push_back(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
                done = true;
            }, Qt::QueuedConnection);
            while (!done && running) std::this_thread::sleep_for(std::chrono::microseconds(200));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (round % 10 == 0 && enterPosted == 0) {
                enterPosted = Clock::now().time_since_epoch().count();
                QCoreApplication::postEvent(terminal.form.LineEdit,
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r"));
            }
        }
    });
    RunEventsFor(smoke ? 0.5 : 10);
    running = false;
    prober.join();
    flood.join();
    wire.join();
    terminal.form.ConnectButton->click();
    Report("8", "GUI answer under flood, median", Median(answers), "ms");
    Report("8", "GUI answer under flood, max", Percentile(answers, 1.0), "ms");
    Report("8", "Enter to device under flood, median", Median(enters), "ms");
    Report("8", "Enter to device under flood, max", Percentile(enters, 1.0), "ms");
    Report("8", "Enter presses timed", static_cast<double>(enters.size()), "count");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) return 2;
    const QString vdev = argv[1];
    const std::string xserver = argv[2];
    const bool smoke = argc > 3 && std::string(argv[3]) == "--smoke";
    char directory[] = "/tmp/comterm-bench-XXXXXX";
    qputenv("COMTERM_PORTS", mkdtemp(directory));
    // Boxes (a refused line) are answered at once: a user would, and the figures go on.
    QTimer answerBoxes;
    QObject::connect(&answerBoxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    answerBoxes.start(50);
    StreamThroughWindow(vdev, xserver, smoke);
    Responsiveness(smoke);
    rmdir(directory);
    return 0;
}
