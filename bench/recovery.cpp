// bench_recovery: 10 trials of a screen recording killed with SIGKILL at a random moment
// 10-20 s after it started. Each trial runs the recording engine in a child process (this
// program with --record-child) as a recording window would in a new project: the working
// folder is marked and its index kept (ProjectFolderKeeper), the clip goes in before the engine
// starts. After the kill the folder is looked for and repaired as the next start does
// (ProjectRecovery), and what came back is measured against how long the recording ran.
// Prints one line per trial, then last:
//   recovered=<n>/10 max_lost_s=<seconds>
// Aims: 10/10 and 1.0 or less. Needs an X display and a sound server (bench/run starts them).
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "core/recovery/projectfolderkeeper.h"
#include "core/recovery/projectrecovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

constexpr int kTrials = 10;

int recordChild()
{
    ProjectData *project = ProjectData::instance();
    ProjectFolderKeeper keeper(project);
    AVData clip = project->newClip();
    project->insert(0, clip);
    ScreenRecord engine;
    QObject::connect(&engine, &ScreenRecord::sigRecordFail, [] { QCoreApplication::exit(2); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!engine.isCapturing())
            return;
        poll.stop();
        engine.startRecord();
        fprintf(stdout, "recording\n");
        fflush(stdout);
    });
    poll.start(10);
    engine.setRecordRect(QRect(0, 0, 640, 480));
    engine.prepareRecord(clip);
    return QCoreApplication::exec();
}

struct Trial
{
    bool recovered = false;
    double ranSec = 0;
    double keptSec = 0;
    QString note;
};

Trial runTrial(int killAfterMs)
{
    Trial trial;
    QTemporaryDir dir;
    // A copy of this program in the trial's folder: a build-tree copy keeps its "data/" beside
    // itself, so each trial's working folder is its own.
    const QString program = dir.filePath(QStringLiteral("bench_recovery"));
    if (!QFile::copy(QCoreApplication::applicationFilePath(), program)) {
        trial.note = "could not copy the program";
        return trial;
    }
    QProcess child;
    child.setWorkingDirectory(dir.path());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "*=false");
    child.setProcessEnvironment(env);
    child.start(program, {"--record-child"});
    if (!child.waitForStarted(10000)) {
        trial.note = "child did not start";
        return trial;
    }
    QElapsedTimer sinceStart;
    bool recording = false;
    while (child.state() != QProcess::NotRunning) {
        if (!recording) {
            child.waitForReadyRead(5);
            if (child.readAll().contains("recording")) {
                recording = true;
                sinceStart.start();
            }
            continue;
        }
        if (sinceStart.elapsed() >= killAfterMs) {
            ::kill(pid_t(child.processId()), SIGKILL);
            break;
        }
        child.waitForFinished(5);
    }
    trial.ranSec = recording ? sinceStart.elapsed() / 1000.0 : 0;
    child.waitForFinished(10000);
    if (!recording) {
        trial.note = "never recorded";
        return trial;
    }

    const QList<InterruptedProject> found =
        ProjectRecovery::findInterrupted({dir.filePath("data/temp/")});
    if (found.size() != 1 || !found.first().indexReadable || found.first().clips.size() != 1) {
        trial.note = "not found as interrupted";
        return trial;
    }
    const ProjectRecovery::Repair repair = ProjectRecovery::repair(found.first());
    if (repair.clips.size() != 1) {
        trial.note = "clip dropped";
        return trial;
    }
    const AVData &clip = repair.clips.first();
    const ProjectRecovery::Probe probe = ProjectRecovery::probe(clip.filePath);
    trial.keptSec = clip.length() / 1000.0;
    trial.recovered = probe.durationMs > 0 && clip.length() > 0 &&
                      !ProjectRecovery::isFragmentedMp4(clip.filePath);
    if (!trial.recovered)
        trial.note = "file not repaired";
    return trial;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--record-child") == 0)
        return recordChild();
    int recovered = 0;
    double maxLost = 0;
    for (int i = 1; i <= kTrials; ++i) {
        const int killAfterMs = QRandomGenerator::global()->bounded(10000, 20001);
        const Trial trial = runTrial(killAfterMs);
        const double lost = trial.ranSec - trial.keptSec;
        if (trial.recovered) {
            ++recovered;
            maxLost = std::max(maxLost, lost);
        }
        printf("trial %d: killed_after_s=%.2f recovered_s=%.2f lost_s=%.2f %s\n", i, trial.ranSec,
               trial.keptSec, lost, trial.recovered ? "ok" : qPrintable(trial.note));
        fflush(stdout);
    }
    printf("recovered=%d/%d max_lost_s=%.2f\n", recovered, kTrials, maxLost);
    return recovered == kTrials ? 0 : 1;
}
