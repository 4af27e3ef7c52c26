// The recording engine on the test X server with the test sound server: what ends up in the
// file and in the project. The cases that run the engine in a child process are in
// tst_recordchild.
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/record/deviceutil.h"
#include "core/record/picturecadence.h"
#include "core/record/screenrecord.h"
#include "support/datatable.h"
#include "support/mediainspect.h"
#include "support/mediareadback.h"
#include "support/mp4boxes.h"
#include "support/recordingsteps.h"
#include "support/screenpixels.h"
#include "support/testtone.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr QRect kStageRect(0, 0, 320, 240);

// A frameless window over the recorded rectangle showing one colour.
class ColourStage : public QWidget
{
public:
    explicit ColourStage(const QRect &rect)
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setGeometry(rect);
        show();
    }
    void setColour(const QColor &colour)
    {
        m_colour = colour;
        repaint();
        QCoreApplication::processEvents();
    }
    // A small black square over the colour, painted alone.
    void setMark(const QRect &mark)
    {
        m_mark = mark;
        repaint(mark);
        QCoreApplication::processEvents();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_colour);
        p.fillRect(m_mark, Qt::black);
    }

private:
    QColor m_colour = Qt::black;
    QRect m_mark;
};

void pause(int ms)
{
    QTest::qWait(ms);
}

// The colours of the pictures in order, runs of one colour counted once.
QStringList colourRuns(const QList<MediaInspect::Picture> &pictures)
{
    QStringList runs;
    for (const MediaInspect::Picture &p : pictures) {
        const QString name = ScreenPixels::colourName(p.centre);
        if (runs.isEmpty() || runs.last() != name)
            runs << name;
    }
    return runs;
}

double largestGap(const QList<MediaInspect::Picture> &pictures)
{
    double gap = 0;
    for (int i = 1; i < pictures.size(); ++i)
        gap = std::max(gap, pictures.at(i).sec - pictures.at(i - 1).sec);
    return gap;
}

}  // namespace

class TestScreenRecord : public QObject
{
    Q_OBJECT
    std::unique_ptr<ProjectData> m_project;  // each test's own

private slots:
    void init() { m_project = std::make_unique<ProjectData>(); }
    void cleanup() { m_project.reset(); }

    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs the test X server");
    }

    void recordRectIsRoundedToMultiplesOfFour_data()
    {
        DataTable::columns<QRect, QRect, QString>("given", "stored", "crop");
        QTest::newRow("1366x768 at 0,0")
            << QRect(0, 0, 1366, 768) << QRect(0, 0, 1364, 768) << "crop=1364:768:0:0";
        QTest::newRow("odd corner")
            << QRect(11, 7, 803, 601) << QRect(11, 7, 800, 600) << "crop=800:600:0:0";
        QTest::newRow("already whole")
            << QRect(100, 50, 1280, 720) << QRect(100, 50, 1280, 720) << "crop=1280:720:0:0";
        QTest::newRow("too small") << QRect(5, 5, 3, 3) << QRect(5, 5, 0, 0) << "crop=0:0:0:0";
    }
    void recordRectIsRoundedToMultiplesOfFour()
    {
        const auto [given, stored, crop] =
            DataTable::fetch<QRect, QRect, QString>("given", "stored", "crop");
        ScreenRecord engine;
        engine.setRecordRect(given);
        QCOMPARE(engine.recordRect(), stored);
        QCOMPARE(engine.recordRect().right(), stored.left() + stored.width() - 1);
        QCOMPARE(engine.cropDescription(), crop);
    }

    void crfFollowsPictureSize_data()
    {
        DataTable::columns<int, int, QString>("width", "height", "crf");
        QTest::newRow("800x600") << 800 << 600 << "24";
        QTest::newRow("1024x736") << 1024 << 736 << "26";
        QTest::newRow("1280x720") << 1280 << 720 << "27";
        QTest::newRow("1920x1080") << 1920 << 1080 << "28";
        QTest::newRow("just above 480000") << 800 << 601 << "26";
        QTest::newRow("1612800 exactly") << 1680 << 960 << "27";
    }
    void crfFollowsPictureSize()
    {
        const auto [width, height, crf] =
            DataTable::fetch<int, int, QString>("width", "height", "crf");
        QCOMPARE(ScreenRecord::crfFor(width, height), crf);
    }

    void controlsOutsideTheirStateChangeNothing()
    {
        ScreenRecord engine;
        engine.startRecord();
        engine.pauseRecord();
        engine.resumeRecord();
        engine.stopRecord();
        engine.startNextClip("x");
        QCOMPARE(engine.state(), ScreenRecord::Idle);
    }

    // The sound server's list, as the recorder takes it: the source chosen in the system's
    // settings first, a real microphone chosen over a monitor, and no sound (not a hang)
    // without a server.
    void systemListsTheTestMicrophone_data()
    {
        DataTable::columns<QString, QString, QString>("defaultSource", "first", "chosen");
        QTest::newRow("the microphone is the default")
            << u"lumora_mic"_s << u"lumora_mic"_s << u"lumora_mic"_s;
        QTest::newRow("a monitor is the default")
            << u"lumora_sink.monitor"_s << u"lumora_sink.monitor"_s << u"lumora_mic"_s;
        QTest::newRow("no sound server") << u""_s << u""_s << u""_s;
    }
    void systemListsTheTestMicrophone()
    {
        const auto [defaultSource, first, chosen] =
            DataTable::fetch<QString, QString, QString>("defaultSource", "first", "chosen");
        const QByteArray server = qgetenv("PULSE_SERVER");
        const auto setDefault = [](const QString &source) {
            return QProcess::execute("pactl", {"set-default-source", source}) == 0;
        };
        if (defaultSource.isEmpty())
            qputenv("PULSE_SERVER", "unix:/nonexistent/native");
        else
            QVERIFY(setDefault(defaultSource));
        const QList<TDeviceInfo> devices = DeviceUtil::getAudioDeviceInfo();
        qputenv("PULSE_SERVER", server);
        if (server.isEmpty())
            qunsetenv("PULSE_SERVER");
        QVERIFY(setDefault("lumora_mic"));

        QStringList names;
        for (const TDeviceInfo &d : devices)
            names << d.devName;
        QCOMPARE(names.value(0), first);
        QCOMPARE(names.contains("lumora_mic"), !first.isEmpty());
        QCOMPARE(DeviceUtil::chooseAudioDevice(devices), chosen);
    }

    void recordsColoursAndSound();
    void pausesAreLeftOut();
    void muteKeepsLengthWithSilence();
    void nextClipSplitsOneFile();
    void screenIsReadWhereItChanges_data();
    void screenIsReadWhereItChanges();
    void missingExtensionFallsBackToX11grab();
};

void TestScreenRecord::recordsColoursAndSound()
{
    QTemporaryDir dir;
    ColourStage stage(QRect(0, 0, 1366, 768));
    stage.setColour(Qt::red);
    TestTone tone;
    QVERIFY(tone.isHeard());
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    ScreenRecord engine(m_project.get());
    QVERIFY(RecordingSteps::prepare(engine, clip, QRect(0, 0, 1366, 768), 1000));
    QCOMPARE(engine.cropDescription(), QString("crop=1364:768:0:0"));
    QVERIFY(!engine.audioDeviceName().isEmpty());
    engine.startRecord();
    pause(1000);
    stage.setColour(Qt::green);
    pause(1000);
    stage.setColour(Qt::blue);
    pause(1000);
    QVERIFY(RecordingSteps::stop(engine));

    // A normally stopped file has been rewritten with one index at the end: no fragments,
    // and nothing left behind in the folder.
    const QStringList boxes = Mp4Boxes::topLevel(clip.filePath);
    QVERIFY2(boxes.contains("moov") && boxes.contains("mdat") && !boxes.contains("moof"),
             qPrintable(boxes.join(' ')));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(clip.filePath).fileName()});
    const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
    QVERIFY(info.opened);
    QVERIFY2(qAbs(info.durationSec - info.video.endSec) <= 0.05,
             qPrintable(QString("%1 %2").arg(info.durationSec).arg(info.video.endSec)));
    QCOMPARE(info.video.codec, QString("h264"));
    QCOMPARE(QSize(info.video.width, info.video.height), QSize(1364, 768));
    QCOMPARE(info.audio.codec, QString("aac"));
    QCOMPARE(info.audio.sampleRate, 44100);
    QCOMPARE(info.audio.channels, 2);
    QVERIFY2(qAbs(info.video.endSec - 3.0) <= 0.3, qPrintable(QString::number(info.video.endSec)));
    QVERIFY2(qAbs(info.audio.endSec - info.video.endSec) <= 0.045,
             qPrintable(QString("%1 %2").arg(info.audio.endSec).arg(info.video.endSec)));

    const QStringList runs = colourRuns(MediaInspect::pictures(clip.filePath));
    QCOMPARE(runs.join(' '), QStringLiteral("red green blue"));

    // The tone is heard through the whole recording.
    const QList<MediaInspect::Loudness> levels = MediaInspect::loudness(clip.filePath, 0.25);
    QVERIFY(levels.size() >= 10);
    for (int i = 1; i < levels.size() - 1; ++i)
        QVERIFY2(levels.at(i).rms > 0.05,
                 qPrintable(QString("window %1 rms %2").arg(i).arg(levels.at(i).rms)));

    // The project's clip was measured and sized.
    const AVData stored = m_project->at(0);
    QCOMPARE(stored.uuid, clip.uuid);
    QCOMPARE(stored.videoWidth, 1364);
    QCOMPARE(stored.videoHeight, 768);
    QVERIFY(qAbs(stored.duration - qint64(info.video.endSec * 1000)) <= 1);
    QCOMPARE(stored.endTime, stored.duration);
}

void TestScreenRecord::pausesAreLeftOut()
{
    QTemporaryDir dir;
    ColourStage stage(kStageRect);
    stage.setColour(Qt::red);
    TestTone tone;
    QVERIFY(tone.isHeard());
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    ScreenRecord engine(m_project.get());
    QVERIFY(RecordingSteps::prepare(engine, clip, kStageRect, 1000));
    engine.startRecord();
    pause(1000);
    engine.pauseRecord();
    // The last picture before the pause is grabbed just after its time; green comes later,
    // shown only while paused: it must not be in the file.
    pause(100);
    stage.setColour(Qt::green);
    pause(1900);
    stage.setColour(Qt::blue);
    engine.resumeRecord();
    pause(1000);
    QVERIFY(RecordingSteps::stop(engine));

    const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
    QVERIFY2(qAbs(info.video.endSec - 2.0) <= 0.3, qPrintable(QString::number(info.video.endSec)));
    QVERIFY2(qAbs(info.audio.endSec - info.video.endSec) <= 0.045,
             qPrintable(QString("%1 %2").arg(info.audio.endSec).arg(info.video.endSec)));
    const QList<MediaInspect::Picture> pictures = MediaInspect::pictures(clip.filePath);
    QCOMPARE(colourRuns(pictures).join(' '), QStringLiteral("red blue"));
    // No jump in the picture: at most one frame interval more than the ordinary spacing (a
    // still screen is read again at least once a second).
    const double frame = 1.0 / ScreenRecord::kFrameRate;
    QVERIFY2(largestGap(pictures) <= PictureCadence::kMaxSpacingUs / 1e6 + 2 * frame + 0.005,
             qPrintable(QString::number(largestGap(pictures))));
    // The sound has no hole either where the pause was cut out, nor at the start (the tone
    // was heard before the recording began).
    const QList<MediaInspect::Loudness> levels = MediaInspect::loudness(clip.filePath, 0.1);
    for (int i = 0; i < levels.size() - 1; ++i)
        QVERIFY2(levels.at(i).rms > 0.05,
                 qPrintable(QString("at %1 s rms %2").arg(levels.at(i).sec).arg(levels.at(i).rms)));
}

void TestScreenRecord::muteKeepsLengthWithSilence()
{
    QTemporaryDir dir;
    TestTone tone;
    QVERIFY(tone.isHeard());
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    ScreenRecord engine(m_project.get());
    QVERIFY(RecordingSteps::prepare(engine, clip, kStageRect, 1000));
    engine.setMute(true);
    engine.startRecord();
    pause(2000);
    QVERIFY(RecordingSteps::stop(engine));
    const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
    QVERIFY(qAbs(info.video.endSec - 2.0) <= 0.3);
    QVERIFY(qAbs(info.audio.endSec - info.video.endSec) <= 0.045);
    const double loudest = MediaInspect::peak(clip.filePath);
    QVERIFY2(loudest >= 0 && loudest < 0.001, qPrintable(QString::number(loudest)));
}

void TestScreenRecord::nextClipSplitsOneFile()
{
    QTemporaryDir dir;
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    ScreenRecord engine(m_project.get());
    QVERIFY(RecordingSteps::prepare(engine, clip, kStageRect, 1000));
    engine.startNextClip("too early");  // only while recording
    engine.startRecord();
    pause(1000);
    engine.startNextClip("b");
    pause(1000);
    engine.startNextClip("c");
    pause(1000);
    QVERIFY(RecordingSteps::stop(engine));

    const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
    const qint64 fileMs = qint64(info.video.endSec * 1000);
    const QList<AVData> clips = m_project->avDatas();
    QCOMPARE(clips.size(), 3);
    QStringList titles;
    for (const AVData &d : clips)
        titles << d.title;
    QCOMPARE(titles, (QStringList{"a", "b", "c"}));
    QCOMPARE(clips.at(0).beginTime, qint64(0));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(clips.at(i).fileName, clip.fileName);
        QVERIFY(qAbs(clips.at(i).duration - fileMs) <= 1);
        QVERIFY2(clips.at(i).length() > 700 && clips.at(i).length() < 1300,
                 qPrintable(QString::number(clips.at(i).length())));
        if (i > 0) {
            QCOMPARE(clips.at(i).beginTime, clips.at(i - 1).endTime);
            QCOMPARE(clips.at(i).position, clips.at(i - 1).position + clips.at(i - 1).length());
        }
    }
    QCOMPARE(clips.at(2).endTime, clips.at(2).duration);
}

void TestScreenRecord::screenIsReadWhereItChanges_data()
{
    DataTable::columns<QString>("screenGrab");
    QTest::newRow("changes read (default)") << QString();
    QTest::newRow("x11grab asked for") << QString(ScreenRecord::kScreenGrabX11grab);
}

// A still screen where a small square is painted and then the pointer comes over it: the
// square and the pointer are in the file from when they were shown, and a still screen gives
// few pictures unless "conf.ini" asks for x11grab's 30 a second.
void TestScreenRecord::screenIsReadWhereItChanges()
{
    const auto [screenGrab] = DataTable::fetch<QString>("screenGrab");
    writeSetting(QLatin1String(ScreenRecord::kScreenGrabKey), screenGrab);
    const auto restore =
        qScopeGuard([] { writeSetting(QLatin1String(ScreenRecord::kScreenGrabKey), QVariant()); });
    QCursor::setPos(kStageRect.right() + 200, kStageRect.bottom() + 200);
    QTemporaryDir dir;
    ColourStage stage(kStageRect);
    stage.setColour(QColor(128, 128, 128));
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    ScreenRecord engine(m_project.get());
    QVERIFY(RecordingSteps::prepare(engine, clip, kStageRect, 1000));
    engine.startRecord();
    QElapsedTimer clock;
    clock.start();
    pause(700);
    const QRect mark(8, 8, 16, 16);
    stage.setMark(mark);
    const double markSec = clock.elapsed() / 1000.0;
    pause(800);
    const QPoint pointer = kStageRect.center();
    QCursor::setPos(pointer);
    const double pointerSec = clock.elapsed() / 1000.0;
    pause(700);
    QVERIFY(RecordingSteps::stop(engine));

    int count = 0;
    double markAt = -1;
    double pointerAt = -1;
    QVERIFY(MediaReadback::forEachPicture(clip.filePath, [&](double sec, const QImage &image) {
        ++count;
        if (markAt < 0 && qGray(image.pixel(mark.center())) < 60)
            markAt = sec;
        // The pointer's outline or fill, far from the grey, just below and right of its tip.
        int far = 0;
        for (int y = pointer.y(); y < pointer.y() + 12; ++y)
            for (int x = pointer.x(); x < pointer.x() + 6; ++x)
                far += std::abs(qGray(image.pixel(x, y)) - 128) > 80;
        if (pointerAt < 0 && far >= 4)
            pointerAt = sec;
    }));
    const QString times = QString("mark painted %1 s, in the file %2 s; pointer moved %3 s, "
                                  "in the file %4 s; %5 pictures")
                              .arg(markSec)
                              .arg(markAt)
                              .arg(pointerSec)
                              .arg(pointerAt)
                              .arg(count);
    QVERIFY2(markAt >= markSec - 0.02 && markAt <= markSec + 0.1, qPrintable(times));
    QVERIFY2(pointerAt >= pointerSec - 0.02 && pointerAt <= pointerSec + 0.15, qPrintable(times));
    const double seconds = MediaInspect::probe(clip.filePath).video.endSec;
    if (screenGrab.isEmpty())
        QVERIFY2(count <= 3 * seconds + 4, qPrintable(times));
    else
        QVERIFY2(count >= 25 * seconds, qPrintable(times));
}

// A display without the Damage extension: the log says so and the screen is grabbed 30 times a
// second instead.
void TestScreenRecord::missingExtensionFallsBackToX11grab()
{
    QProcess xvfb;
    xvfb.start("Xvfb", {"-displayfd", "1", "-extension", "DAMAGE", "-screen", "0", "640x480x24",
                        "-nolisten", "tcp"});
    QVERIFY(xvfb.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return xvfb.canReadLine(); }, 20000));
    const QByteArray number = xvfb.readLine().trimmed();
    const QByteArray display = qgetenv("DISPLAY");
    const auto restore = qScopeGuard([&] {
        qputenv("DISPLAY", display);
        xvfb.terminate();
        xvfb.waitForFinished();
    });
    qputenv("DISPLAY", ":" + number);  // what the recorder connects to
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("lacks the DAMAGE extension.*x11grab"));
    QTemporaryDir dir;
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    ScreenRecord engine(m_project.get());
    QVERIFY(RecordingSteps::prepare(engine, clip, kStageRect, 500));
    engine.startRecord();
    pause(1000);
    QVERIFY(RecordingSteps::stop(engine));
    const double seconds = MediaInspect::probe(clip.filePath).video.endSec;
    const qsizetype pictures = MediaInspect::pictures(clip.filePath).size();
    QVERIFY2(seconds > 0.7 && pictures >= 25 * seconds,
             qPrintable(QString("%1 pictures in %2 s").arg(pictures).arg(seconds)));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestScreenRecord test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenrecord.moc"
