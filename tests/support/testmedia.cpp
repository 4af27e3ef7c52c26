#include "support/testmedia.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

namespace TestMedia {

bool ffmpeg(const QStringList &args, QString *errorText, int timeoutMs)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-y", "-v", "error", "-nostdin"} + args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (errorText)
        *errorText = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

Loudness measureLoudness(const QString &path, double fromSeconds)
{
    QProcess p;
    p.start("ffmpeg", {"-hide_banner", "-nostats", "-nostdin", "-ss", QString::number(fromSeconds),
                       "-i", path, "-map", "0:a:0", "-af", "ebur128=peak=true:framelog=verbose",
                       "-f", "null", "-"});
    Loudness result;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return result;
    // The summary at the end: "I: -16.0 LUFS" under "Integrated loudness", "Peak: -1.7 dBFS"
    // under "True peak".
    const QString log = QString::fromUtf8(p.readAllStandardError());
    const qsizetype summary = log.lastIndexOf("Summary:");
    const QRegularExpressionMatch integrated =
        QRegularExpression(R"(I:\s+(-?[0-9.]+|-inf) LUFS)").match(log, summary);
    const QRegularExpressionMatch peak =
        QRegularExpression(R"(Peak:\s+(-?[0-9.]+|-inf) dBFS)").match(log, summary);
    if (summary < 0 || !integrated.hasMatch() || !peak.hasMatch())
        return result;
    auto number = [](const QString &text) { return text == "-inf" ? -1000.0 : text.toDouble(); };
    result.integratedLufs = number(integrated.captured(1));
    result.truePeakDb = number(peak.captured(1));
    result.ok = true;
    return result;
}

bool makeClip(const QString &path, double seconds, QSize size, bool withAudio, int fps,
              const QString &source, const QString &preset)
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
    args += {"-t", dur, "-c:v", "libx264", "-preset", preset, "-pix_fmt", "yuv420p"};
    if (withAudio)
        args += {"-c:a", "aac", "-ar", "44100", "-ac", "2"};
    args += path;
    // Long or large clips take a while on a busy machine: the limit grows with the length.
    return ffmpeg(args, nullptr, std::max(120000, int(seconds * 4000)));
}

bool makeLecture(const QString &path, int seconds, const QString &picture, double pitch)
{
    const QString d = QString::number(seconds);
    return ffmpeg(
        {"-f", "lavfi", "-i",
         QString("%1=size=%2x%3:rate=25")
             .arg(picture)
             .arg(kLectureSize.width())
             .arg(kLectureSize.height()),
         "-f", "lavfi", "-i",
         QString(
             "aevalsrc=0.9*sin(2*PI*%1*t)*abs(sin(0.9*t))*(0.4+0.6*abs(sin(3.1*t))):s=44100:d=%2")
             .arg(pitch)
             .arg(d),
         "-t", d, "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac",
         path});
}

bool makePausedRecording(const QString &path, double seconds,
                         const QList<QPair<double, double>> &silentSeconds,
                         const QList<QPair<double, double>> &stillSeconds, bool changeDriven)
{
    // "between(t,a,b)+between(t,c,d)...": 1 inside one of the spans, else 0.
    auto inside = [](const QList<QPair<double, double>> &spans) {
        QStringList terms;
        for (const auto &[from, to] : spans)
            terms << QStringLiteral("between(t,%1,%2)").arg(from).arg(to);
        return terms.isEmpty() ? QStringLiteral("0") : terms.join('+');
    };
    const QString d = QString::number(seconds);
    const QString graph =
        QStringLiteral("testsrc2=s=320x240:r=25:d=%1[m];color=c=0x336699:s=320x240:r=25:d=%1[c];"
                       "[m][c]overlay=enable='%2'%3[v];"
                       "sine=f=330:r=44100:d=%1,volume='1-(%4)':eval=frame[t];"
                       "anoisesrc=a=0.003:c=pink:r=44100:d=%1[n];"
                       "[t][n]amix=inputs=2:normalize=0[a]")
            .arg(d, inside(stillSeconds),
                 changeDriven ? QStringLiteral(",mpdecimate=max=25") : QString(),
                 inside(silentSeconds));
    QStringList args{"-filter_complex", graph, "-map", "[v]", "-map", "[a]"};
    if (changeDriven)
        args += {"-vsync", "vfr"};
    args += {"-c:v", "libx264", "-preset", "ultrafast", "-bf", "0",  "-pix_fmt", "yuv420p", "-c:a",
             "aac",  "-ar",     "44100",   "-ac",       "2",   "-t", d,          path};
    return ffmpeg(args, nullptr, std::max(120000, int(seconds * 4000)));
}

}  // namespace TestMedia
