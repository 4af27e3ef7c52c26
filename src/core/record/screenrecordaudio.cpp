// ScreenRecord: the sound encoder loop. Takes the decoded chunks of the microphone and, when
// the teacher asked for it, of the computer's own sound; keeps the parts the time line keeps,
// places each input with an AudioAligner of its own (silence for gaps, skipping surplus),
// converts to the file's format, takes the room noise out of the microphone when asked, mixes
// the two (mute silences the microphone only) and encodes AAC frames whose times are counted
// in samples. At the end the sound is brought to the picture's end and the stream is ended in
// every case, so the file can be finished.
#include "core/record/audioaligner.h"
#include "core/record/noisereducer.h"
#include "core/record/screenrecord.h"
#include "core/record/soundlevel.h"
#include "core/record/soundlimiter.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/samplefmt.h>
}

#include <QDeadlineTimer>
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

// One sound input on its way into the file: placed on the file's time line, converted to the
// file's format and, for a microphone with noise reduction, cleaned. Its samples stand in
// file positions from the first one on.
struct SoundTrack
{
    SoundTrack(const AVCodecContext *decoder, const AVCodecContext *encoder, qint64 primingUs,
               bool isMicrophone, bool reduceNoise)
        : aligner(decoder->sample_rate, 10000,
                  av_rescale(primingUs, decoder->sample_rate, 1000000)),
          leadSamples(av_rescale(primingUs, decoder->sample_rate, 1000000)),
          rate(decoder->sample_rate), microphone(isMicrophone),
          converter(std::make_unique<SoundConverter>(decoder, encoder))
    {
        if (reduceNoise)
            reducer = std::make_unique<NoiseReducer>(encoder->sample_rate,
                                                     encoder->ch_layout.nb_channels);
    }
    bool isValid() const { return converter->isValid() && (!reducer || reducer->isValid()); }
    AVAudioFifo *ready() const { return reducer ? reducer->fifo() : converter->fifo(); }
    void apply(const QList<AudioAligner::Step> &steps, const AVFrame *frame)
    {
        for (const AudioAligner::Step &step : steps) {
            if (step.kind == AudioAligner::Step::Silence)
                converter->silence(step.count);
            else
                converter->take(frame, step.offset, step.count);
        }
        if (reducer)
            reducer->process(converter->fifo());
    }
    // Silence up to stream position `samples` (at the capture rate), when it is not there yet.
    void padToSamples(qint64 samples)
    {
        apply(aligner.padTo((samples + leadSamples) * 1000000 / std::max(1, rate)), nullptr);
    }

    // While the input is lost, silence up to shortly before `nowUs` (capture clock), so the
    // sound on disk keeps up with the picture; what the input delivers again follows it.
    void fillLostUntil(const RecordTimeline &timeline, qint64 nowUs)
    {
        constexpr qint64 kMarginUs = 300000;
        const qint64 untilUs = nowUs - kMarginUs;
        if (untilUs <= heardUntilUs)
            return;
        const QList<RecordTimeline::Part> parts = timeline.mapAudio(heardUntilUs, untilUs);
        heardUntilUs = untilUs;
        if (!parts.isEmpty())
            apply(aligner.padTo(parts.last().fileUs + parts.last().durationUs), nullptr);
    }

    AudioAligner aligner;
    qint64 heardUntilUs = 0;  // capture time up to which the input was placed
    qint64 leadSamples;
    int rate;
    bool microphone;
    bool ended = false;
    std::unique_ptr<SoundConverter> converter;
    std::unique_ptr<NoiseReducer> reducer;
};

// An input that lags the other by more than this (it delivers nothing: a stalled device) is
// filled with silence, so the other is not held back.
constexpr qint64 kLagSamples = ScreenRecord::kSampleRate / 2;
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

int ScreenRecord::pollFrame(DecoderChannel &channel, AVFrame *frame, int waitMs)
{
    QMutexLocker lock(&channel.mutex);
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (!channel.context)
            return AVERROR_EOF;
        const int ret = avcodec_receive_frame(channel.context.get(), frame);
        if (ret == AVERROR(EAGAIN) && !channel.queue.empty()) {
            // Decode the next queued packet (null: the input ended, drain the decoder).
            const ffmpeg::PacketPtr packet = std::move(channel.queue.front());
            channel.queue.pop_front();
            channel.changed.wakeAll();
            const int sent = avcodec_send_packet(channel.context.get(), packet.get());
            if (sent < 0 && sent != AVERROR_EOF)
                qWarning() << "pollFrame: avcodec_send_packet" << ffmpeg::errorText(sent);
            continue;
        }
        if (ret == AVERROR(EAGAIN)) {
            if (deadline.hasExpired())
                return ret;
            channel.changed.wait(&channel.mutex, deadline);
            continue;
        }
        channel.changed.wakeAll();
        return ret;
    }
}

int ScreenRecord::encodeAudioDatasInThread()
{
    AVCodecContext *encoder = pAudioEncodeContext.get();
    const SoundSettings settings = soundSettings();
    ffmpeg::FramePtr input = ffmpeg::makeFrame();
    ffmpeg::FramePtr output = ffmpeg::makeFrame();
    // The encoder puts its priming before the first sound; the file starts with it, so the
    // sound is fed that much early to play in step with the picture.
    const qint64 primingUs =
        encoder ? av_rescale(encoder->initial_padding, 1000000, encoder->sample_rate) : 0;
    // The microphone first, then the computer's sound.
    std::vector<DecoderChannel *> channels;
    std::vector<std::unique_ptr<SoundTrack>> tracks;
    bool ok = encoder && input && output && encoder->sample_fmt == AV_SAMPLE_FMT_FLTP;
    for (DecoderChannel *channel : {&m_audioDecoder, &m_computerSoundDecoder}) {
        if (!ok || !channel->context)
            continue;
        const bool microphone = channel == &m_audioDecoder;
        tracks.push_back(std::make_unique<SoundTrack>(channel->context.get(), encoder, primingUs,
                                                      microphone,
                                                      microphone && settings.noiseReduction));
        channels.push_back(channel);
        ok = tracks.back()->isValid();
    }
    const int outChannels = encoder ? encoder->ch_layout.nb_channels : 0;
    ffmpeg::AudioFifoPtr mixed;
    if (ok) {
        mixed = ffmpeg::makeAudioFifo(encoder->sample_fmt, outChannels, encoder->frame_size * 4);
        output->nb_samples = encoder->frame_size;
        output->format = encoder->sample_fmt;
        output->sample_rate = encoder->sample_rate;
        av_channel_layout_copy(&output->ch_layout, &encoder->ch_layout);
        ok = !tracks.empty() && mixed && av_frame_get_buffer(output.get(), 0) >= 0;
    }
    if (!ok)
        av_log(nullptr, AV_LOG_WARNING, "[%s.%d %s() Could not allocate samples Buffer\n", __FILE__,
               __LINE__, "encodeAudioDatasInThread");

    // Mixes what every input has ready (at the end: all of it, the shorter ones made up with
    // silence) into `mixed`. The microphone is silenced while muted; a sum of two inputs is
    // kept inside full scale.
    SoundLimiter limiter(kSampleRate);
    constexpr int kMixChunk = 1024;
    std::vector<float> buffers(size_t(kMixChunk) * size_t(outChannels) * 3);
    const auto planesOf = [&](int which) {
        std::vector<float *> planes(static_cast<size_t>(outChannels));
        for (int c = 0; c < outChannels; ++c)
            planes[size_t(c)] =
                buffers.data() + (size_t(which) * size_t(outChannels) + size_t(c)) * kMixChunk;
        return planes;
    };
    std::vector<std::vector<float *>> trackPlanes;
    for (size_t i = 0; i < tracks.size() && i < 2; ++i)
        trackPlanes.push_back(planesOf(int(i)));
    const std::vector<float *> mixPlanes = planesOf(2);
    const auto mix = [&](bool final) {
        for (;;) {
            qint64 n = final ? 0 : std::numeric_limits<qint64>::max();
            for (const auto &track : tracks) {
                const qint64 size = av_audio_fifo_size(track->ready());
                n = final ? std::max(n, size) : std::min(n, size);
            }
            n = std::min<qint64>(n, kMixChunk);
            if (n <= 0)
                return;
            for (size_t i = 0; i < trackPlanes.size(); ++i) {
                const int got =
                    std::max(0, av_audio_fifo_read(tracks[i]->ready(),
                                                   reinterpret_cast<void **>(trackPlanes[i].data()),
                                                   int(n)));
                const bool silent = tracks[i]->microphone && m_mute.load();
                for (float *plane : trackPlanes[i])
                    std::fill(plane + (silent ? 0 : got), plane + n, 0.f);
            }
            float *const *result = trackPlanes[0].data();
            if (trackPlanes.size() > 1) {
                limiter.mix(mixPlanes.data(), trackPlanes[0].data(), trackPlanes[1].data(),
                            outChannels, int(n));
                result = mixPlanes.data();
            }
            av_audio_fifo_write(mixed.get(),
                                reinterpret_cast<void **>(const_cast<float **>(result)), int(n));
        }
    };
    // An input that lags far behind the other is given silence up to near the other.
    const auto keepUp = [&]() {
        if (tracks.size() < 2)
            return;
        qint64 ahead = 0;
        for (const auto &track : tracks)
            ahead = std::max(ahead, track->aligner.writtenSamples());
        for (const auto &track : tracks)
            if (ahead - track->aligner.writtenSamples() > kLagSamples)
                track->padToSamples(ahead - kLagSamples / 2);
    };

    // Encodes whole frames from `mixed`; with `limit`, also the last, shorter one up to it.
    const auto drain = [&](qint64 limit, bool final) {
        AVAudioFifo *fifo = mixed.get();
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
            output->pts = m_audioEncodedSamples;
            encodeAndWrite(output.get(), AudioStream);
            m_audioEncodedSamples += n;
        }
    };

    // A single input waits for its chunks; two are looked at in turn.
    const int waitMs = channels.size() > 1 ? 10 : 100;
    for (;;) {
        bool allEnded = true;
        bool waited = false;
        for (size_t i = 0; i < channels.size(); ++i) {
            SoundTrack &track = *tracks[i];
            if (track.ended)
                continue;
            // One look a round waits; what came meanwhile is taken without waiting.
            for (int wait = waited ? 0 : waitMs;; wait = 0) {
                waited = true;
                av_frame_unref(input.get());
                const int result = pollFrame(*channels[i], input.get(), wait);
                if (result == AVERROR_EOF)
                    track.ended = true;
                if (result < 0)
                    break;
                if (track.microphone)
                    notePeak(soundlevel::peakDbfs(input.get()));
                const qint64 samples = input->nb_samples;
                const qint64 fromUs = input->pts;
                const qint64 toUs = fromUs + samples * 1000000 / std::max(1, input->sample_rate);
                track.apply(track.aligner.place(fromUs, samples, m_timeline.mapAudio(fromUs, toUs)),
                            input.get());
                track.heardUntilUs = std::max(track.heardUntilUs, toUs);
            }
            if (!track.ended && channels[i]->lost.load())
                track.fillLostUntil(m_timeline, captureClockNow());
            allEnded = allEnded && track.ended;
        }
        if (channels.empty() || allEnded)
            break;
        if (!ok)
            continue;
        keepUp();
        mix(false);
        drain(std::numeric_limits<qint64>::max(), false);
    }

    if (ok) {
        // The sound ends with the picture: silence up to its end, nothing beyond it.
        const qint64 videoEndUs = m_timeline.waitForVideoEnd(10000);
        for (const auto &track : tracks) {
            if (videoEndUs >= 0)
                track->apply(track->aligner.padTo(videoEndUs), nullptr);
            track->converter->flush();
            if (track->reducer) {
                track->reducer->process(track->converter->fifo());
                track->reducer->finish();
            }
        }
        mix(true);
        const qint64 limit =
            videoEndUs >= 0 ? av_rescale_q(videoEndUs - primingUs, kMicroseconds, {1, kSampleRate})
                            : std::numeric_limits<qint64>::max();
        drain(limit, true);
    }
    encodeAndWrite(nullptr, AudioStream);
    for (DecoderChannel *channel : {&m_audioDecoder, &m_computerSoundDecoder}) {
        QMutexLocker lock(&channel->mutex);
        channel->context.reset();
        channel->queue.clear();
        channel->changed.wakeAll();
    }
    qInfo() << "encodeAudioDatasInThread:结束音频编码4444444444444";
    return ok ? 0 : -1;
}
