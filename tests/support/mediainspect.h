#pragma once
// Reads back a written media file with the FFmpeg libraries: its streams, the timestamps and
// colours of its pictures and the loudness of its sound, as a viewer would see and hear them.
#include <QColor>
#include <QList>
#include <QString>

namespace MediaInspect {

struct Stream
{
    bool present = false;
    QString codec;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    double startSec = 0;  // first packet's time
    double endSec = 0;    // end of the last packet (its time plus its duration)
    int packets = 0;
};

struct Info
{
    bool opened = false;
    double durationSec = 0;  // what the container reports
    Stream video;
    Stream audio;
};

// Opens the file and reads every packet; a damaged tail ends the reading quietly.
Info probe(const QString &path);

struct Picture
{
    double sec = 0;  // presentation time
    QColor centre;   // mean colour of the middle ninth of the picture
};
// Decodes every picture.
QList<Picture> pictures(const QString &path);

struct Loudness
{
    double sec = 0;  // start of the window
    double rms = 0;  // root mean square of the samples, 0..1
};
// Decodes the sound and measures it in windows of `windowSec`.
QList<Loudness> loudness(const QString &path, double windowSec = 0.05);
// Largest absolute sample value of the whole sound track, 0..1 (-1 when there is none).
double peak(const QString &path);

}  // namespace MediaInspect
