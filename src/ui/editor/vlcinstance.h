#pragma once
// One libvlc instance. Create, use and delete it on the main thread; every VlcMedia and
// VlcMediaPlayer made on it must be deleted before it.
#include <QObject>
#include <QStringList>

struct libvlc_instance_t;

class VlcInstance : public QObject
{
    Q_OBJECT
public:
    explicit VlcInstance(const QStringList &args, QObject *parent = nullptr);
    ~VlcInstance() override;

    libvlc_instance_t *core() const { return m_vlcInstance; }
    // False when libvlc could not be started (no plug-ins, a bad argument); every object made
    // on such an instance does nothing.
    bool status() const { return m_vlcInstance != nullptr; }

    static QString libVersion();

private:
    libvlc_instance_t *m_vlcInstance = nullptr;
};
