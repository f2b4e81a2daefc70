// What the module costs beside the file work it cannot avoid, on a small
// machine: the two ratios `make bench` reports.
//
// Slice: one status 240 through the real module that runs six display lines
// (open, reads, interpretation, colour rendering, the per-line context save
// and output, close) against the bare file work of the same six lines in
// this binary (fopen, six fseek + fgets, fclose). Target: at most 1.2x.
//
// Start-up: the module's start-up over a script folder of 10,000 places
// (the menu of places is written from all of them) against a bare scan that
// lists the folder and reads the first three lines of each. Target: at most
// 1.5x, which only a start-up linear in the number of scripts can keep.
//
// Each ratio is taken between the fastest of five repetitions, so that one
// noisy run on a shared machine does not skew it.
#include <benchmark/benchmark.h>
#include <dirent.h>

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

constexpr int kPlaces = 10000;

// QHYVIGMS with kPlaces place scripts of a few lines each.
void write_places(test::World& world) {
    world.mkdir("QHYVIGMS");
    for (int n = 0; n < kPlaces; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "P%05d.LOR", n);
        world.script(
            name, "Place",
            {"`2The Place " + std::to_string(n), name, "`2You look around.", "/PAUSE", "/END"});
    }
}

void ModuleStartup(benchmark::State& state) {
    test::World world;
    write_places(world);
    // The first start-up of a world also creates its configuration and
    // ledgers (each synced to disk); the ones measured only rebuild the menu.
    { test::Host first(world); }
    for (auto _ : state) {
        test::Host host(world);  // loads the module: its start-up runs
    }
    if (world.read("ZMBVIGMS.DAT").find("P09999.LOR") == std::string::npos) {
        state.SkipWithError("the menu does not list every place");
    }
}
BENCHMARK(ModuleStartup)->Repetitions(5)->Unit(benchmark::kMillisecond);

void BareScriptScan(benchmark::State& state) {
    test::World world;
    write_places(world);
    std::array<char, 250> line{};
    for (auto _ : state) {
        DIR* folder = opendir("QHYVIGMS");
        while (const dirent* entry = readdir(folder)) {
            if (entry->d_name[0] == '.') continue;
            const std::string path = std::string("QHYVIGMS/") + entry->d_name;
            std::FILE* file = std::fopen(path.c_str(), "r");
            for (int n = 0; n < 3; ++n)
                benchmark::DoNotOptimize(
                    std::fgets(line.data(), static_cast<int>(line.size()), file));
            std::fclose(file);
        }
        closedir(folder);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BareScriptScan)->Repetitions(5)->Unit(benchmark::kMillisecond);

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
            units_[run.run_name.function_name] = benchmark::GetTimeUnitString(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double best(const std::string& name) const {
        auto found = best_.find(name);
        return found == best_.end() ? 0.0 : found->second;
    }
    const char* unit(const std::string& name) const {
        auto found = units_.find(name);
        return found == units_.end() ? "" : found->second;
    }

  private:
    std::map<std::string, double> best_;
    std::map<std::string, const char*> units_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    host::set_log_sink([](std::string_view) {});  // every start-up logs its loading
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // name, baseline, target, what the ratio is called
    struct Ratio {
        const char* name;
        const char* baseline;
        double target;
        const char* label;
    };
    constexpr Ratio kRatios[] = {
        {"ModuleSlice", "BareFileWork", 1.2, "slice ratio"},
        {"ModuleSlicePlainText", "BareFileWork", 1.2, "slice ratio (plain text)"},
        {"ModuleStartup", "BareScriptScan", 1.5, "start-up ratio (10,000 scripts)"},
    };
    std::printf("\n");
    for (const Ratio& r : kRatios) {
        const double module = reporter.best(r.name);
        const double bare = reporter.best(r.baseline);
        if (module <= 0 || bare <= 0) continue;
        std::printf("%-32s %.2fx (<= %.1fx): %s %.1f %s / %s %.1f %s, fastest of 5\n", r.label,
                    module / bare, r.target, r.name, module, reporter.unit(r.name), r.baseline,
                    bare, reporter.unit(r.baseline));
    }
    benchmark::Shutdown();
    return 0;
}
