#pragma once
// Small shared declarations of the timeline scenes and items.
#include <QTransform>

// Kind of a track; the value is also the track's identity in requests to add one.
enum eSequenceType {
    SequenceTypeSound = 16,
    SequenceTypePicture = 32,
};

// Outcome of a zoom request on a GraphicsViewScalable.
enum eScaleStatus {
    ScaleClampedAtMaximum = 0,
    ScaleClampedAtMinimum = 1,
    ScaleWithinRange = 2,
};

// An item that keeps its on-screen width at any horizontal zoom: it receives the view's
// transform and counter-scales itself horizontally.
class AbstractViewTransformNotifier
{
public:
    virtual ~AbstractViewTransformNotifier() = default;
    virtual void viewTransformChanged(const QTransform &viewTransform) = 0;

protected:
    // The transform an implementer takes so that one of its units is one screen pixel wide.
    static QTransform counterScale(const QTransform &viewTransform)
    {
        const qreal sx = viewTransform.m11();
        return QTransform::fromScale(sx > 0 ? 1.0 / sx : 1.0, 1.0);
    }
};
