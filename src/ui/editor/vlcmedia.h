#pragma once
// One media on a VlcInstance: a local file (or a location libvlc understands). Main thread
// only. The players that opened it keep their own reference, so it may be deleted while
// one of them still plays it.
#include "ui/editor/vlccommon.h"

#include <QObject>
#include <QString>

class VlcInstance;
struct libvlc_media_t;

class VlcMedia : public QObject
{
    Q_OBJECT
public:
    VlcMedia(const QString &location, bool localFile, VlcInstance *instance);
    ~VlcMedia() override;

    libvlc_media_t *core() const { return m_vlcMedia; }
    QString currentLocation() const { return m_location; }
    Vlc::State state() const;

private:
    libvlc_media_t *m_vlcMedia = nullptr;
    QString m_location;
};
