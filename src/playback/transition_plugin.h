// A transition offered by a plug-in library: every operation calls the
// library's exports (see zell/transition_plugin.h). Calls are guarded: an
// exception thrown inside one counts as that call's failure.
#pragma once

#include <cstdint>
#include <string>

#include "playback/transition.h"

namespace zell {

class TransitionPlugin : public Transition {
public:
    TransitionPlugin() = default;
    // Ends an open run and unloads the library.
    ~TransitionPlugin() override;

    bool begin(std::span<const uint8_t> source, std::span<const uint8_t> destination) override;
    bool stepPicture(ByteBuffer& out, uint32_t step, uint32_t count) override;
    void end() override;
    bool showSettings(void* parentWindow, std::string& message) override;

    // Loads libraryPath unless loaded; true when the library is loaded.
    virtual bool loadLibrary();
    // Ends the open run, if any, through zpiCloseHandle.
    virtual void closeHandle();

    std::string libraryPath;
    void* module = nullptr; // dlopen handle
    uintptr_t handle = 0;   // the plug-in's run handle, 0 while no run is open
    int32_t index = -1;     // the transition's number within its library

private:
    void* symbol(const char* name) const;
};

// Pictures from a plug-in larger than this are refused before allocation.
inline constexpr uint64_t kMaxPluginPictureSize = 40 + 1024 + 4 * (uint64_t(1) << 28);

} // namespace zell
