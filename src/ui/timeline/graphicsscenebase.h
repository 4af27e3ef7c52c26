#pragma once
// The two scenes of the timeline. Both measure x in frames at the timeline rate. The track
// scene (GraphicsSceneComposition) holds the composition root and a current-time line; its
// rectangle follows the root. Main thread only.
#include "core/timeline/imfcommon.h"

#include <QGraphicsScene>

class GraphicsObjectVerticalIndicator;
class GraphicsWidgetComposition;

class GraphicsSceneBase : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit GraphicsSceneBase(const EditRate &rate, QObject *parent = nullptr);

protected:
    EditRate m_editRate;
};

class GraphicsSceneComposition : public GraphicsSceneBase
{
    Q_OBJECT
public:
    explicit GraphicsSceneComposition(QObject *parent = nullptr);

    GraphicsWidgetComposition *composition() const { return m_composition; }
    GraphicsObjectVerticalIndicator *currentTimeLine() const { return m_currentTimeLine; }

private:
    GraphicsWidgetComposition *m_composition;
    GraphicsObjectVerticalIndicator *m_currentTimeLine;
};
