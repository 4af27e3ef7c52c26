#include "ui/timeline/graphicsscenebase.h"

#include "ui/timeline/graphicsobjectverticalindicator.h"
#include "ui/timeline/graphicswidgetsequence.h"

GraphicsSceneBase::GraphicsSceneBase(const EditRate &rate, QObject *parent)
    : QGraphicsScene(parent), m_editRate(rate)
{
    registerTimeMetaTypes();
}

GraphicsSceneComposition::GraphicsSceneComposition(QObject *parent)
    : GraphicsSceneBase(EditRate::timeline(), parent)
{
    // Every rebuild moves all blocks at once; a spatial index would be torn down and rebuilt
    // block by block (quadratic in the number of clips), while a plain scan of a few thousand
    // items per paint is cheap.
    setItemIndexMethod(NoIndex);
    m_composition = new GraphicsWidgetComposition;
    addItem(m_composition);
    connect(m_composition, &QGraphicsWidget::geometryChanged, this,
            [this] { setSceneRect(m_composition->geometry()); });
    m_currentTimeLine = new GraphicsObjectVerticalIndicator(QColor(0, 170, 255), 300, false);
    addItem(m_currentTimeLine);
    setSceneRect(m_composition->geometry());
}
