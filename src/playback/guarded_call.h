// Calls into plug-in libraries go through here: a plug-in may be C++ and let
// an exception escape through its C exports, which must not unwind further.
#pragma once

namespace zell {

template <typename Call>
bool guardedCall(Call&& call)
{
    try {
        call();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace zell
