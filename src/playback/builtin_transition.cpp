#include "playback/builtin_transition.h"

#include <new>

namespace zell {

bool BuiltinTransition::begin(std::span<const uint8_t> source_, std::span<const uint8_t> destination_)
{
    if (!source_.data() || !destination_.data())
        return false;
    source = source_;
    destination = destination_;
    return true;
}

bool BuiltinTransition::stepPicture(ByteBuffer& out, uint32_t step, uint32_t count)
{
    return effect && effect(out, source, destination, step, count);
}

const std::array<BuiltinTransitionInfo, kBuiltinTransitionCount>& builtinTransitions()
{
    static const std::array<BuiltinTransitionInfo, kBuiltinTransitionCount> list = {{
        {20801, "αブレンド", crossFadeEffect},
        {20802, "フェード", dissolveEffect},
        {20803, "水平スライド", horizontalSlideEffect},
        {20804, "垂直スライド", verticalSlideEffect},
        {20805, "水平分割", horizontalBlindsEffect},
        {20806, "垂直分割", verticalBlindsEffect},
        {20807, "円", discEffect},
        {20808, "ゆらぎ", wobbleEffect},
    }};
    return list;
}

bool appendBuiltinTransitions(std::vector<std::unique_ptr<Transition>>& list)
{
    std::vector<std::unique_ptr<Transition>> made;
    try {
        for (const auto& info : builtinTransitions()) {
            auto transition = std::make_unique<BuiltinTransition>(info.effect);
            transition->name = info.name;
            made.push_back(std::move(transition));
        }
        list.reserve(list.size() + made.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (auto& transition : made)
        list.push_back(std::move(transition));
    return true;
}

} // namespace zell
