// The module's one exported symbol.
#include "clips/clip_decoders.h"
#include "image/pixel_limit.h"

extern "C" __attribute__((visibility("default"))) const zell::ClipDecoders* zellClipDecoders()
{
    static const zell::ClipDecoders decoders{zell::kClipDecodersVersion, zell::setPixelLimit, zell::decodeVideoClip,
                                             zell::decodeWebPClip};
    return &decoders;
}
