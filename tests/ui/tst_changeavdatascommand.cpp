// Undo and redo of whole clip lists, checked against the project and the editor's refreshes
// before and after every step.
#include "core/project/projectdata.h"
#include "support/datatable.h"
#include "support/timelineinput.h"
#include "ui/timeline/changeavdatascommand.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/widgetcomposition.h"

#include <QUndoStack>
#include <QtTest>

using namespace TimelineInput;

namespace {
QStringList uuids(const QList<AVData> &clips)
{
    QStringList ids;
    for (const AVData &d : clips)
        ids << d.uuid;
    return ids;
}
QList<qint64> ends(const QList<AVData> &clips)
{
    QList<qint64> e;
    for (const AVData &d : clips)
        e << d.endTime;
    return e;
}
}  // namespace

class TestChangeAvDatasCommand : public QObject
{
    Q_OBJECT
private slots:
    void init() { ProjectData::instance()->reset(); }

    void undoRedoRestoresLists_data()
    {
        DataTable::columns<QList<AVData>, QList<AVData>>("before", "after");
        const AVData a = clip(0, 3000, "a"), b = clip(0, 5000, "b"), c = clip(1000, 2000, "c");
        QTest::newRow("a clip added") << laidOut({a}) << laidOut({a, b});
        QTest::newRow("a clip removed") << laidOut({a, b, c}) << laidOut({a, c});
        QTest::newRow("order changed") << laidOut({a, b}) << laidOut({b, a});
        QTest::newRow("from empty") << QList<AVData>{} << laidOut({a, b});
        // The same clips (same uuids) with a shorter span: equal by uuid, but not the same.
        AVData shorter = b;
        shorter.endTime = 2500;
        QTest::newRow("span changed, uuid kept") << laidOut({a, b}) << laidOut({a, shorter});
    }
    void undoRedoRestoresLists()
    {
        const auto [before, after] =
            DataTable::fetch<QList<AVData>, QList<AVData>>("before", "after");
        ProjectData *project = ProjectData::instance();
        WidgetComposition timeline;
        int refreshes = 0;
        // The editor's refresh: the timeline shows what the project holds.
        auto refresh = [&] {
            ++refreshes;
            timeline.avDatas = project->avDatas();
            timeline.refresh();
        };
        project->setAvDatas(before);
        timeline.avDatas = before;
        timeline.refresh();
        // An edit changes the project, then the editor records it.
        project->setAvDatas(after);
        QUndoStack stack;
        stack.push(
            new ChangeAvDatasCommand(project, timeline.avDatas, project->avDatas(), refresh));
        QCOMPARE(refreshes, 1);
        QVERIFY(ChangeAvDatasCommand::sameClips(project->avDatas(), after));
        QCOMPARE(uuids(timeline.avDatas), uuids(after));
        QCOMPARE(timeline.segment()->sequenceAt(0)->resourceCount(), after.size());

        stack.undo();
        QCOMPARE(refreshes, 2);
        QCOMPARE(uuids(project->avDatas()), uuids(before));
        QCOMPARE(ends(project->avDatas()), ends(before));
        QVERIFY(ChangeAvDatasCommand::sameClips(project->avDatas(), before));
        QCOMPARE(timeline.segment()->sequenceAt(1)->resourceCount(), before.size());
        if (!before.isEmpty())
            QCOMPARE(
                timeline.segment()->sequenceAt(0)->resourceAt(before.size() - 1)->avData().endTime,
                before.last().endTime);

        stack.redo();
        QCOMPARE(refreshes, 3);
        QCOMPARE(uuids(project->avDatas()), uuids(after));
        QCOMPARE(ends(project->avDatas()), ends(after));
        QCOMPARE(timeline.segment()->sequenceAt(0)->resourceCount(), after.size());
        QVERIFY(project->isModified() || after.isEmpty());
    }

    void equalListOnlyRefreshes()
    {
        ProjectData *project = ProjectData::instance();
        const QList<AVData> clips = laidOut({clip(0, 3000), clip(0, 4000)});
        project->setAvDatas(clips);
        int refreshes = 0;
        ChangeAvDatasCommand command(project, clips, clips, [&] { ++refreshes; });
        command.redo();
        command.undo();
        QCOMPARE(refreshes, 2);
        QCOMPARE(uuids(project->avDatas()), uuids(clips));
        QVERIFY(ChangeAvDatasCommand::sameClips(project->avDatas(), clips));
    }

    void sameClipsComparesValues_data()
    {
        DataTable::columns<QString, bool>("field", "same");
        QTest::newRow("untouched") << "" << true;
        QTest::newRow("beginTime") << "beginTime" << false;
        QTest::newRow("endTime") << "endTime" << false;
        QTest::newRow("title") << "title" << false;
        QTest::newRow("fileName") << "fileName" << false;
        QTest::newRow("duration") << "duration" << false;
        QTest::newRow("videoWidth") << "videoWidth" << false;
    }
    void sameClipsComparesValues()
    {
        const auto [field, same] = DataTable::fetch<QString, bool>("field", "same");
        const QList<AVData> a = laidOut({clip(0, 3000), clip(500, 4000)});
        QList<AVData> b = a;
        AVData &d = b[1];
        if (field == "beginTime")
            d.beginTime += 1;
        if (field == "endTime")
            d.endTime -= 1;
        if (field == "title")
            d.title += "x";
        if (field == "fileName")
            d.fileName += "x";
        if (field == "duration")
            d.duration += 1;
        if (field == "videoWidth")
            d.videoWidth = 640;
        QVERIFY(a == b);  // clips alone compare by uuid
        QCOMPARE(ChangeAvDatasCommand::sameClips(a, b), same);
    }
};

QTEST_MAIN(TestChangeAvDatasCommand)
#include "tst_changeavdatascommand.moc"
