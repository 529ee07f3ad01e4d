// Videos and animated PNGs through FFmpeg's libraries. Frames come out as
// RGBA at the stream's own size; the import scales them itself.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>
#include <sys/stat.h>

#include "clips/clip_decoders.h"
#include "image/pixel_limit.h"

namespace zell {
namespace {

// Only containers that hold pictures, read from local files: a playlist or
// a concatenation list would make the library open other files or
// addresses named inside an untrusted file.
constexpr const char* kFormats =
    "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,apng,flv,mpegts,mpeg,ogg,asf,nut,h264,hevc,m4v,ivf";

void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

bool fail(Failure* why, Failure failure)
{
    if (why)
        *why = failure;
    return false;
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

double seconds(int64_t value, AVRational base)
{
    return value == AV_NOPTS_VALUE ? 0 : double(value) * av_q2d(base);
}

int64_t frameDuration(const AVFrame* frame)
{
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame->duration;
#else
    return frame->pkt_duration;
#endif
}

class VideoClip final : public ClipSource {
public:
    explicit VideoClip(std::string path) : path_(std::move(path)) {}

    const ClipInfo& info() const override { return info_; }
    bool failed() const override { return failed_; }

    bool open(Failure* why)
    {
        quietLibraries();
        struct stat st;
        if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return fail(why, Failure::cannotRead);
        if (st.st_size == 0)
            return fail(why, Failure::empty);
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", kFormats, 0);
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        AVFormatContext* raw = nullptr;
        const int opened = avformat_open_input(&raw, path_.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return fail(why, opened == AVERROR(ENOENT) || opened == AVERROR(EACCES) ? Failure::cannotRead
                                                                                   : Failure::damaged);
        format_.reset(raw);
        if (avformat_find_stream_info(raw, nullptr) < 0)
            return fail(why, Failure::damaged);
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec)
            return fail(why, stream_ == AVERROR_DECODER_NOT_FOUND ? Failure::notSupported : Failure::damaged);
        for (unsigned i = 0; i < raw->nb_streams; ++i)
            raw->streams[i]->discard = int(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        const AVStream* s = raw->streams[stream_];
        const AVCodecParameters* p = s->codecpar;
        if (p->width <= 0 || p->height <= 0)
            return fail(why, Failure::damaged);
        if (!withinPixelLimit(uint32_t(p->width), uint32_t(p->height)))
            return fail(why, Failure::tooLarge);
        if (!openDecoder(codec, p))
            return fail(why, Failure::damaged);
        describe(s, codec);
        return true;
    }

    bool next(ClipFrame& out) override
    {
        if (failed_ || ended_)
            return false;
        while (true) {
            const int got = avcodec_receive_frame(codec_.get(), frame_.get());
            if (got == 0)
                return deliver(out);
            if (got == AVERROR_EOF) {
                ended_ = true;
                // Nothing at all decoded: the stream is broken, not short.
                failed_ = delivered_ == 0 || endsEarly();
                return false;
            }
            if (got != AVERROR(EAGAIN) || !feed())
                return stop();
        }
    }

    bool rewind() override
    {
        // Opening again is the one way back that every container and
        // decoder supports alike.
        VideoClip fresh(path_);
        if (!fresh.open(nullptr)) {
            failed_ = true;
            return false;
        }
        std::swap(format_, fresh.format_);
        std::swap(codec_, fresh.codec_);
        std::swap(stream_, fresh.stream_);
        scale_.reset();
        failed_ = ended_ = draining_ = false;
        delivered_ = 0;
        return true;
    }

private:
    bool openDecoder(const AVCodec* codec, const AVCodecParameters* parameters)
    {
        codec_.reset(avcodec_alloc_context3(codec));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!codec_ || !frame_ || !packet_ || avcodec_parameters_to_context(codec_.get(), parameters) < 0)
            return false;
        codec_->thread_count = 1;
        return avcodec_open2(codec_.get(), codec, nullptr) >= 0;
    }

    void describe(const AVStream* s, const AVCodec* codec)
    {
        const AVCodecParameters* p = s->codecpar;
        info_.width = uint32_t(p->width);
        info_.height = uint32_t(p->height);
        AVRational rate = s->avg_frame_rate.num > 0 ? s->avg_frame_rate : s->r_frame_rate;
        info_.frameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0) {
            info_.duration = seconds(s->duration, s->time_base);
            expected_ = info_.duration;
        } else if (format_->duration > 0) {
            info_.duration = double(format_->duration) / AV_TIME_BASE;
            expected_ = format_->nb_streams == 1 ? info_.duration : 0;
        }
        info_.frameCount = s->nb_frames > 0 ? uint64_t(s->nb_frames) : 0;
        if (info_.frameCount == 0 && info_.duration > 0 && info_.frameRate > 0)
            info_.frameCount = uint64_t(std::llround(info_.duration * info_.frameRate));
        info_.format = codec->name;
        startTime_ = s->start_time;
    }

    // One more packet of the stream to the decoder, or the end of input.
    bool feed()
    {
        if (draining_)
            return false;
        while (true) {
            const int read = av_read_frame(format_.get(), packet_.get());
            if (read == AVERROR_EOF) {
                draining_ = true;
                return avcodec_send_packet(codec_.get(), nullptr) >= 0;
            }
            if (read < 0)
                return false;
            if (packet_->stream_index != stream_) {
                av_packet_unref(packet_.get());
                continue;
            }
            const int sent = avcodec_send_packet(codec_.get(), packet_.get());
            av_packet_unref(packet_.get());
            // A damaged packet fails the clip rather than showing garbage.
            return sent >= 0;
        }
    }

    // A cut-off file often reads as a clean end: the frames stop well before
    // the length the stream declared. Only the video stream's own length
    // counts (or the file's when it holds nothing else): a longer sound
    // track is no sign of damage.
    bool endsEarly() const
    {
        const double shown = lastTime_ + lastDuration_;
        return expected_ > 0 && shown < expected_ - std::max(1.0, expected_ / 10);
    }

    bool stop()
    {
        failed_ = true;
        return false;
    }

    bool deliver(ClipFrame& out)
    {
        AVFrame* f = frame_.get();
        const AVStream* s = format_->streams[stream_];
        if (f->width <= 0 || f->height <= 0 || !withinPixelLimit(uint32_t(f->width), uint32_t(f->height)))
            return stop();
        scale_.reset(sws_getCachedContext(scale_.release(), f->width, f->height, AVPixelFormat(f->format),
                                          f->width, f->height, AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr,
                                          nullptr));
        if (!scale_)
            return stop();
        out.width = uint32_t(f->width);
        out.height = uint32_t(f->height);
        out.rgba.resize(size_t(out.width) * out.height * 4);
        uint8_t* planes[4] = {out.rgba.data(), nullptr, nullptr, nullptr};
        int strides[4] = {int(out.width * 4), 0, 0, 0};
        if (sws_scale(scale_.get(), f->data, f->linesize, 0, f->height, planes, strides) != f->height) {
            av_frame_unref(f);
            return stop();
        }
        const int64_t start = startTime_ == AV_NOPTS_VALUE ? 0 : startTime_;
        const int64_t pts = f->best_effort_timestamp;
        out.time = pts == AV_NOPTS_VALUE ? lastTime_ + lastDuration_ : std::max(0.0, seconds(pts - start, s->time_base));
        out.duration = frameDuration(f) > 0 ? seconds(frameDuration(f), s->time_base) : 0;
        lastTime_ = out.time;
        lastDuration_ = out.duration > 0 ? out.duration : (info_.frameRate > 0 ? 1 / info_.frameRate : 0);
        av_frame_unref(f);
        ++delivered_;
        return true;
    }

    std::string path_;
    ClipInfo info_;
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecFreer> codec_;
    std::unique_ptr<AVFrame, FrameFreer> frame_;
    std::unique_ptr<AVPacket, PacketFreer> packet_;
    std::unique_ptr<SwsContext, ScaleFreer> scale_;
    int stream_ = -1;
    int64_t startTime_ = AV_NOPTS_VALUE;
    double lastTime_ = 0;
    double lastDuration_ = 0;
    double expected_ = 0; // seconds the frames should reach; 0 when unknown
    uint64_t delivered_ = 0;
    bool failed_ = false;
    bool ended_ = false;
    bool draining_ = false;
};

} // namespace

std::unique_ptr<ClipSource> decodeVideoClip(const std::string& path, Failure* why)
{
    auto clip = std::make_unique<VideoClip>(path);
    if (!clip->open(why))
        return nullptr;
    if (why)
        *why = Failure::none;
    return clip;
}

} // namespace zell
