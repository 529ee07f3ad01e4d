#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "document/gif_import.h"

// Work files of the split go to a scratch directory emptied after each run.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static zell::WorkDirectory work((std::filesystem::temp_directory_path() / "").string());
    {
        zell::SplitResult split;
        zell::splitGif({data, size}, work, split);
    }
    work.cleanUp("*");
    return 0;
}
