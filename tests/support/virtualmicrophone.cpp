#include "support/virtualmicrophone.h"

#include <QProcess>

namespace {
QString loadModule(const QStringList &arguments)
{
    QProcess pactl;
    pactl.start("pactl", QStringList{"load-module"} + arguments);
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
        return QString();
    return QString::fromLatin1(pactl.readAllStandardOutput()).trimmed();
}
}  // namespace

VirtualMicrophone::VirtualMicrophone(const QString &name, const QString &description) : m_name(name)
{
    const QString sinkModule =
        loadModule({"module-null-sink", "sink_name=" + sink(),
                    "sink_properties=device.description=" + description + "Sink"});
    if (sinkModule.isEmpty())
        return;
    m_modules << sinkModule;
    const QString sourceModule =
        loadModule({"module-remap-source", "master=" + sink() + ".monitor", "source_name=" + name,
                    "source_properties=device.description=" + description});
    if (!sourceModule.isEmpty())
        m_modules << sourceModule;
}

VirtualMicrophone::~VirtualMicrophone()
{
    remove();
}

void VirtualMicrophone::remove()
{
    while (!m_modules.isEmpty())
        QProcess::execute("pactl", {"unload-module", m_modules.takeLast()});
}
