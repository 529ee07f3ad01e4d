#include "support/still_files.h"

#include <cstdlib>

#include "image/bytes.h"

namespace zell::test {

std::vector<uint8_t> encodePng(const PngRecipe& r)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, r.width, r.height, r.bitDepth, r.colorType,
                 r.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!r.palette.empty())
        png_set_PLTE(png, info, r.palette.data(), int(r.palette.size()));
    if (!r.paletteAlpha.empty())
        png_set_tRNS(png, info, r.paletteAlpha.data(), int(r.paletteAlpha.size()), nullptr);
    if (r.transparentGrey)
        png_set_tRNS(png, info, nullptr, 0, &r.transparent);
    if (r.background)
        png_set_bKGD(png, info, &r.backgroundColor);
    if (r.gamma > 0)
        png_set_gAMA(png, info, r.gamma);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (const auto& row : r.rows)
            png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> rgbaPng(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb)
{
    PngRecipe r{.width = width, .height = height, .colorType = PNG_COLOR_TYPE_RGB_ALPHA};
    for (uint32_t y = 0; y < height; ++y) {
        auto& row = r.rows.emplace_back();
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = argb[y * width + x];
            row.insert(row.end(), {png_byte(c >> 16), png_byte(c >> 8), png_byte(c), png_byte(c >> 24)});
        }
    }
    return encodePng(r);
}

std::vector<uint8_t> encodeJpeg(const JpegRecipe& r, const JpegSource& source)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = r.width;
    info.image_height = r.height;
    info.input_components = r.components;
    info.in_color_space = r.inSpace;
    jpeg_set_defaults(&info);
    if (r.fileSpace != JCS_UNKNOWN)
        jpeg_set_colorspace(&info, r.fileSpace);
    for (int c = 0; c < info.num_components; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&info, 100, TRUE);
    if (r.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> line(size_t(r.width) * r.components);
    while (info.next_scanline < info.image_height) {
        for (uint32_t x = 0; x < r.width; ++x)
            source(x, info.next_scanline, &line[size_t(x) * r.components]);
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> coreBmp(uint16_t width, uint16_t height, uint16_t bits, const std::vector<uint8_t>& triples,
                             const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> out(26, 0);
    out[0] = 'B';
    out[1] = 'M';
    putU32le(out.data() + 10, uint32_t(26 + triples.size()));
    putU32le(out.data() + 14, 12);
    putU16le(out.data() + 18, width);
    putU16le(out.data() + 20, height);
    putU16le(out.data() + 22, 1);
    putU16le(out.data() + 24, bits);
    out.insert(out.end(), triples.begin(), triples.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    putU32le(out.data() + 2, uint32_t(out.size()));
    return out;
}

} // namespace zell::test
