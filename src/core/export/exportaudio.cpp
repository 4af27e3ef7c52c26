#include "core/export/exportaudio.h"

#include <QDebug>

#include <algorithm>

namespace exportaudio {

bool isCopyableAac(const AVCodecParameters *parameters)
{
    return parameters->codec_id == AV_CODEC_ID_AAC && parameters->sample_rate == kSampleRate &&
           parameters->ch_layout.nb_channels == 2 && parameters->profile == FF_PROFILE_AAC_LOW;
}

bool packetDecodes(AVCodecContext *decoder, AVFrame *scratch, const AVPacket *packet)
{
    int ret = avcodec_send_packet(decoder, packet);
    if (ret < 0)
        return false;
    while ((ret = avcodec_receive_frame(decoder, scratch)) >= 0)
        av_frame_unref(scratch);
    return ret == AVERROR(EAGAIN) || ret == AVERROR_EOF;
}

}  // namespace exportaudio

using exportaudio::kSampleRate;
using exportaudio::kSampleTimebase;

ExportAudioSection::ExportAudioSection(int64_t startSample, int64_t lengthSamples, int frameSize,
                                       Sink sink)
    : m_StartSample(startSample), m_LengthSamples(std::max<int64_t>(0, lengthSamples)),
      m_FrameSize(frameSize > 0 ? frameSize : 1024), m_Sink(std::move(sink)),
      m_Fifo(ffmpeg::makeAudioFifo(AV_SAMPLE_FMT_FLTP, 2, m_FrameSize * 4)),
      m_Decoded(ffmpeg::makeFrame())
{
}

ExportAudioSection::~ExportAudioSection() = default;

bool ExportAudioSection::openDecoder(const AVStream *stream, int64_t inPts, QString *error)
{
    int ret = 0;
    ffmpeg::CodecContextPtr decoder = ffmpeg::openDecoder(stream, 0, &ret);
    if (!decoder || !m_Decoded) {
        *error = QStringLiteral("sound decoder %1: %2")
                     .arg(avcodec_get_name(stream->codecpar->codec_id), ffmpeg::errorText(ret));
        return false;
    }
    m_Decoder = std::move(decoder);
    m_InputTimebase = stream->time_base;
    m_InPts = inPts;
    return true;
}

ffmpeg::FramePtr ExportAudioSection::makeStereoFrame(int samples)
{
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    return ffmpeg::makeSamples(AV_SAMPLE_FMT_FLTP, stereo, kSampleRate, samples);
}

void ExportAudioSection::decodePacket(const AVPacket *packet)
{
    if (!m_Decoder)
        return;
    const int ret = avcodec_send_packet(m_Decoder.get(), packet);
    if (ret < 0 && ret != AVERROR_EOF)
        qWarning() << "export: sound packet not decoded:" << ffmpeg::errorText(ret);
    receiveFrames();
}

void ExportAudioSection::receiveFrames()
{
    while (avcodec_receive_frame(m_Decoder.get(), m_Decoded.get()) >= 0) {
        addResampled(m_Decoded.get());
        av_frame_unref(m_Decoded.get());
    }
}

void ExportAudioSection::addResampled(const AVFrame *decoded)
{
    if (!m_Resampler) {
        AVChannelLayout inLayout;
        if (decoded->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, decoded->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&inLayout, &decoded->ch_layout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext *swr = nullptr;
        int ret =
            swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLTP, kSampleRate, &inLayout,
                                AVSampleFormat(decoded->format), decoded->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        m_Resampler.reset(swr);
        if (ret >= 0)
            ret = swr_init(swr);
        if (ret < 0) {
            qWarning() << "export: sound resampler:" << ffmpeg::errorText(ret);
            m_Decoder.reset();  // the rest of the section becomes silence
            return;
        }
    }
    const int64_t pts = decoded->best_effort_timestamp;
    if (m_NextSample == AV_NOPTS_VALUE) {
        m_NextSample = av_rescale_q((pts == AV_NOPTS_VALUE ? m_InPts : pts) - m_InPts,
                                    m_InputTimebase, kSampleTimebase);
    } else if (pts != AV_NOPTS_VALUE) {
        // Packets that did not decode leave a gap: the sound after it keeps its time and the
        // gap becomes silence.
        const int64_t at = av_rescale_q(pts - m_InPts, m_InputTimebase, kSampleTimebase);
        if (at - m_NextSample > kSampleRate / 100)
            m_NextSample = at;
    }
    const int capacity = swr_get_out_samples(m_Resampler.get(), decoded->nb_samples);
    if (capacity <= 0)
        return;
    ffmpeg::FramePtr out = makeStereoFrame(capacity);
    if (!out)
        return;
    const int count =
        swr_convert(m_Resampler.get(), out->data, capacity,
                    const_cast<const uint8_t **>(decoded->extended_data), decoded->nb_samples);
    if (count > 0) {
        addSamples(out->data, count, m_NextSample);
        m_NextSample += count;
    }
}

int64_t ExportAudioSection::queuedEnd() const
{
    return m_Emitted + (m_Fifo ? av_audio_fifo_size(m_Fifo.get()) : 0);
}

void ExportAudioSection::addSamples(uint8_t *const *data, int count, int64_t atSample)
{
    // Sound that starts late is preceded by silence, so it stays with its picture.
    if (atSample > queuedEnd())
        addSilence(atSample - queuedEnd());
    const int64_t skip = queuedEnd() - atSample;  // before the in-point, or already covered
    const int64_t keep = std::min<int64_t>(count - skip, m_LengthSamples - queuedEnd());
    if (keep <= 0 || !m_Fifo)
        return;
    void *planes[2] = {data[0] + skip * sizeof(float), data[1] + skip * sizeof(float)};
    av_audio_fifo_write(m_Fifo.get(), planes, int(keep));
    emitFrames(false);
}

void ExportAudioSection::addSilence(int64_t count)
{
    count = std::min(count, m_LengthSamples - queuedEnd());
    if (count <= 0 || !m_Fifo)
        return;
    ffmpeg::FramePtr silence = makeStereoFrame(int(std::min<int64_t>(count, 8192)));
    if (!silence)
        return;
    av_samples_set_silence(silence->data, 0, silence->nb_samples, 2, AV_SAMPLE_FMT_FLTP);
    while (count > 0) {
        const int n = int(std::min<int64_t>(count, silence->nb_samples));
        av_audio_fifo_write(m_Fifo.get(), reinterpret_cast<void **>(silence->data), n);
        count -= n;
        emitFrames(false);
    }
}

void ExportAudioSection::emitFrames(bool includeShort)
{
    while (m_Fifo) {
        const int queued = av_audio_fifo_size(m_Fifo.get());
        if (queued == 0 || (queued < m_FrameSize && !includeShort))
            return;
        ffmpeg::FramePtr frame = makeStereoFrame(std::min(queued, m_FrameSize));
        if (!frame)
            return;
        av_audio_fifo_read(m_Fifo.get(), reinterpret_cast<void **>(frame->data), frame->nb_samples);
        frame->pts = m_StartSample + m_Emitted;
        m_Emitted += frame->nb_samples;
        m_Sink(std::move(frame));
    }
}

void ExportAudioSection::finish()
{
    if (m_Decoder) {
        decodePacket(nullptr);
        if (m_Resampler && m_NextSample != AV_NOPTS_VALUE) {
            // What the resampler still holds.
            if (ffmpeg::FramePtr out = makeStereoFrame(4096)) {
                int count;
                while ((count = swr_convert(m_Resampler.get(), out->data, out->nb_samples, nullptr,
                                            0)) > 0) {
                    addSamples(out->data, count, m_NextSample);
                    m_NextSample += count;
                }
            }
        }
        m_Decoder.reset();
    }
    addSilence(m_LengthSamples - queuedEnd());
    emitFrames(true);
}
