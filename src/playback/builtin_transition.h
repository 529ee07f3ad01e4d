// The eight effects offered before any plug-in, in the order of the pattern list.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "playback/transition.h"
#include "playback/transition_effects.h"

namespace zell {

class BuiltinTransition : public Transition {
public:
    explicit BuiltinTransition(TransitionEffect effect) : effect(effect) {}

    bool begin(std::span<const uint8_t> source, std::span<const uint8_t> destination) override;
    bool stepPicture(ByteBuffer& out, uint32_t step, uint32_t count) override;

    TransitionEffect effect;
    std::span<const uint8_t> source;      // borrowed from begin()
    std::span<const uint8_t> destination; // borrowed from begin()
};

struct BuiltinTransitionInfo {
    uint32_t textId; // number of the name in the program's string table
    const char* name; // that text, UTF-8
    TransitionEffect effect;
};

inline constexpr size_t kBuiltinTransitionCount = 8;
const std::array<BuiltinTransitionInfo, kBuiltinTransitionCount>& builtinTransitions();

// Appends one BuiltinTransition per entry of builtinTransitions(), in order;
// false (with the list as it was) when one cannot be made.
bool appendBuiltinTransitions(std::vector<std::unique_ptr<Transition>>& list);

} // namespace zell
