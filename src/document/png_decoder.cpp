#include "document/png_decoder.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

#include <png.h>

#include "image/dib.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

constexpr double kScreenGamma = 2.2;
constexpr double kSrgbFileGamma = 0.45455;
// libpng's fixed-point gamma unit and the band around 1.0 it treats as 1.0.
constexpr double kGammaUnit = 100000.0;
constexpr double kGammaThreshold = 5000.0;

// Everything the callbacks and the setjmp frame share. Plain data only: a
// longjmp must not skip a destructor.
constexpr uint64_t kMaxDeflateRatio = 1032;

struct PngContext {
    png_structp png;
    png_infop info;
    const uint8_t* data;
    size_t size;
    size_t position;
    // 2- and 4-bit greys are read as indices into this table of their own.
    bool greyAsPalette;
    uint8_t greyPalette[16];
    png_uint_32 width;
    png_uint_32 height;
    int outputBits;
    uint32_t tableEntries;
    int passes;
};

[[noreturn]] void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep out, size_t length)
{
    PngContext& context = *static_cast<PngContext*>(png_get_io_ptr(png));
    // A short read would leave libpng working on bytes nobody wrote.
    if (length > context.size - context.position)
        png_error(png, "read beyond the end of the data");
    std::memcpy(out, context.data + context.position, length);
    context.position += length;
}

// Each 2-bit value becomes the 4-bit value of the same number, so that every
// palette picture has a depth the rest of the program draws.
void widenTwoBitRow(png_structp, png_row_infop row, png_bytep data)
{
    if (row->bit_depth != 2 || row->channels != 1)
        return;
    for (png_uint_32 j = (row->width + 1) / 2; j-- > 0;) {
        const png_uint_32 x = 2 * j;
        const unsigned in = data[x / 4];
        const unsigned first = (in >> (6 - 2 * (x % 4))) & 3;
        const unsigned second = x + 1 < row->width ? (in >> (4 - 2 * (x % 4))) & 3 : 0;
        data[j] = png_byte((first << 4) | second);
    }
    row->bit_depth = 4;
    row->pixel_depth = 4;
    row->rowbytes = (size_t(row->width) * 4 + 7) / 8;
}

// The file's gamma in libpng's fixed point, 0 when the file states none.
double fileGammaFixed(png_structp png, png_infop info)
{
    double gamma = 0;
    if (png_get_valid(png, info, PNG_INFO_sRGB))
        return std::floor(kSrgbFileGamma * kGammaUnit + 0.5);
    if (png_get_gAMA(png, info, &gamma) && gamma > 0)
        return std::floor(gamma * kGammaUnit + 0.5);
    return 0;
}

// libpng's 8-bit correction of one value by a fixed-point exponent.
uint8_t gammaCorrect(unsigned value, double exponent)
{
    if (value == 0 || value >= 255)
        return uint8_t(value);
    return uint8_t(std::floor(255 * std::pow(value / 255.0, exponent / kGammaUnit) + 0.5));
}

// The grey palette libpng would build for a palette image: gamma applied
// like its tables, the transparent grey replaced by the background.
void buildGreyPalette(PngContext& context, int bitDepth)
{
    const unsigned entries = 1u << bitDepth;
    const unsigned step = 255 / (entries - 1);
    const double fileGamma = fileGammaFixed(context.png, context.info);
    const double exponent = fileGamma > 0 ? std::floor(1e15 / fileGamma / (kScreenGamma * kGammaUnit) + 0.5) : kGammaUnit;
    const bool significant = std::fabs(exponent - kGammaUnit) > kGammaThreshold;
    for (unsigned i = 0; i < entries; ++i)
        context.greyPalette[i] = significant ? gammaCorrect(i * step, exponent) : uint8_t(i * step);

    png_color_16p transparent = nullptr;
    if (!png_get_tRNS(context.png, context.info, nullptr, nullptr, &transparent) || !transparent
        || transparent->gray >= entries)
        return;
    uint8_t background = 255;
    png_color_16p fileBackground = nullptr;
    if (png_get_bKGD(context.png, context.info, &fileBackground) && fileBackground && fileBackground->gray < entries) {
        const unsigned grey = fileBackground->gray * step;
        background = exponent != kGammaUnit ? gammaCorrect(grey, exponent) : uint8_t(grey);
    }
    context.greyPalette[transparent->gray] = background;
}

// Chunks we never use are skipped unread: libpng would otherwise allocate
// whatever length a damaged chunk claims before finding the data missing.
void skipUnusedChunks(png_structp png)
{
    static const png_byte kUnused[] = "cHRM\0eXIf\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0sBIT\0sCAL\0sPLT\0sTER\0tEXt\0tIME\0zTXt";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnused, int(sizeof kUnused / 5));
}

void setGammaAndBackground(PngContext& context, int bitDepth, int colorType)
{
    png_structp png = context.png;
    png_infop info = context.info;
    if (png_get_valid(png, info, PNG_INFO_sRGB)) {
        png_set_gamma(png, kScreenGamma, kSrgbFileGamma);
    } else if (double gamma = 0; png_get_gAMA(png, info, &gamma)) {
        png_set_gamma(png, kScreenGamma, gamma);
    }
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        return;
    png_color_16p fileBackground = nullptr;
    if (png_get_bKGD(png, info, &fileBackground) && fileBackground) {
        png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        return;
    }
    png_color_16 white{};
    const png_uint_16 top = colorType == PNG_COLOR_TYPE_PALETTE ? 255 : png_uint_16((1u << bitDepth) - 1);
    white.red = white.green = white.blue = white.gray = top;
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
}

// Reads the header and chooses the transformations; false for a picture too
// large or of a depth we do not keep.
bool prepareTransforms(PngContext& context)
{
    png_structp png = context.png;
    png_infop info = context.info;
    png_read_info(png, info);
    context.width = png_get_image_width(png, info);
    context.height = png_get_image_height(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const int colorType = png_get_color_type(png, info);
    if (context.width == 0 || context.height == 0 || context.width > INT32_MAX || context.height > INT32_MAX
        || uint64_t(context.width) * context.height > pixelLimit())
        return false;
    // Deflate expands at most about 1032 times: a file too small to hold the
    // picture would fail once its data ran out, so fail before the picture
    // is allocated for it.
    const uint64_t rowBytes = (uint64_t(context.width) * png_get_channels(png, info) * bitDepth + 7) / 8 + 1;
    if (rowBytes * context.height > kMaxDeflateRatio * (uint64_t(context.size) + 1))
        return false;

    context.greyAsPalette = colorType == PNG_COLOR_TYPE_GRAY && (bitDepth == 2 || bitDepth == 4);
    if (context.greyAsPalette)
        buildGreyPalette(context, bitDepth);
    else
        setGammaAndBackground(context, bitDepth, colorType);
    png_set_strip_16(png);
    if (bitDepth == 2) {
        png_set_read_user_transform_fn(png, widenTwoBitRow);
        png_set_user_transform_info(png, nullptr, 4, 1);
    }
    if (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA)
        png_set_bgr(png);
    context.passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    context.outputBits = png_get_channels(png, info) * png_get_bit_depth(png, info);
    context.tableEntries = context.outputBits <= 8 ? 1u << context.outputBits : 0;
    return context.outputBits == 1 || context.outputBits == 4 || context.outputBits == 8 || context.outputBits == 24;
}

void writeColorTable(PngContext& context, uint8_t* quads, uint32_t entries)
{
    std::memset(quads, 0, 4 * size_t(entries));
    png_colorp palette = nullptr;
    int count = 0;
    if (context.greyAsPalette) {
        for (uint32_t i = 0; i < 16 && i < entries; ++i)
            quads[4 * i] = quads[4 * i + 1] = quads[4 * i + 2] = context.greyPalette[i];
    } else if (png_get_PLTE(context.png, context.info, &palette, &count) && palette) {
        for (uint32_t i = 0; i < uint32_t(count) && i < entries; ++i) {
            quads[4 * i] = palette[i].blue;
            quads[4 * i + 1] = palette[i].green;
            quads[4 * i + 2] = palette[i].red;
        }
    } else {
        const uint32_t step = 255 / (entries - 1);
        for (uint32_t i = 0; i < entries; ++i)
            quads[4 * i] = quads[4 * i + 1] = quads[4 * i + 2] = uint8_t(i * step);
    }
}

bool allocatePicture(PngContext& context, ByteBuffer& picture)
{
    const uint32_t entries = context.tableEntries;
    const uint64_t stride = dibStride(context.width, uint32_t(context.outputBits));
    if (png_get_rowbytes(context.png, context.info) > stride)
        return false;
    const uint64_t size = kDibHeaderSize + 4 * uint64_t(entries) + stride * context.height;
    if (size > UINT32_MAX || !picture.allocate(uint32_t(size)))
        return false;
    std::memset(picture.data(), 0, size);
    DibHeader h = makeDibHeader(int32_t(context.width), int32_t(context.height), uint16_t(context.outputBits));
    h.xPelsPerMeter = int32_t(png_get_x_pixels_per_meter(context.png, context.info));
    h.yPelsPerMeter = int32_t(png_get_y_pixels_per_meter(context.png, context.info));
    writeDibHeader(picture.data(), h);
    if (entries)
        writeColorTable(context, picture.data() + kDibHeaderSize, entries);
    return true;
}

// Runs the library; the only frame an error jumps back into.
bool runDecoder(PngContext& context, ByteBuffer& picture)
{
    if (setjmp(png_jmpbuf(context.png)))
        return false;
    if (!prepareTransforms(context) || !allocatePicture(context, picture))
        return false;
    const uint64_t stride = dibStride(context.width, uint32_t(context.outputBits));
    uint8_t* rows = picture.data() + kDibHeaderSize + 4 * context.tableEntries;
    for (int pass = 0; pass < context.passes; ++pass) {
        for (png_uint_32 y = 0; y < context.height; ++y)
            png_read_row(context.png, rows + (context.height - 1 - y) * stride, nullptr);
    }
    png_read_end(context.png, nullptr);
    return true;
}

} // namespace

bool decodePng(std::span<const uint8_t> data, ByteBuffer& picture)
{
    if (!data.data() || data.empty())
        return false;
    PngContext context;
    std::memset(&context, 0, sizeof context);
    context.data = data.data();
    context.size = data.size();
    context.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, onError, onWarning);
    if (!context.png)
        return false;
    context.info = png_create_info_struct(context.png);
    bool ok = false;
    ByteBuffer decoded;
    if (context.info) {
        png_set_read_fn(context.png, &context, readData);
        skipUnusedChunks(context.png);
        ok = runDecoder(context, decoded);
    }
    png_destroy_read_struct(&context.png, &context.info, nullptr);
    if (ok)
        picture.swap(decoded);
    return ok;
}

bool decodePngTransparency(std::span<const uint8_t> data, std::vector<uint8_t>& clear)
{
    if (!data.data() || data.empty())
        return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        return false;
    if (!(image.format & PNG_FORMAT_FLAG_ALPHA)) {
        png_image_free(&image);
        clear.clear();
        return true;
    }
    if (uint64_t(image.width) * image.height > kMaxPixels) {
        png_image_free(&image);
        return false;
    }
    // Two bytes a pixel, as little as the library delivers; a 16-bit alpha
    // below 1/510 rounds to 0, where compositing shows the background anyway.
    image.format = PNG_FORMAT_GA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return false;
    std::vector<uint8_t> out(size_t(image.width) * image.height);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = pixels[2 * i + 1] == 0;
    clear.swap(out);
    return true;
}

} // namespace zell
