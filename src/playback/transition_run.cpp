#include "playback/transition_run.h"

namespace zell {

bool runTransition(Transition& transition, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                   uint32_t count, const std::function<bool(uint32_t step, const ByteBuffer& picture)>& take)
{
    if (count == 0 || !transition.begin(source, destination))
        return false;
    uint32_t made = 0;
    ByteBuffer picture;
    while (made < count && transition.stepPicture(picture, made, count) && take(made, picture))
        ++made;
    transition.end();
    return made == count;
}

} // namespace zell
