#pragma once
// The drawing tool and pen that the tools row hands to the canvas. The tools widget owns the
// record and passes it by pointer; main thread only.
#include <QPen>

enum BoardTool : qint32 {
    ToolNone = 0,
    ToolPen = 1,
    ToolEraser = 2,
};

struct BoardSettings
{
    qint32 tool = ToolNone;  // one of BoardTool
    QPen pen;                // colour and width of new strokes
};
