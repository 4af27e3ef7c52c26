#pragma once
// ScreenRecord: the recording engine. Takes its pictures from a PictureSource (by default a
// rectangle of the X screen read where it changed, X11DamageSource, or grabbed whole by
// X11GrabSource; the whiteboard gives its own scene) and its sound
// from a PulseAudio source ("pulse"), crops, encodes H.264 and AAC and writes one MP4 file for
// the project clip it is given, leaving paused stretches out and splitting the file into
// several clips on request. Pictures of a change-driven source go to the encoder by
// PictureCadence's rule, so such a file has pictures only where the picture changed (and at
// least one a second), each stamped with the time it appeared. The file is a fragmented MP4, so a
// recording that is cut off (the program killed, the power gone) still plays up to its last
// fragment.
//
// Threads:
// - Every public function is called on the engine's thread (the thread that created it,
//   normally the main thread).
// - Preparation runs on two short-lived QThreads; the two readers and the two encoder loops run
//   on m_threadPool. A reader queues packets for its decoder and an encoder loop decodes them
//   and takes the frames, under that decoder's mutex; m_writerMutex serialises every use of the
//   output file.
// - Changes to the project are carried out on its thread (the main thread) while the worker
//   waits (HandOver).
// - sigRecordFinish, sig_Warning, sig_Critical and sig_PrepareComplete may be emitted from
//   worker threads; the engine's own reactions to them run on its thread.
// An engine records once. Destroying it stops a recording that is still running and waits for
// its threads; the file is finished, the project is then left as it is.
#include "core/media/ffmpeghandles.h"
#include "core/platform/handover.h"
#include "core/project/avdata.h"
#include "core/record/clipsplitpoint.h"
#include "core/record/picturesource.h"
#include "core/record/recordtimeline.h"
#include "core/record/soundsettings.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class CameraPlacement;
class ProjectData;
class QThread;
class SoundInputWatch;
class QThreadPool;

class ScreenRecord : public QObject
{
    Q_OBJECT
public:
    enum RecordState { Idle = 0, Prepared = 1, Recording = 2, Paused = 3, Stopped = 4 };
    enum OutStreamType { VideoStream = 0, AudioStream = 1 };
    class OutFileWriter;

    // The names of the engine's recordings in the sound server's list.
    static constexpr const char *kMicrophoneStreamName = "Lumora microphone";
    static constexpr const char *kComputerSoundStreamName = "Lumora computer sound";
    // How often a lost sound input is tried again.
    static constexpr int kReopenIntervalMs = 500;

    // Pictures per second taken from the screen (at most, when only its changes are read).
    static constexpr int kFrameRate = 30;
    // How the screen is read, a key of "conf.ini": by default only what changed
    // (X11DamageSource); kScreenGrabX11grab grabs it whole at kFrameRate (X11GrabSource), as
    // also when the X server lacks what the first needs.
    static constexpr const char *kScreenGrabKey = "record/screenGrab";
    static constexpr const char *kScreenGrabX11grab = "x11grab";
    // Sound written to the file.
    static constexpr int kSampleRate = 44100;
    // The longest stretch of the file between two key pictures (where a seek or a cut can
    // begin decoding), whatever the source.
    static constexpr qint64 kKeyPictureDistanceUs = 2000000;

    // Records into ProjectData::instance().
    explicit ScreenRecord(QObject *parent = nullptr);
    // Records into `project`, which must outlive the engine.
    explicit ScreenRecord(ProjectData *project, QObject *parent = nullptr);
    ~ScreenRecord() override;

    // Keeps the top-left corner; width and height are rounded down to multiples of 4.
    void setRecordRect(const QRect &rect);
    // Before prepareRecord: pictures come from `source` instead of the screen rectangle; the
    // file's picture is the source's size.
    void setPictureSource(std::shared_ptr<PictureSource> source);
    // Before prepareRecord: the camera laid onto every picture where and while `placement`
    // says (CameraStep), whatever the picture source.
    void setCamera(std::shared_ptr<CameraPlacement> placement);
    QRect recordRect() const { return m_recordRect; }
    // Opens the inputs and the file for `clip` (its filePath is the output); packets are read
    // and thrown away until startRecord.
    void prepareRecord(AVData &clip);
    void startRecord();
    void pauseRecord();
    void resumeRecord();
    void stopRecord();
    // Ends the current clip and goes on in a new clip titled `title`, written into the same
    // file. The new clip begins where the picture changes within half a second (a slide show
    // paints the new slide a moment after it reports it), else at the next picture.
    void startNextClip(const QString &title);
    void setMute(bool mute);
    bool isMuted() const { return m_mute.load(); }

    RecordState state() const { return static_cast<RecordState>(m_state.load()); }
    // True once the inputs are open and being read (until startRecord what they deliver is
    // thrown away); a count-down that ends later starts the recording without delay.
    bool isCapturing() const { return m_capturing.load(); }
    // The PulseAudio source in use; empty when the file gets a silent sound track.
    QString audioDeviceName() const;
    // What is recorded of the sound (microphone, computer sound, noise reduction). Read from
    // "conf.ini" by prepareRecord unless given before it.
    void setSoundSettings(const SoundSettings &settings);
    SoundSettings soundSettings() const;
    // Once the sound inputs are open (sig_SoundInputsOpened; any thread): whether the
    // microphone chosen in the settings was gone and the default one is recorded instead, and
    // whether the computer's sound is recorded.
    bool microphoneFellBack() const { return m_microphoneFellBack.load(); }
    bool recordsComputerSound() const { return m_computerSoundOpen.load(); }

    // The loudest microphone level (dBFS) recorded since the last call, or
    // soundlevel::kSilentDb when no sound was recorded since; any thread.
    double takeSoundPeak();
    // Pictures of the file so far, and how many of them the screen could not be grabbed for
    // in time (the file repeats the picture before); any thread. For a change-driven source
    // the late ones are the places of the frame rate its reader was held up for (changes then
    // go unseen), and they count among the pictures.
    qint64 pictureCount() const
    {
        return m_pictureSlots.load() + (m_changeDriven ? m_latePictures.load() : 0);
    }
    qint64 latePictureCount() const { return m_latePictures.load(); }
    // Tests only: every picture's encoding takes at least this long and the picture reaches
    // the file that much later, as on a machine too busy to keep up.
    static void setEncodeDelayForTesting(int ms);

    // The x264 "crf" for a picture of width x height.
    static QString crfFor(int width, int height);
    // The crop filter applied to the grabbed picture.
    QString cropDescription() const;

    // How warnings and critical errors reach the user. The window layer installs one that
    // shows message boxes ("警告" / "错误"); without it they are only logged. Runs on the
    // engine's thread; `parent` is the engine's parent object.
    using MessagePresenter =
        std::function<void(QObject *parent, bool critical, const QString &text)>;
    static void setMessagePresenter(const MessagePresenter &presenter);

signals:
    void sigRecordFinish();
    void sigRecordFail();
    void sig_Warning(QString text);
    void sig_Critical(QString text);
    void sig_PrepareComplete();
    void sig_SoundInputsOpened();
    // A sound input stopped delivering (the sound server went away, or the device): the file
    // gets silence in its place while the engine opens it again every kReopenIntervalMs.
    // `microphone`: the microphone, else the computer's sound.
    void sig_SoundInputLost(bool microphone);
    // The lost input delivers again, from the PulseAudio source `device`.
    void sig_SoundInputBack(bool microphone, QString device);
    // The microphone recorded now is another source than before (the sound server moved the
    // recording, e.g. when a USB microphone was unplugged): its name and the desktop's
    // description of it.
    void sig_MicrophoneChanged(QString device, QString description);
    // The camera stopped delivering while recording (unplugged, taken away): the recording
    // goes on without it. Emitted once, from the video reader.
    void sig_CameraLost(QString reason);

private:
    // A decoder shared by a reader (queues packets) and an encoder loop (decodes them and
    // takes the frames). The queue lets the reader go on reading while the encoder loop is
    // busy, so that the screen is grabbed at its own pace on a loaded machine.
    struct DecoderChannel
    {
        QMutex mutex;
        QWaitCondition changed;  // a packet was queued or taken, or a frame taken
        ffmpeg::CodecContextPtr context;
        std::deque<ffmpeg::PacketPtr> queue;  // an empty pointer: the input has ended
        // The input is lost and being opened again; the encoder loop writes silence for it.
        std::atomic<bool> lost{false};
    };
    // Packets a reader may queue before it waits for the encoder loop.
    static constexpr size_t kQueuedPackets = 8;

    // Preparation (screenrecord.cpp)
    void prepareRecordInThread();
    void onPrepareComplete(const AVData &clip);
    void openRestInThread(AVData clip);
    // Runs `job` on the project's thread and waits; false when the engine is being destroyed
    // and `job` did not run.
    bool runOnMainThread(const std::function<void()> &job);
    void presentMessage(bool critical, const QString &text);
    static qint64 captureClockNow() { return PictureSource::captureClockUs(); }

    // Inputs and encoders (screenrecordinput.cpp)
    // The screen rectangle's source by kScreenGrabKey, opened; null (`error` says why) when
    // no source can be opened.
    static std::shared_ptr<PictureSource> openScreenSource(const QRect &rect, QString *error);
    int openVideoInput();
    int openVideoEncoder();
    int openAudioInput();
    int openAudioEncoder();
    void createSilenceFrame();
    int initFilter(const char *description);

    // Readers (screenrecordreaders.cpp)
    void decodeVideoDatasInThread();
    void decodeAudioDatasInThread();
    // The clip asked for by startNextClip, if one was asked for since the last call (and, for
    // a picture taken at `notBeforeUs`, at or before that time).
    bool takeClipRequest(AVData &next, qint64 notBeforeUs = std::numeric_limits<qint64>::max());
    // Ends the current clip at `fileUs` and goes on in `next`.
    void splitClip(qint64 fileUs, AVData next);
    // The reader of a change-driven source (screenrecordchanges.cpp).
    void readChangedPicturesInThread();
    // Queues `packet` (its reference is taken over; null: the input has ended); waits while
    // the queue is full.
    void queuePacket(DecoderChannel &channel, AVPacket *packet);

    // Encoders and the file (screenrecordencoders.cpp)
    int encodeVideoDatasInThread();
    int encodeAudioDatasInThread();
    // A decoded frame of `channel`, waiting as long as it takes (AVERROR_EOF at the end).
    int receiveFrame(DecoderChannel &channel, AVFrame *frame);
    void encodeAndWrite(AVFrame *frame, OutStreamType type);
    void encodeSilenceUntil(qint64 endSamples);
    int writeFinished(OutFileWriter *writer, OutStreamType type);
    OutFileWriter *currentWriter(OutStreamType type) const;
    void onWriteError(int error);

    ProjectData *m_project = nullptr;
    AVData m_avData;
    QRect m_recordRect;
    QString m_audioDeviceName;
    std::shared_ptr<PictureSource> m_pictureSource;
    std::shared_ptr<CameraPlacement> m_cameraPlacement;
    bool m_changeDriven = false;  // m_pictureSource is change-driven
    ffmpeg::InputFormatContextPtr m_pAudioInputContext;
    DecoderChannel m_videoDecoder;
    DecoderChannel m_audioDecoder;
    ffmpeg::CodecContextPtr pVideoEncodeContext;
    ffmpeg::CodecContextPtr pAudioEncodeContext;
    int m_audioStreamIndex = -1;
    std::atomic<int> m_state{Idle};
    std::atomic<bool> m_mute{false};
    QMutex m_writerMutex;
    QThreadPool *m_threadPool = nullptr;
    AVRational m_videoInputTimebase{1, 1000000};
    AVRational m_audioInputTimebase{1, 10000000};
    AVFilterContext *m_bufferSinkContext = nullptr;
    AVFilterContext *m_bufferSrcContext = nullptr;
    ffmpeg::FilterGraphPtr m_filterGraph;
    std::vector<std::unique_ptr<OutFileWriter>> m_writers;  // oldest first
    std::atomic<bool> m_newClipRequested{false};
    AVData m_nextAvData;
    qint64 m_clipRequestUs = 0;  // capture time of the last startNextClip
    QMutex m_clipMutex;  // m_avData and m_nextAvData between the engine's thread and the readers
    ffmpeg::FramePtr m_silenceFrame;
    // Video reader only: where the clip asked for begins, and that clip.
    ClipSplitPoint m_splitPoint;
    AVData m_watchedClip;

    // Where the grabbed picture lies on the screen (the rectangle itself: only it is grabbed).
    QPoint m_grabOrigin;
    RecordTimeline m_timeline{1000000 / kFrameRate};
    qint64 m_lastKeyPictureUs = -1;      // video encoder loop: the newest key picture's time
    qint64 m_silenceWrittenSamples = 0;  // silent track: samples handed to the encoder
    qint64 m_audioEncodedSamples = 0;    // microphone track: samples handed to the encoder
    std::atomic<bool> m_capturing{false};
    static constexpr int kNoPeak = std::numeric_limits<int>::min();
    void notePeak(double db);  // sound encoder loop
    static std::atomic<int> &encodeDelayForTesting();
    std::atomic<int> m_soundPeakCentiDb{kNoPeak};  // loudest level since takeSoundPeak, 0.01 dB
    std::atomic<qint64> m_pictureSlots{0};
    std::atomic<qint64> m_latePictures{0};
    std::atomic<bool> m_writeFailed{false};
    std::atomic<bool> m_destroying{false};
    HandOver m_handOver;                     // cancelled when the engine is destroyed
    std::atomic<bool> m_endReported{false};  // sigRecordFinish or the failure, once
    std::unique_ptr<QThread> m_prepareThread;
    std::unique_ptr<QThread> m_openThread;
    mutable QMutex m_deviceMutex;  // m_audioDeviceName, m_soundSettings

    // The computer's sound: a third reader, mixed by the sound encoder loop (screenrecordaudio).
    int openComputerSoundInput();
    // Reads a sound input until the recording is over; an input that fails is opened again
    // (reopenSoundInput) until it delivers or the recording ends.
    void readSoundInThread(ffmpeg::InputFormatContextPtr &context, int &streamIndex,
                           DecoderChannel &channel, bool microphone);
    // Opens a lost input again: the microphone recorded before, else the default one; the
    // source opened, or empty when none could be.
    QString reopenSoundInput(bool microphone, ffmpeg::InputFormatContextPtr &context,
                             int &streamIndex);
    // A decoded frame of `channel` if one is ready within `waitMs` (AVERROR(EAGAIN) if not).
    static int pollFrame(DecoderChannel &channel, AVFrame *frame, int waitMs);
    SoundSettings m_soundSettings;
    bool m_soundSettingsGiven = false;
    std::atomic<bool> m_microphoneFellBack{false};
    std::atomic<bool> m_computerSoundOpen{false};
    // Which source the sound server records for the microphone's stream; from the open
    // thread to the end of the microphone's reader.
    std::unique_ptr<SoundInputWatch> m_microphoneWatch;
    QString m_watchedMicrophone;  // the source it last reported (m_deviceMutex)
    ffmpeg::InputFormatContextPtr m_pComputerSoundInputContext;
    DecoderChannel m_computerSoundDecoder;
    int m_computerSoundStreamIndex = -1;
};
