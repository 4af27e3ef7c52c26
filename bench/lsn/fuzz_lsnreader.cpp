// libFuzzer target for the packed project file reader: each input is read by the `--info`
// walk and unpacked by the packer, and must never crash, hang or leak outside its folder. A
// file `--info` accepts must also unpack, since both apply the same checks. The clips of an
// index are read and laid out for export as the program does it, so hostile times (64-bit
// limits) must not overflow.
#include "core/export/exportcliplist.h"
#include "core/storage/infocommand.h"
#include "core/storage/lsnpacker.h"
#include "core/storage/projectindex.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString dir = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
        const QString base = qEnvironmentVariableIsSet("LSN_FUZZ_DIR")
                                 ? qEnvironmentVariable("LSN_FUZZ_DIR")
                                 : QDir::tempPath();
        const QString d = base + QStringLiteral("/lumora-fuzz-%1").arg(getpid());
        QDir().mkpath(d + "/inside");
        return d;
    }();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString file = dir + "/in.lsn";
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            std::abort();
    }
    QString text;
    QTextStream out(&text);
    QTextStream err(&text);
    const int info = runInfoCommand(file, out, err);

    LsnPacker packer;
    const bool unpacked = packer.uncompressFile(file, dir + "/inside/work");
    if (info == 0 && !unpacked)
        std::abort();
    // Nothing may appear beside the working folder.
    if (QDir(dir + "/inside").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
            .size() > (unpacked ? 1 : QDir(dir + "/inside/work").exists() ? 1 : 0))
        std::abort();
    if (QFileInfo::exists(dir + "/x") || QFileInfo::exists(dir + "/inside/x"))
        std::abort();
    QDir(dir + "/inside/work").removeRecursively();

    QList<QJsonObject> clips;
    parseProjectIndex(bytes, &clips, nullptr);
    QList<AVData> timeline;
    for (const QJsonObject &json : clips) {
        timeline.append(AVData::fromJson(json));
        clampSpanToMedia(timeline.last(), timeline.last().duration);
    }
    buildExportClipList(timeline);
    return 0;
}
