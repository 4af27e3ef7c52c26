#pragma once
// Input and clips for timeline tests: the pointer input of MouseDrag (sent to a graphics view's
// viewport), a wheel turn, and the clips of ClipList.
#include "support/cliplist.h"
#include "support/mousedrag.h"

#include <QPoint>

class QWidget;

namespace TimelineInput {

using MouseDrag::drag;
using MouseDrag::moveHeld;
using MouseDrag::press;
using MouseDrag::release;
void wheel(QWidget *viewport, QPoint pos, int angleDeltaY);

using ClipList::clip;
using ClipList::laidOut;

}  // namespace TimelineInput
