#pragma once
// The frozen, dimmed screen on which the teacher draws, moves and resizes the rectangle to
// record, with eight handles and the "取消" / "开始录制" pair under a finished rectangle.
// Coordinates are the screen's device-independent pixels with (0, 0) at its top-left corner.
// Main thread only.
#include "ui/record/selectbtnpos.h"

#include <QGraphicsObject>
#include <QMap>
#include <QPixmap>

class QGraphicsProxyWidget;
class SelectBtnItem;
class ScreenSelectedButtonWidget;

class ScreenGraphicsItem : public QGraphicsObject
{
    Q_OBJECT
public:
    // Drags shorter than this (pixels, either direction) make no rectangle.
    static constexpr int kMinDrag = 4;
    // Rectangles must be larger than this in both directions to be recorded.
    static constexpr int kMinRecordSide = 20;

    explicit ScreenGraphicsItem(const QPixmap &screenPixmap, QGraphicsItem *parent = nullptr);

    QRectF selectRect() const { return m_selectRect; }
    SelectBtnPos curSelectBtnPos() const { return m_curSelectBtnPos; }
    void setCurSelectBtnPos(SelectBtnPos pos);
    QGraphicsProxyWidget *buttonProxy() const { return m_buttonProxy; }
    ScreenSelectedButtonWidget *buttonWidget() const;
    const QMap<SelectBtnPos, SelectBtnItem *> &handles() const { return m_btnMap; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

signals:
    void sig_Cancel();
    void sig_StartRecord(QRectF selectArea);

protected:
    bool sceneEventFilter(QGraphicsItem *watched, QEvent *event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    bool hasSelection() const { return m_selectRect.width() > 0 && m_selectRect.height() > 0; }
    // The handle the pointer is on after the rectangle was made or turned inside out.
    SelectBtnPos selectBtnPosAt(const QPointF &point) const;
    void createSelectBtns();
    // Keeps a rectangle that was moved (`moved`) or resized on the screen.
    QRectF keptOnScreen(QRectF rect, bool moved) const;

    QPixmap m_screenPixmap;
    QRectF m_selectRect{0, 0, 0, 0};
    QPointF m_pressPos;
    SelectBtnPos m_curSelectBtnPos = PosNone;
    QMap<SelectBtnPos, SelectBtnItem *> m_btnMap;
    QGraphicsProxyWidget *m_buttonProxy = nullptr;
};
