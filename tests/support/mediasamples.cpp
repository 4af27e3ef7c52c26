#include "support/mediasamples.h"

#include "support/testmedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace MediaSamples {

bool makeSoundOnly(const QString &path, double seconds, int sampleRate)
{
    return TestMedia::ffmpeg(
        {"-f", "lavfi", "-i", QStringLiteral("sine=frequency=330:sample_rate=%1").arg(sampleRate),
         "-t", QString::number(seconds, 'f', 3), "-c:a", "aac", "-ac", "2", path});
}

bool makeRotated(const QString &path, QSize size, int degrees, bool asTag)
{
    // On a stream copy the tool turns a lower-case "rotate" tag into an MP4 display matrix
    // (when encoding it drops it); the upper-case tag passes into Matroska untouched, and the
    // probe's tag lookup ignores case.
    const QString plain = path + QStringLiteral(".plain.mkv");
    const QString tag = QStringLiteral("%1=%2").arg(asTag ? "ROTATE" : "rotate").arg(degrees);
    const bool ok = TestMedia::makeClip(plain, 1.0, size, false) &&
                    TestMedia::ffmpeg({"-i", plain, "-c", "copy", "-metadata:s:v:0", tag, "-f",
                                       asTag ? "matroska" : "mp4", path});
    QFile::remove(plain);
    return ok;
}

bool writeFirstHalf(const QString &source, const QString &target)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray all = in.readAll();
    return out.write(all.left(all.size() / 2)) == all.size() / 2;
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

}  // namespace MediaSamples
