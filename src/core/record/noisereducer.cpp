#include "core/record/noisereducer.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kChunk = 4096;
// The floor starts here and follows the measurement.
constexpr double kStartFloorDb = -50.0;
// afftdn takes a floor from -80 to -20 dB; the measured level of the quietest stretch, plus
// this margin, is what the denoiser treats as noise.
constexpr double kFloorMarginDb = 6.0;
// Level windows of about 46 ms; the quietest of the last ~3 s tells the floor.
constexpr int kWindowSamples = 2048;
constexpr size_t kWindows = 64;
// The floor moves at most once a second, and only by a step worth hearing.
constexpr double kFloorStepDb = 2.0;
}  // namespace

NoiseReducer::NoiseReducer(int sampleRate, int channels)
    : m_rate(sampleRate), m_channels(channels), m_floorDb(kStartFloorDb)
{
    m_fifo = ffmpeg::makeAudioFifo(AV_SAMPLE_FMT_FLTP, channels, kChunk * 2);
    m_frame = ffmpeg::makeFrame();
    m_delay = measureDelay();
    m_toSkip = m_delay;
    if (!build(m_g))
        m_g = Graph();
    qInfo() << "NoiseReducer: delay" << m_delay << "samples";
}

bool NoiseReducer::build(Graph &g) const
{
    g.graph = ffmpeg::makeFilterGraph();
    if (!g.graph)
        return false;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, m_channels);
    char layoutName[64] = {};
    av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
    av_channel_layout_uninit(&layout);
    const QByteArray sourceArgs = QStringLiteral("sample_rate=%1:sample_fmt=fltp:"
                                                 "channel_layout=%2:time_base=1/%1")
                                      .arg(m_rate)
                                      .arg(QString::fromLatin1(layoutName))
                                      .toLatin1();
    const QByteArray denoiseArgs =
        QStringLiteral("nr=%1:nf=%2").arg(kReductionDb).arg(m_floorDb).toLatin1();
    const QByteArray formatArgs =
        QStringLiteral("sample_fmts=fltp:sample_rates=%1:channel_layouts=%2")
            .arg(m_rate)
            .arg(QString::fromLatin1(layoutName))
            .toLatin1();
    AVFilterContext *denoise = nullptr;
    AVFilterContext *format = nullptr;
    int ret = avfilter_graph_create_filter(&g.source, avfilter_get_by_name("abuffer"), "in",
                                           sourceArgs.constData(), nullptr, g.graph.get());
    if (ret >= 0)
        ret = avfilter_graph_create_filter(&denoise, avfilter_get_by_name("afftdn"), "denoise",
                                           denoiseArgs.constData(), nullptr, g.graph.get());
    if (ret >= 0)
        ret = avfilter_graph_create_filter(&format, avfilter_get_by_name("aformat"), "format",
                                           formatArgs.constData(), nullptr, g.graph.get());
    if (ret >= 0)
        ret = avfilter_graph_create_filter(&g.sink, avfilter_get_by_name("abuffersink"), "out",
                                           nullptr, nullptr, g.graph.get());
    if (ret >= 0)
        ret = avfilter_link(g.source, 0, denoise, 0);
    if (ret >= 0)
        ret = avfilter_link(denoise, 0, format, 0);
    if (ret >= 0)
        ret = avfilter_link(format, 0, g.sink, 0);
    if (ret >= 0)
        ret = avfilter_graph_config(g.graph.get(), nullptr);
    if (ret < 0) {
        qWarning() << "NoiseReducer: the denoiser could not be built:" << ffmpeg::errorText(ret);
        return false;
    }
    return true;
}

int NoiseReducer::measureDelay()
{
    // A click in silence: where it comes out tells how far the denoiser holds the sound back.
    Graph g;
    if (!build(g))
        return 0;
    constexpr int kClickAt = 1000;
    std::vector<float> zeros(kChunk, 0.f);
    std::vector<float> first(kChunk, 0.f);
    first[kClickAt] = 0.9f;
    std::vector<const float *> planes(size_t(m_channels), first.data());
    std::vector<float> output;
    bool ok = push(g, planes.data(), kChunk, &output);
    std::fill(planes.begin(), planes.end(), zeros.data());
    for (int i = 0; ok && i < 3; ++i)
        ok = push(g, planes.data(), kChunk, &output);
    ok = ok && push(g, nullptr, 0, &output);
    if (!ok || output.empty())
        return 0;
    const auto loudest = std::max_element(
        output.begin(), output.end(), [](float x, float y) { return std::fabs(x) < std::fabs(y); });
    const int delay = int(loudest - output.begin()) - kClickAt;
    return delay >= 0 && delay < 2 * kChunk ? delay : 0;
}

bool NoiseReducer::push(Graph &g, const float *const *planes, int count,
                        std::vector<float> *firstPlane)
{
    int ret = 0;
    if (!planes) {
        ret = av_buffersrc_add_frame_flags(g.source, nullptr, 0);
    } else {
        ffmpeg::FramePtr frame = ffmpeg::makeFrame();
        if (!frame)
            return false;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = m_rate;
        av_channel_layout_default(&frame->ch_layout, m_channels);
        frame->nb_samples = count;
        frame->pts = g.pts;
        g.pts += count;
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
        for (int c = 0; c < m_channels; ++c)
            std::copy_n(planes[c], count, reinterpret_cast<float *>(frame->extended_data[c]));
        ret = av_buffersrc_add_frame_flags(g.source, frame.get(), 0);
    }
    if (ret < 0) {
        qWarning() << "NoiseReducer: feeding the denoiser failed:" << ffmpeg::errorText(ret);
        return false;
    }
    return collect(g, firstPlane);
}

bool NoiseReducer::collect(Graph &g, std::vector<float> *firstPlane)
{
    for (;;) {
        av_frame_unref(m_frame.get());
        const int ret = av_buffersink_get_frame(g.sink, m_frame.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return true;
        if (ret < 0)
            return false;
        const int n = m_frame->nb_samples;
        if (firstPlane) {
            const auto *s = reinterpret_cast<const float *>(m_frame->extended_data[0]);
            firstPlane->insert(firstPlane->end(), s, s + n);
            continue;
        }
        const int skip = int(std::min<qint64>(m_toSkip, n));
        m_toSkip -= skip;
        if (skip == n)
            continue;
        void *planes[AV_NUM_DATA_POINTERS] = {};
        const int bytes = int(sizeof(float)) * skip;
        for (int c = 0; c < m_channels && c < AV_NUM_DATA_POINTERS; ++c)
            planes[c] = m_frame->extended_data[c] + bytes;
        if (av_audio_fifo_write(m_fifo.get(), planes, n - skip) != n - skip)
            return false;
    }
}

void NoiseReducer::watchLevel(const float *const *planes, int count)
{
    for (int i = 0; i < count; ++i) {
        double square = 0;
        for (int c = 0; c < m_channels; ++c)
            square += double(planes[c][i]) * planes[c][i];
        m_windowSum += square / std::max(1, m_channels);
        if (++m_windowCount < kWindowSamples)
            continue;
        m_windows.push_back(10.0 * std::log10(std::max(1e-12, m_windowSum / m_windowCount)));
        if (m_windows.size() > kWindows)
            m_windows.pop_front();
        m_windowSum = 0;
        m_windowCount = 0;
    }
    // The first estimate after half a second, then at most one change a second.
    const qint64 since = m_fed - m_lastFloorChange;
    if (m_windows.size() < 10 || (m_lastFloorChange > 0 && since < m_rate))
        return;
    const double quietest = *std::min_element(m_windows.begin(), m_windows.end());
    const double floor = std::clamp(quietest + kFloorMarginDb, -80.0, -20.0);
    if (std::fabs(floor - m_floorDb) < kFloorStepDb)
        return;
    char reply[64] = {};
    const QByteArray value = QByteArray::number(floor, 'f', 1);
    if (avfilter_graph_send_command(m_g.graph.get(), "denoise", "nf", value.constData(), reply,
                                    sizeof reply, 0) >= 0) {
        m_floorDb = floor;
        m_lastFloorChange = std::max<qint64>(1, m_fed);
    }
}

bool NoiseReducer::process(AVAudioFifo *in)
{
    if (!isValid())
        return false;
    std::vector<float> buffer(size_t(kChunk) * size_t(m_channels));
    std::vector<float *> planes(static_cast<size_t>(m_channels));
    for (int c = 0; c < m_channels; ++c)
        planes[size_t(c)] = buffer.data() + size_t(c) * kChunk;
    for (;;) {
        const int n = std::min(av_audio_fifo_size(in), kChunk);
        if (n <= 0)
            return true;
        if (av_audio_fifo_read(in, reinterpret_cast<void **>(planes.data()), n) != n)
            return false;
        watchLevel(planes.data(), n);
        if (!push(m_g, planes.data(), n, nullptr))
            return false;
        m_fed += n;
    }
}

bool NoiseReducer::finish()
{
    if (!isValid())
        return false;
    // Silence after the end pushes the held-back sound out, then the end itself.
    std::vector<float> zeros(size_t(std::max(m_delay, 1)), 0.f);
    std::vector<const float *> planes(size_t(m_channels), zeros.data());
    bool ok = push(m_g, planes.data(), int(zeros.size()), nullptr);
    m_fed += qint64(zeros.size());
    return push(m_g, nullptr, 0, nullptr) && ok;
}
