#pragma once
// Where a handle of the screen selection sits on the rectangle. PosNone as the active position
// means that a drag moves the whole rectangle.
#include <Qt>
#include <QtGlobal>

enum SelectBtnPos : qint32 {
    PosNone = 0,
    PosLeft = 1,
    PosTopLeft = 2,
    PosTop = 3,
    PosRight = 4,
    PosTopRight = 5,
    PosBottomLeft = 6,
    PosBottom = 7,
    PosBottomRight = 8,
};

// The pointer shape for dragging at `pos`.
inline Qt::CursorShape cursorForSelectBtnPos(SelectBtnPos pos)
{
    switch (pos) {
    case PosLeft:
    case PosRight: return Qt::SizeHorCursor;
    case PosTopLeft:
    case PosBottomRight: return Qt::SizeFDiagCursor;
    case PosTop:
    case PosBottom: return Qt::SizeVerCursor;
    case PosTopRight:
    case PosBottomLeft: return Qt::SizeBDiagCursor;
    case PosNone: break;
    }
    return Qt::ArrowCursor;
}
