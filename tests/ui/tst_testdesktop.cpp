// The private desktop the GUI tests run on (scripts/testenv): a window manager everywhere, a
// compositing manager on $DISPLAY only. Tests of translucent and stay-on-top windows mean
// nothing if either is missing, so a desktop that came up half-started fails here first.
#include "support/datatable.h"
#include "support/testdisplay.h"

#include <QWidget>
#include <QtTest>

class TestTestDesktop : public QObject
{
    Q_OBJECT
private slots:
    // The window manager really manages: a shown window gets a frame around it.
    void windowsAreFramed()
    {
        QWidget w;
        w.resize(200, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.frameGeometry().height() > w.geometry().height());
    }

    void managers_data()
    {
        DataTable::columns<QString, bool>("display", "compositor");
        QTest::newRow("desktop") << qEnvironmentVariable("DISPLAY") << true;
        QTest::newRow("without compositor") << TestDisplay::withoutCompositor() << false;
    }
    void managers()
    {
        const auto [display, compositor] = DataTable::fetch<QString, bool>("display", "compositor");
        QVERIFY2(!display.isEmpty(), "run the tests with scripts/test");
        QVERIFY(TestDisplay::hasWindowManager(display));
        QCOMPARE(TestDisplay::hasCompositor(display), compositor);
    }
};

QTEST_MAIN(TestTestDesktop)
#include "tst_testdesktop.moc"
