#include "support/cliplist.h"

#include <QStringList>

namespace ClipList {

AVData clip(const QString &path, qint64 durationMs, qint64 beginMs, qint64 endMs,
            const QString &title, QSize pictureSize)
{
    AVData d;
    d.filePath = path;
    d.fileName = path.section('/', -1);
    d.title = title.isEmpty() ? d.fileName : title;
    d.duration = durationMs;
    d.videoWidth = pictureSize.width();
    d.videoHeight = pictureSize.height();
    d.beginTime = beginMs;
    d.endTime = endMs;
    return d;
}

AVData clip(qint64 beginMs, qint64 endMs, const QString &title)
{
    AVData d;
    d.title = title.isEmpty() ? QStringLiteral("片段") : title;
    d.fileName = d.uuid + QStringLiteral(".mp4");
    d.filePath = QStringLiteral("/nonexistent/") + d.fileName;
    d.duration = endMs;
    d.beginTime = beginMs;
    d.endTime = endMs;
    return d;
}

QList<AVData> laidOut(QList<AVData> clips)
{
    qint64 position = 0;
    for (AVData &d : clips) {
        d.position = position;
        position += d.length();
    }
    return clips;
}

QList<AVData> parse(const QString &text, const QHash<QString, QString> &files,
                    const QHash<QString, qint64> &durations)
{
    QList<AVData> clips;
    for (const QString &item : text.split(',', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(':');
        if (parts.size() != 3 || !files.contains(parts[0]))
            qFatal("bad clip list item: %s", qPrintable(item));
        clips << clip(files.value(parts[0]), durations.value(parts[0]), parts[1].toLongLong(),
                      parts[2].toLongLong());
    }
    return laidOut(clips);
}

}  // namespace ClipList
