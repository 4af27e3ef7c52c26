#pragma once
// Exports the open project as one video file: every clip's used span is read in timeline
// order, its picture decoded, centred on a white canvas of the largest clip size when smaller,
// and encoded as H.264; AAC sound at 44100 Hz stereo is copied, any other sound (and silence
// for a clip without sound) is encoded as AAC. With a loudness level set (setLoudness), the
// sound of the whole export is measured first and, unless it already is at the level, all of
// it is decoded, levelled (exportloudness.h) and encoded again. A project of one untrimmed clip
// that already is such an MP4 (H.264 in 4:2:0, AAC-LC 44100 Hz stereo) is copied (stream by stream
// into a new file when its index is not first or it needs chapters).
//
// Threads: construct, exportToFile(), cancelExport() and destroy on one thread that runs an
// event loop (the GUI thread or the command line's main thread); the result signals are
// emitted there. Inside: an export thread (driver, clip reading, sound), one decode thread per
// clip (started after the previous clip's decoder has been drained), a video writer thread
// (H.264 encoder and file), an audio writer thread (AAC encoders and file) and a thread that
// finishes the file (trailer with the index moved to the front, rename). The output is
// written to a temporary file beside the target and renamed onto it only when complete, so a
// failed or cancelled export leaves no partial file and keeps what was there before.
#include "core/export/blockingqueue.h"
#include "core/export/exportcliplist.h"
#include "core/media/ffmpeghandles.h"
#include "core/project/projectdata.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class QThread;
class SoundLeveller;
struct ExportClipInput;

class ExportManager : public QObject
{
    Q_OBJECT
public:
    // Exports `project` (the program's open project unless told otherwise).
    explicit ExportManager(QObject *parent = nullptr,
                           ProjectData *project = ProjectData::instance());
    ~ExportManager() override;

    // Reads the project's clip list (so call it on the main thread) and exports it to `path`
    // on the export thread; returns at once. Once per manager.
    void exportToFile(const QString &path);
    // The same for a given clip list.
    void exportClipsToFile(const QList<AVData> &clips, const QString &path);
    // Stops the export; the output is removed and sig_ExportCanceled() follows.
    void cancelExport();
    // Brings the sound to `targetLufs` (integrated, EBU R128) with true peaks at or under
    // loudness::kTruePeakDb; no value (the default) leaves the sound's level as it is. Before
    // exportToFile().
    void setLoudness(std::optional<double> targetLufs) { m_LoudnessTarget = targetLufs; }
    // After the export: the gain the sound was given in dB, no value when it was left as it
    // was.
    std::optional<double> appliedGainDb() const;

    // After sig_ExportFinished(false): what failed, one Chinese line.
    QString errorText() const;
    // The temporary file the export writes before it is renamed onto the target.
    static QString partialPath(const QString &path);

signals:
    void sig_WriteFinished(int steamIndex);
    void sig_ExportFinished(bool sucess);
    void sig_ExportProgress(int curProgress);
    void sig_ExportMaxProgress(int maxProgress);
    void sig_ExportCanceled();

private:
    // Hand-over items of the audio writer: a copied AAC packet, a PCM frame to encode, the
    // end of an encoded section (its encoder is drained), or the end of the export.
    struct AudioItem
    {
        enum Kind { Packet, Frame, SectionEnd, End } kind = End;
        ffmpeg::PacketPtr packet;
        ffmpeg::FramePtr frame;
    };

    void exportToFileInThread(QString path);
    bool clampSpans();
    // The measuring pass: decides m_Levelling and m_GainDb. False when cancelled.
    bool measureLoudness();
    bool isAlreadyExportFormat(const QString &file) const;
    bool copyWholeFile(const QString &source, const QString &path);
    int openOutput(const QString &path);
    // One export clip: openClip opens its file, decoders and span; readClip runs its decode
    // thread and reads its packets to the end of its span.
    int openInput(const AVData &clip, int index, qint64 position);
    std::unique_ptr<ExportClipInput> openClip(const AVData &clip, int index, qint64 position);
    void readClip(ExportClipInput *input);
    int decodeVideoDatasInThread(ExportClipInput *input);
    void handleDecodedFrame(ExportClipInput *input, AVFrame *frame);
    // The output tick (1/30 s) of a time of the output in microseconds.
    static int64_t outputTick(int64_t outMicroseconds);
    // Queues `picture` at `outPts`, keeping it as the clip's picture to hold.
    void sendPicture(ExportClipInput *input, ffmpeg::FramePtr picture, int64_t outPts);
    // Every tick after the last picture, up to `tick` (excluded), gets the clip's last picture.
    void holdUntil(ExportClipInput *input, int64_t tick);
    ffmpeg::FramePtr pictureForOutput(ExportClipInput *input, AVFrame *frame);
    void startSoundSection(ExportClipInput *input, int64_t fromSample, int64_t fromPts);
    void readClipPackets(ExportClipInput *input);
    void copyAudioPacket(ExportClipInput *input, AVPacket *packet);
    void finishClipAudio(ExportClipInput *input);
    int writeVideoDataInThread();
    int writeAudioDataInThread();
    bool writeAudioPacket(ffmpeg::PacketPtr packet);
    bool writePacket(AVPacket *packet, const char *what);
    // The message for an FFmpeg write error `ret` on the export file.
    QString writeFailure(int ret) const;
    void finishInput();
    void slot_write_finished(int steamIndex);
    void waitForThreads();
    void finishFile();
    void fail(const QString &message);
    bool stopping() const { return m_Canceled || m_Failed; }

    ffmpeg::OutputFormatContextPtr m_OutFormatContext;
    ffmpeg::CodecContextPtr m_VideoEncodeContext;
    ffmpeg::CodecContextPtr m_AudioEncodeContext;  // the stream's parameters and frame size
    AVRational m_VideoOutputTimebase{0, 1};
    AVRational m_AudioOutputTimebase{0, 1};
    int m_OutWidth = 0;
    int m_OutHeight = 0;
    int m_ClipCount = 0;
    std::atomic<bool> m_VideoWriting{true};
    std::atomic<bool> m_AudioWriting{true};
    std::atomic<bool> m_InputFinished{false};
    ffmpeg::FramePtr m_BackgroundFrame;
    QMutex m_WriteMutex;  // every av_interleaved_write_frame on the output
    std::atomic<bool> m_Canceled{false};
    std::atomic<bool> m_Failed{false};

    ProjectData *m_Project;
    QList<AVData> m_Timeline;  // the clips as given; read and clamped on the export thread
    ExportClipList m_ClipList;
    QString m_TargetPath;
    QString m_PartialPath;
    mutable QMutex m_ErrorMutex;
    QString m_ErrorText;
    bool m_Started = false;
    bool m_Finished = false;  // the file was finished and a result signal emitted

    std::unique_ptr<QThread> m_ExportThread;
    std::unique_ptr<QThread> m_VideoWriterThread;
    std::unique_ptr<QThread> m_AudioWriterThread;
    std::unique_ptr<QThread> m_FinishThread;  // trailer, index moved first, rename

    // Frames for the H.264 encoder, in output order (pts in 1/30 s); null ends the stream.
    BlockingQueue<ffmpeg::FramePtr> m_VideoQueue{8};
    BlockingQueue<AudioItem> m_AudioQueue{256};
    // Written only by the one decode thread running at a time (clips are decoded in turn).
    int64_t m_LastVideoPts = AV_NOPTS_VALUE;
    int64_t m_VideoEndPts = 0;  // end of the last written video packet, stream time base
    int64_t m_AudioEndPts = 0;  // end of the last written audio packet, stream time base
    int64_t m_LastAudioDts = AV_NOPTS_VALUE;  // in samples
    ffmpeg::PacketPtr m_PendingAudio;         // held back one packet so the last one can be trimmed

    std::optional<double> m_LoudnessTarget;
    // Set by the measuring pass before any clip is read: every clip's sound is then encoded,
    // through the leveller, by one encoder.
    std::atomic<bool> m_Levelling{false};
    double m_GainDb = 0;
};
