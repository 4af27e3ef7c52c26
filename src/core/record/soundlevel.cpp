#include "core/record/soundlevel.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double toDb(double peak)
{
    if (!(peak > 0.0))
        return soundlevel::kSilentDb;
    return std::max(soundlevel::kSilentDb, 20.0 * std::log10(std::min(peak, 1.0)));
}

template <typename T> double peakOf(const T *samples, qint64 count, double fullScale)
{
    double peak = 0;
    for (qint64 i = 0; i < count; ++i)
        peak = std::max(peak, std::fabs(double(samples[i])));
    return peak / fullScale;
}

double peakOfPlane(const uint8_t *data, qint64 count, AVSampleFormat format)
{
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: {
        double peak = 0;
        for (qint64 i = 0; i < count; ++i)
            peak = std::max(peak, std::fabs(double(data[i]) - 128.0));
        return peak / 128.0;
    }
    case AV_SAMPLE_FMT_S16: return peakOf(reinterpret_cast<const int16_t *>(data), count, 32768.0);
    case AV_SAMPLE_FMT_S32:
        return peakOf(reinterpret_cast<const int32_t *>(data), count, 2147483648.0);
    case AV_SAMPLE_FMT_S64:
        return peakOf(reinterpret_cast<const int64_t *>(data), count, 9223372036854775808.0);
    case AV_SAMPLE_FMT_FLT: return peakOf(reinterpret_cast<const float *>(data), count, 1.0);
    case AV_SAMPLE_FMT_DBL: return peakOf(reinterpret_cast<const double *>(data), count, 1.0);
    default: return 0;
    }
}

}  // namespace

double soundlevel::peakDbfs(const qint16 *samples, qint64 count)
{
    return samples && count > 0 ? toDb(peakOf(samples, count, 32768.0)) : kSilentDb;
}

double soundlevel::peakDbfs(const AVFrame *frame)
{
    if (!frame || frame->nb_samples <= 0 || !frame->extended_data)
        return kSilentDb;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int channels = std::max(1, frame->ch_layout.nb_channels);
    double peak = 0;
    if (av_sample_fmt_is_planar(format)) {
        for (int c = 0; c < channels; ++c) {
            if (frame->extended_data[c])
                peak =
                    std::max(peak, peakOfPlane(frame->extended_data[c], frame->nb_samples, format));
        }
    } else if (frame->extended_data[0]) {
        peak = peakOfPlane(frame->extended_data[0], qint64(frame->nb_samples) * channels, format);
    }
    return toDb(peak);
}

void SilenceWatch::feed(qint64 elapsedMs, double peakDb, bool muted)
{
    m_muted = muted;
    if (muted || m_heard)
        return;
    if (peakDb >= kThresholdDb)
        m_heard = true;
    else
        m_silentMs += std::max<qint64>(0, elapsedMs);
}

DiskSpaceGuard::State DiskSpaceGuard::judge(qint64 freeBytes, qint64 bytesPerSecond)
{
    const qint64 rate = std::max<qint64>(1, bytesPerSecond);
    const qint64 usable = freeBytes - kReserveBytes;
    // Divided, not multiplied, so that no size or rate can overflow.
    if (usable <= 0 || usable / rate < kStopSeconds)
        return Full;
    return usable / rate < kLowSeconds ? Low : Enough;
}

qint64 DiskSpaceGuard::secondsLeft(qint64 freeBytes, qint64 bytesPerSecond)
{
    const qint64 usable = freeBytes - kReserveBytes;
    return usable <= 0 ? 0 : usable / std::max<qint64>(1, bytesPerSecond);
}

qint64 DiskSpaceGuard::estimatedRate(const QSize &picture)
{
    // About 0.06 bits per pixel at 30 pictures a second covers screen content with motion;
    // plus the sound (AAC, 128 kbit/s at most) and the file's own overhead.
    const qint64 pixels = qint64(std::max(0, picture.width())) * std::max(0, picture.height());
    return pixels * 30 * 6 / 100 / 8 + 16 * 1024 + 8 * 1024;
}
