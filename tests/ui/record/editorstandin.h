#pragma once
// For the screen recording tests: a stand-in for the editor window, wired to the recording
// windows the way the editor wires them (minimise, select, record at the playhead, come back),
// and where a widget is on the desktop. Main thread only.
#include "core/project/projectdata.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"

#include <QPointer>
#include <QTest>
#include <QToolButton>
#include <QWidget>

// The centre of `widget` on the desktop.
inline QPoint centreOf(const QWidget *widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

inline QToolButton *toolButton(QWidget *parent, const QString &text)
{
    for (QToolButton *b : parent->findChildren<QToolButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// A stand-in for the editor window, wired to the recording windows as the editor is.
struct Editor
{
    QWidget window;
    QPointer<RecordScreenSelectWidget> select;
    QPointer<RecordScreenWidget> record;
    ClipAtResult playhead;

    Editor()
    {
        window.setWindowTitle("editor");
        window.setGeometry(100, 100, 400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void startSelection()
    {
        window.showMinimized();
        QTest::qWait(300);
        select = new RecordScreenSelectWidget;
        QObject::connect(select, &RecordScreenSelectWidget::sig_Cancel, &window, [this]() {
            window.showNormal();
            window.activateWindow();
        });
        QObject::connect(select, &RecordScreenSelectWidget::sig_StartRecord, &window,
                         [this](const QRectF &area) {
                             record = new RecordScreenWidget(area, playhead.clip, playhead.offset,
                                                             nullptr, select->grabbedScreen());
                             QObject::connect(record, &RecordScreenWidget::sig_Record_Finish,
                                              &window, [this]() {
                                                  window.showNormal();
                                                  window.activateWindow();
                                              });
                             record->show();
                         });
        select->show();
        QVERIFY(QTest::qWaitForWindowExposed(select));
        QTest::qWait(200);
    }
};
