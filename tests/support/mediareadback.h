#pragma once
// Reads a written media file back with the FFmpeg libraries, for tests: its streams, every
// video packet's timestamps, the decoded pictures (as RGB images) and the decoded sound.
#include <QImage>
#include <QList>
#include <QString>
#include <QVector>

#include <functional>

struct AVFrame;

namespace MediaReadback {

struct StreamsInfo
{
    bool opened = false;
    QString videoCodec;  // FFmpeg codec name, "h264"
    int width = 0;
    int height = 0;
    QString audioCodec;  // "aac"
    int sampleRate = 0;
    int channels = 0;
    double durationSeconds = 0;  // of the container
};
StreamsInfo streams(const QString &path);

// Presentation and decoding times (seconds) of the video packets in file order, and whether
// each is a key picture.
struct PacketTimes
{
    QVector<double> pts;
    QVector<double> dts;
    QVector<bool> key;
};
PacketTimes videoPacketTimes(const QString &path);

// Calls `visit` with every decoded picture (time in seconds, RGB32 image). False when the
// file could not be read.
bool forEachPicture(const QString &path, const std::function<void(double, const QImage &)> &visit);

// The decoded sound, mixed to mono, at the file's own rate; `startSeconds` is the time of the
// first sample. Also the rates and channel counts the decoder reported for each frame.
struct Sound
{
    double startSeconds = 0;
    int sampleRate = 0;
    QVector<float> samples;
    QList<int> frameRates;
    QList<int> frameChannels;
};
Sound sound(const QString &path);

// Where the sound of `path` grows louder than `level` (of full scale, first channel) after at
// least `quietSeconds` below it: the file times of beeps or clicks.
QList<double> loudOnsets(const QString &path, double level = 0.1, double quietSeconds = 0.5);

// Decodes the best stream of `type` to its end, calling `visit` with each frame and its time in
// seconds. False when the file or its decoder could not be opened. The one decoding loop of
// the test helpers (MediaInspect reads through it too).
bool decodeStream(const QString &path, int type,
                  const std::function<void(const AVFrame *, double)> &visit);

// stderr of `ffmpeg -v error -i path -f null -` (empty for a file that decodes cleanly), with
// every picture passed on at its own time.
QString decodeErrors(const QString &path);

}  // namespace MediaReadback
