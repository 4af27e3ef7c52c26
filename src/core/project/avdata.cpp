#include "core/project/avdata.h"

#include <QJsonValue>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>

AVData::AVData() : uuid(QUuid::createUuid().toString()) {}

void AVData::copyValuesFrom(const AVData &other)
{
    const QString keep = uuid;
    *this = other;
    uuid = keep;
}

QJsonObject AVData::toJson() const
{
    QJsonObject json;
    json.insert("uuid", uuid);
    json.insert("title", title);
    json.insert("fileName", fileName);
    json.insert("duration", duration);
    json.insert("videoSize", QStringLiteral("%1x%2").arg(videoWidth).arg(videoHeight));
    json.insert("position", position);
    json.insert("beginTime", beginTime);
    json.insert("endTime", endTime);
    return json;
}

// Times are read as 64-bit numbers so that clips longer than 2^31 ms survive a reopen. They
// come from a file, so they are kept within ±2^42 ms (139 years, longer than any media): an
// index (at most 16 MiB, so fewer than 2^19 clips) then cannot make a sum of spans overflow.
static qint64 readTime(const QJsonObject &json, const char *key)
{
    constexpr qint64 kLimit = qint64(1) << 42;
    const QJsonValue v = json.value(QLatin1String(key));
    qint64 n = 0;
    if (v.isDouble()) {
        const qint64 exact = v.toInteger(std::numeric_limits<qint64>::min());
        if (exact != std::numeric_limits<qint64>::min())
            n = exact;
        else if (!std::isnan(v.toDouble()))
            n = v.toDouble() < 0 ? -kLimit : kLimit;  // beyond 64 bits
    } else if (v.isString()) {
        bool ok = false;
        n = v.toString().toLongLong(&ok);
        if (!ok)
            n = 0;
    }
    return std::clamp(n, -kLimit, kLimit);
}

AVData AVData::fromJson(const QJsonObject &json)
{
    AVData d;
    d.uuid = json.value("uuid").toString();
    d.title = json.value("title").toString();
    d.fileName = json.value("fileName").toString();
    d.duration = readTime(json, "duration");
    d.position = readTime(json, "position");
    d.beginTime = readTime(json, "beginTime");
    d.endTime = readTime(json, "endTime");
    const QStringList size = json.value("videoSize").toString().split('x');
    d.videoWidth = size.value(0).toInt();
    // A size without "x" has no height: treat it as unknown.
    d.videoHeight = size.size() > 1 ? size.at(1).toInt() : -1;
    return d;
}
