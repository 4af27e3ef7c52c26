// Counting and ending processes by executable name over /proc.
#include "core/platform/processes.h"
#include "support/datatable.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class TestProcesses : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<QProcess *> m_started;

    // A copy of sleep(1) under the given name, so that its comm and exe carry that name.
    QString program(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        if (!QFile::exists(path)) {
            QFile::copy(QStringLiteral("/bin/sleep"), path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther);
        }
        return path;
    }

    // who: "" this process's user and session; "session" the same user in another desktop
    // session; "user" another user (root only).
    QProcess *start(const QString &name, const QString &who = QString())
    {
        auto *process = new QProcess(this);
        if (who == QLatin1String("session")) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_SESSION_ID"), QStringLiteral("lmr-other"));
            process->setProcessEnvironment(environment);
        } else if (who == QLatin1String("user")) {
            process->setChildProcessModifier([]() {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(126);
            });
        }
        process->start(program(name), {QStringLiteral("30")});
        if (!process->waitForStarted())
            return nullptr;
        m_started.append(process);
        return process;
    }

private slots:
    void cleanup()
    {
        for (QProcess *process : std::as_const(m_started)) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
        m_started.clear();
    }

    void initTestCase()
    {
        // The session this test runs in, whatever the machine's own.
        qputenv("XDG_SESSION_ID", "lmr-test");
        // Another user must be able to run the copies.
        QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ExeOther |
                                                QFile::ReadOther);
    }

    void ownName()
    {
        QCOMPARE(processExecutableName(QCoreApplication::applicationPid()),
                 QStringLiteral("tst_processes"));
        QVERIFY(processIds(QStringLiteral("tst_processes"))
                    .contains(QCoreApplication::applicationPid()));
        QVERIFY(processExecutableName(-5).isEmpty());
    }

    void count_data()
    {
        DataTable::columns<QString, int, QString, int>("exeName", "copies", "query", "expected");

        QTest::newRow("short name") << "lmr_short" << 2 << "lmr_short" << 2;
        QTest::newRow("part of the name counts") << "lmr_part_tool" << 1 << "lmr_part" << 1;
        QTest::newRow("case matters") << "lmr_case" << 1 << "LMR_CASE" << 0;
        // comm holds only 15 characters; the rest is found through the executable's path.
        QTest::newRow("name beyond 15 characters")
            << "lmr_a_very_long_name_tail" << 1 << "name_tail" << 1;
        QTest::newRow("whole long name")
            << "lmr_a_very_long_name_full" << 2 << "lmr_a_very_long_name_full" << 2;
        QTest::newRow("no such program") << "lmr_present" << 1 << "lmr_absent" << 0;
        QTest::newRow("empty name") << "lmr_empty" << 1 << "" << 0;
    }

    void count()
    {
        const auto [exeName, copies, query, expected] =
            DataTable::fetch<QString, int, QString, int>("exeName", "copies", "query", "expected");
        for (int i = 0; i < copies; ++i)
            QVERIFY(start(exeName));
        QCOMPARE(processCount(query), expected);
    }

    // On a shared computer every teacher runs a copy of their own: the second-copy check
    // counts the same session only, and nothing of another user is counted or ended.
    void scope_data()
    {
        DataTable::columns<QString, int, int>("who", "sameUser", "sameSession");
        QTest::newRow("this session") << "" << 1 << 1;
        QTest::newRow("another session of the same user") << "session" << 1 << 0;
        QTest::newRow("another user") << "user" << 0 << 0;
    }

    void scope()
    {
        const auto [who, sameUser, sameSession] =
            DataTable::fetch<QString, int, int>("who", "sameUser", "sameSession");
        if (who == QLatin1String("user") && ::geteuid() != 0)
            QSKIP("starting a process as another user needs root");
        const QString name = QStringLiteral("lmr_scope_") + (who.isEmpty() ? "own" : who);
        QProcess *process = start(name, who);
        QVERIFY(process);
        // Wait until it runs its program (the copy's name), not the fork of this test.
        QTRY_COMPARE(processExecutableName(process->processId()), name);
        QCOMPARE(processCount(name, ProcessScope::SameUser), sameUser);
        QCOMPARE(processCount(name, ProcessScope::SameSession), sameSession);
        QCOMPARE(killProcesses(name), sameUser);
        if (sameUser == 0) {
            QTest::qWait(200);
            QCOMPARE(process->state(), QProcess::Running);
        }
    }

    // A child that has exited but was not yet reaped is no longer running.
    void zombieDoesNotCount()
    {
        const QByteArray path = QFile::encodeName(program(QStringLiteral("lmr_zombie")));
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::execl(path.constData(), path.constData(), "0", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        // Wait, without reaping it, until the child has run its program and ended.
        siginfo_t info{};
        QCOMPARE(::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT), 0);
        QCOMPARE(info.si_pid, pid);
        QCOMPARE(processExecutableName(pid), QStringLiteral("lmr_zombie"));
        QCOMPARE(processCount(QStringLiteral("lmr_zombie")), 0);
        ::waitpid(pid, nullptr, 0);
    }

    void kill()
    {
        QProcess *first = start(QStringLiteral("lmr_victim"));
        QProcess *second = start(QStringLiteral("lmr_victim"));
        QProcess *bystander = start(QStringLiteral("lmr_bystander"));
        QVERIFY(first && second && bystander);

        QCOMPARE(killProcesses(QStringLiteral("lmr_victim")), 2);
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::CrashExit);
        QCOMPARE(first->exitCode(), int(SIGTERM));
        QCOMPARE(processCount(QStringLiteral("lmr_victim")), 0);
        QCOMPARE(bystander->state(), QProcess::Running);

        // The caller never ends itself.
        QCOMPARE(killProcesses(QStringLiteral("tst_processes")), 0);
    }
};

QTEST_GUILESS_MAIN(TestProcesses)
#include "tst_processes.moc"
