// Decoding of any image file zell reads into a packed DIB, and conversion of
// an image file or picture into a one-image GIF stream.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/byte_buffer.h"

namespace zell {

class RasterImage;

// BMP, GIF (its first image), JPEG or PNG data as a packed DIB. The GIF
// decoder gets `replaceTransparent`. False, with the picture untouched, for
// fewer than 8 bytes, an unknown format or a failed decoding.
bool decodeImage(std::span<const uint8_t> data, ByteBuffer& picture, bool replaceTransparent,
                 bool* truncated = nullptr);

// A one-image GIF stream of the image file (a GIF file is copied from its
// signature on) or, with `dataIsPicture`, of the packed DIB. Pictures of up
// to 256 colours keep them; more are reduced to 256 first; 16- and 32-bit
// pictures are made 24-bit first. With `keepAlpha`, the fully transparent
// pixels of a PNG or 32-bit BMP file become the stream's transparent colour
// instead of showing the background (or, in a BMP, their own colour).
// `truncated` (optional) tells whether a JPEG ended before its picture did.
// `colors`: NeuQuantOption bits for pictures of more than 256 colours.
bool convertToGif(std::span<const uint8_t> data, ByteBuffer& out, bool dataIsPicture, bool keepAlpha = false,
                  bool* truncated = nullptr, uint32_t colors = 0);

// Any supported image file (BMP, GIF, JPEG, PNG) as the 24-bit picture of
// `picture`, for previews; its old picture and mask go first, so on failure
// it is empty.
bool loadStillPicture(const std::string& path, RasterImage& picture);

} // namespace zell
