// encode_bench.cpp -- the capture's writers alone, on real frames: the README's
// Scene A, white change-over and Scene B pictures, decoded and turned back into
// what the GL reads back (RGBA, bottom row first).
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture/png_writer.h"
#include "capture/y4m_writer.h"

namespace {

constexpr int width = 800;
constexpr int height = 600;

const char* const frame_names[] = {"frame-000200.png", "frame-000672.png", "frame-000500.png"};

// The frame as the renderer hands it over, or an empty vector when unreadable.
std::vector<std::uint8_t> load_frame(const char* name)
{
    const std::string path = std::string(QUORVEX_DOCS_DIR) + "/" + name;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()) || image.width != width ||
        image.height != height) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    // A negative stride stores the top row last, as the GL does.
    if (!png_image_finish_read(&image, nullptr, rgba.data(), -width * 4, nullptr)) {
        return {};
    }
    return rgba;
}

void BM_encode_png(benchmark::State& state)
{
    std::vector<std::uint8_t> rgba = load_frame(frame_names[state.range(0)]);
    if (rgba.empty()) {
        state.SkipWithError("cannot read the frame");
        return;
    }
    state.SetLabel(frame_names[state.range(0)]);
    std::vector<std::uint8_t> png;
    std::size_t size = 0;
    for (auto _ : state) {
        size = encode_png(rgba.data(), width, height, png_compression_fast, &png);
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
    state.counters["ratio"] = static_cast<double>(size) / (width * 3.0 * height);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}
BENCHMARK(BM_encode_png)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_encode_y4m(benchmark::State& state)
{
    std::vector<std::uint8_t> rgba = load_frame(frame_names[0]);
    if (rgba.empty()) {
        state.SkipWithError("cannot read the frame");
        return;
    }
    std::vector<std::uint8_t> yuv(y4m_frame_size(width, height));
    for (auto _ : state) {
        rgba_to_yuv420(rgba.data(), width, height, yuv.data());
        benchmark::DoNotOptimize(yuv.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}
BENCHMARK(BM_encode_y4m)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
