// Plays a generated three-clip sequence in a preview window, the way the editor does.
//   preview [--screenshot FILE]
// With --screenshot the window is saved as FILE from the middle of the second clip and the
// command ends; without it the sequence plays to its end. Prints how far the reported
// timeline time strayed from the wall clock.
#include "core/project/avdata.h"
#include "support/benchtools.h"
#include "support/cliplist.h"
#include "support/testmedia.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcmediaplayer.h"
#include "ui/editor/vlcwidgetvideo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

bool makeClip(const QString &path, const QString &source, int seconds)
{
    return TestMedia::makeClip(path, seconds, QSize(640, 360), true, 25, source);
}

AVData clip(const QString &path, qint64 durationMs, qint64 beginMs, qint64 endMs)
{
    return ClipList::clip(path, durationMs, beginMs, endMs, QString(), QSize(640, 360));
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString screenshot;
    if (!BenchTools::optionValue(app.arguments(), "--screenshot",
                                 "usage: preview [--screenshot FILE]", &screenshot))
        return 2;

    QTemporaryDir dir;
    const QString a = dir.filePath("testsrc2.mp4");
    const QString b = dir.filePath("smptehdbars.mp4");
    const QString c = dir.filePath("rgbtestsrc.mp4");
    if (!makeClip(a, "testsrc2", 3) || !makeClip(b, "smptehdbars", 4) ||
        !makeClip(c, "rgbtestsrc", 3)) {
        std::fprintf(stderr, "could not make the clips with the ffmpeg tool\n");
        return 1;
    }
    // The second clip uses the span 1 s .. 4 s of its file, so its middle is at 4.5 s.
    const QList<AVData> clips = ClipList::laidOut(
        {clip(a, 3000, 0, 3000), clip(b, 4000, 1000, 4000), clip(c, 3000, 0, 3000)});
    const qint64 middleOfSecond = clips[1].position + clips[1].length() / 2;

    QWidget window;
    window.setWindowTitle("preview");
    auto *layout = new QVBoxLayout(&window);
    auto *video = new VlcWidgetVideo(&window);
    video->setFixedSize(640, 360);
    auto *label = new QLabel(&window);
    layout->addWidget(video);
    layout->addWidget(label);

    PlayHelper helper;
    video->setMediaPlayer(helper.mediaPlayer());
    window.show();

    QElapsedTimer wall;
    qint64 wallStart = -1;
    qint64 timeStart = 0;
    qint64 maxDrift = 0;
    int reports = 0;
    bool saved = false;
    int status = 0;
    QObject::connect(&helper, &PlayHelper::timeChanged, &window, [&](qint64 time) {
        label->setText(QStringLiteral("%1 ms").arg(time));
        if (!helper.isPlaying())
            return;
        ++reports;
        if (wallStart < 0) {
            wallStart = wall.elapsed();
            timeStart = time;
        }
        maxDrift = qMax(maxDrift, qAbs((time - timeStart) - (wall.elapsed() - wallStart)));
        if (!screenshot.isEmpty() && !saved && time >= middleOfSecond) {
            saved = true;
            // Let the picture of this moment reach the window before grabbing it.
            QTimer::singleShot(100, &window, [&] {
                const QPixmap shot = window.screen()->grabWindow(window.winId());
                if (!shot.save(screenshot)) {
                    std::fprintf(stderr, "could not save %s\n", qPrintable(screenshot));
                    status = 1;
                }
                std::printf("screenshot at %lld ms: %s\n", qint64(helper.curTime()),
                            qPrintable(screenshot));
                app.quit();
            });
        }
    });
    QObject::connect(&helper, &PlayHelper::playFinish, &app, &QApplication::quit);
    QTimer::singleShot(30000, &app, [&] {
        std::fprintf(stderr, "playback did not end within 30 s\n");
        status = 1;
        app.quit();
    });

    helper.setAvDatas(clips, 0);
    wall.start();
    helper.play();
    app.exec();

    std::printf("time reports while playing: %d\n", reports);
    std::printf("largest drift of the timeline time from the wall clock: %lld ms\n", maxDrift);
    std::printf("aim: drift <= 250 ms, ratio %.2f\n", double(maxDrift) / 250.0);
    return status;
}
