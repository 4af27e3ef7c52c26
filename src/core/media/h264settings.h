#pragma once
// The x264 settings the recorder and the export share. Plain functions; any thread.
#include <QString>

namespace h264 {

// The x264 constant rate factor for a picture of `width` × `height`: larger pictures take a
// higher factor (fewer bits per pixel).
QString crfFor(int width, int height);

} // namespace h264
