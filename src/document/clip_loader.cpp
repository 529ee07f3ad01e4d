// The engine's side of the clip decoders: the module is looked for beside
// the program (a build folder) and in PREFIX/lib/zell (an installed one),
// loaded at the first clip and kept for the life of the process, since the
// clips it makes run its code until they are destroyed.
#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "clips/clip_decoders.h"
#include "image/mapped_file.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

const ClipDecoders* loadDecoders()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return nullptr;
    for (const fs::path& file : {program.parent_path() / kClipModuleName,
                                 program.parent_path() / ".." / "lib" / "zell" / kClipModuleName}) {
        void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module)
            continue;
        using Entry = const ClipDecoders* (*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(module, kClipDecodersEntry));
        const ClipDecoders* decoders = entry ? entry() : nullptr;
        if (decoders && decoders->version == kClipDecodersVersion)
            return decoders;
        ::dlclose(module);
    }
    return nullptr;
}

// Null when no module answers: clips are then a format this installation
// does not read.
const ClipDecoders* decoders(Failure* why)
{
    static std::once_flag once;
    static const ClipDecoders* found = nullptr;
    try {
        std::call_once(once, [] { found = loadDecoders(); });
    } catch (const std::bad_alloc&) {
        // Looked for again next time.
    }
    if (found)
        found->setPixelLimit(pixelLimit());
    else if (why)
        *why = Failure::notSupported;
    return found;
}

} // namespace

std::unique_ptr<ClipSource> openVideoClip(const std::string& path, Failure* why)
{
    const ClipDecoders* d = decoders(why);
    return d ? d->video(path, why) : nullptr;
}

std::unique_ptr<ClipSource> openWebPClip(std::span<const uint8_t> bytes, Failure* why)
{
    const ClipDecoders* d = decoders(why);
    return d ? d->webp(bytes, why) : nullptr;
}

std::unique_ptr<ClipSource> openWebPClip(const std::string& path, Failure* why)
{
    MappedFile file;
    if (!file.open(path)) {
        if (why)
            *why = readFailure(file.error());
        return nullptr;
    }
    return openWebPClip(file.bytes(), why);
}

} // namespace zell
