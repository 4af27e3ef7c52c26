#include "support/mp4boxes.h"

#include <QFile>

QStringList Mp4Boxes::topLevel(const QString &path)
{
    QStringList boxes;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return boxes;
    const qint64 end = file.size();
    qint64 at = 0;
    while (at + 8 <= end && file.seek(at)) {
        const QByteArray head = file.read(16);
        if (head.size() < 8)
            break;
        const auto bigEndian = [&](int from, int bytes) {
            quint64 v = 0;
            for (int i = 0; i < bytes; ++i)
                v = v << 8 | quint8(head.at(from + i));
            return v;
        };
        // 32-bit size; 1: a 64-bit size follows the type; 0: the box runs to the end.
        quint64 size = bigEndian(0, 4);
        if (size == 1)
            size = head.size() == 16 ? bigEndian(8, 8) : 0;
        else if (size == 0)
            size = quint64(end - at);
        if (size < 8)
            break;
        boxes << QString::fromLatin1(head.mid(4, 4));
        at += qint64(size);
    }
    return boxes;
}
