#pragma once
// One clip of a project: a media file in the project folder of which the span
// [beginTime, endTime) is used, placed on the timeline at `position`. All times are
// milliseconds. A plain value type; two clips are equal when their uuids are.
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

class AVData
{
public:
    AVData();

    QString uuid;
    QString title;
    QString fileName;
    QString filePath;  // project folder + "/" + fileName; formed on load, never saved
    qint64 duration = 0;
    int videoWidth = -1;
    int videoHeight = -1;
    qint64 position = 0;
    qint64 beginTime = 0;
    qint64 endTime = 0;

    qint64 length() const { return endTime - beginTime; }

    // Copies every field of `other` except the uuid.
    void copyValuesFrom(const AVData &other);

    QJsonObject toJson() const;
    static AVData fromJson(const QJsonObject &json);

    bool operator==(const AVData &other) const { return uuid == other.uuid; }
    bool operator!=(const AVData &other) const { return uuid != other.uuid; }
};

Q_DECLARE_METATYPE(AVData)
