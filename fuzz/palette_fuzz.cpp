// Colour tables found in GIF streams and palette files.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "document/palette_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zell::ColorTable table;
    zell::findGifColorTable({data, size}, true, table);
    zell::findGifColorTable({data, size}, false, table);
    // Palette files are read from disk; one scratch file serves every run.
    static const std::string path = (std::filesystem::temp_directory_path() / "zell-palette-fuzz.bin").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    zell::loadPaletteFile(path, table);
    return 0;
}
