// GIF LZW and whole-image coding of full-HD 8-bit pictures, beside giflib
// (EGifPutLine to memory, DGifSlurp from memory) on the same pixels.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/byte_buffer.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/lzw_codec.h"
#include "image/random.h"

namespace {

using namespace zell;

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;
constexpr int64_t kPixels = int64_t(kWidth) * kHeight;

struct Picture {
    int bits = 8;
    std::vector<uint8_t> indices; // rows top to bottom
    std::vector<uint32_t> colors;
    ByteBuffer dib;               // the same picture as a bottom-up DIB
    std::vector<uint8_t> codes;   // our LZW of the indices
    std::vector<uint8_t> stream;  // our GIF of the picture
};

void finish(Picture& p)
{
    const uint32_t entries = 1u << p.bits;
    const DibHeader h = makeDibHeader(int32_t(kWidth), int32_t(kHeight), 8, entries);
    p.dib.allocate(uint32_t(dibPackedSize(h)));
    writeDibHeader(p.dib.data(), h);
    for (uint32_t i = 0; i < entries; ++i) {
        uint8_t* q = p.dib.data() + kDibHeaderSize + 4 * i;
        q[0] = colorBlue(p.colors[i]);
        q[1] = colorGreen(p.colors[i]);
        q[2] = colorRed(p.colors[i]);
        q[3] = 0;
    }
    for (uint32_t y = 0; y < kHeight; ++y)
        std::memcpy(p.dib.data() + dibRowOffset(h, y), p.indices.data() + size_t(y) * kWidth, kWidth);
    LzwCodec().compress(p.indices, p.bits, p.codes);
    ByteBuffer stream;
    encodeGifImage(p.dib.bytes(), stream, p.bits, false);
    p.stream.assign(stream.data(), stream.data() + stream.size());
}

// Smooth gradients with noise over 256 colours: short strings, many codes.
const Picture& photo()
{
    static Picture p = [] {
        Picture pic;
        pic.bits = 8;
        Random random(1234);
        pic.indices.resize(size_t(kPixels));
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) {
                const double u = double(x) / kWidth, v = double(y) / kHeight;
                const double smooth = 100 * u + 80 * v + 50 * std::sin(u * 7 + v * 3);
                const int noise = (random.next() & 7) - 4;
                pic.indices[size_t(y) * kWidth + x] = uint8_t(std::clamp(int(smooth) + noise + 20, 0, 255));
            }
        }
        for (uint32_t i = 0; i < 256; ++i)
            pic.colors.push_back(makeColor(uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)));
        finish(pic);
        return pic;
    }();
    return p;
}

// Windows, bars and lines of text on a flat desktop in 16 colours.
const Picture& screen()
{
    static Picture p = [] {
        Picture pic;
        pic.bits = 4;
        pic.indices.assign(size_t(kPixels), 1);
        auto fill = [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint8_t c) {
            for (uint32_t y = y0; y < y1; ++y)
                std::fill_n(pic.indices.begin() + size_t(y) * kWidth + x0, x1 - x0, c);
        };
        fill(0, 1040, kWidth, kHeight, 2);                // task bar
        fill(200, 100, 1300, 800, 15);                    // window
        fill(200, 100, 1300, 130, 4);                     // title bar
        fill(1400, 200, 1850, 900, 7);                    // second window
        Random random(99);
        for (uint32_t line = 0; line < 30; ++line) {      // text
            const uint32_t y = 150 + line * 20;
            for (uint32_t x = 220; x < 1280; ++x) {
                for (uint32_t dy = 0; dy < 11; ++dy) {
                    if ((random.next() & 7) == 0)
                        pic.indices[size_t(y + dy) * kWidth + x] = 0;
                }
            }
        }
        for (uint32_t i = 0; i < 16; ++i)
            pic.colors.push_back(makeColor(uint8_t(i * 17), uint8_t(i * 13), uint8_t(255 - i * 17)));
        finish(pic);
        return pic;
    }();
    return p;
}

int writeToMemory(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

struct MemoryInput {
    const std::vector<uint8_t>* data;
    size_t pos;
};

int readFromMemory(GifFileType* gif, GifByteType* bytes, int length)
{
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const size_t n = std::min<size_t>(size_t(length), in->data->size() - in->pos);
    std::memcpy(bytes, in->data->data() + in->pos, n);
    in->pos += n;
    return int(n);
}

bool giflibEncode(const Picture& p, std::vector<uint8_t>& out)
{
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToMemory, &error);
    if (!gif)
        return false;
    std::vector<GifColorType> entries(size_t(1) << p.bits);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = {colorRed(p.colors[i]), colorGreen(p.colors[i]), colorBlue(p.colors[i])};
    ColorMapObject* map = GifMakeMapObject(int(entries.size()), entries.data());
    bool ok = EGifPutScreenDesc(gif, int(kWidth), int(kHeight), p.bits, 0, map) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, int(kWidth), int(kHeight), false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(kWidth);
    for (uint32_t y = 0; ok && y < kHeight; ++y) {
        std::memcpy(line.data(), p.indices.data() + size_t(y) * kWidth, kWidth);
        ok = EGifPutLine(gif, line.data(), int(kWidth)) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok;
}

bool giflibDecode(const std::vector<uint8_t>& stream)
{
    MemoryInput in{&stream, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, readFromMemory, &error);
    if (!gif)
        return false;
    const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1;
    if (ok)
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits[0]);
    DGifCloseFile(gif, &error);
    return ok;
}

void countPixels(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * kPixels);
    state.counters["Mpixel/s"] = benchmark::Counter(double(state.iterations()) * kPixels / 1e6,
                                                    benchmark::Counter::kIsRate);
}

template <const Picture& (*Pick)()>
void compressZell(benchmark::State& state)
{
    const Picture& p = Pick();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        LzwCodec codec;
        if (!codec.compress(p.indices, p.bits, out))
            state.SkipWithError("compress failed");
        benchmark::DoNotOptimize(out.data());
    }
    countPixels(state);
}

template <const Picture& (*Pick)()>
void decompressZell(benchmark::State& state)
{
    const Picture& p = Pick();
    std::vector<uint8_t> out;
    if (!LzwCodec().decompress(p.codes, p.bits, out, size_t(kPixels)) || out != p.indices)
        state.SkipWithError("decompress gives other pixels");
    for (auto _ : state) {
        LzwCodec codec;
        if (!codec.decompress(p.codes, p.bits, out, size_t(kPixels)))
            state.SkipWithError("decompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    countPixels(state);
}

template <const Picture& (*Pick)()>
void encodeZell(benchmark::State& state)
{
    const Picture& p = Pick();
    for (auto _ : state) {
        ByteBuffer out;
        if (!encodeGifImage(p.dib.bytes(), out, p.bits, false))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
    countPixels(state);
}

template <const Picture& (*Pick)()>
void decodeZell(benchmark::State& state)
{
    const Picture& p = Pick();
    for (auto _ : state) {
        ByteBuffer out;
        if (!decodeGifImage(p.stream, out, 0, false) || out.empty())
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    countPixels(state);
}

template <const Picture& (*Pick)()>
void encodeGiflib(benchmark::State& state)
{
    const Picture& p = Pick();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (!giflibEncode(p, out))
            state.SkipWithError("EGifPutLine failed");
        benchmark::DoNotOptimize(out.data());
    }
    countPixels(state);
}

template <const Picture& (*Pick)()>
void decodeGiflib(benchmark::State& state)
{
    const Picture& p = Pick();
    for (auto _ : state) {
        if (!giflibDecode(p.stream))
            state.SkipWithError("DGifSlurp failed");
    }
    countPixels(state);
}

BENCHMARK(compressZell<photo>)->Name("compress/photo/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeGiflib<photo>)->Name("compress/photo/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(compressZell<screen>)->Name("compress/screen/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeGiflib<screen>)->Name("compress/screen/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(decompressZell<photo>)->Name("decompress/photo/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeGiflib<photo>)->Name("decompress/photo/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(decompressZell<screen>)->Name("decompress/screen/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeGiflib<screen>)->Name("decompress/screen/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeZell<photo>)->Name("encode/photo/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeGiflib<photo>)->Name("encode/photo/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeZell<screen>)->Name("encode/screen/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeGiflib<screen>)->Name("encode/screen/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeZell<photo>)->Name("decode/photo/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeGiflib<photo>)->Name("decode/photo/giflib")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeZell<screen>)->Name("decode/screen/zell")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeGiflib<screen>)->Name("decode/screen/giflib")->Unit(benchmark::kMillisecond);

} // namespace
