#pragma once
// CameraStep: the step between a picture source and the recorder that lays the camera onto the
// recorded pictures (CameraOverlay), wherever they come from: the screen grab, the Wayland
// screen cast, the board's own scene. It is a PictureSource itself, wrapped around the opened
// source, so everything after it is as without a camera. The camera's own pictures are laid on,
// not a grab of its preview, so a window over the preview never hides the teacher.
//
// Where, how big, in which shape and whether the camera shows at all is read from a
// CameraPlacement for every picture, so the window's changes reach the file from that moment.
// A continuous source's pictures each get the newest camera picture. A change-driven source's
// newest picture is kept as it came; while the camera shows, every new camera picture lays
// itself onto it and is delivered as a picture of its own, stamped with the time the camera
// took it, so the file follows the camera's rate (the recorder keeps to at most 30 a second).
// A camera that stops delivering is told once (onCameraLost) and left out from then on; the
// recording goes on.
//
// Threads as PictureSource says. A change-driven source is read by a thread of the step's own,
// so that a wait for the next picture ends at a camera picture too. CameraPlacement: any thread.
#include "core/camera/cameraoverlay.h"
#include "core/camera/camerasettings.h"
#include "core/media/ffmpeghandles.h"
#include "core/record/picturesource.h"

#include <QMutex>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CameraFeed;

// Which camera, and where and how it shows: set by the window, read by the step.
class CameraPlacement
{
public:
    struct State
    {
        bool visible = false;
        CameraShape shape = CameraShape::Circle;
        CameraPlace place;
        bool mirror = false;
    };
    void set(const State &state);
    // The state now, and a number that changes with every set() and setFeed().
    State state(qint64 *version = nullptr) const;
    // The camera laid on (null: none); it may be opened or changed during the recording.
    void setFeed(std::shared_ptr<CameraFeed> feed);
    std::shared_ptr<CameraFeed> feed() const;

private:
    mutable QMutex m_mutex;
    State m_state;
    std::shared_ptr<CameraFeed> m_feed;
    qint64 m_version = 0;
};

class CameraStep : public PictureSource
{
public:
    // `source` is open.
    CameraStep(std::shared_ptr<PictureSource> source, std::shared_ptr<CameraPlacement> placement);
    ~CameraStep() override;
    CameraStep(const CameraStep &) = delete;
    CameraStep &operator=(const CameraStep &) = delete;

    // Called once, on the reader's thread, when the camera stops delivering while recording;
    // `reason` in the program's language. Set before open().
    void setOnCameraLost(std::function<void(const QString &reason)> onLost);

    // Does not open the source again: checks that the camera can be laid on its pictures.
    bool open(QString *error) override;
    const AVCodecParameters *parameters() const override { return m_source->parameters(); }
    AVRational timeBase() const override { return m_source->timeBase(); }
    bool isChangeDriven() const override { return m_source->isChangeDriven(); }
    int encoderThreads() const override { return m_source->encoderThreads(); }
    Read read(AVPacket *packet, qint64 *captureUs, int timeoutMs) override;
    void interrupt() override;

private:
    // Follows the placement's camera: listens to it, and to no other.
    void followFeed();
    // The placement's rectangle when the camera shows now, else empty; sees a lost camera.
    QRect shownRect(CameraPlacement::State *state);
    // Lays the newest camera picture onto the picture `packet` holds (writable) at `rect`.
    void layOn(AVPacket *packet, const CameraPlacement::State &state, const QRect &rect);
    // `packet` gets a copy of the kept picture with the camera on it where it shows.
    bool deliverKept(AVPacket *packet, qint64 *captureUs, qint64 stampUs);
    void readSourceInThread();

    std::shared_ptr<PictureSource> m_source;
    std::shared_ptr<CameraPlacement> m_placement;
    std::shared_ptr<CameraFeed> m_feed;  // reader only: the placement's camera, listened to
    std::function<void(const QString &)> m_onLost;
    int m_listener = -1;
    AVPixelFormat m_format = AV_PIX_FMT_NONE;
    QSize m_size;
    CameraOverlay m_overlay;         // reader only
    ffmpeg::FramePtr m_cameraFrame;  // reader only
    bool m_lostTold = false;         // reader only: m_feed's end was told
    std::atomic<bool> m_interrupted{false};

    // Change-driven sources: the source's pictures come through m_waiting.
    std::mutex m_mutex;
    std::condition_variable m_changed;  // a picture, a camera picture, the end
    ffmpeg::PacketPtr m_waiting;        // the newest source picture not read yet
    qint64 m_waitingUs = 0;
    qint64 m_wakes = 0;  // camera pictures and ends seen by the listener
    bool m_sourceEnded = false;
    std::thread m_sourceReader;
    // Reader only: the newest source picture as it came, and what was last delivered.
    ffmpeg::PacketPtr m_kept;
    qint64 m_lastStampUs = -1;
    qint64 m_usedCamera = 0;    // number of the camera picture last laid on
    qint64 m_usedVersion = -1;  // of the placement last followed
    AVBufferPool *m_pool = nullptr;
    int m_poolBytes = 0;
};
