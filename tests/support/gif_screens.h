// An independent rendering of GIF animations for tests: giflib decodes, and
// a plain compositor written from the format's rules draws each screen.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zell::test {

using Screens = std::vector<std::vector<uint8_t>>;

// The screens with each run of equal ones cut to one: what a viewer shows
// when a frame that changes nothing is left out.
inline Screens withoutRepeats(const Screens& screens)
{
    Screens out;
    for (const auto& s : screens)
        if (out.empty() || out.back() != s)
            out.push_back(s);
    return out;
}

} // namespace zell::test

#ifdef ZELL_HAVE_GIFLIB

namespace zell::test {

// Each screen as RGB rows top to bottom. The screen starts in the
// background colour (white unless given) and disposal 2 restores it;
// disposal 3 restores the screen before the frame. False when giflib
// refuses the stream.
bool giflibScreens(std::span<const uint8_t> stream, std::vector<std::vector<uint8_t>>& screens,
                   uint32_t background = 0xFFFFFF);

// Peak signal-to-noise ratio over all screens (99 when identical).
double screensPsnr(const std::vector<std::vector<uint8_t>>& a, const std::vector<std::vector<uint8_t>>& b);

} // namespace zell::test

#endif
