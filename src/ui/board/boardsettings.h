#pragma once
// The drawing tool and pen that the tools row hands to the canvas. The tools widget owns the
// record and passes it by pointer; main thread only.
#include <QPen>

enum BoardTool : qint32 {
    ToolNone = 0,
    ToolPen = 1,
    ToolEraser = 2,
    ToolHighlighter = 3,
    ToolLaser = 4,
    ToolLine = 5,
    ToolArrow = 6,
    ToolRect = 7,
    ToolEllipse = 8,
    ToolText = 9,
};

// Tools that draw a shape from the press to the pointer.
inline bool isShapeTool(int tool)
{
    return tool == ToolLine || tool == ToolArrow || tool == ToolRect || tool == ToolEllipse;
}

struct BoardSettings
{
    qint32 tool = ToolNone;  // one of BoardTool
    QPen pen;                // colour and width of new strokes
};
