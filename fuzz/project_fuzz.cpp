#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "document/project_file.h"

// Work files of frames read from the input go to a scratch directory that is
// emptied after every run.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static zell::WorkDirectory work((std::filesystem::temp_directory_path() / "").string());
    {
        zell::Document document(work);
        zell::openProjectBytes(document, {data, size});
    }
    work.cleanUp("*");
    return 0;
}
