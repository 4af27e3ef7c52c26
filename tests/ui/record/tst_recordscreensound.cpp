// The screen recording window with the teacher's sound settings from "conf.ini": the chosen
// microphone has been unplugged, and the computer's sound is to be recorded. The bar says
// both (one line about the microphone, "录制电脑声音" beside the meter), and the file holds the
// default microphone's tone and what the computer played, mixed in one sound track.
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "support/mediareadback.h"
#include "support/soundspectrum.h"
#include "support/testtone.h"
#include "support/virtualmicrophone.h"
#include "ui/app/startup.h"
#include "ui/board/countdownwidget.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/record/soundlevelmeter.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestRecordScreenSound : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(applyApplicationStyleSheet(*qApp)); }
    void cleanupTestCase()
    {
        for (const char *key : {"sound/microphone", "sound/computerSound", "sound/noiseReduction"})
            writeSetting(key, QVariant());
        QProcess::execute("pactl", {"set-default-sink", "lumora_sink"});
    }

    void unpluggedMicrophoneAndComputerSound();
};

void TestRecordScreenSound::unpluggedMicrophoneAndComputerSound()
{
    // The computer plays into speakers of their own, which no microphone hears.
    VirtualMicrophone speakers("lumora_speakers", "LumoraSpeakers");
    QVERIFY(speakers.isReady());
    QCOMPARE(QProcess::execute("pactl", {"set-default-sink", speakers.sink()}), 0);
    TestTone voice(660);  // heard by the default microphone
    TestTone video(1000, speakers.sink(), speakers.source());
    QVERIFY(voice.isHeard() && video.isHeard());
    writeSetting("sound/microphone", "headset_unplugged");
    writeSetting("sound/computerSound", true);
    writeSetting("sound/noiseReduction", false);

    QTemporaryDir dir;
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(dir.path() + "/");
    QPointer<RecordScreenWidget> window =
        new RecordScreenWidget(QRectF(200, 200, 400, 300), AVData(), -1);
    QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
    window->show();
    RecordScreenCtrlWidget *bar = window->ctrlWidget();
    QLabel *computerSound = bar->computerSoundLabel();
    QLabel *warning = bar->warningLabel();
    QVERIFY(QTest::qWaitFor([&] { return computerSound->isVisible(); }, 10000));
    QCOMPARE(computerSound->text(), QStringLiteral("录制电脑声音"));
    QVERIFY(warning->isVisible());
    QCOMPARE(warning->text(), QStringLiteral("所选麦克风已不可用，改用默认麦克风"));
    QCOMPARE(window->recorder()->audioDeviceName(), QStringLiteral("lumora_mic"));
    QVERIFY(QTest::qWaitFor([&] { return window->countDown()->isHidden(); }, 8000));
    QTest::qWait(500);
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
        bar->grab().save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") + "/screen-bar-sound.png");
    // The meter follows the microphone being recorded.
    QVERIFY(QTest::qWaitFor([&] { return bar->levelMeter()->fill() > 0.3; }, 3000));
    // Nothing of the bar's lines is cut off.
    QVERIFY(computerSound->width() >= computerSound->sizeHint().width());
    QTest::qWait(2000);
    bar->stopButton()->click();
    QVERIFY(finished.count() > 0 || finished.wait(30000));

    const AVData recorded = project->at(0);
    const MediaReadback::Sound sound = MediaReadback::sound(recorded.filePath);
    QVERIFY(sound.sampleRate > 0);
    const qint64 from = sound.sampleRate / 2, to = sound.samples.size() - sound.sampleRate / 4;
    const double voiceDb = SoundSpectrum::toneDb(sound.samples, sound.sampleRate, 660, from, to);
    const double videoDb = SoundSpectrum::toneDb(sound.samples, sound.sampleRate, 1000, from, to);
    QVERIFY2(voiceDb > -30 && videoDb > -30,
             qPrintable(QString("660 Hz %1 dB, 1000 Hz %2 dB").arg(voiceDb).arg(videoDb)));
}

QTEST_MAIN(TestRecordScreenSound)
#include "tst_recordscreensound.moc"
