// "设置" → "快捷键": a key typed into a row is kept in "conf.ini" and used by the next recording
// window; a key that cannot be a key from any window, or that another row already has, is
// refused with a line saying why and the row keeps its key; "恢复默认" puts the defaults back.
#include "core/platform/settings.h"
#include "support/datatable.h"
#include "support/xpointer.h"
#include "ui/record/globalkeys.h"
#include "ui/settings/keyssettingswidget.h"

#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestKeysSettings : public QObject
{
    Q_OBJECT
private slots:
    void typedKeysAreCheckedAndKept_data()
    {
        DataTable::columns<int, QKeySequence, QKeySequence, QString>("row", "typed", "kept",
                                                                     "error");
        QTest::newRow("a free combination")
            << int(GlobalKeys::PauseResume) << QKeySequence("Ctrl+Alt+9")
            << QKeySequence("Ctrl+Alt+9") << QString();
        QTest::newRow("Shift too, with an F key")
            << int(GlobalKeys::Stop) << QKeySequence("Ctrl+Shift+F8")
            << QKeySequence("Ctrl+Shift+F8") << QString();
        QTest::newRow("a letter alone")
            << int(GlobalKeys::TogglePen) << QKeySequence("P") << QKeySequence("Ctrl+Alt+D")
            << QStringLiteral(
                   "P 不能用作快捷键：请按 Ctrl、Alt 或 Super 加一个字母、数字或 F1–F12。");
        QTest::newRow("Shift alone is no modifier for it")
            << int(GlobalKeys::TogglePen) << QKeySequence("Shift+P") << QKeySequence("Ctrl+Alt+D")
            << QStringLiteral(
                   "Shift+P 不能用作快捷键：请按 Ctrl、Alt 或 Super 加一个字母、数字或 F1–F12。");
        QTest::newRow("the key of another row")
            << int(GlobalKeys::ToggleLaser) << QKeySequence("Ctrl+Alt+C")
            << QKeySequence("Ctrl+Alt+L") << QStringLiteral("Ctrl+Alt+C 已用于“清空画板”。");
    }
    void typedKeysAreCheckedAndKept()
    {
        const auto [row, typed, kept, error] =
            DataTable::fetch<int, QKeySequence, QKeySequence, QString>("row", "typed", "kept",
                                                                       "error");
        KeysSettingsWidget page;
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        auto *edit = page.findChild<QKeySequenceEdit *>(QStringLiteral("edit_key_%1").arg(row));
        QVERIFY(edit);
        edit->setFocus();
        // Typed on the real keyboard: the edit asks the keyboard's map about Shift.
        QString keys = typed.toString(QKeySequence::PortableText).toLower();
        keys.replace(QStringLiteral("+f"), QStringLiteral("+F"));
        QVERIFY(XPointer::key(keys));
        auto *line = page.findChild<QLabel *>(QStringLiteral("label_keys_error"));
        // The key is looked at once the edit has taken it.
        QTRY_COMPARE(line->text(), error);
        QTRY_COMPARE(GlobalKeys::sequence(GlobalKeys::Action(row)), kept);
        QTRY_COMPARE(edit->keySequence(), kept);
        QCOMPARE(line->isVisible(), !error.isEmpty());
        // Shown again as kept by the next settings window.
        KeysSettingsWidget next;
        QCOMPARE(next.findChild<QKeySequenceEdit *>(QStringLiteral("edit_key_%1").arg(row))
                     ->keySequence(),
                 kept);

        page.findChild<QPushButton *>(QStringLiteral("btn_keys_default"))->click();
        QCOMPARE(GlobalKeys::sequence(GlobalKeys::Action(row)),
                 GlobalKeys::defaultSequence(GlobalKeys::Action(row)));
        QCOMPARE(edit->keySequence(), GlobalKeys::defaultSequence(GlobalKeys::Action(row)));
        QVERIFY(!line->isVisible());
    }
};

QTEST_MAIN(TestKeysSettings)
#include "tst_keyssettings.moc"
