#pragma once
// Owning handles for FFmpeg objects and FFmpeg error text. Every FFmpeg object the program
// allocates lives in one of these std::unique_ptr types, so no code path has to remember the
// matching *_free call. The deleters accept null and may run on any thread.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <QString>

#include <functional>
#include <memory>

namespace ffmpeg {

// Input contexts are closed with avformat_close_input (which also frees them).
struct InputFormatContextDeleter
{
    void operator()(AVFormatContext *ctx) const
    {
        if (ctx)
            avformat_close_input(&ctx);
    }
};

// Output contexts: closes the AVIOContext the caller opened (unless the format has no file)
// and frees the context. Write the trailer before the handle goes away.
struct OutputFormatContextDeleter
{
    void operator()(AVFormatContext *ctx) const
    {
        if (!ctx)
            return;
        if (ctx->oformat && !(ctx->oformat->flags & AVFMT_NOFILE) && ctx->pb)
            avio_closep(&ctx->pb);
        avformat_free_context(ctx);
    }
};

struct CodecContextDeleter
{
    void operator()(AVCodecContext *ctx) const { avcodec_free_context(&ctx); }
};

struct FrameDeleter
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

struct PacketDeleter
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

struct FilterGraphDeleter
{
    void operator()(AVFilterGraph *graph) const { avfilter_graph_free(&graph); }
};

struct SwrContextDeleter
{
    void operator()(SwrContext *ctx) const { swr_free(&ctx); }
};

struct SwsContextDeleter
{
    void operator()(SwsContext *ctx) const { sws_freeContext(ctx); }
};

struct AudioFifoDeleter
{
    void operator()(AVAudioFifo *fifo) const
    {
        if (fifo)
            av_audio_fifo_free(fifo);
    }
};

using InputFormatContextPtr = std::unique_ptr<AVFormatContext, InputFormatContextDeleter>;
using OutputFormatContextPtr = std::unique_ptr<AVFormatContext, OutputFormatContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

// Options for FFmpeg calls that take an AVDictionary **: owned here, handed over by ref().
class Dictionary
{
public:
    Dictionary() = default;
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;
    ~Dictionary() { av_dict_free(&m_dict); }

    // False when FFmpeg is out of memory.
    bool set(const char *key, const char *value)
    {
        return av_dict_set(&m_dict, key, value, 0) >= 0;
    }
    bool set(const char *key, int64_t value)
    {
        return av_dict_set_int(&m_dict, key, value, 0) >= 0;
    }
    AVDictionary **ref() { return &m_dict; }

private:
    AVDictionary *m_dict = nullptr;
};

// Allocating helpers: each returns an empty handle when FFmpeg is out of memory.
inline FramePtr makeFrame()
{
    return FramePtr(av_frame_alloc());
}
inline PacketPtr makePacket()
{
    return PacketPtr(av_packet_alloc());
}
inline FilterGraphPtr makeFilterGraph()
{
    return FilterGraphPtr(avfilter_graph_alloc());
}
inline CodecContextPtr makeCodecContext(const AVCodec *codec)
{
    return CodecContextPtr(avcodec_alloc_context3(codec));
}
// A picture or a piece of sound with its buffers allocated; empty when out of memory.
inline FramePtr makePicture(AVPixelFormat format, int width, int height, int align = 32)
{
    FramePtr frame = makeFrame();
    if (!frame)
        return {};
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), align) < 0)
        return {};
    return frame;
}
inline FramePtr makeSamples(AVSampleFormat format, const AVChannelLayout &layout, int rate,
                            int samples)
{
    FramePtr frame = makeFrame();
    if (!frame || av_channel_layout_copy(&frame->ch_layout, &layout) < 0)
        return {};
    frame->format = format;
    frame->sample_rate = rate;
    frame->nb_samples = samples;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return {};
    return frame;
}
inline AudioFifoPtr makeAudioFifo(AVSampleFormat format, int channels, int samples)
{
    return AudioFifoPtr(av_audio_fifo_alloc(format, channels, samples));
}

// Opens `url` (UTF-8) for reading. On failure returns an empty handle and, when `error` is
// given, the FFmpeg error code there.
inline InputFormatContextPtr openInput(const QString &url, int *error = nullptr,
                                       const AVInputFormat *format = nullptr,
                                       AVDictionary **options = nullptr)
{
    AVFormatContext *ctx = nullptr;
    const int ret = avformat_open_input(&ctx, url.toUtf8().constData(), format, options);
    if (error)
        *error = ret;
    if (ret < 0)
        return InputFormatContextPtr();
    return InputFormatContextPtr(ctx);
}

// Opens a decoder for `stream`: its parameters, packet time base and `threads` (0: FFmpeg's
// choice); `configure`, when given, may change the context before it is opened. On failure
// returns an empty handle and, when `error` is given, the FFmpeg error code there
// (AVERROR_DECODER_NOT_FOUND when there is no decoder for the codec).
inline CodecContextPtr openDecoder(const AVStream *stream, int threads = 0, int *error = nullptr,
                                   const std::function<void(AVCodecContext *)> &configure = {})
{
    int ret = AVERROR_DECODER_NOT_FOUND;
    CodecContextPtr decoder;
    if (const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id)) {
        decoder = makeCodecContext(codec);
        ret = decoder ? avcodec_parameters_to_context(decoder.get(), stream->codecpar)
                      : AVERROR(ENOMEM);
        if (ret >= 0) {
            decoder->pkt_timebase = stream->time_base;
            decoder->thread_count = threads;
            if (configure)
                configure(decoder.get());
            ret = avcodec_open2(decoder.get(), codec, nullptr);
        }
    }
    if (error)
        *error = ret;
    if (ret < 0)
        return CodecContextPtr();
    return decoder;
}

// openInput followed by avformat_find_stream_info: a file whose streams are known. Empty
// handle (and the error code in `error`) when either fails.
inline InputFormatContextPtr openMedia(const QString &url, int *error = nullptr,
                                       const AVInputFormat *format = nullptr,
                                       AVDictionary **options = nullptr)
{
    InputFormatContextPtr input = openInput(url, error, format, options);
    if (!input)
        return input;
    const int ret = avformat_find_stream_info(input.get(), nullptr);
    if (error)
        *error = ret;
    if (ret < 0)
        return InputFormatContextPtr();
    return input;
}

// Allocates an output context for `url` (UTF-8), its format guessed from the name unless
// `formatName` is given. The AVIOContext is not opened here.
inline OutputFormatContextPtr allocOutput(const QString &url, int *error = nullptr,
                                          const char *formatName = nullptr)
{
    AVFormatContext *ctx = nullptr;
    const int ret =
        avformat_alloc_output_context2(&ctx, nullptr, formatName, url.toUtf8().constData());
    if (error)
        *error = ret;
    if (ret < 0 || !ctx)
        return OutputFormatContextPtr();
    return OutputFormatContextPtr(ctx);
}

// Adds to `out` a stream for what `encoder` makes: its parameters, no codec tag (the muxer
// picks one), the encoder's time base (the muxer may change it when writing the header) and
// `id`. Null when the stream cannot be made.
inline AVStream *addEncodedStream(AVFormatContext *out, const AVCodecContext *encoder, int id)
{
    AVStream *stream = avformat_new_stream(out, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0)
        return nullptr;
    stream->id = id;
    stream->codecpar->codec_tag = 0;
    stream->time_base = encoder->time_base;
    return stream;
}

// The text FFmpeg gives for an error code, like av_err2str but usable in C++ expressions.
inline QString errorText(int errnum)
{
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {0};
    if (av_strerror(errnum, buffer, sizeof buffer) < 0)
        return QStringLiteral("error %1").arg(errnum);
    return QString::fromUtf8(buffer);
}

}  // namespace ffmpeg
