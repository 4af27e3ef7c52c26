#pragma once
// WhiteboardView: the board of the whiteboard window. A 16:9 surface centred in the view (the
// rest of the view is the window's dark margin), its background (white, a dark green
// chalkboard or a light grid), the drawing canvas over it and the board's pages. Each page has
// its own drawing and undo history (one canvas page each); a page can be added after the
// current one. The view also follows the pointer over the board.
//
// It says when what the board shows changed (sig_Changed): a stroke, an erase, an undo, a page
// change, the background, the pointer moving over the board.
//
// The board of a slide lesson has the slides' shape and a picture per page (the slide, as the
// slide-show agent rendered it at the recording's size): a page with a picture shows it as its
// background. Main thread only.
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QWidget>

class BoardCanvas;

class WhiteboardView : public QWidget
{
    Q_OBJECT
public:
    enum Background { White = 0, Chalkboard = 1, Grid = 2 };

    explicit WhiteboardView(QWidget *parent = nullptr);

    BoardCanvas *canvas() const { return m_canvas; }
    // The board in the view's coordinates (of the board's shape, as large as fits, centred).
    QRect boardRect() const;
    // The board's shape (16:9 unless set), and the size of the recording's pictures: that
    // shape as large as fits 1920x1080, in even pixels.
    void setBoardShape(const QSize &shape);
    QSize pictureSize() const;

    // The picture of page `pageNo` (null: none, the background shows); the view shows it
    // scaled to the board.
    void setPagePicture(int pageNo, const QImage &picture);
    QImage pagePicture(int pageNo) const;
    // Pages are added at the end until there are `count`.
    void ensurePageCount(int count);
    // Paints what the current page shows under the strokes (its picture, else the background)
    // over `rect`.
    void paintPage(QPainter &painter, const QRectF &rect) const;
    // Tells apart what paintPage paints: changes with the background and the page's picture.
    qint64 pageLook() const;
    Background background() const { return m_background; }
    void setBackground(Background background);

    // Pages are numbered from 1 in the order the teacher sees them.
    int pageNo() const { return m_pageIndex + 1; }
    int pageCount() const { return m_pageKeys.size(); }
    void showPage(int pageNo);
    // Adds an empty page after the current one and shows it.
    void addPageAfterCurrent();

    // The pointer over the board, in board fractions (0..1 both ways); (-1, -1) when it is not
    // over the board.
    QPointF pointer() const { return m_pointer; }

    // Paints `background` over `rect` (the whole board), for the view and for the recording.
    static void paintBackground(QPainter &painter, const QRectF &rect, Background background);

signals:
    void sig_Changed();
    // pageNo of pageCount is shown now.
    void sig_PageChanged(int pageNo, int pageCount);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setPointer(const QPointF &fraction);

    BoardCanvas *m_canvas = nullptr;
    Background m_background = White;
    QList<int> m_pageKeys;  // the canvas page of each board page, in board order
    int m_pageIndex = 0;
    int m_nextKey = 1;
    QPointF m_pointer{-1, -1};
    QSize m_shape{16, 9};
    QHash<int, QImage> m_pictures;  // by canvas page
    // The current page's picture scaled to the board on screen.
    mutable QImage m_shown;
    mutable qint64 m_shownKey = 0;
};
