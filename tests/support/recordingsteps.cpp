#include "support/recordingsteps.h"

#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"

#include <QSignalSpy>
#include <QtTest>

namespace RecordingSteps {

AVData newProjectClip(ProjectData *project, const QString &dir)
{
    project->reset();
    project->setProjectDir(dir + "/");
    AVData clip = project->newClip();
    clip.title = "a";
    project->insert(0, clip);
    return clip;
}

bool prepare(ScreenRecord &engine, AVData &clip, const QRect &rect, int settleMs)
{
    QSignalSpy prepared(&engine, &ScreenRecord::sig_PrepareComplete);
    engine.setRecordRect(rect);
    engine.prepareRecord(clip);
    // The preparation thread may have reported before the wait begins.
    if (prepared.isEmpty() && !prepared.wait(10000))
        return false;
    if (!QTest::qWaitFor([&] { return engine.isCapturing(); }, 15000))
        return false;
    QTest::qWait(settleMs);
    return engine.state() == ScreenRecord::Prepared;
}

bool stop(ScreenRecord &engine)
{
    QSignalSpy finished(&engine, &ScreenRecord::sigRecordFinish);
    engine.stopRecord();
    if (finished.isEmpty() && !finished.wait(20000))
        return false;
    QTest::qWait(100);
    return finished.count() == 1;
}

}  // namespace RecordingSteps
