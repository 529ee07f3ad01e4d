#include "document/jpeg_decoder.h"

#include <csetjmp>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "document/image_format.h"
#include "image/dib.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

// The library is fed at most this much at a time.
constexpr size_t kBlockSize = 4096;
// Even a flat picture takes about 3 bits per 8 x 8 block: 170 pixels a byte.
constexpr uint64_t kMaxPixelsPerByte = 16384;
const JOCTET kFakeEndOfImage[2] = {0xFF, JPEG_EOI};

// Everything the callbacks and the setjmp frame share. Plain data only: a
// longjmp must not skip a destructor.
struct JpegContext {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_source_mgr source;
    std::jmp_buf escape;
    const uint8_t* data;
    size_t size;
    size_t position;
    bool ranOut; // the data ended before the picture did
};

JpegContext& contextOf(j_common_ptr info)
{
    return *static_cast<JpegContext*>(info->client_data);
}

[[noreturn]] void onFatalError(j_common_ptr info)
{
    std::longjmp(contextOf(info).escape, 1);
}

// Warnings (a premature end, extraneous bytes) are not the user's concern.
void onMessage(j_common_ptr) {}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    JpegContext& context = contextOf(reinterpret_cast<j_common_ptr>(info));
    jpeg_source_mgr& source = context.source;
    if (context.position >= context.size) {
        if (context.position == 0)
            ERREXIT(info, JERR_INPUT_EMPTY);
        // Let the library finish the picture with what it has.
        WARNMS(info, JWRN_JPEG_EOF);
        context.ranOut = true;
        source.next_input_byte = kFakeEndOfImage;
        source.bytes_in_buffer = sizeof kFakeEndOfImage;
        return TRUE;
    }
    const size_t n = std::min(kBlockSize, context.size - context.position);
    source.next_input_byte = context.data + context.position;
    source.bytes_in_buffer = n;
    context.position += n;
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    jpeg_source_mgr& source = *info->src;
    if (count <= 0)
        return;
    while (size_t(count) > source.bytes_in_buffer) {
        count -= long(source.bytes_in_buffer);
        fillInputBuffer(info);
        // Past the end only the end-of-image marker is left: keep it.
        if (source.next_input_byte == kFakeEndOfImage)
            return;
    }
    source.next_input_byte += count;
    source.bytes_in_buffer -= size_t(count);
}

bool supportedOutput(const jpeg_decompress_struct& info)
{
    return (info.out_color_space == JCS_GRAYSCALE && info.output_components == 1)
        || (info.out_color_space == JCS_RGB && info.output_components == 3)
        || (info.out_color_space == JCS_CMYK && info.output_components == 4);
}

// One scanline of any supported layout as blue, green, red.
void storeScanline(const JSAMPLE* in, uint8_t* out, uint32_t width, int components)
{
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        if (components == 1) {
            out[0] = out[1] = out[2] = in[x];
        } else if (components == 3) {
            out[0] = in[3 * x + 2];
            out[1] = in[3 * x + 1];
            out[2] = in[3 * x];
        } else {
            // The library delivers Adobe's inverted CMYK: each value is
            // already 255 - ink, so the colour is the product with black.
            const unsigned k = in[4 * x + 3];
            out[0] = uint8_t((in[4 * x + 2] * k + 127) / 255);
            out[1] = uint8_t((in[4 * x + 1] * k + 127) / 255);
            out[2] = uint8_t((in[4 * x] * k + 127) / 255);
        }
    }
}

bool allocatePicture(const jpeg_decompress_struct& info, ByteBuffer& picture)
{
    const uint64_t width = info.output_width;
    const uint64_t height = info.output_height;
    if (width == 0 || height == 0 || width * height > pixelLimit())
        return false;
    const uint64_t size = kDibHeaderSize + dibStride(int64_t(width), 24) * height;
    if (size > UINT32_MAX || !picture.allocate(uint32_t(size)))
        return false;
    std::memset(picture.data(), 0, size);
    writeDibHeader(picture.data(), makeDibHeader(int32_t(width), int32_t(height), 24));
    return true;
}

// Each scanline goes to the next row from the bottom; rows the library
// cannot deliver stay black.
void readScanlines(jpeg_decompress_struct& info, ByteBuffer& picture)
{
    const uint64_t stride = dibStride(info.output_width, 24);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * JDIMENSION(info.output_components), 1);
    while (info.output_scanline < info.output_height) {
        const uint32_t y = info.output_scanline;
        if (jpeg_read_scanlines(&info, row, 1) != 1)
            break;
        uint8_t* out = picture.data() + kDibHeaderSize + (info.output_height - 1 - y) * stride;
        storeScanline(row[0], out, info.output_width, info.output_components);
    }
}

// Runs the library; the only frame a fatal error jumps back into.
bool runDecompressor(JpegContext& context, ByteBuffer& picture)
{
    jpeg_decompress_struct& info = context.info;
    if (setjmp(context.escape)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.src = &context.source;
    jpeg_read_header(&info, TRUE);
    // Refuse huge pictures before the library allocates for them. A file cut
    // short is decoded as far as it goes, but one too small to hold even a
    // bit or two per block of its picture is no picture: progressive files
    // would otherwise make the library allocate for the whole picture.
    const uint64_t pixels = uint64_t(info.image_width) * info.image_height;
    if (pixels > pixelLimit() || pixels > kMaxPixelsPerByte * (uint64_t(context.size) + 1)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    if (!supportedOutput(info) || !allocatePicture(info, picture)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    readScanlines(info, picture);
    if (info.output_scanline == info.output_height)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

bool decodeJpeg(std::span<const uint8_t> data, ByteBuffer& picture, bool* truncated)
{
    const int64_t start = findJpegStart(data);
    if (!data.data() || start < 0)
        return false;
    JpegContext context;
    std::memset(&context, 0, sizeof context);
    context.data = data.data() + start;
    context.size = data.size() - size_t(start);
    // jpeg_create_decompress keeps these two fields.
    context.info.client_data = &context;
    context.info.err = jpeg_std_error(&context.errors);
    context.errors.error_exit = onFatalError;
    context.errors.output_message = onMessage;
    context.source.init_source = initSource;
    context.source.fill_input_buffer = fillInputBuffer;
    context.source.skip_input_data = skipInputData;
    context.source.resync_to_restart = jpeg_resync_to_restart;
    context.source.term_source = termSource;

    ByteBuffer decoded;
    if (!runDecompressor(context, decoded))
        return false;
    picture.swap(decoded);
    if (truncated)
        *truncated = context.ranOut;
    return true;
}

} // namespace zell
