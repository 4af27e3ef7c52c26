#include "core/record/soundlevelprobe.h"

#include "core/record/soundlevel.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <QDebug>

#include <algorithm>
#include <vector>

namespace {
constexpr int kRate = 44100;
constexpr int kPieceSamples = kRate / 20;  // 50 ms
constexpr int kNone = int(soundlevel::kSilentDb * 100);
}  // namespace

SoundLevelProbe::SoundLevelProbe(QObject *parent) : QObject(parent), m_peakCentiDb(kNone)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &SoundLevelProbe::report);
}

SoundLevelProbe::~SoundLevelProbe()
{
    stop();
}

void SoundLevelProbe::listen(const QString &device)
{
    stop();
    m_device = device;
    if (device.isEmpty())
        return;
    m_stop = false;
    m_peakCentiDb = kNone;
    const QByteArray name = device.toUtf8();
    m_thread = std::make_unique<std::thread>([this, name]() { readInThread(name); });
    m_timer.start();
}

void SoundLevelProbe::stop()
{
    m_timer.stop();
    if (m_thread) {
        m_stop = true;
        m_thread->join();
        m_thread.reset();
    }
    m_device.clear();
    emit levelChanged(soundlevel::kSilentDb);
}

void SoundLevelProbe::readInThread(const QByteArray &device)
{
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = uint32_t(kPieceSamples * 2);
    int error = 0;
    pa_simple *stream = pa_simple_new(nullptr, "Lumora", PA_STREAM_RECORD, device.constData(),
                                      "level", &format, nullptr, &attr, &error);
    if (!stream) {
        qWarning() << "SoundLevelProbe: cannot listen to" << device << pa_strerror(error);
        return;
    }
    std::vector<qint16> piece(kPieceSamples);
    while (!m_stop.load()) {
        if (pa_simple_read(stream, piece.data(), piece.size() * sizeof(qint16), &error) < 0) {
            qWarning() << "SoundLevelProbe: reading" << device << "failed:" << pa_strerror(error);
            break;
        }
        const int centi = int(soundlevel::peakDbfs(piece.data(), qint64(piece.size())) * 100);
        int seen = m_peakCentiDb.load();
        while (centi > seen && !m_peakCentiDb.compare_exchange_weak(seen, centi)) {
        }
    }
    pa_simple_free(stream);
}

void SoundLevelProbe::report()
{
    emit levelChanged(m_peakCentiDb.exchange(kNone) / 100.0);
}
