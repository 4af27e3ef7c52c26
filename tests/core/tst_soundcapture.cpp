// The recorder's sound as the teacher sets it on the "声音" page, on the test sound server with
// a second microphone: the chosen microphone is the one recorded, a chosen microphone that is
// gone gives way to the default, the computer's sound is mixed into the one track (and mute
// silences only the microphone, and a beep keeps its place against the picture), and noise
// reduction lowers a steady noise but not a tone.
// What is heard is read back from the written file with a spectrum of the decoded sound.
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "support/benchtools.h"
#include "support/datatable.h"
#include "support/flashandbeep.h"
#include "support/mediainspect.h"
#include "support/mediareadback.h"
#include "support/recordingsteps.h"
#include "support/soundserver.h"
#include "support/soundspectrum.h"
#include "support/testtone.h"
#include "support/virtualmicrophone.h"
#include "ui/record/recordhealthview.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr QRect kRect(0, 0, 320, 240);
// The default microphone ("lumora_mic") hears this tone, the second microphone the other.
constexpr int kDefaultTone = 660;
constexpr int kSecondTone = 1000;
// The computer's sound is what the default output ("lumora_sink") plays.
constexpr int kComputerTone = 660;

struct Heard
{
    MediaReadback::Sound sound;
    // Level of `hz` in the file from `fromSec` to `toSec`.
    double level(double hz, double fromSec, double toSec) const
    {
        const auto at = [this](double sec) {
            return qint64((sec - sound.startSeconds) * sound.sampleRate);
        };
        return SoundSpectrum::toneDb(sound.samples, sound.sampleRate, hz, at(fromSec), at(toSec));
    }
    double floor(double fromSec, double toSec, double toneHz) const
    {
        const auto at = [this](double sec) {
            return qint64((sec - sound.startSeconds) * sound.sampleRate);
        };
        return SoundSpectrum::noiseFloorDb(sound.samples, sound.sampleRate, at(fromSec), at(toSec),
                                           {toneHz});
    }
};

QString levels(const Heard &h, double from, double to)
{
    return QStringLiteral("%1 Hz: %2 dB, %3 Hz: %4 dB")
        .arg(kDefaultTone)
        .arg(h.level(kDefaultTone, from, to), 0, 'f', 1)
        .arg(kSecondTone)
        .arg(h.level(kSecondTone, from, to), 0, 'f', 1);
}
}  // namespace

class TestSoundCapture : public QObject
{
    Q_OBJECT
    std::unique_ptr<ProjectData> m_project;
    std::unique_ptr<VirtualMicrophone> m_second;

    // Records `seconds` with `settings`; `during` runs after the start (it may wait).
    Heard record(const SoundSettings &settings, double seconds,
                 const std::function<void(ScreenRecord &)> &during = {})
    {
        AVData clip = RecordingSteps::newProjectClip(m_project.get(), m_dir.path());
        m_file = clip.filePath;
        ScreenRecord engine(m_project.get());
        engine.setSoundSettings(settings);
        // The line the recording bar shows about the sound.
        RecordHealth health(&engine);
        QLabel line;
        RecordHealthView view(&health, nullptr, &line);
        m_line = &line;
        const auto forget = qScopeGuard([this] { m_line = nullptr; });
        Heard heard;
        if (!RecordingSteps::prepare(engine, clip, kRect, 500))
            return heard;
        engine.startRecord();
        QElapsedTimer clock;
        clock.start();
        if (during)
            during(engine);
        QTest::qWait(std::max(0, int(seconds * 1000 - clock.elapsed())));
        if (!RecordingSteps::stop(engine))
            return heard;
        m_fellBack = engine.microphoneFellBack();
        m_computerSound = engine.recordsComputerSound();
        m_device = engine.audioDeviceName();
        heard.sound = MediaReadback::sound(clip.filePath);
        const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
        m_lengthsAgree = qAbs(info.audio.endSec - info.video.endSec) <= 0.045;
        return heard;
    }
    // The text the bar shows within `timeoutMs`, or the last one shown.
    QString waitForLine(const QString &text, int timeoutMs)
    {
        const bool shown =
            QTest::qWaitFor([&] { return m_line && m_line->text() == text; }, timeoutMs);
        return shown ? text : m_line ? m_line->text() : QString();
    }
    QTemporaryDir m_dir;
    QLabel *m_line = nullptr;  // the bar's sound line while record() runs
    QString m_file;            // of the last recording
    bool m_fellBack = false;
    bool m_computerSound = false;
    bool m_lengthsAgree = false;
    QString m_device;

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs the test X server");
        m_second = std::make_unique<VirtualMicrophone>("lumora_mic2", "LumoraMic2");
        QVERIFY(m_second->isReady());
    }
    void cleanupTestCase() { m_second.reset(); }
    void init()
    {
        m_project = std::make_unique<ProjectData>();
        QVERIFY(m_dir.isValid());
    }
    void cleanup() { m_project.reset(); }

    // Each microphone hears its own tone: the recording holds the chosen one's tone only.
    void chosenMicrophoneIsRecorded_data()
    {
        DataTable::columns<QString, QString, int, int, bool>("wanted", "recorded", "heard",
                                                             "notHeard", "fellBack");
        QTest::newRow("the second microphone")
            << "lumora_mic2"
            << "lumora_mic2" << kSecondTone << kDefaultTone << false;
        QTest::newRow("the default, nothing chosen")
            << ""
            << "lumora_mic" << kDefaultTone << kSecondTone << false;
        QTest::newRow("a microphone that is gone: the default")
            << "headset_unplugged"
            << "lumora_mic" << kDefaultTone << kSecondTone << true;
    }
    void chosenMicrophoneIsRecorded()
    {
        const auto [wanted, recorded, heard, notHeard, fellBack] =
            DataTable::fetch<QString, QString, int, int, bool>("wanted", "recorded", "heard",
                                                               "notHeard", "fellBack");
        TestTone defaultTone(kDefaultTone);
        TestTone secondTone(kSecondTone, m_second->sink(), m_second->source());
        QVERIFY(defaultTone.isHeard() && secondTone.isHeard());
        SoundSettings settings;
        settings.microphone = wanted;
        const Heard file = record(settings, 2.0);
        QCOMPARE(m_device, recorded);
        QCOMPARE(m_fellBack, fellBack);
        QVERIFY(!m_computerSound);
        QVERIFY(m_lengthsAgree);
        const QString what = levels(file, 0.5, 1.8);
        QVERIFY2(file.level(heard, 0.5, 1.8) > -30, qPrintable(what));
        QVERIFY2(file.level(notHeard, 0.5, 1.8) < file.level(heard, 0.5, 1.8) - 30,
                 qPrintable(what));
    }

    // The microphone (second) and what the computer plays (the default output) in one track;
    // mute takes the microphone's tone out and leaves the computer's.
    void computerSoundIsMixedIn()
    {
        TestTone computer(kComputerTone);
        TestTone voice(kSecondTone, m_second->sink(), m_second->source());
        QVERIFY(computer.isHeard() && voice.isHeard());
        SoundSettings settings;
        settings.microphone = m_second->source();
        settings.computerSound = true;
        const Heard file = record(settings, 3.0, [](ScreenRecord &engine) {
            QTest::qWait(1500);
            engine.setMute(true);
        });
        QVERIFY(m_computerSound);
        QVERIFY(m_lengthsAgree);
        const QString before = levels(file, 0.3, 1.4);
        QVERIFY2(file.level(kSecondTone, 0.3, 1.4) > -30, qPrintable(before));
        QVERIFY2(file.level(kComputerTone, 0.3, 1.4) > -30, qPrintable(before));
        const QString muted = levels(file, 1.7, 2.8);
        QVERIFY2(file.level(kComputerTone, 1.7, 2.8) > -30, qPrintable(muted));
        QVERIFY2(file.level(kSecondTone, 1.7, 2.8) < file.level(kComputerTone, 1.7, 2.8) - 30,
                 qPrintable(muted));
        // The computer's tone is there as loud as it plays: mixed in at its own level.
        QVERIFY2(qAbs(file.level(kComputerTone, 0.3, 1.4) - file.level(kComputerTone, 1.7, 2.8)) <
                     1,
                 qPrintable(before + " / " + muted));
    }

    // What the computer plays is in step with the picture: a beep heard at the moment a window
    // flashes lands within 45 ms of the flash's picture in the file (with noise reduction on
    // the microphone, as the whole mixing path runs then).
    void computerSoundInStepWithThePicture()
    {
        // The mixing path is what is measured here, with x11grab's even pictures; the screen
        // reader's own sound-to-picture offset is measured by bench/record.
        writeSetting(QLatin1String(ScreenRecord::kScreenGrabKey),
                     QLatin1String(ScreenRecord::kScreenGrabX11grab));
        const auto restore = qScopeGuard(
            [] { writeSetting(QLatin1String(ScreenRecord::kScreenGrabKey), QVariant()); });
        FlashAndBeep stage(kRect, "lumora_sink", 700);
        QVERIFY(QTest::qWaitForWindowExposed(&stage));
        QVERIFY(QTest::qWaitFor([&] { return stage.isPlaying(); }, 5000));
        SoundSettings settings;
        settings.microphone = m_second->source();
        settings.computerSound = true;
        settings.noiseReduction = true;
        qint64 startedUs = 0;
        record(settings, 5.0, [&](ScreenRecord &) { startedUs = BenchTools::monotonicUs(); });
        stage.stop();
        QVERIFY(m_computerSound);
        QString why;
        const bool inStep = stage.inStep(m_file, startedUs, 4, &why);
        qInfo() << qPrintable(why);
        QVERIFY2(inStep, qPrintable(why));
    }

    // The sound server ends during the recording and starts again: the bar says that the
    // microphone is lost and then that it is back, the file's sound goes on after the gap, the
    // gap is silence of its own length and the sound ends with the picture.
    void soundServerRestartsDuringTheRecording()
    {
        SoundServer server;
        QVERIFY(server.start());
        server.use();
        auto tone = std::make_unique<TestTone>(kDefaultTone, server.sink(), server.source());
        QVERIFY(tone->isHeard());
        double killedSec = 0;
        double restartedSec = 0;
        QString lostLine;
        QString backLine;
        const Heard file = record(SoundSettings(), 9.0, [&](ScreenRecord &) {
            QElapsedTimer clock;
            clock.start();
            QTest::qWait(2000);
            killedSec = clock.elapsed() / 1000.0;
            server.kill();
            tone.reset();
            lostLine = waitForLine(RecordHealth::soundLostText(true), 5000);
            QTest::qWait(1500);
            restartedSec = clock.elapsed() / 1000.0;
            if (server.start())
                tone = std::make_unique<TestTone>(kDefaultTone, server.sink(), server.source());
            backLine = waitForLine(RecordHealth::soundBackText(true), 10000);
        });
        QCOMPARE(lostLine, RecordHealth::soundLostText(true));
        QCOMPARE(backLine, RecordHealth::soundBackText(true));
        QVERIFY(tone && tone->isHeard());
        QVERIFY(m_lengthsAgree);
        const double end = file.sound.startSeconds +
                           double(file.sound.samples.size()) / std::max(1, file.sound.sampleRate);
        const QString what = QStringLiteral("killed %1 s, restarted %2 s, end %3 s: before %4, "
                                            "gap %5, after %6")
                                 .arg(killedSec)
                                 .arg(restartedSec)
                                 .arg(end)
                                 .arg(levels(file, 0.3, killedSec - 0.3))
                                 .arg(levels(file, killedSec + 0.3, restartedSec - 0.1))
                                 .arg(levels(file, end - 1.5, end - 0.2));
        qInfo() << qPrintable(what);
        QVERIFY2(end > 8.5, qPrintable(what));
        QVERIFY2(file.level(kDefaultTone, 0.3, killedSec - 0.3) > -30, qPrintable(what));
        QVERIFY2(file.level(kDefaultTone, killedSec + 0.3, restartedSec - 0.1) < -80,
                 qPrintable(what));
        QVERIFY2(file.level(kDefaultTone, end - 1.5, end - 0.2) > -30, qPrintable(what));
    }

    // The recorded microphone is unplugged: the sound server moves the recording to the
    // default one, and the bar names it.
    void unpluggedMicrophoneIsNamed()
    {
        VirtualMicrophone usb("lumora_usb_mic", "UsbMic");
        QVERIFY(usb.isReady());
        TestTone laptop(kDefaultTone);
        TestTone voice(kSecondTone, usb.sink(), usb.source());
        QVERIFY(laptop.isHeard() && voice.isHeard());
        SoundSettings settings;
        settings.microphone = usb.source();
        QString shown;
        const Heard file = record(settings, 5.0, [&](ScreenRecord &) {
            QTest::qWait(1500);
            usb.remove();
            shown = waitForLine(RecordHealth::microphoneNowText("LumoraMic"), 5000);
        });
        QCOMPARE(shown, RecordHealth::microphoneNowText("LumoraMic"));
        QVERIFY(m_lengthsAgree);
        const QString what = levels(file, 0.3, 1.3) + " / " + levels(file, 3.5, 4.8);
        QVERIFY2(file.level(kSecondTone, 0.3, 1.3) > -30, qPrintable(what));
        QVERIFY2(file.level(kDefaultTone, 3.5, 4.8) > -30, qPrintable(what));
    }

    // A tone in the steady noise of a fan, recorded without and with "降噪".
    void noiseReductionLowersTheNoiseFloor()
    {
        TestTone voice(kSecondTone, m_second->sink(), m_second->source(), 0.03);
        QVERIFY(voice.isHeard());
        SoundSettings settings;
        settings.microphone = m_second->source();
        const Heard plain = record(settings, 4.0);
        settings.noiseReduction = true;
        const Heard cleaned = record(settings, 4.0);
        QVERIFY(m_lengthsAgree);
        const double floorBefore = plain.floor(1.5, 3.8, kSecondTone);
        const double floorAfter = cleaned.floor(1.5, 3.8, kSecondTone);
        const double toneBefore = plain.level(kSecondTone, 1.5, 3.8);
        const double toneAfter = cleaned.level(kSecondTone, 1.5, 3.8);
        const QString what = QStringLiteral("floor %1 -> %2 dB, tone %3 -> %4 dB")
                                 .arg(floorBefore)
                                 .arg(floorAfter)
                                 .arg(toneBefore)
                                 .arg(toneAfter);
        qInfo() << qPrintable(what);
        QVERIFY2(floorBefore - floorAfter >= 10, qPrintable(what));
        QVERIFY2(qAbs(toneBefore - toneAfter) < 1, qPrintable(what));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSoundCapture test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soundcapture.moc"
