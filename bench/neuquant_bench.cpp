// Colour reduction of a full-HD photo-like frame: NeuQuant against the
// median-cut histogram, palette and mapping.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/color_quantizer.h"
#include "image/neural_quantizer.h"
#include "image/random.h"

namespace {

using namespace zell;

// Smooth gradients with a few soft blobs and a little noise, like a photo:
// many distinct colours, few of them frequent.
const ByteBuffer& photo()
{
    static ByteBuffer dib = [] {
        constexpr int32_t kWidth = 1920, kHeight = 1080;
        const DibHeader h = makeDibHeader(kWidth, kHeight, 24);
        ByteBuffer b;
        b.allocate(uint32_t(kDibHeaderSize + h.sizeImage));
        std::memset(b.data(), 0, b.size());
        writeDibHeader(b.data(), h);
        Random random(4242);
        const uint64_t stride = dibStride(kWidth, 24);
        for (int32_t y = 0; y < kHeight; ++y) {
            uint8_t* p = b.data() + kDibHeaderSize + uint64_t(y) * stride;
            for (int32_t x = 0; x < kWidth; ++x, p += 3) {
                const double u = double(x) / kWidth, v = double(y) / kHeight;
                const double blob = std::exp(-((u - 0.3) * (u - 0.3) + (v - 0.6) * (v - 0.6)) * 12.0);
                const double wave = 0.5 + 0.5 * std::sin(u * 9.0 + v * 4.0);
                const int noise = (random.next() & 15) - 8;
                const double r = 40 + 150 * u + 60 * blob + noise;
                const double g = 30 + 120 * v * wave + 80 * blob + noise;
                const double bl = 200 - 140 * v + 30 * wave + noise;
                p[0] = uint8_t(std::clamp(bl, 0.0, 255.0));
                p[1] = uint8_t(std::clamp(g, 0.0, 255.0));
                p[2] = uint8_t(std::clamp(r, 0.0, 255.0));
            }
        }
        return b;
    }();
    return dib;
}

void neuquantPhoto(benchmark::State& state)
{
    const ByteBuffer& dib = photo();
    for (auto _ : state) {
        NeuralQuantizer q;
        ByteBuffer out;
        if (!q.reduce(dib.bytes(), out))
            state.SkipWithError("reduce failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(neuquantPhoto)->Name("neuquant/photo/zell")->Unit(benchmark::kMillisecond);

void mapPhoto(benchmark::State& state)
{
    const ByteBuffer& dib = photo();
    for (auto _ : state) {
        ColorQuantizer q;
        ByteBuffer out;
        if (!q.addImage(dib.bytes()) || !q.buildPalette(256) || !q.mapImage(dib.bytes(), out, false))
            state.SkipWithError("quantize failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(mapPhoto)->Name("map/photo/zell")->Unit(benchmark::kMillisecond);

} // namespace
