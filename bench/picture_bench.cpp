// Speed of the batch runner's pictures, drawn off screen through EGL (no X
// display needed):
//   Picture/draw_frame       one frame of the default run drawn and read back
//   Gif/encode_default_run   the 201 frames of the default run, drawn
//                            beforehand, encoded as one animated GIF
//   Gif/add_last_frame       the last frame added after the one before it
//   Gif/lzw_first_frame      LZW alone over the first frame's colour indices
// Wall time; run with --benchmark_repetitions=N for medians.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "drawing/frame.h"
#include "image/gif_image.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "view/offscreen.h"
#include "view/window.h"

namespace hybridsim {
namespace {

// The default task, computed once, with the off-screen view and its 201
// frames drawn once.
struct DefaultFrames {
    SimSettings s;
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    std::unique_ptr<OffscreenView> view;
    std::string error;
    std::vector<RgbImage> frames;

    DefaultFrames()
    {
        setEntryDefaults(s);
        setDefaults(s);
        deriveSettings(s);
        calcontrol(s, *run);
        s.viewScale = 1.0;
        s.pointErrorGain = 10.0;
        // as the batch runner draws (view/picture_loader.cpp)
        setenv("LP_NUM_THREADS", "0", 0);
        view = OffscreenView::openEgl(error);
        if (!view) return;
        for (int k = 0; k <= s.nsteps; ++k) frames.push_back(draw(k));
    }

    RgbImage draw(int k)
    {
        s.frame = k;
        return view->draw([this](Canvas& cv) { drawFrame(cv, s, *run); });
    }
};

DefaultFrames& defaultFrames()
{
    static DefaultFrames d;
    return d;
}

void BM_DrawFrame(benchmark::State& state)
{
    DefaultFrames& d = defaultFrames();
    if (!d.view) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.draw(k).rgb.data());
        k = (k + 1) % static_cast<int>(d.frames.size());
    }
}
BENCHMARK(BM_DrawFrame)->Name("Picture/draw_frame")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GifEncodeRun(benchmark::State& state)
{
    DefaultFrames& d = defaultFrames();
    if (!d.view) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        GifEncoder gif(windowSize, windowSize);
        std::string error;
        for (const RgbImage& f : d.frames)
            if (!gif.addFrame(f, error)) state.SkipWithError(error.c_str());
        bytes = gif.finish().size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_GifEncodeRun)->Name("Gif/encode_default_run")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GifAddLastFrame(benchmark::State& state)
{
    DefaultFrames& d = defaultFrames();
    if (!d.view) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    const std::size_t n = d.frames.size();
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        GifEncoder gif(windowSize, windowSize);
        gif.addFrame(d.frames[n - 2], error);
        gif.takeBytes();
        state.ResumeTiming();
        gif.addFrame(d.frames[n - 1], error);
        benchmark::DoNotOptimize(gif.takeBytes().size());
    }
}
BENCHMARK(BM_GifAddLastFrame)->Name("Gif/add_last_frame")->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GifLzwFirstFrame(benchmark::State& state)
{
    DefaultFrames& d = defaultFrames();
    if (!d.view) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    // the first frame's colour indices, in the order its colours appear
    std::vector<std::uint8_t> indices;
    std::vector<unsigned> colors;
    const RgbImage& f = d.frames[0];
    for (int y = f.height - 1; y >= 0; --y)
        for (int x = 0; x < f.width; ++x) {
            const unsigned c = f.pixel(x, y);
            std::size_t i = 0;
            while (i < colors.size() && colors[i] != c) ++i;
            if (i == colors.size()) colors.push_back(c);
            indices.push_back(static_cast<std::uint8_t>(i));
        }
    int bits = 2;
    while ((std::size_t{1} << bits) < colors.size() + 1) ++bits;
    for (auto _ : state) benchmark::DoNotOptimize(gifLzw(indices, bits).size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(indices.size()));
}
BENCHMARK(BM_GifLzwFirstFrame)->Name("Gif/lzw_first_frame")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hybridsim

BENCHMARK_MAIN();
