#pragma once
// A further microphone on the test sound server, beside "lumora_mic": a null sink of its own
// ("<name>_sink"; what is played into it is what the microphone hears) and its monitor
// remapped into the source `name`, described to the desktop as `description`. Removed again
// by remove() or when destroyed.
#include <QString>
#include <QStringList>

class VirtualMicrophone
{
public:
    VirtualMicrophone(const QString &name, const QString &description);
    ~VirtualMicrophone();
    VirtualMicrophone(const VirtualMicrophone &) = delete;
    VirtualMicrophone &operator=(const VirtualMicrophone &) = delete;

    bool isReady() const { return m_modules.size() == 2; }
    QString source() const { return m_name; }
    QString sink() const { return m_name + QStringLiteral("_sink"); }
    void remove();

private:
    QString m_name;
    QStringList m_modules;  // the sound server's module numbers, newest last
};
