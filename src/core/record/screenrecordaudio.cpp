// ScreenRecord: the sound encoder loop. Takes the microphone's decoded chunks, keeps the parts
// the time line keeps, places them with AudioAligner (silence for gaps, skipping surplus),
// converts to the file's format and encodes AAC frames whose times are counted in samples.
// At the end the sound is brought to the picture's end and the stream is ended in every case,
// so the file can be finished.
#include "core/record/audioaligner.h"
#include "core/record/screenrecord.h"
#include "core/record/soundlevel.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/samplefmt.h>
}

#include <QDebug>

#include <algorithm>
#include <limits>
#include <vector>

namespace {
constexpr AVRational kMicroseconds{1, 1000000};

// Converts captured samples into the encoder's format and collects them in a FIFO.
class SoundConverter
{
public:
    SoundConverter(const AVCodecContext *decoder, const AVCodecContext *encoder)
        : m_inFormat(decoder->sample_fmt), m_inChannels(decoder->ch_layout.nb_channels),
          m_outFormat(encoder->sample_fmt), m_outChannels(encoder->ch_layout.nb_channels)
    {
        SwrContext *swr = nullptr;
        // FFmpeg 5.1 takes the layouts as non-const pointers but only reads them.
        if (swr_alloc_set_opts2(&swr, const_cast<AVChannelLayout *>(&encoder->ch_layout),
                                encoder->sample_fmt, encoder->sample_rate,
                                const_cast<AVChannelLayout *>(&decoder->ch_layout),
                                decoder->sample_fmt, decoder->sample_rate, 0, nullptr) >= 0)
            m_swr.reset(swr);
        if (m_swr && swr_init(m_swr.get()) < 0)
            m_swr.reset();
        m_fifo = ffmpeg::makeAudioFifo(m_outFormat, m_outChannels, encoder->frame_size * 4);
        m_silence.resize(size_t(
            av_samples_get_buffer_size(nullptr, m_inChannels, kSilenceChunk, m_inFormat, 1)));
        if (!m_silence.empty()) {
            uint8_t *planes[AV_NUM_DATA_POINTERS] = {};
            av_samples_fill_arrays(planes, nullptr, m_silence.data(), m_inChannels, kSilenceChunk,
                                   m_inFormat, 1);
            av_samples_set_silence(planes, 0, kSilenceChunk, m_inChannels, m_inFormat);
        }
    }

    bool isValid() const { return m_swr && m_fifo && !m_silence.empty(); }
    AVAudioFifo *fifo() const { return m_fifo.get(); }

    // Converts `count` samples of `frame` from sample `offset` on.
    bool take(const AVFrame *frame, qint64 offset, qint64 count)
    {
        const uint8_t *planes[AV_NUM_DATA_POINTERS] = {};
        const int bytes = av_get_bytes_per_sample(m_inFormat);
        if (av_sample_fmt_is_planar(m_inFormat)) {
            for (int c = 0; c < m_inChannels && c < AV_NUM_DATA_POINTERS; ++c)
                planes[c] = frame->extended_data[c] + offset * bytes;
        } else {
            planes[0] = frame->extended_data[0] + offset * bytes * m_inChannels;
        }
        return convert(planes, int(count));
    }

    bool silence(qint64 count)
    {
        uint8_t *planes[AV_NUM_DATA_POINTERS] = {};
        av_samples_fill_arrays(planes, nullptr, m_silence.data(), m_inChannels, kSilenceChunk,
                               m_inFormat, 1);
        while (count > 0) {
            const int n = int(std::min<qint64>(count, kSilenceChunk));
            if (!convert(const_cast<const uint8_t **>(planes), n))
                return false;
            count -= n;
        }
        return true;
    }

    // Whatever the resampler still holds.
    bool flush() { return convert(nullptr, 0); }

private:
    static constexpr int kSilenceChunk = 4096;

    bool convert(const uint8_t **planes, int count)
    {
        const int room = swr_get_out_samples(m_swr.get(), count);
        if (room <= 0)
            return room == 0;
        uint8_t **out = nullptr;
        if (av_samples_alloc_array_and_samples(&out, nullptr, m_outChannels, room, m_outFormat, 0) <
            0)
            return false;
        const int got = swr_convert(m_swr.get(), out, room, planes, count);
        if (got < 0)
            av_log(nullptr, AV_LOG_WARNING, "[%s.%d %s() Could not swr_convert\n", __FILE__,
                   __LINE__, "encodeAudioDatasInThread");
        const bool ok = got >= 0 && av_audio_fifo_write(m_fifo.get(),
                                                        reinterpret_cast<void **>(out), got) == got;
        av_freep(&out[0]);
        av_freep(&out);
        return ok;
    }

    AVSampleFormat m_inFormat;
    int m_inChannels;
    AVSampleFormat m_outFormat;
    int m_outChannels;
    ffmpeg::SwrContextPtr m_swr;
    ffmpeg::AudioFifoPtr m_fifo;
    std::vector<uint8_t> m_silence;
};
}  // namespace

void ScreenRecord::notePeak(double db)
{
    if (m_mute.load())
        return;
    const int centi = int(db * 100);
    int seen = m_soundPeakCentiDb.load();
    while (centi > seen && !m_soundPeakCentiDb.compare_exchange_weak(seen, centi)) {
    }
}

double ScreenRecord::takeSoundPeak()
{
    const int centi = m_soundPeakCentiDb.exchange(kNoPeak);
    return centi == kNoPeak ? soundlevel::kSilentDb : centi / 100.0;
}

int ScreenRecord::encodeAudioDatasInThread()
{
    const AVCodecContext *decoder = m_audioDecoder.context.get();
    AVCodecContext *encoder = pAudioEncodeContext.get();
    ffmpeg::FramePtr input = ffmpeg::makeFrame();
    ffmpeg::FramePtr output = ffmpeg::makeFrame();
    std::unique_ptr<SoundConverter> converter;
    // The encoder puts its priming before the first sound; the file starts with it, so the
    // sound is fed that much early to play in step with the picture.
    const int inputRate = decoder ? decoder->sample_rate : kSampleRate;
    const qint64 primingUs =
        encoder ? av_rescale(encoder->initial_padding, 1000000, encoder->sample_rate) : 0;
    AudioAligner aligner(inputRate, 10000, av_rescale(primingUs, inputRate, 1000000));
    bool ok = decoder && encoder && input && output;
    if (ok) {
        converter = std::make_unique<SoundConverter>(decoder, encoder);
        output->nb_samples = encoder->frame_size;
        output->format = encoder->sample_fmt;
        output->sample_rate = encoder->sample_rate;
        av_channel_layout_copy(&output->ch_layout, &encoder->ch_layout);
        ok = converter->isValid() && av_frame_get_buffer(output.get(), 0) >= 0;
    }
    if (!ok)
        av_log(nullptr, AV_LOG_WARNING, "[%s.%d %s() Could not allocate samples Buffer\n", __FILE__,
               __LINE__, "encodeAudioDatasInThread");

    // Encodes whole frames from the FIFO; with `limit`, also the last, shorter one up to it.
    const auto drain = [&](qint64 limit, bool final) {
        AVAudioFifo *fifo = converter->fifo();
        for (;;) {
            const qint64 room = limit - m_audioEncodedSamples;
            int n = std::min<int>(av_audio_fifo_size(fifo), encoder->frame_size);
            n = int(std::min<qint64>(n, room));
            if (n <= 0 || (n < encoder->frame_size && !final))
                break;
            if (av_frame_make_writable(output.get()) < 0)
                break;
            output->nb_samples = n;
            av_audio_fifo_read(fifo, reinterpret_cast<void **>(output->data), n);
            if (m_mute.load())
                av_samples_set_silence(output->data, 0, n, output->ch_layout.nb_channels,
                                       AVSampleFormat(output->format));
            output->pts = m_audioEncodedSamples;
            encodeAndWrite(output.get(), AudioStream);
            m_audioEncodedSamples += n;
        }
    };

    for (;;) {
        av_frame_unref(input.get());
        const int result = receiveFrame(m_audioDecoder, input.get());
        if (result == AVERROR_EOF)
            break;
        if (result < 0 || !ok)
            continue;
        notePeak(soundlevel::peakDbfs(input.get()));
        const qint64 samples = input->nb_samples;
        const qint64 fromUs = input->pts;
        const qint64 toUs = fromUs + samples * 1000000 / std::max(1, input->sample_rate);
        const QList<AudioAligner::Step> steps =
            aligner.place(fromUs, samples, m_timeline.mapAudio(fromUs, toUs));
        for (const AudioAligner::Step &step : steps) {
            if (step.kind == AudioAligner::Step::Silence)
                converter->silence(step.count);
            else
                converter->take(input.get(), step.offset, step.count);
        }
        drain(std::numeric_limits<qint64>::max(), false);
    }

    if (ok) {
        // The sound ends with the picture: silence up to its end, nothing beyond it.
        const qint64 videoEndUs = m_timeline.waitForVideoEnd(10000);
        if (videoEndUs >= 0) {
            for (const AudioAligner::Step &step : aligner.padTo(videoEndUs))
                converter->silence(step.count);
        }
        converter->flush();
        const qint64 limit =
            videoEndUs >= 0 ? av_rescale_q(videoEndUs - primingUs, kMicroseconds, {1, kSampleRate})
                            : std::numeric_limits<qint64>::max();
        drain(limit, true);
    }
    encodeAndWrite(nullptr, AudioStream);
    {
        QMutexLocker lock(&m_audioDecoder.mutex);
        m_audioDecoder.context.reset();
        m_audioDecoder.queue.clear();
        m_audioDecoder.changed.wakeAll();
    }
    qInfo() << "encodeAudioDatasInThread:结束音频编码4444444444444";
    return ok ? 0 : -1;
}
