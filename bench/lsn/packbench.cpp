// Packs a folder with compressFiles and unpacks the result with uncompressFile, printing the
// seconds each took:   lsn_pack_bench FOLDER OUT.lsn OUTDIR
#include "core/storage/lsnpacker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    if (argc != 4) {
        std::fprintf(stderr, "usage: lsn_pack_bench FOLDER OUT.lsn OUTDIR\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString packed = QString::fromLocal8Bit(argv[2]);
    const QString outDir = QString::fromLocal8Bit(argv[3]);
    LsnPacker packer;
    const QFileInfoList files = QDir(folder).entryInfoList();
    QElapsedTimer timer;
    timer.start();
    if (!packer.compressFiles(files, packed)) {
        std::fprintf(stderr, "pack failed: %s\n", qPrintable(packer.errorText()));
        return 1;
    }
    const double packSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    if (!packer.uncompressFile(packed, outDir)) {
        std::fprintf(stderr, "unpack failed: %s\n", qPrintable(packer.errorText()));
        return 1;
    }
    const double unpackSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("pack_seconds=%.3f unpack_seconds=%.3f\n", packSeconds, unpackSeconds);
    return 0;
}
