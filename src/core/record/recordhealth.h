#pragma once
// RecordHealth watches a running recording for the window that shows it: the microphone's
// level for the meter (ten times a second), a microphone that stays silent at the start, the
// sound inputs the engine opened (the chosen microphone or the default in its place, the
// computer's sound or not), sound inputs lost and back or moved to another microphone during
// the recording, and the free space of the project folder's file system against
// what the recording writes. It
// only reads the engine; the window decides what to show and stops the recording when the
// disk is about to fill (diskFull).
//
// Main thread only (it runs on a timer of the thread that created it).
#include "core/record/soundlevel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <deque>
#include <functional>

class ScreenRecord;

class RecordHealth : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLevelIntervalMs = 100;
    static constexpr int kDiskIntervalMs = 2000;

    // The free bytes of the file system holding a folder; tests give their own.
    using FreeSpace = std::function<qint64(const QString &folder)>;

    explicit RecordHealth(ScreenRecord *engine, QObject *parent = nullptr);

    // Before the count-down: whether the folder's file system holds a recording of that
    // picture size; secondsLeft (when given) receives the estimated recording time left.
    static DiskSpaceGuard::State checkBeforeStart(const QString &folder, const QSize &picture,
                                                  qint64 *secondsLeft = nullptr);
    static qint64 freeBytes(const QString &folder);

    // Before the count-down: judges the disk for a recording of that picture size into
    // `folder` and reports a low disk at once (diskSpaceChanged). Full: do not record.
    DiskSpaceGuard::State prepare(const QString &folder, const QSize &picture);
    // Starts watching the recording (after prepare).
    void start();
    void stop();
    void setFreeSpaceForTesting(const FreeSpace &freeSpace) { m_freeSpace = freeSpace; }

    bool silentWarning() const { return m_silence.warning(); }
    // What the recording writes per second, as last measured (or estimated).
    qint64 bytesPerSecond() const { return m_rate; }

    // The texts the windows show.
    static QString silentMicrophoneText();
    static QString diskLowText(qint64 secondsLeft);
    static QString diskFullText();
    static QString diskFullBeforeStartText();
    // Whether the computer's sound goes into the recording.
    static QString computerSoundText(bool recorded);
    // A sound input lost during the recording (`microphone`: the microphone, else the
    // computer's sound), and back again.
    static QString soundLostText(bool microphone);
    static QString soundBackText(bool microphone);
    // The sound server now records another microphone, described as `description`.
    static QString microphoneNowText(const QString &description);
    // After the stop: the line about pictures that were late, or empty when at most 1 % were.
    static QString latePicturesText(qint64 late, qint64 total);

signals:
    // The loudest level of the last tenth of a second, soundlevel::kSilentDb for none or muted.
    void levelChanged(double db);
    void silentMicrophoneChanged(bool silent);
    // low: less than about five minutes of recording fit; secondsLeft: how many.
    void diskSpaceChanged(bool low, qint64 secondsLeft);
    // The next seconds of recording would fill the disk: stop now. Emitted once.
    void diskFull();
    // The engine opened its sound inputs: the microphone chosen in the settings was gone and
    // the default one is recorded instead; the computer's sound is recorded.
    void soundInputsOpened(bool microphoneFellBack, bool computerSound);
    // A sound input was lost (the file gets silence for it) or delivers again.
    void soundInputLost(bool microphone);
    void soundInputBack(bool microphone);
    // The microphone recorded is now another one (`description`, as the desktop names it).
    void microphoneChanged(const QString &description);
    // A warning of the engine (no microphone, the desktop stopped sharing the screen, …).
    void engineWarning(const QString &text);

private:
    void tickLevel();
    void checkDisk();

    QPointer<ScreenRecord> m_engine;
    QTimer m_levelTimer;
    QTimer m_diskTimer;
    QElapsedTimer m_sinceLevel;
    SilenceWatch m_silence;
    bool m_lastSilent = false;
    QString m_folder;
    qint64 m_estimate = 0;
    qint64 m_rate = 0;
    DiskSpaceGuard::State m_diskState = DiskSpaceGuard::Enough;
    bool m_fullSent = false;
    struct Sample
    {
        qint64 ms;
        qint64 freeBytes;
    };
    std::deque<Sample> m_samples;  // free space over the last ten seconds
    QElapsedTimer m_clock;
    FreeSpace m_freeSpace;
};
