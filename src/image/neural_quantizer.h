// NeuQuant colour reduction (Dekker 1994): a self-organising map of 256
// neurons learns the colours of a sample of the pixels; each pixel then takes
// its nearest neuron. Used to turn true-colour pictures into GIF pictures.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "image/byte_buffer.h"
#include "image/dib.h"

namespace zell {

// How one picture is sampled during learning.
struct NeuQuantSchedule {
    int sampleFactor = 0; // one pixel in sampleFactor is learned
    int alphaDecrement = 0; // alpha loses alpha / alphaDecrement per cycle
    uint32_t samples = 0; // pixels learned in all
    uint32_t cycleSteps = 0; // samples per cycle
    uint32_t step = 0; // bytes between two samples
};

// The schedule for a picture of `lengthBytes` bytes (3 per pixel).
NeuQuantSchedule neuQuantSchedule(uint32_t lengthBytes);

// Beyond the network's own result (both off: the classic algorithm).
enum NeuQuantOption : uint32_t {
    kNeuQuantRefine = 0x01, // a few k-means passes over the picture's colours
    kNeuQuantDither = 0x02, // Floyd-Steinberg error diffusion when mapping
};

class NeuralQuantizer {
public:
    static constexpr int kNetSize = 256;

    // An 8-bit picture with a 256-entry table; pictures of 8 bits or fewer come
    // back as a copy. `options`: NeuQuantOption bits. With either, pixels
    // take the nearest entry by squared distance.
    bool reduce(std::span<const uint8_t> dib, ByteBuffer& out, uint32_t options = 0);

private:
    bool reduceTrueColor(std::span<const uint8_t> dib, const DibHeader& header, ByteBuffer& out,
                         uint32_t options);
    void initialise();
    void fillRadPower(int alpha, int rad);
    void learn(const uint8_t* pixels, uint32_t length);
    int contest(int b, int g, int r);
    void moveSingle(int alpha, int i, int b, int g, int r);
    void moveNeighbours(int rad, int i, int b, int g, int r);
    void unbias();
    void buildGreenIndex();
    int search(int b, int g, int r) const;

    std::array<std::array<int, 4>, kNetSize> network_{};
    std::array<int, 256> greenIndex_{};
    std::array<int, kNetSize> bias_{};
    std::array<int, kNetSize> freq_{};
    std::array<int, 32> radPower_{};
};

} // namespace zell
