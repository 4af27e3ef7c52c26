#pragma once
// The transparent drawing overlay: the lecturer draws with a pen or rubs out with an eraser on
// it. Strokes are kept per page (one PathRecord each, made on first use), every page has its
// own undo stack, and the stacks are joined in one QUndoGroup whose active stack is the page
// shown, so undo and redo always act on what is on the screen. Main thread only.
//
// Finished strokes are drawn into a picture of the canvas's size that is brought up to date
// only where strokes changed; a repaint puts that picture on the screen and draws the stroke in
// progress over it.
#include "ui/board/boardsettings.h"

#include <QCursor>
#include <QImage>
#include <QMap>
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

    // Adds Undo and Redo actions with the standard keys to the canvas.
    void initUndoShortcuts();

public slots:
    void setBoardSettings(BoardSettings *settings);
    void setDrawEnabled(bool enabled);
    void setPage(int pageNo);
    void clearBoard();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void updateCursor();
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

    // The movement in progress: the button that began it and the tool it draws with.
    bool m_pressed = false;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    int m_pressTool = ToolNone;

    QImage m_layer;
    const PathRecord *m_layerRecord = nullptr;
};
