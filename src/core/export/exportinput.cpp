// Reading one export clip on the export thread: open, trim bounds and seek, packets to the
// clip's decode thread, sound copied or handed to its encoded section.
#include "core/export/exportclipinput.h"
#include "core/export/exportmanager.h"
#include "core/media/avrecord.h"

#include <QDebug>
#include <QThread>

namespace {

int64_t msToStream(qint64 ms, AVRational timebase)
{
    return av_rescale_q_rnd(ms, AVRational{1, 1000}, timebase,
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

int64_t streamStart(const AVStream *stream)
{
    return stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
}

}  // namespace

int ExportManager::openInput(const AVData &clip, int index, qint64 position)
{
    qInfo() << "openInput,文件输入：" << index;
    std::unique_ptr<ExportClipInput> input = openClip(clip, index, position);
    if (!input)
        return -1;
    qInfo() << " openInput success";
    readClip(input.get());
    return m_Failed ? -1 : 1;
}

std::unique_ptr<ExportClipInput> ExportManager::openClip(const AVData &clip, int index,
                                                         qint64 position)
{
    auto input = std::make_unique<ExportClipInput>();
    input->clip = clip;
    input->index = index;
    input->positionMs = position;
    const QString unreadable = tr("无法读取片段“%1”的文件").arg(exportClipName(clip));

    int ret = 0;
    input->format = ffmpeg::openMedia(clip.filePath, &ret);
    if (!input->format) {
        qWarning() << " avformat_open_input failed" << ret << ffmpeg::errorText(ret);
        fail(unreadable);
        return {};
    }
    AVFormatContext *format = input->format.get();

    input->videoStream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    input->audioStream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (input->videoStream < 0) {
        qWarning() << "openInput: no picture in" << clip.filePath;
        fail(tr("片段“%1”的文件没有画面").arg(exportClipName(clip)));
        return {};
    }
    const AVStream *video = format->streams[input->videoStream];
    input->videoDecoder = ffmpeg::openDecoder(video, 5, &ret);
    if (!input->videoDecoder) {
        qWarning() << " opening the picture decoder failed" << ffmpeg::errorText(ret);
        fail(unreadable);
        return {};
    }
    input->videoDecoder->time_base = video->time_base;
    input->videoTimebase = video->time_base;
    input->rotation = AVRecord::streamRotation(video);

    // The used span, per stream, in the stream's own time base.
    input->videoIn = streamStart(video) + msToStream(clip.beginTime, video->time_base);
    input->videoOut = streamStart(video) + msToStream(clip.endTime, video->time_base);
    input->startSample = av_rescale(position, exportaudio::kSampleRate, 1000);
    input->endSample = av_rescale(position + clip.length(), exportaudio::kSampleRate, 1000);

    if (input->audioStream >= 0) {
        const AVStream *audio = format->streams[input->audioStream];
        input->audioTimebase = audio->time_base;
        input->audioIn = streamStart(audio) + msToStream(clip.beginTime, audio->time_base);
        input->audioOut = streamStart(audio) + msToStream(clip.endTime, audio->time_base);
        // Levelled sound is always encoded anew.
        input->sound = exportaudio::isCopyableAac(audio->codecpar) && !m_Levelling
                           ? ExportClipInput::Sound::Copy
                           : ExportClipInput::Sound::Encode;
    }
    if (input->sound == ExportClipInput::Sound::Copy) {
        input->soundCheck = ffmpeg::openDecoder(format->streams[input->audioStream], 1);
        input->soundCheckFrame = ffmpeg::makeFrame();
        if (!input->soundCheck || !input->soundCheckFrame) {
            // Unchecked sound is not copied: it is decoded and encoded again.
            qWarning() << "openInput: no decoder to check the sound, encoding it instead";
            input->sound = ExportClipInput::Sound::Encode;
        }
    }
    if (input->sound != ExportClipInput::Sound::Copy)
        startSoundSection(input.get(), input->startSample, input->audioIn);
    if (clip.beginTime > 0) {
        ret = av_seek_frame(format, input->videoStream, input->videoIn, AVSEEK_FLAG_BACKWARD);
        if (ret < 0)
            qWarning() << "openInput: seek failed, reading from the start:"
                       << ffmpeg::errorText(ret);
    }
    return input;
}

void ExportManager::readClip(ExportClipInput *input)
{
    std::unique_ptr<QThread> decodeThread(
        QThread::create([this, input] { decodeVideoDatasInThread(input); }));
    decodeThread->start();
    readClipPackets(input);
    // The clip's decoder is drained before the next clip is opened, so pictures reach the
    // encoder in timeline order.
    input->packets.push(ffmpeg::PacketPtr());
    finishClipAudio(input);
    decodeThread->wait();
    if (input->droppedFrames > 0)
        qInfo() << "openInput: pictures dropped at the output rate:" << input->droppedFrames;
}

void ExportManager::startSoundSection(ExportClipInput *input, int64_t fromSample, int64_t fromPts)
{
    input->section = std::make_unique<ExportAudioSection>(fromSample, input->endSample - fromSample,
                                                          m_AudioEncodeContext->frame_size,
                                                          [this](ffmpeg::FramePtr frame) {
                                                              AudioItem item;
                                                              item.kind = AudioItem::Frame;
                                                              item.frame = std::move(frame);
                                                              m_AudioQueue.push(std::move(item));
                                                          });
    QString error;
    if (input->audioStream >= 0 && input->sound != ExportClipInput::Sound::Silence &&
        !input->section->openDecoder(input->format->streams[input->audioStream], fromPts, &error)) {
        // The picture is still worth exporting; the clip's sound becomes silence.
        qWarning() << "openInput: sound not decodable, silence instead:" << error;
        input->sound = ExportClipInput::Sound::Silence;
        return;
    }
    if (input->audioStream >= 0 && input->sound != ExportClipInput::Sound::Silence)
        input->sound = ExportClipInput::Sound::Encode;
}

void ExportManager::readClipPackets(ExportClipInput *input)
{
    AVFormatContext *format = input->format.get();
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    if (!packet) {
        fail(tr("内存不足"));
        return;
    }
    bool videoDone = false;
    bool audioDone = input->audioStream < 0 || input->sound == ExportClipInput::Sound::Silence;
    while (!stopping() && !(videoDone && audioDone)) {
        const int ret = av_read_frame(format, packet.get());
        if (ret < 0) {
            if (ret != AVERROR_EOF)
                qWarning() << "openInput: reading stopped:" << ffmpeg::errorText(ret);
            break;
        }
        if (packet->stream_index == input->videoStream && !videoDone) {
            // Packets come in decoding order; once one decodes after the out-point, every
            // later one does too (a picture is never shown before it is decoded).
            const int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            if (dts != AV_NOPTS_VALUE && dts >= input->videoOut) {
                videoDone = true;
            } else {
                ffmpeg::PacketPtr copy = ffmpeg::makePacket();
                if (!copy) {
                    fail(tr("内存不足"));
                    break;
                }
                av_packet_move_ref(copy.get(), packet.get());
                input->packets.push(std::move(copy));
            }
        } else if (packet->stream_index == input->audioStream && !audioDone) {
            const bool inSpan = packet->pts != AV_NOPTS_VALUE && packet->pts >= input->audioIn;
            if (packet->pts != AV_NOPTS_VALUE && packet->pts >= input->audioOut) {
                audioDone = true;
            } else if (input->sound == ExportClipInput::Sound::Copy && inSpan &&
                       !exportaudio::packetDecodes(input->soundCheck.get(),
                                                   input->soundCheckFrame.get(), packet.get())) {
                // Damaged sound is not copied: from here on the clip's sound is decoded and
                // encoded again, with silence where it does not decode.
                qWarning() << "openInput: damaged sound packet at" << packet->pts
                           << ", encoding the rest of the clip's sound";
                input->soundCheck.reset();
                const int64_t sample =
                    input->startSample + av_rescale_q(packet->pts - input->audioIn,
                                                      input->audioTimebase,
                                                      exportaudio::kSampleTimebase);
                startSoundSection(input, std::min(sample, input->endSample), packet->pts);
                if (input->section)
                    input->section->decodePacket(packet.get());
            } else if (input->sound == ExportClipInput::Sound::Encode) {
                input->section->decodePacket(packet.get());
            } else if (input->sound == ExportClipInput::Sound::Copy && inSpan) {
                copyAudioPacket(input, packet.get());
            }
        }
        av_packet_unref(packet.get());
    }
}

void ExportManager::copyAudioPacket(ExportClipInput *input, AVPacket *packet)
{
    const int64_t sample =
        input->startSample + av_rescale_q(packet->pts - input->audioIn, input->audioTimebase,
                                          exportaudio::kSampleTimebase);
    if (sample >= input->endSample)
        return;
    ffmpeg::PacketPtr copy = ffmpeg::makePacket();
    if (!copy) {
        fail(tr("内存不足"));
        return;
    }
    av_packet_move_ref(copy.get(), packet);
    copy->pts = copy->dts = sample;
    copy->duration =
        av_rescale_q(copy->duration, input->audioTimebase, exportaudio::kSampleTimebase);
    copy->stream_index = 1;
    AudioItem item;
    item.kind = AudioItem::Packet;
    item.packet = std::move(copy);
    m_AudioQueue.push(std::move(item));
}

void ExportManager::finishClipAudio(ExportClipInput *input)
{
    if (!input->section)
        return;
    if (!stopping())
        input->section->finish();
    input->section.reset();
    AudioItem item;
    item.kind = AudioItem::SectionEnd;
    m_AudioQueue.push(std::move(item));
}
