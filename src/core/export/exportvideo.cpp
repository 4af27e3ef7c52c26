// The picture side of one export clip, on the clip's decode thread: decoding, keeping the
// pictures inside the used span, re-timing them onto the output's 1/30 s grid and centring
// smaller pictures on the white canvas. Every output tick of the clip gets a picture: one that
// a file leaves out (a whiteboard recording has pictures only where the board changed) is the
// picture before it, held.
#include "core/export/exportclipinput.h"
#include "core/export/exportmanager.h"

#include <QDebug>

namespace {
constexpr AVRational kVideoEncoderTimebase{1, 30};
}

int ExportManager::decodeVideoDatasInThread(ExportClipInput *input)
{
    AVCodecContext *decoder = input->videoDecoder.get();
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    if (!frame)
        fail(tr("内存不足"));
    for (;;) {
        ffmpeg::PacketPtr packet = input->packets.pop();
        const bool end = !packet;
        // After a cancel or a failure the remaining packets are only taken off the queue.
        if (frame && (end || !stopping())) {
            int ret = avcodec_send_packet(decoder, packet.get());
            if (ret < 0 && ret != AVERROR_EOF)
                qWarning() << "decodeVideoDatasInThread: packet not decoded:"
                           << ffmpeg::errorText(ret);
            while ((ret = avcodec_receive_frame(decoder, frame.get())) >= 0) {
                handleDecodedFrame(input, frame.get());
                av_frame_unref(frame.get());
            }
        }
        if (end)
            break;
    }
    if (!stopping())
        holdUntil(input, outputTick(input->positionMs * 1000 +
                                    (input->clip.endTime - input->clip.beginTime) * 1000));
    input->videoDecoder.reset();
    return 1;
}

int64_t ExportManager::outputTick(int64_t outMicroseconds)
{
    return av_rescale_q_rnd(outMicroseconds, AV_TIME_BASE_Q, kVideoEncoderTimebase,
                            AV_ROUND_NEAR_INF);
}

void ExportManager::sendPicture(ExportClipInput *input, ffmpeg::FramePtr picture, int64_t outPts)
{
    picture->pts = outPts;
    picture->pkt_dts = outPts;
    picture->pict_type = AV_PICTURE_TYPE_NONE;  // the encoder chooses its own picture types
    m_LastVideoPts = outPts;
    ffmpeg::FramePtr kept(av_frame_clone(picture.get()));
    input->lastPicture = std::move(kept);
    m_VideoQueue.push(std::move(picture));
}

void ExportManager::holdUntil(ExportClipInput *input, int64_t tick)
{
    // Nothing of the span decoded yet: the picture before it shows from the span's start.
    if (!input->lastPicture && input->beforeSpan) {
        const int64_t start = outputTick(input->positionMs * 1000);
        const ffmpeg::FramePtr before = std::move(input->beforeSpan);
        if (start < tick && (m_LastVideoPts == AV_NOPTS_VALUE || start > m_LastVideoPts)) {
            ffmpeg::FramePtr first = pictureForOutput(input, before.get());
            if (!first)
                return;
            sendPicture(input, std::move(first), start);
        }
    }
    if (!input->lastPicture || m_LastVideoPts == AV_NOPTS_VALUE)
        return;
    for (int64_t next = m_LastVideoPts + 1; next < tick && !stopping(); ++next) {
        ffmpeg::FramePtr again(av_frame_clone(input->lastPicture.get()));
        if (!again) {
            fail(tr("内存不足，无法导出片段“%1”").arg(exportClipName(input->clip)));
            return;
        }
        ++input->heldFrames;
        sendPicture(input, std::move(again), next);
    }
}

void ExportManager::handleDecodedFrame(ExportClipInput *input, AVFrame *frame)
{
    if (stopping())
        return;
    int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
        pts = frame->pts;
    if (pts == AV_NOPTS_VALUE || pts >= input->videoOut)
        return;
    if (pts < input->videoIn) {
        // Before the used span (the seek lands on the key frame before it): kept in case the
        // span itself starts without a picture of its own.
        input->beforeSpan.reset(av_frame_clone(frame));
        return;
    }

    const int64_t outMicroseconds =
        input->positionMs * 1000 +
        av_rescale_q(pts - input->videoIn, input->videoTimebase, AV_TIME_BASE_Q);
    const int64_t outPts = outputTick(outMicroseconds);
    // A picture that falls on the same output tick as the previous one is left out, so the
    // output's timestamps strictly increase.
    if (m_LastVideoPts != AV_NOPTS_VALUE && outPts <= m_LastVideoPts) {
        ++input->droppedFrames;
        return;
    }
    holdUntil(input, outPts);
    input->beforeSpan.reset();
    ffmpeg::FramePtr picture = pictureForOutput(input, frame);
    if (!picture)
        return;
    sendPicture(input, std::move(picture), outPts);
}

ffmpeg::FramePtr ExportManager::pictureForOutput(ExportClipInput *input, AVFrame *frame)
{
    ffmpeg::FramePtr picture = input->converter.convert(frame);
    // Turned as players show it (a phone video stored on its side).
    if (picture && input->rotation != 0)
        picture = exportframes::rotateClockwise(picture.get(), input->rotation);
    if (!picture) {
        fail(tr("片段“%1”的画面无法转换").arg(exportClipName(input->clip)));
        return {};
    }
    if (picture->width > m_OutWidth || picture->height > m_OutHeight) {
        qWarning() << "pictureForOutput: picture" << picture->width << picture->height
                   << "larger than the output" << m_OutWidth << m_OutHeight;
        fail(tr("片段“%1”的画面（%2×%3）大于项目记录的大小，导出画面只有 %4×%5")
                 .arg(exportClipName(input->clip))
                 .arg(picture->width)
                 .arg(picture->height)
                 .arg(m_OutWidth)
                 .arg(m_OutHeight));
        return {};
    }
    if (picture->width == m_OutWidth && picture->height == m_OutHeight)
        return picture;
    // Smaller than the output: centred on white. The canvas is made here too when every clip
    // claimed the output size but this one decodes smaller.
    if (!m_BackgroundFrame)
        m_BackgroundFrame = exportframes::makeWhiteFrame(m_OutWidth, m_OutHeight);
    ffmpeg::FramePtr canvas =
        m_BackgroundFrame ? exportframes::pasteCentred(m_BackgroundFrame.get(), picture.get())
                          : ffmpeg::FramePtr();
    if (!canvas)
        fail(tr("内存不足，无法导出片段“%1”").arg(exportClipName(input->clip)));
    return canvas;
}
