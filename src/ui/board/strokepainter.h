#pragma once
// Drawing of strokes limited to an area: only the segments that can reach the area are handed
// to the painter, so redrawing a small part of the canvas does not stroke whole long paths.
// Any thread (paints into the painter given).
#include <QPainterPath>
#include <QPen>
#include <QRectF>

class QPainter;
struct PathItem;

// Draws `path` with `pen`; pixels outside `area` may be left out (the caller clips to it).
void drawStrokeInArea(QPainter &painter, const QPainterPath &path, const QPen &pen,
                      const QRectF &area);

// Draws `item` (a stroke, or a filled outline); pixels outside `area` may be left out.
void drawItemInArea(QPainter &painter, const PathItem &item, const QRectF &area);
