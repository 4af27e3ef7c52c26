#pragma once
// CameraPreview: the camera, live, in its shape (a circle or a rounded rectangle), as the
// teacher sees it on the settings page and over the recorded picture in a recording window.
// Shows a line of text instead while there is no picture. When movable, the teacher drags it
// to another place inside its area (a rectangle of the parent showing the recorded picture)
// and turns the mouse wheel over it for another size; where it stands follows from a
// CameraPlace, as the camera in the file does, so the two always agree. Main thread only.
#include "core/camera/cameraoverlay.h"
#include "core/camera/camerasettings.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>

class CameraFeed;

class CameraPreview : public QWidget
{
    Q_OBJECT
public:
    explicit CameraPreview(QWidget *parent = nullptr);
    ~CameraPreview() override;

    // The camera shown (null: none; the text shows).
    void setFeed(std::shared_ptr<CameraFeed> feed);
    std::shared_ptr<CameraFeed> feed() const { return m_feed; }
    void setShape(CameraShape shape);
    CameraShape shape() const { return m_shape; }
    void setMirrored(bool mirrored);
    void setText(const QString &text);
    // The number of the camera picture shown last (0: none yet).
    qint64 shownNumber() const { return m_shownNumber; }

    // A preview over the recorded picture: `area` (parent's coordinates) shows a picture of
    // `pictureSize` pixels; the preview stands at `place` in it and can be moved.
    void setArea(const QRect &area, const QSize &pictureSize);
    void setPlace(const CameraPlace &place);
    CameraPlace place() const { return m_place; }
    bool isMovable() const { return !m_area.isEmpty(); }

signals:
    // The teacher moved it or changed its size.
    void sig_PlaceChanged(const CameraPlace &place);
    // The camera stopped delivering; `reason` in the program's language.
    void sig_Ended(const QString &reason);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void takeNewest();
    void placeInArea();
    void updateMask();

    std::shared_ptr<CameraFeed> m_feed;
    int m_listener = -1;
    // A picture came and the preview has not taken it yet (any thread).
    std::shared_ptr<std::atomic<bool>> m_pending = std::make_shared<std::atomic<bool>>(false);
    CameraOverlay m_converter;
    QImage m_picture;
    qint64 m_shownNumber = 0;
    bool m_endTold = false;
    CameraShape m_shape = CameraShape::Circle;
    bool m_mirrored = true;
    QString m_text;
    QRect m_area;
    QSize m_pictureSize;
    CameraPlace m_place;
    QPoint m_dragOffset{-1, -1};  // where the pointer took it, while dragging
};
