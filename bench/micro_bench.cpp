// Figures 3 and 4: the cost of one history line, and of the conversions per byte.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <map>
#include <random>

#include "bench/bench_support.h"
#include "platform/window/application.h"
#include "platform/window/history_pane.h"
#include "ui/display.h"
#include "ui/main_form.h"

namespace {

ByteString RandomBytes(size_t size) {
    std::mt19937 random(7);
    ByteString bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

// 3. One received 16-byte text in 8-Bit Hex, with the history at a given fill.
void AddHistoryLine(benchmark::State& state) {
    const int fill = static_cast<int>(state.range(0));  // per mille of the capacity
    static TMainForm* form = new TMainForm;             // lives for the process, as the window does
    const ByteString text = RandomBytes(16);
    const int start = platform::HistoryPane::Capacity * fill / 1000;
    auto refill = [&] {
        form->MainRich->Clear();
        while (form->MainRich->TextLength() < start - 1200) form->MainRich->AddHistoryLine(ByteString(1000, 'f'), 0, 0);
    };
    refill();
    for (auto _ : state) {
        if (form->MainRich->TextLength() > start + 3000 ||
            form->MainRich->TextLength() > platform::HistoryPane::Capacity - 200) {
            state.PauseTiming();
            refill();
            state.ResumeTiming();
        }
        form->ComReceive(text);
    }
}
BENCHMARK(AddHistoryLine)->Arg(0)->Arg(500)->Arg(940)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// 4. The history-line builder, per format, for a 4 KiB text.
void BuildLine(benchmark::State& state) {
    const ByteString text = RandomBytes(4096);
    const ByteString stamp = "12/10/26 3:04:05 pm";
    const int format = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(BuildHistoryLine(text, format, stamp));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4096);
}
BENCHMARK(BuildLine)->DenseRange(0, 5)->Repetitions(5)->ReportAggregatesOnly(true);

// Turns Google Benchmark's medians into the report's figures.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name != "median") continue;
            const std::string name = run.benchmark_name();
            if (name.rfind("AddHistoryLine/0", 0) == 0) perLine["empty"] = run.GetAdjustedRealTime();
            if (name.rfind("AddHistoryLine/500", 0) == 0) perLine["half"] = run.GetAdjustedRealTime();
            if (name.rfind("AddHistoryLine/940", 0) == 0) perLine["nearly full"] = run.GetAdjustedRealTime();
            if (name.rfind("BuildLine/", 0) == 0) {
                static const char* formats[] = {"8-Bit ASCII", "8-Bit Hex", "7-Bit ASCII", "7-Bit Hex", "9-Bit ASCII", "9-bit Hex"};
                const int format = std::stoi(name.substr(10));
                Report("4", std::string("history line, ") + formats[format], run.GetAdjustedRealTime() / 4096.0, "ns/byte");
            }
        }
    }
    void Finalize() override {
        for (const char* state : {"empty", "half", "nearly full"})
            if (perLine.count(state)) Report("3", std::string("AddHistoryLine, history ") + state, perLine[state], "us/line");
        if (perLine.count("empty") && perLine.count("nearly full"))
            Report("3", "ratio nearly full / empty", perLine["nearly full"] / perLine["empty"], "x");
    }
    bool ReportContext(const Context&) override { return true; }

private:
    std::map<std::string, double> perLine;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform::Application application(argc, argv);
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
