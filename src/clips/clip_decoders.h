// The clip decoders: FFmpeg and libwebp behind the engine's ClipSource. They
// are built into a module of their own that the engine loads at the first
// clip, so that a program which never reads one does not load (and relocate)
// the hundred-odd libraries FFmpeg brings at every start.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "document/clip_source.h"

namespace zell {

std::unique_ptr<ClipSource> decodeVideoClip(const std::string& path, Failure* why);
std::unique_ptr<ClipSource> decodeWebPClip(std::span<const uint8_t> bytes, Failure* why);

// What the module hands the engine. The module is built with the engine, by
// the same compiler, so C++ types may cross; `version` catches a stale file.
struct ClipDecoders {
    uint32_t version;
    // The module keeps a pixel limit of its own: the engine passes its own in
    // before each clip is opened.
    void (*setPixelLimit)(uint64_t pixels);
    std::unique_ptr<ClipSource> (*video)(const std::string& path, Failure* why);
    std::unique_ptr<ClipSource> (*webp)(std::span<const uint8_t> bytes, Failure* why);
};

inline constexpr uint32_t kClipDecodersVersion = 1;
inline constexpr const char* kClipDecodersEntry = "zellClipDecoders";
inline constexpr const char* kClipModuleName = "zell-clips.so";

} // namespace zell
