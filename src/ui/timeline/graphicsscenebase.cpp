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
    m_composition = new GraphicsWidgetComposition;
    addItem(m_composition);
    connect(m_composition, &QGraphicsWidget::geometryChanged, this,
            [this] { setSceneRect(m_composition->geometry()); });
    m_currentTimeLine = new GraphicsObjectVerticalIndicator(QColor(0, 170, 255), 300, false);
    addItem(m_currentTimeLine);
    setSceneRect(m_composition->geometry());
}
