#pragma once
// The sound side of the export that is encoded rather than copied: the output format is
// aac::openEncoder's (44100 Hz, stereo, float planar); the test whether a clip's sound can be
// copied, and ExportAudioSection, which turns one clip's sound (decoded and resampled) or silence
// into encoder frames covering exactly the clip's span. ExportAudioSection belongs to the thread
// that feeds it (the export thread).
#include "core/media/ffmpeghandles.h"
#include "core/media/h264settings.h"

#include <QString>

#include <functional>

namespace exportaudio {

constexpr int kSampleRate = aac::kSampleRate;
constexpr AVRational kSampleTimebase = aac::kSampleTimebase;

// True when packets of this stream can go into the output unchanged: AAC-LC, 44100 Hz,
// two channels, like the output stream's own encoder makes.
bool isCopyableAac(const AVCodecParameters *parameters);

// Decodes `packet` with `decoder` (frames go to `scratch` and are dropped); false when the
// decoder refuses it. Used to check sound packets before they are copied: one that does not
// decode here would not decode in the output either.
bool packetDecodes(AVCodecContext *decoder, AVFrame *scratch, const AVPacket *packet);

}  // namespace exportaudio

class ExportAudioSection
{
public:
    using Sink = std::function<void(ffmpeg::FramePtr)>;

    // Frames of `frameSize` samples (the last may be shorter) are handed to `sink` with pts in
    // samples, from `startSample` up to `startSample` + `lengthSamples`.
    ExportAudioSection(int64_t startSample, int64_t lengthSamples, int frameSize, Sink sink);
    ~ExportAudioSection();

    // Decodes the sound of `stream`; samples before `inPts` (in the stream's time base) are
    // left out. Without this call the section is silence. False with `error` set on failure.
    bool openDecoder(const AVStream *stream, int64_t inPts, QString *error);
    // One packet of the decoded stream; decoding errors drop the packet's samples.
    void decodePacket(const AVPacket *packet);
    // Drains the decoder, pads with silence up to the section's length and hands out the rest.
    void finish();

private:
    void receiveFrames();
    void addResampled(const AVFrame *decoded);
    void addSamples(uint8_t *const *data, int count, int64_t atSample);
    void addSilence(int64_t count);
    static ffmpeg::FramePtr makeStereoFrame(int samples);
    void emitFrames(bool includeShort);
    int64_t queuedEnd() const;

    const int64_t m_StartSample;
    const int64_t m_LengthSamples;
    const int m_FrameSize;
    Sink m_Sink;
    ffmpeg::AudioFifoPtr m_Fifo;  // empty when out of memory: the section then gives nothing
    int64_t m_Emitted = 0;        // samples handed out so far
    ffmpeg::CodecContextPtr m_Decoder;
    ffmpeg::SwrContextPtr m_Resampler;
    ffmpeg::FramePtr m_Decoded;
    AVRational m_InputTimebase{0, 1};
    int64_t m_InPts = 0;
    int64_t m_NextSample = AV_NOPTS_VALUE;  // section sample of the next resampled sample
};
