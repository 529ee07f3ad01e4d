#include "playback/transition.h"

namespace zell {

Transition::~Transition() = default;

} // namespace zell
