// The settings window's "声音" page as a teacher uses it, on the test sound server with a
// second microphone: the list holds the microphones (the default marked and chosen, no
// monitors), the meter follows the chosen microphone, a choice and the two switches are kept
// in "conf.ini" and shown again by the next settings window (as after a restart), and a
// chosen microphone that is gone shows the default with a line saying so.
#include "core/platform/settings.h"
#include "core/record/soundsettings.h"
#include "support/testtone.h"
#include "support/virtualmicrophone.h"
#include "ui/app/startup.h"
#include "ui/record/soundlevelmeter.h"
#include "ui/settings/itemview.h"
#include "ui/settings/settingwidget.h"
#include "ui/settings/soundsettingswidget.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

namespace {
void clearSoundSettings()
{
    for (const char *key : {"sound/microphone", "sound/computerSound", "sound/noiseReduction",
                            "pauses/minimumSeconds"})
        writeSetting(key, QVariant());
}

// Opens a settings window and goes to its "声音" page by clicking the menu entry; waits for
// the microphone list.
SettingWidget *openSoundPage()
{
    auto *window = new SettingWidget;
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return window;
    auto *menu = window->findChild<QListWidget *>("listview_menu");
    QTest::mouseClick(menu->viewport(), Qt::LeftButton, {},
                      menu->visualItemRect(menu->item(1)).center());
    if (!QTest::qWaitFor([window] { return !window->soundWidget()->isLoading(); }, 10000))
        qWarning() << "the sound server did not list the microphones in time";
    return window;
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Picks the entry `text` of the combo box as a teacher does: opens its list with the pointer,
// goes to the entry with the arrow keys and takes it with Enter (a pointer click into a list
// that is still opening is lost on a loaded machine).
bool pick(QComboBox *box, const QString &text)
{
    const int row = box->findText(text);
    if (row < 0)
        return false;
    QTest::mouseClick(box, Qt::LeftButton);
    QAbstractItemView *view = box->view();
    if (!QTest::qWaitFor([view] { return view->isVisible(); }, 3000)) {
        qWarning() << "the list did not open";
        return false;
    }
    QTest::qWait(200);
    const int from = view->currentIndex().row();
    for (int i = from; i != row; i += row > from ? 1 : -1)
        QTest::keyClick(view, row > from ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Return);
    return QTest::qWaitFor(
        [box, row] { return box->currentIndex() == row && !box->view()->isVisible(); }, 3000);
}

void tick(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}
}  // namespace

class TestSoundSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(applyApplicationStyleSheet(*qApp));
        clearSoundSettings();
    }
    void cleanupTestCase() { clearSoundSettings(); }

    void teacherChoosesTheSound();
};

void TestSoundSettings::teacherChoosesTheSound()
{
    auto second = std::make_unique<VirtualMicrophone>("lumora_mic2", "LumoraMic2");
    QVERIFY(second->isReady());
    TestTone defaultTone(660);
    QVERIFY(defaultTone.isHeard());

    QPointer<SettingWidget> window = openSoundPage();
    auto *menu = window->findChild<QListWidget *>("listview_menu");
    QCOMPARE(menu->count(), 5);  // "软件版本", "声音", "语言", "快捷键", "摄像头"
    auto *entry = qobject_cast<ItemView *>(menu->itemWidget(menu->item(1)));
    QCOMPARE(entry->text(), QStringLiteral("声音"));
    QVERIFY(entry->isSelected());
    QCOMPARE(window->findChild<QStackedWidget *>()->currentWidget()->objectName(),
             QStringLiteral("page_sound"));

    SoundSettingsWidget *page = window->soundWidget();
    auto *microphones = page->findChild<QComboBox *>("combo_microphone");
    auto *computerSound = page->findChild<QCheckBox *>("check_computer_sound");
    auto *noiseReduction = page->findChild<QCheckBox *>("check_noise_reduction");
    auto *note = page->findChild<QLabel *>("label_microphone_note");
    // The microphones only, the desktop's default marked and chosen; both switches off.
    QCOMPARE(itemTexts(microphones), (QStringList{"LumoraMic（默认）", "LumoraMic2"}));
    QCOMPARE(microphones->currentText(), QStringLiteral("LumoraMic（默认）"));
    QCOMPARE(computerSound->text(), QStringLiteral("同时录制电脑声音"));
    QCOMPARE(noiseReduction->text(), QStringLiteral("降噪"));
    QVERIFY(!computerSound->isChecked() && !noiseReduction->isChecked());
    QVERIFY(note->isHidden());

    // The meter hears the default microphone's tone (-18 dBFS)...
    SoundLevelMeter *meter = page->levelMeter();
    QVERIFY2(QTest::qWaitFor([meter] { return meter->level() > -25; }, 5000),
             qPrintable(QString::number(meter->level())));
    // ...and, once the second is chosen, the second, which hears nothing until its tone plays.
    QVERIFY(pick(microphones, "LumoraMic2"));
    QCOMPARE(readSetting("sound/microphone").toString(), QStringLiteral("lumora_mic2"));
    QVERIFY2(QTest::qWaitFor([meter] { return meter->level() < -60; }, 5000),
             qPrintable(QString::number(meter->level())));
    {
        TestTone secondTone(1000, second->sink(), second->source());
        QVERIFY(secondTone.isHeard());
        QVERIFY2(QTest::qWaitFor([meter] { return meter->level() > -25; }, 5000),
                 qPrintable(QString::number(meter->level())));
    }
    tick(computerSound);
    tick(noiseReduction);
    QVERIFY(computerSound->isChecked() && noiseReduction->isChecked());
    QCOMPARE(readSetting("sound/computerSound").toBool(), true);
    QCOMPARE(readSetting("sound/noiseReduction").toBool(), true);
    // The shortest pause the editor looks for: 2 s until changed, then what was typed.
    QComboBox *minPause = page->minPauseBox();
    QCOMPARE(minPause->currentText(), QStringLiteral("2 秒"));
    QVERIFY(pick(minPause, "4 秒"));
    QCOMPARE(readSetting("pauses/minimumSeconds").toInt(), 4);
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
        window->grab().save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") + "/settings-sound.png");
    // Nothing of the page's text is cut off.
    for (QWidget *w :
         {static_cast<QWidget *>(computerSound), static_cast<QWidget *>(noiseReduction),
          static_cast<QWidget *>(microphones), static_cast<QWidget *>(minPause)})
        QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));

    // Closed and opened again, as after a restart: the choices are still there.
    QTest::mouseClick(window->findChild<QPushButton *>("btn_close_window"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&window] { return window.isNull(); }, 3000));
    window = openSoundPage();
    page = window->soundWidget();
    QCOMPARE(page->microphoneBox()->currentText(), QStringLiteral("LumoraMic2"));
    QVERIFY(page->findChild<QCheckBox *>("check_computer_sound")->isChecked());
    QVERIFY(page->findChild<QCheckBox *>("check_noise_reduction")->isChecked());
    QVERIFY(page->findChild<QLabel *>("label_microphone_note")->isHidden());
    QCOMPARE(page->minPauseBox()->currentText(), QStringLiteral("4 秒"));
    delete window;

    // The chosen microphone unplugged: the default is shown chosen, with one line about it.
    second->remove();
    window = openSoundPage();
    page = window->soundWidget();
    QCOMPARE(itemTexts(page->microphoneBox()), QStringList{"LumoraMic（默认）"});
    QCOMPARE(page->microphoneBox()->currentText(), QStringLiteral("LumoraMic（默认）"));
    note = page->findChild<QLabel *>("label_microphone_note");
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("所选麦克风已不可用，改用默认麦克风"));
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
        window->grab().save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") +
                            "/settings-sound-fallback.png");
    // The teacher's choice is kept until another is picked: the microphone may come back.
    QCOMPARE(readSetting("sound/microphone").toString(), QStringLiteral("lumora_mic2"));
    delete window;
}

QTEST_MAIN(TestSoundSettings)
#include "tst_soundsettings.moc"
