#pragma once
// More test media made with the ffmpeg tool: sound-only files, rotated pictures, damaged
// files. Each returns true when the file was written.
#include <QSize>
#include <QString>

namespace MediaSamples {

// AAC sound only (sine tone), 44100 Hz stereo, in the container the name's extension picks.
bool makeSoundOnly(const QString &path, double seconds, int sampleRate = 44100);

// An H.264 file of `size` marked as turned by `degrees` clockwise. With `asTag` the turn is
// stored as the "rotate" stream tag (Matroska keeps it as written); otherwise as the MP4
// display matrix.
bool makeRotated(const QString &path, QSize size, int degrees, bool asTag);

// Copies the first half of `source` to `target`, as an interrupted copy would leave it.
bool writeFirstHalf(const QString &source, const QString &target);

// A text file with the given name (any extension), to stand for a file that is no media.
bool writeText(const QString &path, const QByteArray &text = "this is not a video\n");

}  // namespace MediaSamples
