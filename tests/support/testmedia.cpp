#include "support/testmedia.h"

#include <QProcess>

namespace TestMedia {

bool ffmpeg(const QStringList &args, QString *errorText)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-y", "-v", "error", "-nostdin"} + args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (errorText)
        *errorText = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeClip(const QString &path, double seconds, QSize size, bool withAudio, int fps,
              const QString &source)
{
    const QString dur = QString::number(seconds, 'f', 3);
    QString video = QStringLiteral("%1=size=%2x%3:rate=%4")
                        .arg(source)
                        .arg(size.width())
                        .arg(size.height())
                        .arg(fps);
    if (source.contains('='))
        video = QStringLiteral("%1:size=%2x%3:rate=%4")
                    .arg(source)
                    .arg(size.width())
                    .arg(size.height())
                    .arg(fps);
    QStringList args{"-f", "lavfi", "-i", video};
    if (withAudio)
        args += {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"};
    args += {"-t", dur, "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
    if (withAudio)
        args += {"-c:a", "aac", "-ar", "44100", "-ac", "2"};
    args += path;
    return ffmpeg(args);
}

}  // namespace TestMedia
