// ScreenRecord: opening the screen and sound inputs, their decoders, the encoders and the crop
// graph. openVideoInput runs on the engine's thread, the rest on the preparation thread.
#include "core/record/screenrecord.h"

#include "core/camera/camerastep.h"
#include "core/media/h264settings.h"
#include "core/platform/session.h"
#include "core/platform/settings.h"
#include "core/record/deviceutil.h"
#include "core/record/picturecadence.h"
#include "core/record/x11damagesource.h"
#include "core/record/x11grabsource.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <QDebug>

namespace {
QString rational(AVRational r)
{
    return QStringLiteral("%1 %2").arg(r.den).arg(r.num);
}

// Opens the capture device `url` of the input format `formatName` with `options`, finds its
// stream of `type` and opens that stream's decoder with `threads` threads; `configure` may set
// up the decoder before it is opened. False (logged) when any step fails.
using ConfigureDecoder = std::function<void(AVCodecContext *, AVFormatContext *, AVStream *)>;
bool openCapture(const QString &url, const char *formatName, ffmpeg::Dictionary &options,
                 AVMediaType type, int threads, const ConfigureDecoder &configure,
                 ffmpeg::InputFormatContextPtr &context, int &streamIndex,
                 ffmpeg::CodecContextPtr &decoder)
{
    const AVInputFormat *format = av_find_input_format(formatName);
    if (!format) {
        qWarning() << " av_find_input_format failed:" << formatName;
        return false;
    }
    int ret = 0;
    context = ffmpeg::openMedia(url, &ret, format, options.ref());
    if (!context) {
        qWarning() << " avformat_open_input failed" << url << ret << ffmpeg::errorText(ret);
        return false;
    }
    qInfo() << "avformat_open_input success";
    streamIndex = av_find_best_stream(context.get(), type, -1, -1, nullptr, 0);
    if (streamIndex < 0) {
        qWarning() << " av_find_best_stream failed" << ffmpeg::errorText(streamIndex);
        return false;
    }
    AVStream *stream = context->streams[streamIndex];
    decoder = ffmpeg::openDecoder(
        stream, threads, &ret, [&](AVCodecContext *dec) { configure(dec, context.get(), stream); });
    if (!decoder) {
        qWarning() << " opening the decoder failed" << ffmpeg::errorText(ret);
        return false;
    }
    qInfo() << " avcodec_open2 success";
    return true;
}
}  // namespace

std::shared_ptr<PictureSource> ScreenRecord::openScreenSource(const QRect &rect, QString *error)
{
    const QString grab = readSetting(QLatin1String(kScreenGrabKey)).toString();
    if (grab != QLatin1String(kScreenGrabX11grab)) {
        auto source = std::make_shared<X11DamageSource>(rect);
        if (source->open(error))
            return source;
        qWarning() << "ScreenRecord: the screen cannot be read by its changes (" << *error
                   << "); x11grab grabs it" << kFrameRate << "times a second instead";
    } else {
        qInfo() << "ScreenRecord: conf.ini asks for x11grab: the screen is grabbed" << kFrameRate
                << "times a second";
    }
    auto source = std::make_shared<X11GrabSource>(rect, kFrameRate);
    return source->open(error) ? source : nullptr;
}

int ScreenRecord::openVideoInput()
{
    if (!m_pictureSource && session::isWayland()) {
        // An X11 grab sees nothing of a Wayland desktop (black): the windows hand over the
        // desktop portal's stream instead (ScreenCastSource).
        qWarning() << " no picture source on a Wayland session: the X11 grab would record black";
        return -1;
    }
    QString error;
    if (!m_pictureSource)
        m_pictureSource = openScreenSource(m_recordRect, &error);
    else if (!m_pictureSource->open(&error))
        m_pictureSource.reset();
    if (!m_pictureSource) {
        qWarning() << " opening the picture source failed:" << error;
        return -1;
    }
    if (m_cameraPlacement) {
        auto step = std::make_shared<CameraStep>(m_pictureSource, m_cameraPlacement);
        step->setOnCameraLost([this](const QString &reason) { emit sig_CameraLost(reason); });
        if (step->open(&error))
            m_pictureSource = step;
        else
            qWarning() << " the camera is left out:" << error;
    }
    m_changeDriven = m_pictureSource->isChangeDriven();
    if (m_changeDriven) {
        // A pause is closed by the pictures' least spacing, whatever the spacing of the
        // pictures before it (up to a second on a still board).
        m_timeline.setFixedPauseSpacing(PictureCadence::kMinSpacingUs);
    }
    const QSize size = m_pictureSource->size();
    if (m_recordRect.width() != size.width() || m_recordRect.height() != size.height()) {
        // The source decides the picture: it is recorded whole.
        m_recordRect = QRect(QPoint(0, 0), size);
        m_grabOrigin = QPoint(0, 0);
    }
    m_videoInputTimebase = m_pictureSource->timeBase();
    const AVCodecParameters *parameters = m_pictureSource->parameters();
    const AVCodec *codec = avcodec_find_decoder(parameters->codec_id);
    m_videoDecoder.context = ffmpeg::makeCodecContext(codec);
    AVCodecContext *dec = m_videoDecoder.context.get();
    int ret = dec ? avcodec_parameters_to_context(dec, parameters) : AVERROR_DECODER_NOT_FOUND;
    if (ret >= 0) {
        dec->pkt_timebase = m_videoInputTimebase;
        dec->time_base = m_videoInputTimebase;
        dec->framerate = AVRational{kFrameRate, 1};
        dec->thread_count = 12;
        ret = avcodec_open2(dec, codec, nullptr);
    }
    if (ret < 0) {
        qWarning() << " opening the picture decoder failed" << ffmpeg::errorText(ret);
        m_videoDecoder.context.reset();
        return -1;
    }
    qInfo() << " avcodec_open2 success";

    if (openVideoEncoder() != 0)
        return -1;
    qInfo() << "ScreenRecord::openVideoInput:m_videoInputTimebase:"
            << rational(m_videoInputTimebase);
    qInfo() << "ScreenRecord::openVideoInput:pVideoDecodeContext->time_base:"
            << rational(dec->time_base);
    qInfo() << "ScreenRecord::openVideoInput:pVideoEncodeContext->time_base:"
            << rational(pVideoEncodeContext->time_base);
    return 0;
}

int ScreenRecord::openVideoEncoder()
{
    QString error;
    pVideoEncodeContext =
        h264::openEncoder(m_recordRect.width(), m_recordRect.height(), m_videoInputTimebase,
                          kFrameRate, m_pictureSource->encoderThreads(), &error,
                          m_changeDriven ? h264::Content::ChangesInPlaces : h264::Content::Moving);
    if (!pVideoEncodeContext) {
        qWarning() << "openVideoEncoder:" << error;
        return -1;
    }
    return 0;
}

namespace {
// Opens a PulseAudio source (a microphone, or the monitor of an output) for the recorder.
// Its stream carries `streamName`, by which the sound server's list of recordings names it.
bool openSoundCapture(const QString &device, const char *streamName,
                      ffmpeg::InputFormatContextPtr &context, int &streamIndex,
                      ffmpeg::CodecContextPtr &decoder)
{
    // Ask the sound server for the file's rate, so that only the sample format is converted.
    // Small fragments (20 ms) arrive soon after they are captured, which times them well.
    // A reopened input thus decodes exactly as the first one did.
    ffmpeg::Dictionary options;
    if (!options.set("sample_rate", ScreenRecord::kSampleRate) || !options.set("channels", 2) ||
        !options.set("fragment_size", ScreenRecord::kSampleRate * 2 * 2 / 50) ||
        !options.set("stream_name", streamName))
        return false;
    const auto configure = [](AVCodecContext *dec, AVFormatContext *, AVStream *stream) {
        if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            const int channels = dec->ch_layout.nb_channels;
            av_channel_layout_uninit(&dec->ch_layout);
            av_channel_layout_default(&dec->ch_layout, channels);
        }
        dec->time_base = stream->time_base;
        // The reader rewrites packet times to capture microseconds.
        dec->pkt_timebase = AVRational{1, 1000000};
    };
    return openCapture(device, "pulse", options, AVMEDIA_TYPE_AUDIO, 2, configure, context,
                       streamIndex, decoder);
}
}  // namespace

int ScreenRecord::openComputerSoundInput()
{
    const QString device = DeviceUtil::loopbackDeviceName();
    qInfo() << "录制电脑声音：" << device;
    if (!openSoundCapture(device, kComputerSoundStreamName, m_pComputerSoundInputContext,
                          m_computerSoundStreamIndex, m_computerSoundDecoder.context)) {
        qWarning() << "ScreenRecord: the computer's sound cannot be recorded";
        m_pComputerSoundInputContext.reset();
        m_computerSoundDecoder.context.reset();
        return -1;
    }
    return 0;
}

int ScreenRecord::openAudioInput()
{
    const QString device = audioDeviceName();
    qInfo() << "使用音频输入设备：" << device;
    if (!openSoundCapture(device, kMicrophoneStreamName, m_pAudioInputContext, m_audioStreamIndex,
                          m_audioDecoder.context))
        return -1;
    m_audioInputTimebase = m_pAudioInputContext->streams[m_audioStreamIndex]->time_base;
    qInfo() << "m_audioInputTimebase:" << rational(m_audioInputTimebase);
    return openAudioEncoder();
}

QString ScreenRecord::reopenSoundInput(bool microphone, ffmpeg::InputFormatContextPtr &context,
                                       int &streamIndex)
{
    QStringList devices;
    if (microphone) {
        // The same microphone when the server has it again, else the one it now offers first.
        devices << audioDeviceName();
        const QString fallback = DeviceUtil::chooseAudioDevice(DeviceUtil::getAudioDeviceInfo());
        if (!fallback.isEmpty() && !devices.contains(fallback))
            devices << fallback;
    } else {
        devices << DeviceUtil::loopbackDeviceName();
    }
    for (const QString &device : std::as_const(devices)) {
        if (device.isEmpty())
            continue;
        // The decoder of the first opening goes on decoding: the format asked for is the same.
        ffmpeg::CodecContextPtr decoder;
        if (openSoundCapture(device, microphone ? kMicrophoneStreamName : kComputerSoundStreamName,
                             context, streamIndex, decoder)) {
            if (microphone) {
                QMutexLocker lock(&m_deviceMutex);
                m_audioDeviceName = device;
            }
            return device;
        }
        context.reset();
    }
    return QString();
}

int ScreenRecord::openAudioEncoder()
{
    static_assert(kSampleRate == aac::kSampleRate);
    QString error;
    pAudioEncodeContext = aac::openEncoder(&error);
    if (!pAudioEncodeContext) {
        qWarning() << "openAudioEncoder:" << error;
        return -1;
    }
    return 0;
}

void ScreenRecord::createSilenceFrame()
{
    const AVCodecContext *enc = pAudioEncodeContext.get();
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    if (!enc || !frame)
        return;
    frame->nb_samples = enc->frame_size;
    frame->format = enc->sample_fmt;
    frame->sample_rate = enc->sample_rate;
    av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    frame->pkt_duration = enc->frame_size;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return;
    av_samples_set_silence(frame->data, 0, frame->nb_samples, frame->ch_layout.nb_channels,
                           AVSampleFormat(frame->format));
    m_silenceFrame = std::move(frame);
}

int ScreenRecord::initFilter(const char *description)
{
    const AVFilter *source = avfilter_get_by_name("buffer");
    const AVFilter *sink = avfilter_get_by_name("buffersink");
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    m_filterGraph = ffmpeg::makeFilterGraph();
    int ret = 0;
    const AVCodecContext *dec = m_videoDecoder.context.get();
    if (!source || !sink || !outputs || !inputs || !m_filterGraph || !dec) {
        ret = AVERROR(ENOMEM);
    } else {
        AVRational aspect = dec->sample_aspect_ratio;
        if (aspect.num <= 0 || aspect.den <= 0)
            aspect = AVRational{1, 1};
        char args[512];
        snprintf(args, sizeof args,
                 "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", dec->width,
                 dec->height, dec->pix_fmt, m_videoInputTimebase.num, m_videoInputTimebase.den,
                 aspect.num, aspect.den);
        ret = avfilter_graph_create_filter(&m_bufferSrcContext, source, "in", args, nullptr,
                                           m_filterGraph.get());
        if (ret < 0)
            av_log(nullptr, AV_LOG_ERROR, "Cannot create buffer source\n");
        if (ret >= 0) {
            ret = avfilter_graph_create_filter(&m_bufferSinkContext, sink, "out", nullptr, nullptr,
                                               m_filterGraph.get());
            if (ret < 0)
                av_log(nullptr, AV_LOG_ERROR, "Cannot create buffer sink\n");
        }
        if (ret >= 0) {
            const enum AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_NONE};
            ret = av_opt_set_int_list(m_bufferSinkContext, "pix_fmts", formats, AV_PIX_FMT_NONE,
                                      AV_OPT_SEARCH_CHILDREN);
            if (ret < 0)
                av_log(nullptr, AV_LOG_ERROR, "Cannot set output pixel format\n");
        }
        if (ret >= 0) {
            outputs->name = av_strdup("in");
            outputs->filter_ctx = m_bufferSrcContext;
            outputs->pad_idx = 0;
            outputs->next = nullptr;
            inputs->name = av_strdup("out");
            inputs->filter_ctx = m_bufferSinkContext;
            inputs->pad_idx = 0;
            inputs->next = nullptr;
            ret = avfilter_graph_parse_ptr(m_filterGraph.get(), description, &inputs, &outputs,
                                           nullptr);
            if (ret >= 0)
                ret = avfilter_graph_config(m_filterGraph.get(), nullptr);
        }
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (ret < 0)
        qWarning() << "initFilter:" << description << ffmpeg::errorText(ret);
    return ret;
}
