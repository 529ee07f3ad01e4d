// How far the screens a GIF shows are from those of the animation it was
// made from: what a search among several lossy outputs of one size weighs.
#pragma once

#include <cstdint>
#include <span>

#include "document/document.h"

namespace zell {

// The mean squared difference per colour channel between `reference`'s
// composed screens and those `gif` (a whole GIF stream) shows. With as many
// frames, frame i is weighed against frame i; else each reference frame
// against the screen the GIF shows when that frame starts, so that an
// output that merged frames is compared over the same time. False when the
// GIF cannot be decoded or composed, or its screen is another size.
bool screenError(const Document& reference, std::span<const uint8_t> gif, double& meanSquared);

} // namespace zell
