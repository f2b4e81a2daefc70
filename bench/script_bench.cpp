// What one run-driver slice costs beside the file work it cannot avoid.
//
// ModuleSlice: one status 240 through the real module that runs six display
// lines (open, six seeks and reads, interpretation, colour rendering, the
// per-line context save and output, close). BareFileWork: the same file
// opened, six fseek + fgets, closed, in this binary. The ratio of the two
// is printed at the end; the target is at most 1.5.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "module/data/context.h"
#include "server/core/host_core.h"
#include "tests/support/session.h"

namespace {

constexpr int kChannel = 1;
constexpr int kLines = 6;
constexpr const char* kScript = "BENCH.TXT";  // in the working directory
constexpr const char* kHeader = "Vorn IGM Script: Bench\n";

// Six display lines; typical ones carry colour codes, plain ones show what
// the colour renderer's share of a slice is.
std::string script_text(bool coloured) {
    std::string text = kHeader;
    for (int n = 0; n < kLines; ++n) {
        text += coloured ? "`2The road winds on through the `0dark forest`2, mile after mile.\n"
                         : "The road winds on through the dark forest, mile after mile, on.\n";
    }
    return text;
}

void run_module_slices(benchmark::State& state, bool coloured) {
    test::World world;
    world.write(kScript, script_text(coloured));
    test::Host host(world);
    host::set_output_sink([](int, std::string_view) {});  // output is discarded
    test::Player& player = host.player(kChannel);
    player.run_script(kScript);
    const auto first_line = static_cast<int32_t>(std::string(kHeader).size());

    for (auto _ : state) {
        // Re-arm the script at its first line; the previous slice queued
        // the status that runs the next one.
        player.set_area_i32(zmb::state::line_offset.at, first_line);
        host.pump_one();
    }
    const auto end = static_cast<int32_t>(script_text(coloured).size());
    if (player.area_i32(zmb::state::line_offset.at) != end || player.substate() != 4) {
        state.SkipWithError("the slice did not run six lines");
    }
}

void ModuleSlice(benchmark::State& state) {
    run_module_slices(state, true);
}
BENCHMARK(ModuleSlice)->Repetitions(5);

void ModuleSlicePlainText(benchmark::State& state) {
    run_module_slices(state, false);
}
BENCHMARK(ModuleSlicePlainText)->Repetitions(5);

void BareFileWork(benchmark::State& state) {
    test::World world;
    world.write(kScript, script_text(true));
    const long first_line = static_cast<long>(std::string(kHeader).size());
    std::array<char, 257> line{};

    for (auto _ : state) {
        std::FILE* file = std::fopen(kScript, "r");
        long offset = first_line;
        for (int n = 0; n < kLines; ++n) {
            std::fseek(file, offset, SEEK_SET);
            benchmark::DoNotOptimize(std::fgets(line.data(), static_cast<int>(line.size()), file));
            offset = std::ftell(file);
        }
        std::fclose(file);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BareFileWork)->Repetitions(5);

// Passes everything to the console and keeps the fastest repetition of
// each benchmark, so that the ratio is not skewed by one noisy run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            auto slot =
                best_.try_emplace(run.run_name.function_name, std::numeric_limits<double>::max())
                    .first;
            slot->second = std::min(slot->second, run.GetAdjustedRealTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double best(const std::string& name) const {
        auto found = best_.find(name);
        return found == best_.end() ? 0.0 : found->second;
    }

  private:
    std::map<std::string, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double bare = reporter.best("BareFileWork");
    for (const char* name : {"ModuleSlice", "ModuleSlicePlainText"}) {
        const double module = reporter.best(name);
        if (module > 0 && bare > 0) {
            std::printf(
                "%s / BareFileWork = %.2fx (fastest runs: %.0f ns / %.0f ns; target <= 1.5x)\n",
                name, module / bare, module, bare);
        }
    }
    benchmark::Shutdown();
    return 0;
}
