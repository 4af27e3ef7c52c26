#include "core/media/h264settings.h"

#include <QtGlobal>

namespace h264 {

QString crfFor(int width, int height)
{
    // Largest area (inclusive) for each factor.
    static const struct
    {
        qint64 area;
        const char *crf;
    } table[] = {{480000, "24"}, {756000, "26"}, {1612800, "27"}};
    const qint64 area = qint64(width) * height;
    for (const auto &row : table)
        if (area <= row.area)
            return QString::fromLatin1(row.crf);
    return QStringLiteral("28");
}

} // namespace h264
