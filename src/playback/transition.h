// One screen transition, built in or from a plug-in: it turns a source and a
// destination picture into the in-between pictures of a run.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/byte_buffer.h"

namespace zell {

class Transition {
public:
    Transition() = default;
    virtual ~Transition();
    Transition(const Transition&) = delete;
    Transition& operator=(const Transition&) = delete;

    // Prepares a run over two packed pictures. Both are borrowed: they must
    // stay alive and unchanged until end() (or the next begin()).
    virtual bool begin(std::span<const uint8_t> source, std::span<const uint8_t> destination) = 0;
    // Fills out with the packed picture of step (0 <= step < count); the
    // progress of that picture is (step + 1) / (count + 1).
    virtual bool stepPicture(ByteBuffer& out, uint32_t step, uint32_t count) = 0;
    virtual void end() {}
    virtual bool hasSettingsDialog() const { return hasSettings; }
    // parentWindow: see zpiConfigDialog in zell/transition_plugin.h. False
    // when the settings could not be shown; `message` then holds what the
    // transition has to say about it, or nothing.
    virtual bool showSettings(void* parentWindow, std::string& message)
    {
        (void)parentWindow;
        message.clear();
        return true;
    }

    bool hasSettings = false;
    uint32_t maxSteps = 15;
    // Shown in the pattern list: UTF-8 for the built-ins, the plug-in's bytes
    // as it gave them otherwise.
    std::string name;
};

} // namespace zell
