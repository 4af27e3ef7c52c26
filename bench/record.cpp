// bench_record: records 30 s of a 1920x1080 screen area showing moving content, where a white
// flash and a click in the sound happen together every 3 s; once with the recording engine
// and once with the ffmpeg tool doing the same (x11grab + pulse, the same encoder settings).
// Prints the processor time of both, the frames of both files against 30 per second and the
// click-to-flash offset in the engine's file; last:
//   cpu_vs_ffmpeg=<ratio> frames_ok=<percent> av_offset_ms=<n>
// Aims: 1.0 or less, 100, 45 or less. Needs an X display and a PulseAudio server with the
// sink "lumora_sink" and its microphone "lumora_mic" (source scripts/testenv; lumora_start_xvfb;
// lumora_start_pulse).
#include "core/media/ffmpeghandles.h"
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kSeconds = 30;
constexpr int kFlashEveryMs = 3000;
constexpr int kFlashMs = 100;
constexpr int kRate = 44100;

// The click track: 10 ms of 1 kHz at the start of every flash period, written to a
// low-latency playback stream into the test sink by a thread of its own, paced by the clock
// the flashes follow, so that the GUI's work never starves it.
class ClickFeeder : public QThread
{
public:
    explicit ClickFeeder(const QElapsedTimer &clock) : m_clock(clock) {}
    void stopFeeding()
    {
        m_stop = true;
        wait();
    }

protected:
    void run() override
    {
        QProcess sound;
        sound.start("pacat", {"--playback", "--raw", "--format=s16le", "--channels=1",
                              "--rate=44100", "--latency-msec=10", "-d", "lumora_sink"});
        sound.waitForStarted();
        qint64 written = 0;
        while (!m_stop) {
            const qint64 due = m_clock.nsecsElapsed() / 1000 * kRate / 1000000;
            QByteArray data;
            for (; written < due; ++written) {
                const qint64 inCycle = written % (qint64(kRate) * kFlashEveryMs / 1000);
                qint16 v = 0;
                if (inCycle < kRate / 100)
                    v = qint16(12000 * std::sin(2 * M_PI * 1000.0 * inCycle / kRate));
                data.append(reinterpret_cast<const char *>(&v), sizeof v);
            }
            sound.write(data);
            sound.waitForBytesWritten(5);
            QThread::usleep(2000);
        }
        sound.kill();
        sound.waitForFinished();
    }

private:
    const QElapsedTimer &m_clock;
    std::atomic<bool> m_stop{false};
};

// Moving bars with a white flash at the start of every flash period.
class Stage : public QWidget
{
public:
    Stage()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setGeometry(0, 0, 1920, 1080);
        show();
        m_clock.start();
        m_feeder.start(QThread::TimeCriticalPriority);
        connect(&m_frameTimer, &QTimer::timeout, this, [this]() {
            if (flashing() != m_shownFlash) {
                m_shownFlash = flashing();
                repaint();
            } else {
                update();
            }
        });
        m_frameTimer.setTimerType(Qt::PreciseTimer);
        m_frameTimer.start(5);
    }
    ~Stage() override { m_feeder.stopFeeding(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        if (flashing()) {
            p.fillRect(rect(), Qt::white);
            return;
        }
        p.fillRect(rect(), QColor(20, 20, 60));
        const int shift = int(m_clock.elapsed() / 4 % 1920);
        for (int i = 0; i < 12; ++i)
            p.fillRect((shift + i * 160) % 1920, 200 + (i % 3) * 200, 80, 400,
                       QColor::fromHsv(i * 30, 200, 200));
    }

private:
    bool flashing() const { return m_clock.elapsed() % kFlashEveryMs < kFlashMs; }

    QElapsedTimer m_clock;
    ClickFeeder m_feeder{m_clock};
    QTimer m_frameTimer;
    bool m_shownFlash = false;
};

// The engine recording in a child process (bench_record --engine <file>).
int engineChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[2]);
    ProjectData *project = ProjectData::instance();
    project->setProjectDir(QFileInfo(file).absolutePath() + "/");
    AVData clip = project->newClip(QFileInfo(file).fileName());
    project->insert(0, clip);
    ScreenRecord engine;
    QObject::connect(&engine, &ScreenRecord::sigRecordFinish, &app, [&]() { app.exit(0); },
                     Qt::QueuedConnection);
    QObject::connect(&engine, &ScreenRecord::sigRecordFail, &app, [&]() { app.exit(1); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&]() {
        if (!engine.isCapturing())
            return;
        poll.stop();
        engine.startRecord();
        QTimer::singleShot(kSeconds * 1000, &app, [&]() { engine.stopRecord(); });
    });
    poll.start(10);
    engine.setRecordRect(QRect(0, 0, 1920, 1080));
    engine.prepareRecord(clip);
    return app.exec();
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs a recorder to its end while the stage plays; its processor time in seconds.
double runRecorder(const QString &program, const QStringList &args)
{
    const double before = childCpuSeconds();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    p.waitForStarted();
    // Keeps the stage running (pictures and sound) while the recorder works.
    while (p.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        p.waitForFinished(2);
    }
    return childCpuSeconds() - before;
}

struct FileFigures
{
    int frames = 0;
    QList<double> flashes;  // times the picture turns white
    QList<double> clicks;   // times a click begins
};

FileFigures measure(const QString &path)
{
    FileFigures f;
    int err = 0;
    ffmpeg::InputFormatContextPtr in = ffmpeg::openInput(path, &err);
    if (!in || avformat_find_stream_info(in.get(), nullptr) < 0)
        return f;
    const int vi = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int ai = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    ffmpeg::CodecContextPtr dec[2];
    for (int k = 0; k < 2; ++k) {
        const int index = k == 0 ? vi : ai;
        if (index < 0)
            continue;
        const AVCodec *codec = avcodec_find_decoder(in->streams[index]->codecpar->codec_id);
        dec[k] = ffmpeg::makeCodecContext(codec);
        avcodec_parameters_to_context(dec[k].get(), in->streams[index]->codecpar);
        dec[k]->pkt_timebase = in->streams[index]->time_base;
        avcodec_open2(dec[k].get(), codec, nullptr);
    }
    ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    bool white = false;
    bool loud = false;
    double quietSince = -1;
    const auto drain = [&](int k, AVRational tb) {
        while (avcodec_receive_frame(dec[k].get(), frame.get()) == 0) {
            const double t = frame->best_effort_timestamp * av_q2d(tb);
            if (k == 0) {
                ++f.frames;
                const uint8_t *y = frame->data[0] + frame->linesize[0] * (frame->height / 2);
                const bool nowWhite = y[frame->width / 2] > 200 && y[frame->width / 8] > 200;
                if (nowWhite && !white)
                    f.flashes << t;
                white = nowWhite;
            } else if (frame->format == AV_SAMPLE_FMT_FLTP) {
                const float *s = reinterpret_cast<const float *>(frame->extended_data[0]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const double ts = t + double(i) / frame->sample_rate;
                    if (std::fabs(s[i]) > 0.05) {
                        if (!loud && (quietSince < 0 || ts - quietSince > 0.5))
                            f.clicks << ts;
                        loud = true;
                    } else if (loud) {
                        loud = false;
                        quietSince = ts;
                    }
                }
            }
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(in.get(), pkt.get()) >= 0) {
        const int k = pkt->stream_index == vi ? 0 : pkt->stream_index == ai ? 1 : -1;
        if (k >= 0 && dec[k]) {
            avcodec_send_packet(dec[k].get(), pkt.get());
            drain(k, in->streams[pkt->stream_index]->time_base);
        }
        av_packet_unref(pkt.get());
    }
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--engine") == 0)
        return engineChild(argc, argv);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString ours = dir.filePath("engine.mp4");
    const QString theirs = dir.filePath("ffmpeg.mp4");
    Stage stage;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const double ourCpu = runRecorder(QCoreApplication::applicationFilePath(), {"--engine", ours});
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    const double theirCpu = runRecorder(
        "ffmpeg",
        {"-nostdin", "-v", "error", "-y", "-f", "x11grab", "-framerate", "30", "-draw_mouse", "1",
         "-video_size", "1920x1080", "-i", display + "+0,0", "-f", "pulse", "-sample_rate",
         "44100", "-channels", "2", "-fragment_size", "3528", "-i", "lumora_mic", "-t",
         QString::number(kSeconds), "-c:v", "libx264", "-preset", "veryfast", "-tune",
         "zerolatency", "-profile:v", "main", "-crf", "28", "-g", "50", "-bf", "0", "-threads",
         "12", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "192k", "-ar", "44100", "-ac", "2",
         theirs});

    const FileFigures a = measure(ours);
    const FileFigures b = measure(theirs);
    const int expected = 30 * kSeconds;
    QList<double> offsets;
    for (double flash : a.flashes) {
        double best = 1e9;
        for (double click : a.clicks)
            if (std::fabs(click - flash) < std::fabs(best))
                best = click - flash;
        if (std::fabs(best) < 1.0)
            offsets << best * 1000;
    }
    std::sort(offsets.begin(), offsets.end(),
              [](double x, double y) { return std::fabs(x) < std::fabs(y); });
    const double median = offsets.isEmpty() ? -1 : std::fabs(offsets.at(offsets.size() / 2));
    std::printf("engine: cpu %.2f s, frames %d of %d\n", ourCpu, a.frames, expected);
    std::printf("ffmpeg: cpu %.2f s, frames %d of %d\n", theirCpu, b.frames, expected);
    std::printf("flashes at:");
    for (double t : a.flashes)
        std::printf(" %.3f", t);
    std::printf("\nclicks at:");
    for (double t : a.clicks)
        std::printf(" %.3f", t);
    std::printf("\nffmpeg tool's file: flashes at:");
    for (double t : b.flashes)
        std::printf(" %.3f", t);
    std::printf("\nffmpeg tool's file: clicks at:");
    for (double t : b.clicks)
        std::printf(" %.3f", t);
    std::printf("\nflashes %lld, clicks %lld, offsets (click - flash, ms):", qint64(a.flashes.size()),
                qint64(a.clicks.size()));
    for (double o : offsets)
        std::printf(" %.0f", o);
    std::printf("\n");
    std::printf("cpu_vs_ffmpeg=%.2f frames_ok=%d av_offset_ms=%d\n",
                theirCpu > 0 ? ourCpu / theirCpu : -1.0,
                int(std::lround(100.0 * std::min(a.frames, expected) / expected)),
                int(std::lround(median)));
    return 0;
}
