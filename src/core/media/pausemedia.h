#pragma once
// What PauseFinder reads from a media file: the sound's levels in windows, the picture times,
// and the picture changes found by decoding. Plain functions; each opens the file on its own,
// so several may run at once on any threads. `stop`, when given and set, ends the reading early.
#include "core/media/pausefinder.h"

#include <QList>
#include <QString>

#include <atomic>

namespace pauses {

// The window levels (kWindowMs, RMS in dB) of the sound of `path` from `fromMs` to `toMs`
// (file time, as AVData::beginTime counts it). A file without sound is silent throughout.
QList<float> soundLevels(const QString &path, qint64 fromMs, qint64 toMs,
                         const std::atomic_bool *stop);
// The picture times (ms, sorted) of `path`'s video: from the container's index when it has
// one, else from its packets. Nothing is decoded.
QList<qint64> pictureTimes(const QString &path);
// The picture changes of `path` within `span` (file ms), found by decoding its pictures there:
// the first picture is the reference, and every picture that differs from the reference is a
// change and the new reference.
QList<qint64> decodedChanges(const QString &path, Span span, const std::atomic_bool *stop);

}  // namespace pauses
