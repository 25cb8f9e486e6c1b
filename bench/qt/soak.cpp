// make soak: the window with the virtual device streaming for a long time, with
// periodic clears. Samples resident memory, descriptors and threads every 10 s, fails if
// any keeps growing, and checks that every byte the device sent was delivered, in order.
// Usage: soak VDEV SECONDS RATE
#include <dirent.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "platform/window/application.h"
#include "platform/window/qt/controls_qt.h"
#include "platform/window/driver.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/port_session.h"

namespace {

struct Sample {
    double seconds, residentMb;
    int descriptors, threads;
};

double Mean(const std::vector<Sample>& samples, size_t from, size_t to, double Sample::*field) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += samples[i].*field;
    return sum / static_cast<double>(to - from);
}

}  // namespace

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: soak VDEV SECONDS RATE\n");
        return 2;
    }
    const int seconds = std::stoi(argv[2]);
    char directory[] = "/tmp/comterm-soak-XXXXXX";
    qputenv("COMTERM_PORTS", mkdtemp(directory));

    QProcess device;
    device.start(argv[1], {"--port", "5", "--ports", directory, "--stream", argv[3]});
    device.waitForReadyRead(3000);
    device.readAllStandardOutput();

    TMainForm form;
    form.Show();
    uint64_t delivered = 0, misplaced = 0;
    ComPort->OnReceive = [&](const ByteString& text) {
        form.ComReceive(text);
        for (char byte : text) misplaced += static_cast<uint8_t>(byte) != (delivered++ & 0xFF);
    };
    QTimer answerBoxes, periodicClear;
    QObject::connect(&answerBoxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    QObject::connect(&periodicClear, &QTimer::timeout, [&] { form.Button1->Click(); });
    answerBoxes.start(100);
    periodicClear.start(30000);
    form.ConnectButton->Click();  // told at a later turn of the loop
    platform::ProcessEventsUntil([&] { return !form.Features().Session().Opening(); }, 5000);
    if (!ComPort->IsOpen()) return 2;

    std::vector<Sample> samples;
    std::printf("%8s %12s %12s %8s %14s\n", "seconds", "resident MB", "descriptors", "threads", "delivered");
    for (int elapsed = 0; elapsed <= seconds; elapsed += 10) {
        if (elapsed > 0) RunEventsFor(10);
        samples.push_back({static_cast<double>(elapsed), ResidentMegabytes(), CountEntries("/proc/self/fd"),
                           CountEntries("/proc/self/task")});
        std::printf("%8d %12.1f %12d %8d %14llu\n", elapsed, samples.back().residentMb, samples.back().descriptors,
                    samples.back().threads, static_cast<unsigned long long>(delivered));
        std::fflush(stdout);
    }

    device.terminate();
    device.waitForFinished(5000);
    const QByteArray said = device.readAllStandardOutput();
    const uint64_t sent = said.mid(said.indexOf("sent ") + 5).trimmed().toULongLong();
    RunEventsFor(1);  // what was on its way
    form.ConnectButton->Click();

    bool failed = false;
    const size_t n = samples.size();
    if (n >= 6) {
        const size_t third = n / 3;
        const double early = Mean(samples, 1, 1 + third, &Sample::residentMb);
        const double late = Mean(samples, n - third, n, &Sample::residentMb);
        std::printf("resident memory: start %.1f MB, end %.1f MB, early mean %.1f, late mean %.1f\n",
                    samples[0].residentMb, samples.back().residentMb, early, late);
        if (late - early > 2.0) failed = true, std::printf("FAIL: resident memory keeps growing\n");
    }
    // The first sample is taken as the port opens; the second is the settled state.
    const Sample& settled = samples[std::min<size_t>(1, n - 1)];
    if (samples.back().descriptors > settled.descriptors)
        failed = true, std::printf("FAIL: descriptors grew from %d to %d\n", settled.descriptors, samples.back().descriptors);
    if (samples.back().threads > settled.threads)
        failed = true, std::printf("FAIL: threads grew from %d to %d\n", settled.threads, samples.back().threads);
    std::printf("descriptors %d, threads %d, at 10 s and at the end: %d, %d\n", settled.descriptors, settled.threads,
                samples.back().descriptors, samples.back().threads);
    std::printf("bytes sent %llu, delivered %llu, out of order %llu\n", static_cast<unsigned long long>(sent),
                static_cast<unsigned long long>(delivered), static_cast<unsigned long long>(misplaced));
    if (sent != delivered || misplaced != 0) failed = true, std::printf("FAIL: bytes lost or out of order\n");
    std::printf(failed ? "soak: FAILED\n" : "soak: passed\n");
    rmdir(directory);
    return failed ? 1 : 0;
}
