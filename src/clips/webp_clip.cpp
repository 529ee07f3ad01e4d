// Animated and still WebP files as clips. libwebp's animation decoder does
// the blending and disposal; we only check the canvas before it allocates
// and turn its end-of-frame timestamps into start times and durations.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

#include "clips/clip_decoders.h"
#include "image/pixel_limit.h"

namespace zell {
namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

bool fail(Failure* why, Failure failure)
{
    if (why)
        *why = failure;
    return false;
}

class WebPClip final : public ClipSource {
public:
    explicit WebPClip(std::span<const uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

    bool open(Failure* why)
    {
        if (bytes_.empty())
            return fail(why, Failure::empty);
        // RIFF, size, WEBP: anything else is another format, not a damaged WebP.
        if (bytes_.size() < 12 || std::memcmp(bytes_.data(), "RIFF", 4) != 0
            || std::memcmp(bytes_.data() + 8, "WEBP", 4) != 0)
            return fail(why, Failure::notSupported);

        const WebPData data{bytes_.data(), bytes_.size()};
        // The demuxer only indexes chunks; the decoder below allocates two
        // canvases up front, so the canvas is checked between the two.
        std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
        if (!demux)
            return fail(why, Failure::damaged);
        const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
        const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
        const uint32_t count = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
        if (width == 0 || height == 0 || count == 0)
            return fail(why, Failure::damaged);
        if (!withinPixelLimit(width, height))
            return fail(why, Failure::tooLarge);

        uint64_t totalMs = 0;
        WebPIterator it;
        if (WebPDemuxGetFrame(demux.get(), 1, &it)) {
            do
                totalMs += uint64_t(it.duration > 0 ? it.duration : 0);
            while (WebPDemuxNextFrame(&it));
            WebPDemuxReleaseIterator(&it);
        }

        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            return fail(why, Failure::notSupported);
        options.color_mode = MODE_RGBA; // straight alpha, as ClipFrame keeps it
        options.use_threads = 0;
        decoder_.reset(WebPAnimDecoderNew(&data, &options));
        if (!decoder_)
            return fail(why, Failure::damaged);

        info_.width = width;
        info_.height = height;
        info_.frameCount = count;
        info_.duration = double(totalMs) / 1000;
        // Frames may each have their own delay; the average is what a
        // caller choosing an output rate needs.
        info_.frameRate = totalMs > 0 ? double(count) * 1000 / double(totalMs) : 0;
        info_.format = "webp";
        return true;
    }

    const ClipInfo& info() const override { return info_; }

    bool next(ClipFrame& frame) override
    {
        if (failed_ || !WebPAnimDecoderHasMoreFrames(decoder_.get()))
            return false;
        uint8_t* pixels = nullptr;
        int endMs = 0;
        if (!WebPAnimDecoderGetNext(decoder_.get(), &pixels, &endMs) || !pixels) {
            failed_ = true;
            return false;
        }
        frame.width = info_.width;
        frame.height = info_.height;
        frame.rgba.assign(pixels, pixels + size_t(info_.width) * info_.height * 4);
        // The decoder reports when each frame ends; a still has no duration.
        frame.time = double(lastEndMs_) / 1000;
        frame.duration = double(endMs > lastEndMs_ ? endMs - lastEndMs_ : 0) / 1000;
        lastEndMs_ = endMs > lastEndMs_ ? endMs : lastEndMs_;
        return true;
    }

    bool failed() const override { return failed_; }

    bool rewind() override
    {
        WebPAnimDecoderReset(decoder_.get());
        failed_ = false;
        lastEndMs_ = 0;
        return true;
    }

private:
    std::vector<uint8_t> bytes_; // the decoder reads from these until it goes
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder_;
    ClipInfo info_;
    int lastEndMs_ = 0;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<ClipSource> decodeWebPClip(std::span<const uint8_t> bytes, Failure* why)
{
    auto clip = std::make_unique<WebPClip>(bytes);
    if (!clip->open(why))
        return nullptr;
    return clip;
}

} // namespace zell
