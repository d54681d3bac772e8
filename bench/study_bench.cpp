// Speed of the batch runner's study outputs:
//   Sweep/jobs:N     a 1,000-task sweep of the default sine task (fn2 from 5
//                    to 40 Hz), its table written to nowhere, on N threads
//   Summary/...      the summary of the default run: with the distance to
//                    the sine found by Newton's method, and the sampled
//                    search alone (as the summary used to find it)
//   Process/...      the whole program as a process: --summary against the
//                    series CSV to /dev/null ($HYBRIDSIM_BATCH names another
//                    build of the program to time instead)
//   DesignMap/...    the design map of the default task, 60 x 60 cells, per
//                    figure, with its SVG or without
// Wall time; run with --benchmark_repetitions=N for medians.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "app/batch.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "study/summary.h"
#include "study/design_map.h"
#include "study/goals.h"

extern char** environ;

namespace hybridsim {
namespace {

// A stream buffer that takes everything and keeps nothing.
class NullBuf : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_Sweep(benchmark::State& state)
{
    const std::string jobs = std::to_string(state.range(0));
    const char* argv[] = {"hybridsim-batch", "--sweep", "fn2=5:40:1000", "--jobs", jobs.c_str()};
    NullBuf nothing;
    std::ostream out(&nothing);
    std::ostream err(&nothing);
    for (auto _ : state) {
        if (runBatch(5, argv, out, err) != exitOk) state.SkipWithError("the sweep failed");
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Sweep)->Name("Sweep/default_sine_1000_tasks")->ArgName("jobs")->Arg(1)->Arg(2)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The default run, computed once.
struct DefaultRun {
    SimSettings s;
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    DefaultRun()
    {
        setEntryDefaults(s);
        setDefaults(s);
        deriveSettings(s);
        calcontrol(s, *run);
    }
};

void BM_SummaryNewton(benchmark::State& state)
{
    const DefaultRun d;
    for (auto _ : state) {
        const RunSummary r = summarizeRun(d.s, currentSeries(*d.run, d.s.type));
        benchmark::DoNotOptimize(r.contourDistMax);
    }
}
BENCHMARK(BM_SummaryNewton)->Name("Summary/default_task/newton")->Unit(benchmark::kMicrosecond);

void BM_SummarySampled(benchmark::State& state)
{
    const DefaultRun d;
    const SeriesSet& set = currentSeries(*d.run, d.s.type);
    for (auto _ : state) {
        // the figures, then the contour distance of every sample by the sampled search
        const RunSummary r = summarizeRun(d.s, set);
        double largest = 0.0;
        for (int i = 0; i <= d.s.nsteps; ++i) largest = std::max(largest, sampledSineDistance(d.s, set.tipPos[i]));
        benchmark::DoNotOptimize(r.contourDistMax);
        benchmark::DoNotOptimize(largest);
    }
}
BENCHMARK(BM_SummarySampled)->Name("Summary/default_task/sampled")->Unit(benchmark::kMicrosecond);

// The built program ($HYBRIDSIM_BATCH instead, when set: another build to
// compare with), its standard output to /dev/null.
void BM_Process(benchmark::State& state, std::vector<std::string> args)
{
    const char* other = std::getenv("HYBRIDSIM_BATCH");
    args.insert(args.begin(), other != nullptr && *other != '\0' ? other : HYBRIDSIM_BATCH_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&files);
}
BENCHMARK_CAPTURE(BM_Process, summary, std::vector<std::string>{"--summary"})
    ->Name("Process/summary")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Process, csv, std::vector<std::string>{"--csv", "-"})
    ->Name("Process/csv_to_dev_null")->Unit(benchmark::kMillisecond)->UseRealTime();

// The design map of the default task: 60 x 60 designs of the force loop,
// each the model's step in closed form, the cells' figure and the goals
// checked (one goal), and the map as SVG.
void BM_DesignMap(benchmark::State& state)
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    deriveSettings(s);
    Goal goal;
    std::string error;
    parseGoal("overshoot_pct <= 3", goal, error);
    DesignMapRequest request;
    request.figure = designMapFigures()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        const DesignMap map = designMap(s, request, {goal});
        benchmark::DoNotOptimize(map.values.data());
        if (state.range(1) != 0) benchmark::DoNotOptimize(designMapSvg(map, {}, 480).size());
    }
}
BENCHMARK(BM_DesignMap)->Name("DesignMap/60x60")->ArgNames({"figure", "svg"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hybridsim

BENCHMARK_MAIN();
