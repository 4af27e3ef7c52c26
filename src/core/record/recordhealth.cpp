#include "core/record/recordhealth.h"

#include "core/record/screenrecord.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace {
// The measured rate is taken over this stretch.
constexpr qint64 kRateWindowMs = 10000;

QString existingFolder(QString folder)
{
    // The project folder may not exist yet; its file system is that of the nearest parent.
    QDir dir(folder);
    while (!dir.exists() && !dir.isRoot() && dir.cdUp()) {
    }
    return dir.absolutePath();
}
}  // namespace

RecordHealth::RecordHealth(ScreenRecord *engine, QObject *parent)
    : QObject(parent), m_engine(engine), m_freeSpace(&RecordHealth::freeBytes)
{
    m_levelTimer.setInterval(kLevelIntervalMs);
    m_diskTimer.setInterval(kDiskIntervalMs);
    connect(&m_levelTimer, &QTimer::timeout, this, &RecordHealth::tickLevel);
    connect(&m_diskTimer, &QTimer::timeout, this, &RecordHealth::checkDisk);
    if (engine) {
        // Emitted on the engine's worker: queued to this thread.
        connect(
            engine, &ScreenRecord::sig_SoundInputsOpened, this,
            [this]() {
                if (m_engine)
                    emit soundInputsOpened(m_engine->microphoneFellBack(),
                                           m_engine->recordsComputerSound());
            },
            Qt::QueuedConnection);
        connect(engine, &ScreenRecord::sig_SoundInputLost, this, &RecordHealth::soundInputLost,
                Qt::QueuedConnection);
        connect(engine, &ScreenRecord::sig_Warning, this, &RecordHealth::engineWarning,
                Qt::QueuedConnection);
        connect(
            engine, &ScreenRecord::sig_CameraLost, this,
            [this](const QString &reason) {
                emit engineWarning(tr("%1录制继续，之后的录像中没有摄像头。").arg(reason));
            },
            Qt::QueuedConnection);
        connect(
            engine, &ScreenRecord::sig_SoundInputBack, this,
            [this](bool microphone, const QString &) { emit soundInputBack(microphone); },
            Qt::QueuedConnection);
        connect(
            engine, &ScreenRecord::sig_MicrophoneChanged, this,
            [this](const QString &, const QString &description) {
                emit microphoneChanged(description);
            },
            Qt::QueuedConnection);
    }
}

qint64 RecordHealth::freeBytes(const QString &folder)
{
    QStorageInfo storage(existingFolder(folder));
    storage.refresh();
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

DiskSpaceGuard::State RecordHealth::checkBeforeStart(const QString &folder, const QSize &picture,
                                                     qint64 *secondsLeft)
{
    const qint64 free = freeBytes(folder);
    const qint64 rate = DiskSpaceGuard::estimatedRate(picture);
    if (secondsLeft)
        *secondsLeft = free < 0 ? -1 : DiskSpaceGuard::secondsLeft(free, rate);
    // A file system whose free space cannot be read is not judged.
    return free < 0 ? DiskSpaceGuard::Enough : DiskSpaceGuard::judge(free, rate);
}

DiskSpaceGuard::State RecordHealth::prepare(const QString &folder, const QSize &picture)
{
    m_folder = folder;
    m_estimate = DiskSpaceGuard::estimatedRate(picture);
    m_rate = m_estimate;
    const qint64 free = m_freeSpace(folder);
    m_diskState = free < 0 ? DiskSpaceGuard::Enough : DiskSpaceGuard::judge(free, m_rate);
    if (m_diskState != DiskSpaceGuard::Enough)
        emit diskSpaceChanged(true, DiskSpaceGuard::secondsLeft(free, m_rate));
    return m_diskState;
}

void RecordHealth::start()
{
    m_silence = SilenceWatch();
    m_lastSilent = false;
    m_fullSent = false;
    m_samples.clear();
    m_clock.start();
    m_sinceLevel.start();
    if (m_engine)
        m_engine->takeSoundPeak();  // what was heard before the start does not count
    m_levelTimer.start();
    m_diskTimer.start();
    checkDisk();
}

void RecordHealth::stop()
{
    m_levelTimer.stop();
    m_diskTimer.stop();
    emit levelChanged(soundlevel::kSilentDb);
    if (m_lastSilent) {
        m_lastSilent = false;
        emit silentMicrophoneChanged(false);
    }
}

void RecordHealth::tickLevel()
{
    const qint64 elapsed = m_sinceLevel.restart();
    if (!m_engine)
        return;
    const double peak = m_engine->takeSoundPeak();
    const int state = m_engine->state();
    const bool muted = m_engine->isMuted();
    if (state == ScreenRecord::Recording)
        m_silence.feed(elapsed, peak, muted);
    emit levelChanged(muted || state != ScreenRecord::Recording ? soundlevel::kSilentDb : peak);
    const bool silent = m_silence.warning();
    if (silent != m_lastSilent) {
        m_lastSilent = silent;
        emit silentMicrophoneChanged(silent);
    }
}

void RecordHealth::checkDisk()
{
    const qint64 free = m_freeSpace(m_folder);
    if (free < 0)
        return;
    const qint64 now = m_clock.elapsed();
    m_samples.push_back({now, free});
    while (m_samples.size() > 2 && now - m_samples.front().ms > kRateWindowMs)
        m_samples.pop_front();
    const Sample &first = m_samples.front();
    // The rate is what the free space fell by, but never taken below a quarter of the guess:
    // a still picture writes little, and a picture that starts moving writes much more at once.
    qint64 measured = 0;
    if (now - first.ms >= 1000 && first.freeBytes > free)
        measured = (first.freeBytes - free) * 1000 / (now - first.ms);
    m_rate = std::max(measured, m_estimate / 4);
    const DiskSpaceGuard::State state = DiskSpaceGuard::judge(free, m_rate);
    const qint64 left = DiskSpaceGuard::secondsLeft(free, m_rate);
    if (state != m_diskState || state == DiskSpaceGuard::Low) {
        m_diskState = state;
        emit diskSpaceChanged(state != DiskSpaceGuard::Enough, left);
    }
    if (state == DiskSpaceGuard::Full && !m_fullSent && m_engine &&
        (m_engine->state() == ScreenRecord::Recording ||
         m_engine->state() == ScreenRecord::Paused)) {
        m_fullSent = true;
        qWarning() << "RecordHealth: disk almost full, free bytes" << free << "rate" << m_rate;
        emit diskFull();
    }
}

QString RecordHealth::silentMicrophoneText()
{
    return QCoreApplication::translate("RecordHealth", "没有听到麦克风的声音，请检查麦克风");
}

QString RecordHealth::diskLowText(qint64 secondsLeft)
{
    return QCoreApplication::translate("RecordHealth", "磁盘空间不足，约可再录%1分钟")
        .arg(std::max<qint64>(1, secondsLeft / 60));
}

QString RecordHealth::diskFullText()
{
    return QCoreApplication::translate("RecordHealth",
                                       "磁盘空间即将用尽，录制已自动停止，已录内容已保存");
}

QString RecordHealth::diskFullBeforeStartText()
{
    return QCoreApplication::translate("RecordHealth", "磁盘空间不足，无法录制！");
}

QString RecordHealth::computerSoundText(bool recorded)
{
    return recorded ? QCoreApplication::translate("RecordHealth", "录制电脑声音")
                    : QCoreApplication::translate("RecordHealth", "不录电脑声音");
}

QString RecordHealth::soundLostText(bool microphone)
{
    return microphone ? QCoreApplication::translate("RecordHealth", "麦克风断开，重连中…")
                      : QCoreApplication::translate("RecordHealth", "电脑声音断开，重连中…");
}

QString RecordHealth::soundBackText(bool microphone)
{
    return microphone ? QCoreApplication::translate("RecordHealth", "麦克风已重新连接")
                      : QCoreApplication::translate("RecordHealth", "电脑声音已重新连接");
}

QString RecordHealth::microphoneNowText(const QString &description)
{
    return QCoreApplication::translate("RecordHealth", "改用麦克风：%1").arg(description);
}

QString RecordHealth::latePicturesText(qint64 late, qint64 total)
{
    // More than 1 %, counted in whole numbers; the share is rounded up to a tenth of a percent
    // (whole percents from 10 on), so that it never reads as 1 % or less.
    using Wide = __int128;
    if (total <= 0 || late <= 0 || late > total || Wide(late) * 100 <= total)
        return QString();
    const qint64 tenths = qint64((Wide(late) * 1000 + total - 1) / total);
    const QString percent = tenths >= 100 ? QString::number((tenths + 5) / 10)
                                          : QString("%1.%2").arg(tenths / 10).arg(tenths % 10);
    return QCoreApplication::translate("RecordHealth", "电脑过于繁忙，有%1%的画面未能及时录下")
        .arg(percent);
}
