// Importing a long animation: a 640x480 GIF of 100 or 1,000 frames split into
// work files. Peak memory must not grow with the frame count, since pictures
// live in work files; run each size in its own process to read peak_rss_kb:
//   zell_bench --benchmark_filter='import/gif1000'
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "document/file_import.h"
#include "image/dib.h"
#include "image/gif_codec.h"

namespace {

using namespace zell;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

// One frame: a flat screen with a moving block and a gradient band.
std::vector<uint8_t> frameStream(int n)
{
    const DibHeader h = makeDibHeader(kWidth, -kHeight, 8, 16);
    ByteBuffer dib;
    dib.allocate(uint32_t(dibPackedSize(h)));
    writeDibHeader(dib.data(), h);
    for (int i = 0; i < 16; ++i) {
        uint8_t* q = dib.data() + 40 + 4 * i;
        q[0] = uint8_t(i * 16), q[1] = uint8_t(255 - i * 16), q[2] = uint8_t(i * 8), q[3] = 0;
    }
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = dib.data() + dibRowOffset(h, uint32_t(y));
        for (int x = 0; x < kWidth; ++x) {
            const bool block = x >= (n * 7) % 560 && x < (n * 7) % 560 + 80 && y >= 200 && y < 280;
            row[x] = block ? 15 : y < 40 ? uint8_t(x / 40) : 1;
        }
    }
    ByteBuffer gif;
    encodeGifImage(dib.bytes(), gif, 4, false);
    return {gif.data(), gif.data() + gif.size()};
}

// The image blocks of single-image streams strung together behind one header.
std::string makeAnimation(int frames)
{
    const std::string path = (std::filesystem::temp_directory_path() / ("zell-bench-" + std::to_string(frames) + ".gif")).string();
    std::vector<uint8_t> out;
    for (int n = 0; n < frames; ++n) {
        const std::vector<uint8_t> one = frameStream(n);
        const size_t table = 3u << ((one[10] & 7) + 1);
        const size_t image = 13 + table + 8; // past header, table and the encoder's control block
        if (n == 0)
            out.insert(out.end(), one.begin(), one.begin() + long(13 + table));
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x04, 5, 0, 0, 0});
        out.insert(out.end(), one.begin() + long(image), one.end() - 1);
    }
    out.push_back(0x3B);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
    return path;
}

void importAnimation(benchmark::State& state)
{
    const int frames = int(state.range(0));
    const std::string path = makeAnimation(frames);
    const std::string base = (std::filesystem::temp_directory_path() / "").string();
    for (auto _ : state) {
        WorkDirectory work(base);
        {
            Document document(work);
            std::vector<std::string> failed;
            importFiles(document, {path}, ImportOptions{}, failed);
            if (document.frames.count() != frames)
                state.SkipWithError("import failed");
        }
        work.cleanUp("*");
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.counters["frames"] = frames;
    state.counters["file_mb"] = double(std::filesystem::file_size(path)) / 1e6;
    state.counters["peak_rss_kb"] = double(usage.ru_maxrss);
    std::filesystem::remove(path);
}

BENCHMARK(importAnimation)->Name("import/gif100/zell")->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(importAnimation)->Name("import/gif1000/zell")->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
