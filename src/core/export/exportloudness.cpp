#include "core/export/exportloudness.h"

#include "core/export/exportaudio.h"
#include "core/project/avdata.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The limiter holds sample peaks this far under the true-peak ceiling: what lies between the
// samples, and what AAC encoding adds to a peak, stays under the ceiling then.
constexpr double kLimiterMarginDb = 1.5;
// Look-ahead and release of the limiter, in milliseconds: long enough that a limited peak is
// not heard as a click, short enough that the voice after it is not held down.
constexpr int kAttackMs = 5;
constexpr int kReleaseMs = 100;

const char *const kSourceArgs =
    "sample_rate=44100:sample_fmt=fltp:channel_layout=stereo:time_base=1/44100";

// abuffer -> `chain` -> abuffersink, in a new graph; false (with a warning) when FFmpeg lacks
// a filter or memory.
bool buildGraph(const QByteArray &chain, ffmpeg::FilterGraphPtr *graph, AVFilterContext **source,
                AVFilterContext **sink)
{
    ffmpeg::FilterGraphPtr made = ffmpeg::makeFilterGraph();
    if (!made)
        return false;
    made->nb_threads = 1;
    int ret = avfilter_graph_create_filter(source, avfilter_get_by_name("abuffer"), "in",
                                           kSourceArgs, nullptr, made.get());
    if (ret >= 0)
        ret = avfilter_graph_create_filter(sink, avfilter_get_by_name("abuffersink"), "out",
                                           nullptr, nullptr, made.get());
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    if (ret >= 0 && (!outputs || !inputs))
        ret = AVERROR(ENOMEM);
    if (ret >= 0) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = *source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = *sink;
        ret = avfilter_graph_parse_ptr(made.get(), chain.constData(), &inputs, &outputs, nullptr);
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (ret >= 0)
        ret = avfilter_graph_config(made.get(), nullptr);
    if (ret < 0) {
        qWarning() << "loudness: filter graph" << chain << ffmpeg::errorText(ret);
        return false;
    }
    *graph = std::move(made);
    return true;
}

double metadataValue(const AVFrame *frame, const char *key, double otherwise)
{
    const AVDictionaryEntry *entry = av_dict_get(frame->metadata, key, nullptr, 0);
    return entry ? std::strtod(entry->value, nullptr) : otherwise;
}

int64_t msToStream(qint64 ms, AVRational timebase)
{
    return av_rescale_q_rnd(ms, AVRational{1, 1000}, timebase,
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

// Feeds the sound of one export clip's span to `meter`; the clip's place in the export does
// not matter to the loudness, only its samples do.
void measureClip(const AVData &clip, const std::atomic<bool> &stop, LoudnessMeter &meter)
{
    int ret = 0;
    ffmpeg::InputFormatContextPtr input = ffmpeg::openMedia(clip.filePath, &ret);
    if (!input) {
        qWarning() << "loudness: cannot open" << clip.filePath << ffmpeg::errorText(ret);
        return;
    }
    const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio < 0)
        return;  // silence
    const AVStream *stream = input->streams[audio];
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int64_t inPts = start + msToStream(clip.beginTime, stream->time_base);
    const int64_t outPts = start + msToStream(clip.endTime, stream->time_base);
    for (unsigned i = 0; i < input->nb_streams; ++i)
        input->streams[i]->discard = int(i) == audio ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    ExportAudioSection section(0, av_rescale(clip.length(), exportaudio::kSampleRate, 1000), 4096,
                               [&meter](ffmpeg::FramePtr frame) { meter.add(frame.get()); });
    QString error;
    if (!section.openDecoder(stream, inPts, &error)) {
        qWarning() << "loudness:" << clip.filePath << error;
        return;
    }
    if (clip.beginTime > 0)
        av_seek_frame(input.get(), audio, inPts, AVSEEK_FLAG_BACKWARD);
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    while (packet && !stop && av_read_frame(input.get(), packet.get()) >= 0) {
        const bool done =
            packet->stream_index == audio && packet->pts != AV_NOPTS_VALUE && packet->pts >= outPts;
        if (packet->stream_index == audio && !done)
            section.decodePacket(packet.get());
        av_packet_unref(packet.get());
        if (done)
            break;
    }
    if (!stop)
        section.finish();
}

}  // namespace

namespace loudness {

bool needsLevelling(const Measurement &measured, double targetLufs)
{
    if (!measured.hasSound())
        return false;
    return std::fabs(targetLufs - measured.integratedLufs) > kToleranceLu ||
           measured.truePeakDb > kTruePeakDb;
}

double gainDb(const Measurement &measured, double targetLufs)
{
    return measured.hasSound() ? targetLufs - measured.integratedLufs : 0.0;
}

bool measureClips(const QList<AVData> &clips, const std::atomic<bool> &stop, Measurement *measured)
{
    LoudnessMeter meter;
    for (const AVData &clip : clips) {
        if (stop)
            return false;
        if (clip.endTime > clip.beginTime)
            measureClip(clip, stop, meter);
    }
    if (stop)
        return false;
    *measured = meter.finish();
    return true;
}

}  // namespace loudness

LoudnessMeter::LoudnessMeter() : m_out(ffmpeg::makeFrame())
{
    if (m_out)
        buildGraph("ebur128=peak=true:metadata=1:framelog=verbose", &m_graph, &m_source, &m_sink);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(const AVFrame *frame)
{
    if (!m_graph)
        return;
    ffmpeg::FramePtr copy = ffmpeg::makeFrame();
    if (!copy || av_frame_ref(copy.get(), frame) < 0)
        return;
    // The meter's clock runs on through the clips, whatever times they had in the export.
    copy->pts = m_nextPts;
    m_nextPts += frame->nb_samples;
    if (av_buffersrc_add_frame_flags(m_source, copy.get(), 0) >= 0)
        collect();
}

void LoudnessMeter::collect()
{
    while (av_buffersink_get_frame(m_sink, m_out.get()) >= 0) {
        // Every tenth of a second the filter notes the loudness and peak of all the sound so
        // far; the last note holds the whole.
        m_measured.integratedLufs =
            metadataValue(m_out.get(), "lavfi.r128.I", m_measured.integratedLufs);
        const double peak = metadataValue(m_out.get(), "lavfi.r128.true_peak", -1.0);
        if (peak > 0)
            m_measured.truePeakDb = std::max(m_measured.truePeakDb, 20.0 * std::log10(peak));
        av_frame_unref(m_out.get());
    }
}

loudness::Measurement LoudnessMeter::finish()
{
    if (m_graph) {
        if (av_buffersrc_add_frame_flags(m_source, nullptr, 0) >= 0)
            collect();
        m_graph.reset();
    }
    return m_measured;
}

SoundLeveller::SoundLeveller(double gainDb, int frameSize, Sink sink)
    : m_deliver(std::move(sink)), m_frameSize(std::max(1, frameSize))
{
    const double limit = std::pow(10.0, (loudness::kTruePeakDb - kLimiterMarginDb) / 20.0);
    const QByteArray chain = QStringLiteral("volume=volume=%1dB:precision=float,"
                                            "alimiter=limit=%2:attack=%3:release=%4:level=0:"
                                            "latency=1,"
                                            "aformat=sample_fmts=fltp:sample_rates=44100:"
                                            "channel_layouts=stereo")
                                 .arg(gainDb, 0, 'f', 3)
                                 .arg(limit, 0, 'f', 5)
                                 .arg(kAttackMs)
                                 .arg(kReleaseMs)
                                 .toLatin1();
    if (buildGraph(chain, &m_graph, &m_source, &m_sink))
        av_buffersink_set_frame_size(m_sink, unsigned(m_frameSize));
}

SoundLeveller::~SoundLeveller() = default;

void SoundLeveller::add(const AVFrame *frame)
{
    if (!m_graph || m_finished)
        return;
    if (m_inPts == AV_NOPTS_VALUE)
        m_inPts = m_outPts = frame->pts == AV_NOPTS_VALUE ? 0 : frame->pts;
    ffmpeg::FramePtr copy = ffmpeg::makeFrame();
    if (!copy || av_frame_ref(copy.get(), frame) < 0)
        return;
    copy->pts = m_inPts;
    m_inPts += frame->nb_samples;
    m_inSamples += frame->nb_samples;
    const int ret = av_buffersrc_add_frame_flags(m_source, copy.get(), 0);
    if (ret < 0)
        qWarning() << "loudness: the limiter refused sound:" << ffmpeg::errorText(ret);
    collect();
}

void SoundLeveller::collect()
{
    for (;;) {
        ffmpeg::FramePtr out = ffmpeg::makeFrame();
        if (!out || av_buffersink_get_frame(m_sink, out.get()) < 0)
            return;
        // Never more than went in: the export's sound ends where its picture does.
        const int64_t room = m_inSamples - m_outSamples;
        if (room <= 0)
            continue;
        if (out->nb_samples > room)
            out->nb_samples = int(room);
        out->pts = m_outPts;
        m_outPts += out->nb_samples;
        m_outSamples += out->nb_samples;
        m_deliver(std::move(out));
    }
}

void SoundLeveller::finish()
{
    if (!m_graph || m_finished)
        return;
    m_finished = true;
    if (av_buffersrc_add_frame_flags(m_source, nullptr, 0) >= 0)
        collect();
    if (m_outSamples == m_inSamples)
        return;
    // The limiter kept some sound back: silence in its place keeps the length.
    qWarning() << "loudness: the limiter gave back" << m_outSamples << "of" << m_inSamples
               << "samples";
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    while (m_outSamples < m_inSamples) {
        const int count = int(std::min<int64_t>(m_inSamples - m_outSamples, m_frameSize));
        ffmpeg::FramePtr silence =
            ffmpeg::makeSamples(AV_SAMPLE_FMT_FLTP, stereo, exportaudio::kSampleRate, count);
        if (!silence)
            return;
        av_samples_set_silence(silence->data, 0, count, 2, AV_SAMPLE_FMT_FLTP);
        silence->pts = m_outPts;
        m_outPts += count;
        m_outSamples += count;
        m_deliver(std::move(silence));
    }
}
