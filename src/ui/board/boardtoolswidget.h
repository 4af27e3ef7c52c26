#pragma once
// The row of drawing tools in the recording control bars: pen, highlighter, shapes (line, arrow,
// rectangle, ellipse, chosen from the button's menu), text, laser pointer, pen settings, clear,
// eraser, undo and redo. At most one tool is on; a second click on it turns it off. It owns
// the BoardSettings record and announces every change of it; 200 ms after construction it
// announces the settings once more, for a canvas connected later. Main thread only.
#include "ui/board/boardsettings.h"

#include <QIcon>
#include <QMap>
#include <QWidget>

class BoardSettingPopup;
class QToolButton;

class BoardToolsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BoardToolsWidget(QWidget *parent = nullptr);
    ~BoardToolsWidget() override;

    BoardSettings *boardSettings() const { return m_settings; }
    BoardSettingPopup *popup() const { return m_popup; }
    // The button of a tool (the shapes share one) and the shape that button draws now.
    QToolButton *toolButton(int tool) const;
    int shapeTool() const { return m_shapeTool; }
    // The width of the row with every button sized for its Chinese word.
    int chineseWidth() const;

public slots:
    void setUndoEnabled(bool on);
    void setRedoEnabled(bool on);
    // Turns `tool` on, or off when it is on (the keys that work from any window).
    void toggleTool(int tool);
    // Turns `tool` on (ToolNone: every tool off).
    void selectTool(int tool);
    // Makes `tool` (a shape) the one the shapes button draws, and turns it on.
    void chooseShape(int tool);
    // Clears the drawing as the clear button does.
    void clearBoard();

signals:
    void sig_BoardSettingsChanged(BoardSettings *boardSettings);
    void sig_ClearBoard();
    void sig_undo();
    void sig_redo();

private:
    // `source` is the Chinese text, translated here.
    QToolButton *makeButton(const QString &name, const char *source, const QIcon &icon,
                            bool checkable);
    void onToolToggled(QToolButton *button, int tool, bool checked);

    BoardSettings *m_settings;
    BoardSettingPopup *m_popup;
    QIcon m_undoIcon;
    QIcon m_undoDisabledIcon;
    QIcon m_redoIcon;
    QIcon m_redoDisabledIcon;
    QToolButton *m_btnPen;
    QToolButton *m_btnHighlighter;
    QToolButton *m_btnShape;
    QToolButton *m_btnText;
    QToolButton *m_btnLaser;
    QToolButton *m_btnPenSetting;
    QToolButton *m_btnClear;
    QToolButton *m_btnEraser;
    QToolButton *m_btnUndo;
    QToolButton *m_btnRedo;
    int m_buttonCount = 0;
    int m_shapeTool = ToolLine;
};
