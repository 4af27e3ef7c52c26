#pragma once
// Copying the streams of a media file into a new MP4 file without re-encoding: used to put a
// file's index first for the export and to turn a fragmented recording into a regular file.
// Reentrant; any thread.
#include <QString>

#include <functional>

struct AVDictionary;
struct AVFormatContext;

namespace mp4copy {

// Adds to the output (chapters, say) and to the muxer's options before the header is written;
// false stops the copy.
using Prepare = std::function<bool(AVFormatContext *out, AVDictionary **options)>;

// Copies, packet by packet, the picture and sound streams of `source` that an MP4 file can
// carry (with their metadata) into a new MP4 file `target`. False with `reason` set when
// `source` does not open, has no such stream, or any step fails; `target` may then be left
// partly written. With `holdLastPicture`, a sound that runs on past the last picture (a
// recording cut off while the screen stood still) keeps that picture on screen to its end.
bool copyStreams(const QString &source, const QString &target, QString *reason,
                 const Prepare &prepare = {}, bool holdLastPicture = false);

}  // namespace mp4copy
