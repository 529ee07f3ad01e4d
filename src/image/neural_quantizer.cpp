#include "image/neural_quantizer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "image/dib.h"

namespace zell {

namespace {

constexpr int kCycles = 100;
constexpr int kInitialSampleFactor = 12;
constexpr int kNetBiasShift = 4; // colour channels are learned scaled by 16
constexpr int kIntBiasShift = 16;
constexpr int kInitialFreq = (1 << kIntBiasShift) / NeuralQuantizer::kNetSize;
constexpr int kBetaShift = 10;
constexpr int kBeta = (1 << kIntBiasShift) >> kBetaShift;
constexpr int kGammaShift = 10;
constexpr int kBetaGamma = (1 << kIntBiasShift) << (kGammaShift - kBetaShift);
constexpr int kInitialAlpha = 1 << 10;
constexpr int kRadiusBiasShift = 6;
constexpr int kInitialRadius = (NeuralQuantizer::kNetSize >> 3) << kRadiusBiasShift;
constexpr int kRadiusDecrement = 30;
constexpr int kRadBias = 1 << 8;
constexpr int kAlphaRadBias = 1 << 18;
constexpr int kStartDistance = 1000;
constexpr uint32_t kPrimes[] = {499, 491, 487};
constexpr uint32_t kLastPrime = 503;
constexpr uint64_t kEmptySlot = ~uint64_t(0);

int radiusOf(int radius)
{
    const int rad = radius >> kRadiusBiasShift;
    return rad <= 1 ? 0 : rad;
}

constexpr int kRefinePasses = 20;
constexpr size_t kRefineSamples = 1 << 18;

// A table searched by squared distance: entries sorted by green, and a walk
// out from the green of the colour sought that stops once green alone is
// farther than the best so far.
struct Palette {
    std::array<std::array<int, 3>, NeuralQuantizer::kNetSize> entries{}; // blue, green, red
    std::array<int, 256> greenStart{};

    void sort()
    {
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a[1] < b[1]; });
        size_t i = 0;
        for (int g = 0; g < 256; ++g) {
            while (i < entries.size() && entries[i][1] < g)
                ++i;
            greenStart[size_t(g)] = int(i);
        }
    }

    int nearest(int b, int g, int r) const
    {
        const int n = int(entries.size());
        int best = 0, bestDistance = std::numeric_limits<int>::max();
        int up = greenStart[size_t(std::clamp(g, 0, 255))], down = up - 1;
        while (up < n || down >= 0) {
            if (up < n) {
                const auto& e = entries[size_t(up)];
                const int dg = e[1] - g;
                if (dg * dg >= bestDistance) {
                    up = n;
                } else {
                    const int d = dg * dg + (e[0] - b) * (e[0] - b) + (e[2] - r) * (e[2] - r);
                    if (d < bestDistance)
                        bestDistance = d, best = up;
                    ++up;
                }
            }
            if (down >= 0) {
                const auto& e = entries[size_t(down)];
                const int dg = g - e[1];
                if (dg * dg >= bestDistance) {
                    down = -1;
                } else {
                    const int d = dg * dg + (e[0] - b) * (e[0] - b) + (e[2] - r) * (e[2] - r);
                    if (d < bestDistance)
                        bestDistance = d, best = down;
                    --down;
                }
            }
        }
        return best;
    }
};

// Lloyd's k-means from the network's colours, over the picture's distinct
// colours weighted by their counts; an entry nothing chose keeps its colour.
void refine(Palette& palette, const uint8_t* pixels, uint32_t length)
{
    // Large pictures learn from an even sample of at most kRefineSamples
    // pixels: the passes cost as much per distinct colour as per pixel.
    const size_t pixelCount = length / 3;
    const size_t step = (pixelCount + kRefineSamples - 1) / kRefineSamples;
    std::vector<uint32_t> keys(pixelCount / step);
    for (size_t i = 0; i < keys.size(); ++i) {
        const uint8_t* p = pixels + 3 * i * step;
        keys[i] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::pair<uint32_t, uint32_t>> colours; // key, count
    for (size_t i = 0; i < keys.size();) {
        size_t j = i;
        while (j < keys.size() && keys[j] == keys[i])
            ++j;
        colours.emplace_back(keys[i], uint32_t(j - i));
        i = j;
    }
    keys = {};
    for (int pass = 0; pass < kRefinePasses; ++pass) {
        palette.sort();
        std::array<std::array<uint64_t, 4>, NeuralQuantizer::kNetSize> sums{};
        std::vector<std::pair<uint64_t, uint32_t>> worst; // weighted error, key
        worst.reserve(colours.size());
        for (const auto& [key, count] : colours) {
            const int b = int(key & 0xFF), g = int((key >> 8) & 0xFF), r = int(key >> 16);
            const int index = palette.nearest(b, g, r);
            const auto& e = palette.entries[size_t(index)];
            auto& s = sums[size_t(index)];
            s[0] += uint64_t(b) * count;
            s[1] += uint64_t(g) * count;
            s[2] += uint64_t(r) * count;
            s[3] += count;
            const int d = (e[0] - b) * (e[0] - b) + (e[1] - g) * (e[1] - g) + (e[2] - r) * (e[2] - r);
            worst.emplace_back(uint64_t(d) * count, key);
        }
        // Entries nothing chose move to the colours served worst.
        size_t unused = 0;
        for (const auto& sum : sums)
            unused += sum[3] == 0 ? 1 : 0;
        unused = std::min(unused, worst.size());
        std::partial_sort(worst.begin(), worst.begin() + std::ptrdiff_t(unused), worst.end(), std::greater<>());
        size_t next = 0;
        bool moved = false;
        for (size_t i = 0; i < sums.size(); ++i) {
            const auto before = palette.entries[i];
            if (sums[i][3] == 0) {
                if (next < unused) {
                    const uint32_t key = worst[next++].second;
                    palette.entries[i] = {int(key & 0xFF), int((key >> 8) & 0xFF), int(key >> 16)};
                }
            } else {
                for (size_t c = 0; c < 3; ++c)
                    palette.entries[i][c] = int((sums[i][c] + sums[i][3] / 2) / sums[i][3]);
            }
            moved = moved || palette.entries[i] != before;
        }
        if (!moved)
            break;
    }
}

// Each pixel to its nearest entry; with `dither`, Floyd-Steinberg in
// serpentine order, the error carried in sixteenths.
void mapNearest(const Palette& palette, const uint8_t* pixels, uint32_t width, uint32_t height, uint8_t* bits,
                uint64_t stride, bool dither)
{
    constexpr uint32_t kCacheBits = 16;
    std::vector<uint64_t> cache(size_t(1) << kCacheBits, kEmptySlot);
    auto lookUp = [&](int b, int g, int r) {
        const uint32_t key = uint32_t(b) | (uint32_t(g) << 8) | (uint32_t(r) << 16);
        uint64_t& slot = cache[(key * 2654435761u) >> (32 - kCacheBits)];
        if (uint32_t(slot >> 8) != key)
            slot = (uint64_t(key) << 8) | uint64_t(palette.nearest(b, g, r));
        return uint8_t(slot);
    };
    if (!dither) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* p = pixels + uint64_t(y) * 3 * width;
            uint8_t* d = bits + y * stride;
            for (uint32_t x = 0; x < width; ++x, p += 3)
                d[x] = lookUp(p[0], p[1], p[2]);
        }
        return;
    }
    // Errors of this row and the next, two columns of margin on each side.
    std::vector<int> current(3 * (size_t(width) + 2)), next(current.size());
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(next.begin(), next.end(), 0);
        const bool leftToRight = y % 2 == 0;
        const uint8_t* row = pixels + uint64_t(y) * 3 * width;
        uint8_t* d = bits + y * stride;
        for (uint32_t step = 0; step < width; ++step) {
            const uint32_t x = leftToRight ? step : width - 1 - step;
            const size_t at = 3 * (size_t(x) + 1);
            const int dir = leftToRight ? 3 : -3;
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = std::clamp(row[3 * x + size_t(c)] + (current[at + size_t(c)] + 8) / 16, 0, 255);
            const uint8_t index = lookUp(want[0], want[1], want[2]);
            d[x] = index;
            const auto& e = palette.entries[index];
            for (int c = 0; c < 3; ++c) {
                const int error = want[c] - e[size_t(c)];
                current[size_t(int(at) + dir + c)] += error * 7;
                next[size_t(int(at) - dir + c)] += error * 3;
                next[at + size_t(c)] += error * 5;
                next[size_t(int(at) + dir + c)] += error;
            }
        }
        current.swap(next);
    }
}

} // namespace

NeuQuantSchedule neuQuantSchedule(uint32_t lengthBytes)
{
    NeuQuantSchedule s;
    // Small pictures learn more of their pixels so that a cycle has a step.
    for (int factor = kInitialSampleFactor; factor > 0 && s.cycleSteps == 0; --factor) {
        s.sampleFactor = factor;
        s.alphaDecrement = 30 + (factor - 1) / 3;
        s.samples = lengthBytes / (3 * uint32_t(factor));
        s.cycleSteps = s.samples / kCycles;
    }
    if (s.cycleSteps == 0)
        s.cycleSteps = 1;
    s.step = 3 * kLastPrime;
    for (uint32_t prime : kPrimes) {
        if (lengthBytes % prime != 0) {
            s.step = 3 * prime;
            break;
        }
    }
    return s;
}

void NeuralQuantizer::initialise()
{
    for (int i = 0; i < kNetSize; ++i) {
        const int v = (i << (kNetBiasShift + 8)) / kNetSize;
        network_[size_t(i)] = {v, v, v, 0};
        freq_[size_t(i)] = kInitialFreq;
        bias_[size_t(i)] = 0;
    }
}

// Every neuron pays a little of its frequency into its bias so that neurons
// that rarely win become more likely to; the biased winner is the one moved.
int NeuralQuantizer::contest(int b, int g, int r)
{
    int bestDistance = std::numeric_limits<int>::max();
    int bestBiasDistance = bestDistance;
    int bestPos = 0;
    int bestBiasPos = 0;
    for (int i = 0; i < kNetSize; ++i) {
        const auto& n = network_[size_t(i)];
        const int distance = std::abs(n[0] - b) + std::abs(n[1] - g) + std::abs(n[2] - r);
        if (distance < bestDistance) {
            bestDistance = distance;
            bestPos = i;
        }
        const int biasDistance = distance - (bias_[size_t(i)] >> (kIntBiasShift - kNetBiasShift));
        if (biasDistance < bestBiasDistance) {
            bestBiasDistance = biasDistance;
            bestBiasPos = i;
        }
        const int betaFreq = freq_[size_t(i)] >> kBetaShift;
        freq_[size_t(i)] -= betaFreq;
        bias_[size_t(i)] += betaFreq << kGammaShift;
    }
    freq_[size_t(bestPos)] += kBeta;
    bias_[size_t(bestPos)] -= kBetaGamma;
    return bestBiasPos;
}

void NeuralQuantizer::moveSingle(int alpha, int i, int b, int g, int r)
{
    auto& n = network_[size_t(i)];
    n[0] -= (alpha * (n[0] - b)) / kInitialAlpha;
    n[1] -= (alpha * (n[1] - g)) / kInitialAlpha;
    n[2] -= (alpha * (n[2] - r)) / kInitialAlpha;
}

void NeuralQuantizer::moveNeighbours(int rad, int i, int b, int g, int r)
{
    for (int m = 1; m < rad; ++m) {
        // radPower_ * difference stays below 2^18 * 2^12 = 2^30.
        const int a = radPower_[size_t(m)];
        for (int j : {i + m, i - m}) {
            if (j < 0 || j >= kNetSize)
                continue;
            auto& n = network_[size_t(j)];
            n[0] -= (a * (n[0] - b)) / kAlphaRadBias;
            n[1] -= (a * (n[1] - g)) / kAlphaRadBias;
            n[2] -= (a * (n[2] - r)) / kAlphaRadBias;
        }
    }
}

void NeuralQuantizer::fillRadPower(int alpha, int rad)
{
    for (int i = 0; i < rad; ++i)
        radPower_[size_t(i)] = alpha * (((rad * rad - i * i) * kRadBias) / (rad * rad));
}

void NeuralQuantizer::learn(const uint8_t* pixels, uint32_t length)
{
    const NeuQuantSchedule s = neuQuantSchedule(length);
    int alpha = kInitialAlpha;
    int radius = kInitialRadius;
    int rad = radiusOf(radius);
    fillRadPower(alpha, rad);
    uint32_t position = 0;
    for (uint32_t i = 0; i < s.samples;) {
        const uint8_t* p = pixels + position;
        const int b = p[0] << kNetBiasShift, g = p[1] << kNetBiasShift, r = p[2] << kNetBiasShift;
        const int winner = contest(b, g, r);
        moveSingle(alpha, winner, b, g, r);
        if (rad != 0)
            moveNeighbours(rad, winner, b, g, r);
        // A remainder, not one subtraction: the step may exceed a small picture.
        position = uint32_t((uint64_t(position) + s.step) % length);
        if (++i % s.cycleSteps == 0) {
            alpha -= alpha / s.alphaDecrement;
            radius -= radius / kRadiusDecrement;
            rad = radiusOf(radius);
            fillRadPower(alpha, rad);
        }
    }
}

void NeuralQuantizer::unbias()
{
    for (int i = 0; i < kNetSize; ++i) {
        auto& n = network_[size_t(i)];
        for (int c = 0; c < 3; ++c)
            n[size_t(c)] = std::min(255, (n[size_t(c)] + (1 << (kNetBiasShift - 1))) >> kNetBiasShift);
        n[3] = i;
    }
}

// Sorts the neurons by green and records, for each green value, where the
// search should start: the middle of the run of neurons with that green.
void NeuralQuantizer::buildGreenIndex()
{
    int previous = 0;
    int start = 0;
    for (int i = 0; i < kNetSize; ++i) {
        int smallest = i;
        for (int j = i + 1; j < kNetSize; ++j) {
            if (network_[size_t(j)][1] < network_[size_t(smallest)][1])
                smallest = j;
        }
        if (smallest != i)
            std::swap(network_[size_t(i)], network_[size_t(smallest)]);
        const int green = network_[size_t(i)][1];
        if (green != previous) {
            greenIndex_[size_t(previous)] = (start + i) >> 1;
            for (int j = previous + 1; j < green; ++j)
                greenIndex_[size_t(j)] = i;
            previous = green;
            start = i;
        }
    }
    greenIndex_[size_t(previous)] = (start + kNetSize - 1) >> 1;
    for (int j = previous + 1; j < 256; ++j)
        greenIndex_[size_t(j)] = kNetSize - 1;
}

// Walks up and down from the green index; a side stops once its green
// difference alone is no better than the best distance.
int NeuralQuantizer::search(int b, int g, int r) const
{
    int bestDistance = kStartDistance;
    int best = -1;
    int up = greenIndex_[size_t(g)];
    int down = up - 1;
    auto consider = [&](const std::array<int, 4>& n, int greenDistance) {
        int distance = greenDistance + std::abs(n[0] - b);
        if (distance >= bestDistance)
            return;
        distance += std::abs(n[2] - r);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = n[3];
        }
    };
    while (up < kNetSize || down >= 0) {
        if (up < kNetSize) {
            const auto& n = network_[size_t(up)];
            const int distance = n[1] - g;
            if (distance >= bestDistance) {
                up = kNetSize;
            } else {
                ++up;
                consider(n, std::abs(distance));
            }
        }
        if (down >= 0) {
            const auto& n = network_[size_t(down)];
            const int distance = g - n[1];
            if (distance >= bestDistance) {
                down = -1;
            } else {
                --down;
                consider(n, std::abs(distance));
            }
        }
    }
    return best;
}

bool NeuralQuantizer::reduce(std::span<const uint8_t> dib, ByteBuffer& out, uint32_t options)
{
    DibHeader header;
    if (!checkDib(dib, &header))
        return false;
    if (header.bitCount <= 8) {
        ByteBuffer copy;
        if (!copy.assign(dib.data(), uint32_t(dibPackedSize(header))))
            return false;
        out.swap(copy);
        return true;
    }
    ByteBuffer converted;
    if (header.bitCount != 24) {
        if (!convertToTrueColor(dib, converted) || !checkDib(converted.bytes(), &header))
            return false;
        dib = converted.bytes();
    }
    try {
        return reduceTrueColor(dib, header, out, options);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool NeuralQuantizer::reduceTrueColor(std::span<const uint8_t> dib, const DibHeader& header, ByteBuffer& out,
                                      uint32_t options)
{
    const uint32_t width = uint32_t(header.width);
    const uint32_t height = header.absHeight();
    const uint64_t sourceStride = dibStride(width, 24);
    const uint8_t* sourceBits = dib.data() + dibBitsOffset(header);
    const uint32_t rowBytes = 3 * width;
    // At most 3 * 2^28 bytes: checkDib caps the pixel count.
    const uint32_t length = rowBytes * height;
    std::vector<uint8_t> pixels(length);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(pixels.data() + uint64_t(y) * rowBytes, sourceBits + y * sourceStride, rowBytes);

    initialise();
    learn(pixels.data(), length);
    unbias();

    const DibHeader outHeader = makeDibHeader(header.width, header.height, 8);
    const uint64_t stride = dibStride(width, 8);
    const uint64_t bitsOffset = kDibHeaderSize + 4 * uint64_t(kNetSize);
    const uint64_t size = bitsOffset + stride * height;
    ByteBuffer result;
    if (size > std::numeric_limits<uint32_t>::max() || !result.allocate(uint32_t(size)))
        return false;
    std::memset(result.data(), 0, result.size());
    writeDibHeader(result.data(), outHeader);
    if (options & (kNeuQuantRefine | kNeuQuantDither)) {
        Palette palette;
        for (int i = 0; i < kNetSize; ++i)
            for (int c = 0; c < 3; ++c)
                palette.entries[size_t(i)][size_t(c)] = network_[size_t(i)][size_t(c)];
        if (options & kNeuQuantRefine)
            refine(palette, pixels.data(), length);
        palette.sort();
        for (int i = 0; i < kNetSize; ++i) {
            uint8_t* e = result.data() + kDibHeaderSize + 4 * i;
            for (int c = 0; c < 3; ++c)
                e[c] = uint8_t(palette.entries[size_t(i)][size_t(c)]);
        }
        mapNearest(palette, pixels.data(), width, height, result.data() + bitsOffset, stride,
                   (options & kNeuQuantDither) != 0);
        out.swap(result);
        return true;
    }
    for (int i = 0; i < kNetSize; ++i) {
        uint8_t* e = result.data() + kDibHeaderSize + 4 * i;
        for (int c = 0; c < 3; ++c)
            e[c] = uint8_t(network_[size_t(i)][size_t(c)]);
    }
    buildGreenIndex();
    // Photos repeat colours often; a small direct-mapped cache of answers
    // spares most searches and cannot change them.
    constexpr uint32_t kCacheBits = 16;
    std::vector<uint64_t> cache(size_t(1) << kCacheBits, kEmptySlot);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = pixels.data() + uint64_t(y) * rowBytes;
        uint8_t* d = result.data() + bitsOffset + y * stride;
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            const uint32_t key = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
            uint64_t& slot = cache[(key * 2654435761u) >> (32 - kCacheBits)];
            if (uint32_t(slot >> 8) != key)
                slot = (uint64_t(key) << 8) | uint64_t(search(p[0], p[1], p[2]));
            d[x] = uint8_t(slot);
        }
    }
    out.swap(result);
    return true;
}

} // namespace zell
