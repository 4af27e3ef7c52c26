#pragma once
// Test media made with the ffmpeg tool into a caller's folder.
#include <QSize>
#include <QString>
#include <QStringList>

namespace TestMedia {

// Runs the ffmpeg tool with `args` (after "-y -v error"); true when it exited with 0.
bool ffmpeg(const QStringList &args, QString *errorText = nullptr);

// Writes an H.264 (+ AAC 44100 Hz stereo when `withAudio`) MP4 of `seconds` at `fps`.
// `source` is a lavfi video source such as "testsrc2" or "color=c=red".
bool makeClip(const QString &path, double seconds, QSize size = QSize(320, 240),
              bool withAudio = true, int fps = 25, const QString &source = "testsrc2");

}  // namespace TestMedia
