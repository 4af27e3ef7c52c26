// The crash handler: a child copy of this test installs it and crashes in a chosen way; the
// report it leaves, the viewer it starts and the way it ends are checked from outside.
#include "core/platform/crashhandler.h"
#include "support/datatable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

volatile uintptr_t g_badAddress = 0x10;

[[gnu::noinline]] void readBadAddress()
{
    const int value = *reinterpret_cast<volatile int *>(g_badAddress);
    std::printf("%d\n", value);
}

[[gnu::noinline]] void crash(const QByteArray &kind)
{
    if (kind == "read" || kind == "dump-blocked") {
        readBadAddress();
    } else if (kind == "write") {
        void *page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        std::printf("address %016llX\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(page)));
        std::fflush(stdout);
        *static_cast<volatile char *>(page) = 1;
    } else if (kind == "illegal") {
        __builtin_trap();
    } else if (kind == "divide") {
        asm volatile("xorl %%ecx, %%ecx\n\tdivl %%ecx" ::: "eax", "ecx", "edx");
    } else if (kind == "abort") {
        std::abort();
    } else if (kind == "library") {
        // The fault happens inside the Qt library, reading the object's private pointer.
        std::printf("%s\n", qPrintable(reinterpret_cast<QObject *>(g_badAddress)->objectName()));
    } else if (kind == "jump") {
        auto *function = reinterpret_cast<void (*)()>(uintptr_t(0x1000));
        function();
    } else if (kind == "thread") {
        std::thread(readBadAddress).join();
    }
}

// argv: program --crash-child KIND VIEWER DUMP_PARENT
int crashChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("0.2.5.0"));
    CrashHandlerOptions options;
    options.reportViewer = QString::fromLocal8Bit(argv[3]);
    options.reportFolder = QString::fromLocal8Bit(argv[4]);
    if (!installCrashHandler(options))
        return 2;
    crash(argv[2]);
    return 3;
}

QString hex16()
{
    return QStringLiteral("([0-9A-F]{16})");
}

}  // namespace

class TestCrashHandler : public QObject
{
    Q_OBJECT

private slots:
    void report_data()
    {
        // access: "Read", "Write" or "" for no access line
        // module: "exe", a library name part, or "" for none
        // instruction: expected first bytes, "" not checked
        DataTable::columns<QString, int, QString, QString, QString>("kind", "signal", "access",
                                                                    "module", "instruction");

        QTest::newRow("read of a bad address")
            << u"read"_s << SIGSEGV << u"Read"_s << u"exe"_s << u""_s;
        QTest::newRow("write to a read-only page")
            << u"write"_s << SIGSEGV << u"Write"_s << u"exe"_s << u""_s;
        QTest::newRow("illegal instruction")
            << u"illegal"_s << SIGILL << u""_s << u"exe"_s << u" 0F 0B"_s;
        QTest::newRow("division by zero")
            << u"divide"_s << SIGFPE << u""_s << u"exe"_s << u" F7 F1"_s;
        QTest::newRow("abort") << u"abort"_s << SIGABRT << u""_s << u"libc.so"_s << u""_s;
        QTest::newRow("fault inside a library")
            << u"library"_s << SIGSEGV << u"Read"_s << u"libQt6Core"_s << u""_s;
        QTest::newRow("jump outside every module")
            << u"jump"_s << SIGSEGV << u"Read"_s << u""_s << u" ?? ?? ??"_s;
        QTest::newRow("fault on another thread")
            << u"thread"_s << SIGSEGV << u"Read"_s << u"exe"_s << u""_s;
    }

    void report()
    {
        const auto [kind, signal, access, module, instruction] =
            DataTable::fetch<QString, int, QString, QString, QString>("kind", "signal", "access",
                                                                      "module", "instruction");

        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString viewer = writeViewer(work.path());
        QProcess child;
        child.setWorkingDirectory(work.path());
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--crash-child"), kind, viewer, work.path()});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), signal);

        QFile file(QDir(work.path()).filePath(QStringLiteral("testcrash.log")));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(errors));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(errors.contains(QStringLiteral("Error:\n") + text),
                 "the report also goes to standard error");
        const QStringList lines = text.split(QLatin1Char('\n'));
        int at = 0;
        auto next = [&] { return at < lines.size() ? lines.at(at++) : QString(); };

        QCOMPARE(next(), QStringLiteral("APP Version: 0.2.5.0"));
        struct utsname os;
        QCOMPARE(::uname(&os), 0);
        QCOMPARE(next(), QStringLiteral("Linux:  %1 %2, %3, %4")
                             .arg(QString::fromUtf8(os.sysname), QString::fromUtf8(os.release),
                                  QString::fromUtf8(os.version), QString::fromUtf8(os.machine)));
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
        QCOMPARE(next(), QStringLiteral("GraphicsCard: SoundDevice: Process:  ") + self);

        const QRegularExpressionMatch addr =
            QRegularExpression(
                QStringLiteral("^Exception Addr:  %1  (?: Module: (.+))?$").arg(hex16()))
                .match(next());
        QVERIFY2(addr.hasMatch(), qPrintable(text));
        const QString faultAddress = addr.captured(1);
        const QString faultModule = addr.captured(2);
        if (module.isEmpty())
            QVERIFY2(faultModule.isEmpty(), qPrintable(faultModule));
        else if (module == QLatin1String("exe"))
            QCOMPARE(faultModule, self);
        else
            QVERIFY2(QFileInfo(faultModule).isAbsolute() && faultModule.contains(module),
                     qPrintable(faultModule));

        const QString names[] = {QString(), QString(), QString(), QString(), "SIGILL",  QString(),
                                 "SIGABRT", QString(), "SIGFPE",  QString(), QString(), "SIGSEGV"};
        QVERIFY(QRegularExpression(
                    QStringLiteral("^Exception Code:  %1  %2 si_code -?\\d+$")
                        .arg(QStringLiteral("%1").arg(signal, 8, 16, QLatin1Char('0')).toUpper())
                        .arg(names[signal]))
                    .match(next())
                    .hasMatch());
        if (!access.isEmpty()) {
            const QRegularExpressionMatch data =
                QRegularExpression(QStringLiteral("^(Read|Write) Address:  %1$").arg(hex16()))
                    .match(next());
            QVERIFY2(data.hasMatch(), qPrintable(text));
            QCOMPARE(data.captured(1), access);
            if (kind == QLatin1String("write"))
                QVERIFY2(output.contains(QStringLiteral("address ") + data.captured(2)),
                         qPrintable(output));
            else if (kind == QLatin1String("jump"))
                QCOMPARE(data.captured(2), QStringLiteral("0000000000001000"));
            else if (kind != QLatin1String("library"))
                QCOMPARE(data.captured(2), QStringLiteral("0000000000000010"));
        }
        const QString bytes = next();
        QVERIFY2(QRegularExpression(QStringLiteral("^Instruction: ( ([0-9A-F]{2}|\\?\\?)){16}$"))
                     .match(bytes)
                     .hasMatch(),
                 qPrintable(bytes));
        if (!instruction.isEmpty())
            QVERIFY2(bytes.startsWith(QStringLiteral("Instruction: ") + instruction),
                     qPrintable(bytes));

        QCOMPARE(next(), QStringLiteral("Registers: "));
        const char *rows[] = {"RAX.*RBX.*RCX.*RDX", "RSI.*RDI.*RSP.*RBP", "R8 .*R9 .*R10.*R11",
                              "R12.*R13.*R14.*R15"};
        for (const char *row : rows)
            QVERIFY(QRegularExpression(QLatin1String("^") + QLatin1String(row))
                        .match(next())
                        .hasMatch());
        const QRegularExpressionMatch rip =
            QRegularExpression(QStringLiteral("^RIP: %1  EFlags: [0-9A-F]{8}$").arg(hex16()))
                .match(next());
        QVERIFY(rip.hasMatch());
        QCOMPARE(rip.captured(1), faultAddress);

        QCOMPARE(next(), QStringLiteral("Call Stack:"));
        QStringList stack;
        while (at < lines.size() && !lines.at(at).isEmpty())
            stack.append(next());
        QVERIFY(!stack.isEmpty());
        QVERIFY2(stack.first().startsWith(faultAddress), qPrintable(stack.join('\n')));
        // The test's own code is on the stack of every crash, named by its full path.
        QVERIFY2(stack.filter(QStringLiteral("  ") + self).size() >= 1,
                 qPrintable(stack.join('\n')));
        for (const QString &entry : std::as_const(stack))
            QVERIFY2(QRegularExpression(QStringLiteral("^%1  (/.*)?$").arg(hex16()))
                         .match(entry)
                         .hasMatch(),
                     qPrintable(entry));

        // The viewer is started with the report's full path.
        const QString argsFile = QDir(work.path()).filePath(QStringLiteral("viewer-args"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(argsFile).size() > 0, 10000);
        QFile args(argsFile);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()),
                 QStringLiteral("--crash-report\n%1\n")
                     .arg(QDir(work.path()).filePath(QStringLiteral("testcrash.log"))));
    }

    // When the "dump" folder cannot be made, nothing is written and nobody is told.
    void blockedDumpFolder()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QFile blocker(QDir(work.path()).filePath(QStringLiteral("dump")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString viewer = writeViewer(work.path());
        QProcess child;
        child.setWorkingDirectory(work.path());
        child.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--crash-child"), QStringLiteral("dump-blocked"), viewer, work.path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), int(SIGSEGV));
        QVERIFY(!QFile::exists(QDir(work.path()).filePath(QStringLiteral("testcrash.log"))));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(QDir(work.path()).filePath(QStringLiteral("viewer-args"))));
    }

    // The folder is made when it is missing.
    void dumpFolderMade()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QProcess child;
        child.setWorkingDirectory(work.path());
        child.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--crash-child"), QStringLiteral("read"), QString(), work.path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), int(SIGSEGV));
        QVERIFY(QFileInfo(QDir(work.path()).filePath(QStringLiteral("dump"))).isDir());
        QVERIFY(QFile::exists(QDir(work.path()).filePath(QStringLiteral("testcrash.log"))));
    }

private:
    // A stand-in for the program: records the arguments it was started with.
    static QString writeViewer(const QString &dir)
    {
        const QString path = QDir(dir).filePath(QStringLiteral("viewer.sh"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/viewer-args.tmp\"\n"
                   "mv \"$(dirname \"$0\")/viewer-args.tmp\" \"$(dirname \"$0\")/viewer-args\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
};

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--crash-child") == 0)
        return crashChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestCrashHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashhandler.moc"
