#include "playback/transition_plugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "image/dib.h"
#include "playback/guarded_call.h"
#include "zell/transition_plugin.h"

namespace zell {

TransitionPlugin::~TransitionPlugin()
{
    closeHandle();
    if (module)
        ::dlclose(module);
}

void* TransitionPlugin::symbol(const char* name) const
{
    return module ? ::dlsym(module, name) : nullptr;
}

bool TransitionPlugin::loadLibrary()
{
    if (!module && !libraryPath.empty())
        module = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    return module != nullptr;
}

void TransitionPlugin::closeHandle()
{
    if (handle == 0 || !module)
        return;
    auto close = reinterpret_cast<ZpiCloseHandleFunction>(symbol("zpiCloseHandle"));
    if (!close)
        return;
    const uintptr_t run = handle;
    guardedCall([&] { close(run); });
    handle = 0;
}

bool TransitionPlugin::begin(std::span<const uint8_t> source, std::span<const uint8_t> destination)
{
    if (!checkDib(source) || !checkDib(destination) || !loadLibrary())
        return false;
    closeHandle();
    auto initialize = reinterpret_cast<ZpiInitializeFunction>(symbol("zpiInitialize"));
    if (!initialize)
        return false;
    uintptr_t run = 0;
    if (!guardedCall([&] { run = initialize(source.data(), destination.data(), index); }))
        return false;
    handle = run;
    return handle != 0;
}

bool TransitionPlugin::stepPicture(ByteBuffer& out, uint32_t step, uint32_t count)
{
    if (!module || handle == 0 || step >= count || count > uint32_t(INT32_MAX))
        return false;
    auto getFrame = reinterpret_cast<ZpiGetFrameFunction>(symbol("zpiGetFrame"));
    if (!getFrame)
        return false;
    const uintptr_t run = handle;
    uint32_t size = 0;
    if (!guardedCall([&] { size = getFrame(run, int32_t(step), int32_t(count), nullptr); }))
        return false;
    ByteBuffer picture;
    if (size == 0 || size > kMaxPluginPictureSize || !picture.allocate(size))
        return false;
    uint32_t result = 1;
    if (!guardedCall([&] { result = getFrame(run, int32_t(step), int32_t(count), picture.data()); }))
        return false;
    // What the library wrote is untrusted like any file.
    if (result != 0 || !checkDib(picture.bytes()))
        return false;
    out.swap(picture);
    return true;
}

void TransitionPlugin::end()
{
    closeHandle();
}

bool TransitionPlugin::showSettings(void* parentWindow, std::string& message)
{
    message.clear();
    if (!loadLibrary())
        return false;
    auto configure = reinterpret_cast<ZpiConfigDialogFunction>(symbol("zpiConfigDialog"));
    if (!configure)
        return true; // nothing to show, so nothing failed
    int32_t result = 0;
    if (!guardedCall([&] { result = configure(parentWindow, index); }))
        return false;
    if (result == 0)
        return true;
    auto explain = reinterpret_cast<ZpiConfigMessageFunction>(symbol("zpiConfigMessage"));
    std::array<char, ZPI_CONFIG_MESSAGE_SIZE> text{};
    int32_t length = 0;
    if (explain && guardedCall([&] { length = explain(index, text.data(), int32_t(text.size())); }) && length > 0) {
        // Neither the length nor the NUL is trusted.
        const size_t most = std::min(size_t(length), text.size() - 1);
        message.assign(text.data(), ::strnlen(text.data(), most));
    }
    return false;
}

} // namespace zell
