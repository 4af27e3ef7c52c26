#pragma once
// What the drawing tools other than the plain pen put on the board, as strokes the canvas, the
// eraser and the whiteboard's recording already handle: shapes are polylines with a point at
// least every few pixels (the eraser looks at points), the highlighter is a wide translucent
// pen, text is the outline of its glyphs, filled. Pure functions; any thread.
#include <QFont>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QString>

namespace toolshapes {

// Longest distance between neighbouring points of a shape's outline.
constexpr qreal kPointSpacing = 8;

// Where a shape dragged from `start` to `end` ends. With `constrain` (Shift held) lines and
// arrows turn to the nearest multiple of 45 degrees, keeping their length, and rectangles and
// ellipses become squares and circles as wide as the drag's longer side.
QPointF constrainedEnd(int tool, const QPointF &start, const QPointF &end, bool constrain);

// The outline of `tool`'s shape from `start` to `end`; empty when the two are the same point
// or `tool` is not a shape. `penWidth` sizes an arrow's head.
QPainterPath shapePath(int tool, const QPointF &start, const QPointF &end, qreal penWidth);

// The pen a tool draws with when the teacher chose `base`: the highlighter's is translucent,
// several times wider and round; shapes have round ends and corners; the pen draws with `base`.
QPen toolPen(int tool, const QPen &base);

// The font of text placed with a pen `width` wide: the wider the pen, the larger the letters.
QFont textFont(int width);

// The glyph outline of `text` in `font` with its box's top-left corner at `topLeft`.
QPainterPath textPath(const QString &text, const QFont &font, const QPointF &topLeft);

}  // namespace toolshapes
