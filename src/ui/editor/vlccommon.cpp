#include "ui/editor/vlccommon.h"

namespace VlcCommon {

QStringList args()
{
    return QStringList{
        QStringLiteral("--intf=dummy"),
        QStringLiteral("--no-media-library"),
        QStringLiteral("--no-stats"),
        QStringLiteral("--no-osd"),
        QStringLiteral("--no-loop"),
        QStringLiteral("--no-video-title-show"),
        QStringLiteral("--no-snapshot-preview"),
        QStringLiteral("--no-sub-autodetect-file"),
        QStringLiteral("--drop-late-frames"),
        QStringLiteral("--no-xlib"),
    };
}

}  // namespace VlcCommon
