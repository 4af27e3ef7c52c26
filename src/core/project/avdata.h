#pragma once
// One clip of a project: a media file in the project folder of which the span
// [beginTime, endTime) is used, placed on the timeline at `position`. All times are
// milliseconds. A plain value type; two clips are equal when their uuids are.
#include <QJsonObject>
#include <QMultiHash>
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

// Takes out of `kept` (objects made for clips, by clip uuid) the first one for `clip` that
// `fits` accepts; null when there is none. Lets a view keep what it made for a clip that is
// still there after an edit.
template <typename T, typename Fits>
T *takeKeptFor(QMultiHash<QString, T *> &kept, const AVData &clip, Fits fits)
{
    for (auto it = kept.find(clip.uuid); it != kept.end() && it.key() == clip.uuid; ++it) {
        if (fits(it.value())) {
            T *object = it.value();
            kept.erase(it);
            return object;
        }
    }
    return nullptr;
}
