#pragma once
// Turning a finished fragmented MP4 into a regular one, and measuring a finished file.
// Both are reentrant and may be called from any thread (the engine calls them from an encoder
// thread when the file is finished).
#include <QString>

namespace Mp4Rewrite {

// Copies the streams of the fragmented MP4 `path` (no re-encoding) into a regular MP4 with one
// index, written under a temporary name in the same folder and renamed over `path` only once
// it is complete and on disk. A sound that runs on past the last picture (a recording cut off
// while the screen stood still) keeps that picture on screen to its end. On any failure the
// temporary file is removed and `path` stays as it was (a fragmented file still plays). True when
// `path` is now the regular file.
bool rewriteAsRegular(const QString &path);

// Length in milliseconds of the picture stream of `path` (the first picture stream), -1 when
// the file does not open or has no picture with a known length.
qint64 videoDurationMs(const QString &path);

}  // namespace Mp4Rewrite
