#include "support/mp4chapters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace Mp4Chapters {

QList<Chapter> list(const QString &path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_chapters", "-of", "json", path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    QList<Chapter> chapters;
    const QJsonArray array =
        QJsonDocument::fromJson(p.readAllStandardOutput()).object().value("chapters").toArray();
    for (const QJsonValue &value : array) {
        const QJsonObject o = value.toObject();
        chapters.append({o.value("start_time").toString().toDouble(),
                         o.value("end_time").toString().toDouble(),
                         o.value("tags").toObject().value("title").toString()});
    }
    return chapters;
}

QStringList summary(const QString &path)
{
    QStringList lines;
    for (const Chapter &c : list(path))
        lines << QStringLiteral("%1@%2").arg(c.title).arg(c.startSec, 0, 'f', 1);
    return lines;
}

bool decodesCleanly(const QString &path, QString *errors)
{
    QProcess p;
    p.start("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    if (!p.waitForFinished(120000))
        return false;
    const QString text = QString::fromUtf8(p.readAllStandardError());
    if (errors)
        *errors = text;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && text.isEmpty();
}

} // namespace Mp4Chapters
