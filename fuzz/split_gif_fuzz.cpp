#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "document/gif_import.h"
#include "image/gif_codec.h"
#include "image/mapped_file.h"
#include "image/pixel_limit.h"

// Work files of the split go to a scratch directory emptied after each run.
// Every frame the split makes must be one zell can decode (within the pixel
// limit, which copying does not need): its work file is all that export,
// display and optimisation will ever have of it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static zell::WorkDirectory work((std::filesystem::temp_directory_path() / "").string());
    {
        zell::SplitResult split;
        if (zell::splitGif({data, size}, work, split)) {
            for (const auto& frame : split.frames) {
                if (!zell::withinPixelLimit(frame->width, frame->height))
                    continue;
                zell::MappedFile file;
                zell::ByteBuffer picture;
                if (!file.open(frame->workFile.path()) || !zell::decodeGifImage(file.bytes(), picture, 0, false)
                    || picture.empty())
                    __builtin_trap();
            }
        }
    }
    work.cleanUp("*");
    return 0;
}
