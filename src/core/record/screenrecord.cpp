#include "core/record/screenrecord.h"

#include "core/media/h264settings.h"
#include "core/project/projectdata.h"
#include "core/record/deviceutil.h"
#include "core/record/outfilewriter.h"
#include "core/record/soundinputwatch.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/time.h>
}

#include <QDebug>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QUuid>

namespace {
ScreenRecord::MessagePresenter &presenter()
{
    static ScreenRecord::MessagePresenter instance;
    return instance;
}
}  // namespace

ScreenRecord::ScreenRecord(QObject *parent) : ScreenRecord(ProjectData::instance(), parent) {}

ScreenRecord::ScreenRecord(ProjectData *project, QObject *parent)
    : QObject(parent), m_project(project)
{
    m_avData.uuid = QUuid::createUuid().toString();
    m_recordRect = QRect(QPoint(0, 0), QPoint(-1, -1));
    m_threadPool = new QThreadPool(this);
    m_threadPool->setMaxThreadCount(10);

    connect(this, &ScreenRecord::sig_Warning, this,
            [this](const QString &text) { presentMessage(false, text); });
    connect(this, &ScreenRecord::sig_Critical, this, [this](const QString &text) {
        presentMessage(true, text);
        emit sigRecordFail();
    });
}

ScreenRecord::~ScreenRecord()
{
    m_destroying = true;
    // The destructor waits for the workers below; a worker waiting for the main thread gives up.
    m_handOver.cancel();
    const int s = m_state.load();
    if (s == Prepared || s == Recording || s == Paused) {
        m_timeline.stop(captureClockNow());
        m_state = Stopped;
    }
    if (m_pictureSource)
        m_pictureSource->interrupt();
    for (QThread *thread : {m_prepareThread.get(), m_openThread.get()}) {
        if (thread)
            thread->wait();
    }
    m_threadPool->waitForDone();
    m_microphoneWatch.reset();
    m_writers.clear();
}

void ScreenRecord::setMessagePresenter(const MessagePresenter &p)
{
    presenter() = p;
}

void ScreenRecord::presentMessage(bool critical, const QString &text)
{
    if (critical)
        qCritical() << "ScreenRecord:" << text;
    else
        qWarning() << "ScreenRecord:" << text;
    if (presenter())
        presenter()(parent(), critical, text);
}

QString ScreenRecord::audioDeviceName() const
{
    QMutexLocker lock(&m_deviceMutex);
    return m_audioDeviceName;
}

void ScreenRecord::setSoundSettings(const SoundSettings &settings)
{
    QMutexLocker lock(&m_deviceMutex);
    m_soundSettings = settings;
    m_soundSettingsGiven = true;
}

SoundSettings ScreenRecord::soundSettings() const
{
    QMutexLocker lock(&m_deviceMutex);
    return m_soundSettings;
}

void ScreenRecord::setRecordRect(const QRect &rect)
{
    const int width = (rect.right() - rect.left() + 1) / 4 * 4;
    const int height = (rect.bottom() - rect.top() + 1) / 4 * 4;
    m_recordRect.setTopLeft(rect.topLeft());
    m_recordRect.setRight(rect.left() + width - 1);
    m_recordRect.setBottom(rect.top() + height - 1);
    // Only the rectangle is grabbed from the screen; the crop graph then keeps all of it.
    m_grabOrigin = m_recordRect.topLeft();
}

void ScreenRecord::setPictureSource(std::shared_ptr<PictureSource> source)
{
    if (m_state.load() != Idle)
        return;
    m_pictureSource = std::move(source);
}

void ScreenRecord::setCamera(std::shared_ptr<CameraPlacement> placement)
{
    m_cameraPlacement = std::move(placement);
}

QString ScreenRecord::crfFor(int width, int height)
{
    return h264::crfFor(width, height);
}

QString ScreenRecord::cropDescription() const
{
    return QStringLiteral("crop=%1:%2:%3:%4")
        .arg(m_recordRect.width())
        .arg(m_recordRect.height())
        .arg(m_recordRect.left() - m_grabOrigin.x())
        .arg(m_recordRect.top() - m_grabOrigin.y());
}

void ScreenRecord::prepareRecord(AVData &clip)
{
    if (m_state.load() != Idle)
        return;
    m_state = Prepared;
    const AVData copy = clip;
    connect(
        this, &ScreenRecord::sig_PrepareComplete, this, [this, copy]() { onPrepareComplete(copy); },
        Qt::ConnectionType(Qt::AutoConnection | Qt::SingleShotConnection));
    // Asking the sound server for its inputs may take a moment: done on the worker.
    m_prepareThread.reset(QThread::create([this]() { prepareRecordInThread(); }));
    m_prepareThread->start();
}

void ScreenRecord::prepareRecordInThread()
{
    QElapsedTimer timer;
    timer.start();
    avdevice_register_all();
    avformat_network_init();
    SoundSettings settings;
    {
        QMutexLocker lock(&m_deviceMutex);
        if (!m_soundSettingsGiven)
            m_soundSettings = SoundSettings::load();
        settings = m_soundSettings;
    }
    const MicrophoneChoice choice =
        chooseMicrophone(DeviceUtil::getAudioDeviceInfo(), settings.microphone);
    if (choice.fellBack)
        qWarning() << "ScreenRecord: the chosen microphone" << settings.microphone
                   << "is gone, recording" << choice.device;
    m_microphoneFellBack = choice.fellBack && !choice.device.isEmpty();
    {
        QMutexLocker lock(&m_deviceMutex);
        m_audioDeviceName = choice.device;
    }
    emit sig_PrepareComplete();
    qInfo() << "初始ffmpeg用时：" << timer.elapsed();
}

void ScreenRecord::onPrepareComplete(const AVData &clip)
{
    if (m_destroying)
        return;
    QElapsedTimer timer;
    timer.start();
    if (audioDeviceName().isEmpty())
        emit sig_Warning(tr("未发现音频输入设备！"));
    if (openVideoInput() != 0) {
        qWarning() << "打开视频输入失败！";
        emit sig_Critical(tr("无法录制！"));
        return;
    }
    qInfo() << "打开视频输入用时：" << timer.elapsed();
    qInfo() << "打开输入共用时：" << timer.elapsed();
    m_openThread.reset(QThread::create([this, clip]() { openRestInThread(clip); }));
    m_openThread->start();
}

void ScreenRecord::openRestInThread(AVData clip)
{
    QElapsedTimer timer;
    timer.start();
    if (!audioDeviceName().isEmpty() && openAudioInput() != 0) {
        emit sig_Warning(tr("打开麦克风出错！"));
        QMutexLocker lock(&m_deviceMutex);
        m_audioDeviceName.clear();
    }
    const bool microphone = !audioDeviceName().isEmpty();
    // The computer's sound is mixed into the one sound track; without it the microphone alone.
    const bool computerSoundWanted = soundSettings().computerSound;
    const bool computerSound = computerSoundWanted && openComputerSoundInput() == 0;
    if (computerSoundWanted && !computerSound)
        emit sig_Warning(tr("无法录制电脑声音！"));
    m_computerSoundOpen = computerSound;
    if (!microphone) {
        m_pAudioInputContext.reset();
        m_audioDecoder.context.reset();
        if (openAudioEncoder() == 0 && !computerSound)
            createSilenceFrame();
    }

    const QByteArray description = cropDescription().toUtf8();
    if (initFilter(description.constData()) < 0) {
        qWarning() << "初始化filter失败！";
        emit sig_Critical(tr("无法录制！"));
        return;
    }

    AVData placed;
    {
        QMutexLocker lock(&m_clipMutex);
        m_avData = clip;
        m_avData.videoWidth = m_recordRect.width();
        m_avData.videoHeight = m_recordRect.height();
        placed = m_avData;
    }
    runOnMainThread([this, placed]() { m_project->replace(placed); });

    auto writer = std::make_unique<OutFileWriter>();
    const bool withSound = microphone || computerSound || m_silenceFrame;
    if (writer->openOutput(placed, pVideoEncodeContext.get(),
                           withSound ? pAudioEncodeContext.get() : nullptr) != 0) {
        qWarning() << "打开输出文件失败！";
        emit sig_Critical(tr("无法录制！"));
        return;
    }
    {
        QMutexLocker lock(&m_writerMutex);
        m_writers.push_back(std::move(writer));
    }
    if (m_destroying)
        m_state = Stopped;
    if (m_changeDriven)
        m_threadPool->start([this]() { readChangedPicturesInThread(); });
    else
        m_threadPool->start([this]() { decodeVideoDatasInThread(); });
    if (microphone || computerSound)
        m_threadPool->start([this]() { encodeAudioDatasInThread(); });
    if (microphone) {
        m_microphoneWatch = std::make_unique<SoundInputWatch>(
            kMicrophoneStreamName, [this](const TDeviceInfo &source) {
                QMutexLocker lock(&m_deviceMutex);
                // The first answer names the microphone being recorded.
                const bool changed =
                    !m_watchedMicrophone.isEmpty() && m_watchedMicrophone != source.devName;
                m_watchedMicrophone = source.devName;
                lock.unlock();
                if (changed)
                    emit sig_MicrophoneChanged(source.devName, source.description.isEmpty()
                                                                   ? source.devName
                                                                   : source.description);
            });
        m_threadPool->start([this]() { decodeAudioDatasInThread(); });
    }
    if (computerSound) {
        m_threadPool->start([this]() {
            readSoundInThread(m_pComputerSoundInputContext, m_computerSoundStreamIndex,
                              m_computerSoundDecoder, false);
            m_pComputerSoundInputContext.reset();
        });
    }
    m_capturing = true;
    emit sig_SoundInputsOpened();
    qInfo() << "初始化filter，打开输出共用时:" << timer.elapsed();
}

bool ScreenRecord::runOnMainThread(const std::function<void()> &job)
{
    return m_handOver.run(m_project, job);
}

void ScreenRecord::startRecord()
{
    if (m_state.load() != Prepared)
        return;
    m_timeline.start(captureClockNow());
    m_state = Recording;
}

void ScreenRecord::pauseRecord()
{
    if (m_state.load() != Recording)
        return;
    m_timeline.pause(captureClockNow());
    m_state = Paused;
}

void ScreenRecord::resumeRecord()
{
    if (m_state.load() != Paused)
        return;
    m_timeline.resume(captureClockNow());
    m_state = Recording;
}

void ScreenRecord::stopRecord()
{
    const int s = m_state.load();
    if (s != Recording && s != Paused)
        return;
    m_timeline.stop(captureClockNow());
    m_state = Stopped;
}

void ScreenRecord::startNextClip(const QString &title)
{
    const int s = m_state.load();
    if (s != Recording && s != Paused)
        return;
    QMutexLocker lock(&m_clipMutex);
    if (m_avData.filePath.isEmpty())
        return;
    m_nextAvData.copyValuesFrom(m_avData);
    m_nextAvData.uuid = QUuid::createUuid().toString();
    m_nextAvData.title = title;
    m_clipRequestUs = captureClockNow();
    m_newClipRequested = true;
}

void ScreenRecord::setMute(bool mute)
{
    m_mute = mute;
}

std::atomic<int> &ScreenRecord::encodeDelayForTesting()
{
    static std::atomic<int> delayMs{0};
    return delayMs;
}

void ScreenRecord::setEncodeDelayForTesting(int ms)
{
    encodeDelayForTesting() = std::max(0, ms);
}
