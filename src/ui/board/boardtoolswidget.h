#pragma once
// The row of drawing tools in the recording control bars: pen, pen settings, clear, eraser,
// undo and redo. It owns the BoardSettings record and announces every change of it; 200 ms
// after construction it announces the settings once more, for a canvas connected later.
// Main thread only.
#include "ui/board/boardsettings.h"

#include <QIcon>
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

public slots:
    void setUndoEnabled(bool on);
    void setRedoEnabled(bool on);

signals:
    void sig_BoardSettingsChanged(BoardSettings *boardSettings);
    void sig_ClearBoard();
    void sig_undo();
    void sig_redo();

private:
    // `source` is the Chinese text, translated here.
    QToolButton *makeButton(const QString &name, const char *source, const QIcon &icon,
                            bool checkable);
    void slot_pen_toggled(bool checked);
    void slot_eraser_toggled(bool checked);

    BoardSettings *m_settings;
    BoardSettingPopup *m_popup;
    QIcon m_undoIcon;
    QIcon m_undoDisabledIcon;
    QIcon m_redoIcon;
    QIcon m_redoDisabledIcon;
    QToolButton *m_btnPen;
    QToolButton *m_btnPenSetting;
    QToolButton *m_btnClear;
    QToolButton *m_btnEraser;
    QToolButton *m_btnUndo;
    QToolButton *m_btnRedo;
};
