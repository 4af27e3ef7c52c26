#pragma once
// A clip block for a track of timed text (subtitles): it lays out, resizes and reports its
// marked range as every block does, and draws its body in its own colour with the label
// "title  MM:SS". Text has no picture, so it loads none. The tracks of this editor hold
// pictures and sound only, so nothing makes such a block yet. Main thread only.
#include "ui/timeline/graphicswidgetresources.h"

class GraphicsWidgetTimedTextResource : public AbstractGraphicsWidgetResources
{
    Q_OBJECT
public:
    explicit GraphicsWidgetTimedTextResource(QGraphicsItem *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void preparePictures() override;
};
