#pragma once
// The transparent drawing overlay: the lecturer draws with a pen or a highlighter, drags lines,
// arrows, rectangles and ellipses, places text, points with the laser pointer or rubs out with
// an eraser on it. Strokes are kept per page (one PathRecord each, made on first use), every page
// has its own undo stack, and the stacks are joined in one QUndoGroup whose active stack is the
// page shown, so undo and redo always act on what is on the screen. Main thread only.
//
// Finished strokes are drawn into a picture of the canvas's size that is brought up to date
// only where strokes changed; a repaint puts that picture on the screen and draws the stroke in
// progress over it.
//
// Text is typed into a line edit on the canvas (so the desktop's input method works) and placed
// by Enter or by leaving the edit; Escape drops it. The laser pointer's trail is only painted,
// never kept: it fades on a timer of its own.
#include "ui/board/boardsettings.h"
#include "ui/board/lasertrail.h"
#include "ui/board/pathitem.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class PathRecord;
class QUndoGroup;

class BoardCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit BoardCanvas(QWidget *parent = nullptr);
    ~BoardCanvas() override;

    // The owner connects the tools' undo and redo to it, and its canUndoChanged and
    // canRedoChanged back to the tools.
    QUndoGroup *undoGroup() const { return m_undoGroup; }
    int pageNo() const { return m_pageNo; }
    bool drawEnabled() const { return m_drawEnabled; }
    PathRecord *curRecord() const { return m_curRecord; }
    BoardSettings *boardSettings() const { return m_settings; }

    // The laser pointer as it is now, and the clock its times are on.
    const LaserTrail &laser() const { return m_laser; }
    qint64 laserClockMs() const { return m_clock.elapsed(); }
    // The edit text is typed into (null when no text is being typed), and that text as the item
    // it will become.
    QLineEdit *textEdit() const { return m_textEdit; }
    PathItem typedText() const;

    // Adds Undo and Redo actions with the standard keys to the canvas.
    void initUndoShortcuts();

public slots:
    void setBoardSettings(BoardSettings *settings);
    void setDrawEnabled(bool enabled);
    void setPage(int pageNo);
    void clearBoard();
    // Places the text being typed (nothing when none is).
    void commitText();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateCursor();
    void beginText(QPoint pos);
    void dropText();
    // Lets the canvas window take the keyboard while text is typed (a canvas that is a window
    // of its own normally never does).
    void setTakesKeyboard(bool takes);
    void moveLaser(QPointF pos);
    void fadeLaser();
    void endMovement();
    // Brings the picture of finished strokes up to date with the page shown.
    void syncLayer();
    void renderLayer(const QRect &area);

    QUndoGroup *m_undoGroup = nullptr;
    int m_pageNo = -1;
    bool m_drawEnabled = false;
    PathRecord *m_curRecord = nullptr;
    QMap<int, PathRecord *> m_records;
    BoardSettings *m_settings = nullptr;
    QCursor m_penCursor;
    QCursor m_eraserCursor;

    LaserTrail m_laser;
    QElapsedTimer m_clock;
    QTimer m_laserTimer;

    QPointer<QLineEdit> m_textEdit;
    QPoint m_textPos;  // top-left of the typed text's box
    QFont m_textFont;
    bool m_refusedFocus = false;  // the window refused the keyboard before text was begun

    // The movement in progress: the button that began it and the tool it draws with.
    bool m_pressed = false;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    int m_pressTool = ToolNone;

    QImage m_layer;
    const PathRecord *m_layerRecord = nullptr;
};
