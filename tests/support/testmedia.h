#pragma once
// Test media made with the ffmpeg tool into a caller's folder.
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>

namespace TestMedia {

// Runs the ffmpeg tool with `args` (after "-y -v error -nostdin"); true when it exited with 0
// within `timeoutMs` (-1: no limit, for runs that are themselves timed).
bool ffmpeg(const QStringList &args, QString *errorText = nullptr, int timeoutMs = 120000);

// Writes an H.264 (+ AAC 44100 Hz stereo when `withAudio`) MP4 of `seconds` at `fps`.
// `source` is a lavfi video source such as "testsrc2" or "color=c=red"; `preset` is x264's.
bool makeClip(const QString &path, double seconds, QSize size = QSize(320, 240),
              bool withAudio = true, int fps = 25, const QString &source = "testsrc2",
              const QString &preset = "ultrafast");

// The loudness of a file's sound as the ffmpeg tool's ebur128 filter (peak=true) measures it:
// integrated loudness in LUFS and true peak in dBTP of the sound from `fromSeconds` on; `ok`
// false when the tool failed.
struct Loudness
{
    bool ok = false;
    double integratedLufs = 0;
    double truePeakDb = 0;
};
Loudness measureLoudness(const QString &path, double fromSeconds = 0);

// The picture size of makeLecture's files.
inline constexpr QSize kLectureSize(640, 360);

// A lecture-like file of `seconds`: the moving lavfi picture `picture` ("testsrc2",
// "smptehdbars", ...) at 640x360 and 25 pictures a second, and a tone of `pitch` Hz whose
// loudness swells and fades as a voice's does (AAC, 44100 Hz).
bool makeLecture(const QString &path, int seconds, const QString &picture, double pitch);

// A recording with pauses of `seconds` at 320x240: a tone over a faint hiss (a room) that is
// switched off over each of `silentSeconds` (from, to pairs), and a moving picture (testsrc2)
// that stands still (one colour) over each of `stillSeconds`. `changeDriven` keeps only the
// pictures that changed and one a second otherwise, as the recorder's change-driven sources
// write them; else 25 pictures a second throughout.
bool makePausedRecording(const QString &path, double seconds,
                         const QList<QPair<double, double>> &silentSeconds,
                         const QList<QPair<double, double>> &stillSeconds, bool changeDriven);

}  // namespace TestMedia
