#include "ui/board/boardtoolswidget.h"

#include "ui/board/boardsettingpopup.h"

#include <QHBoxLayout>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

BoardToolsWidget::BoardToolsWidget(QWidget *parent)
    : QWidget(parent), m_settings(new BoardSettings), m_popup(new BoardSettingPopup(this)),
      m_undoIcon(":/images/icon_undo_40.png"),
      m_undoDisabledIcon(":/images/icon_undo_disable_40.png"),
      m_redoIcon(":/images/icon_redo_40.png"),
      m_redoDisabledIcon(":/images/icon_redo_disable_40.png")
{
    setObjectName("view_draw_tools");
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_btnPen = makeButton("btn_pen", QT_TR_NOOP("画笔"), QIcon(":/images/icon_pen.png"), true);
    m_btnPenSetting = makeButton("btn_pen_setting", QT_TR_NOOP("画笔设置"),
                                 QIcon(":/images/icon_palette.png"), false);
    m_btnClear =
        makeButton("btn_clear", QT_TR_NOOP("清空"), QIcon(":/images/icon_clear.png"), false);
    m_btnEraser =
        makeButton("btn_eraser", QT_TR_NOOP("橡皮擦"), QIcon(":/images/icon_eraser.png"), true);
    m_btnUndo = makeButton("btn_undo", QT_TR_NOOP("撤销"), m_undoDisabledIcon, false);
    m_btnRedo = makeButton("btn_redo", QT_TR_NOOP("恢复"), m_redoDisabledIcon, false);
    for (QToolButton *b :
         {m_btnPen, m_btnPenSetting, m_btnClear, m_btnEraser, m_btnUndo, m_btnRedo})
        row->addWidget(b);
    m_btnUndo->setEnabled(false);
    m_btnRedo->setEnabled(false);

    connect(m_btnPen, &QToolButton::toggled, this, &BoardToolsWidget::slot_pen_toggled);
    connect(m_btnEraser, &QToolButton::toggled, this, &BoardToolsWidget::slot_eraser_toggled);
    connect(m_btnPenSetting, &QToolButton::clicked, this,
            [this] { m_popup->showBeside(m_btnPenSetting); });
    connect(m_btnClear, &QToolButton::clicked, this, &BoardToolsWidget::sig_ClearBoard);
    connect(m_btnUndo, &QToolButton::clicked, this, &BoardToolsWidget::sig_undo);
    connect(m_btnRedo, &QToolButton::clicked, this, &BoardToolsWidget::sig_redo);

    connect(m_popup, &BoardSettingPopup::sig_ColorSelect, this, [this](const QColor &color) {
        m_settings->pen.setColor(color);
        emit sig_BoardSettingsChanged(m_settings);
    });
    connect(m_popup, &BoardSettingPopup::sig_WidthSelect, this, [this](int width) {
        m_settings->pen.setWidth(width);
        emit sig_BoardSettingsChanged(m_settings);
    });
    m_popup->selectInitial();

    QTimer::singleShot(200, this, [this] { emit sig_BoardSettingsChanged(m_settings); });
}

BoardToolsWidget::~BoardToolsWidget()
{
    delete m_settings;
}

QToolButton *BoardToolsWidget::makeButton(const QString &name, const char *source,
                                          const QIcon &icon, bool checkable)
{
    auto *b = new QToolButton(this);
    b->setObjectName(name);
    const QString text = tr(source);
    b->setText(text);
    b->setIcon(icon);
    b->setIconSize(QSize(40, 40));
    // 60 wide for the Chinese word, wider by what a longer translation needs.
    const int growth = b->fontMetrics().horizontalAdvance(text) -
                       b->fontMetrics().horizontalAdvance(QString::fromUtf8(source));
    b->setFixedSize(60 + std::max(0, growth), 64);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setCheckable(checkable);
    return b;
}

void BoardToolsWidget::setUndoEnabled(bool on)
{
    m_btnUndo->setEnabled(on);
    m_btnUndo->setIcon(on ? m_undoIcon : m_undoDisabledIcon);
}

void BoardToolsWidget::setRedoEnabled(bool on)
{
    m_btnRedo->setEnabled(on);
    m_btnRedo->setIcon(on ? m_redoIcon : m_redoDisabledIcon);
}

// Only a button being checked unchecks the other one: were the unchecked button to uncheck the
// other as well, checking the eraser while the pen is on would uncheck both buttons and leave
// the eraser working with no button showing it.
void BoardToolsWidget::slot_pen_toggled(bool checked)
{
    if (checked && m_btnEraser->isChecked())
        m_btnEraser->setChecked(false);
    m_settings->tool = checked ? ToolPen : ToolNone;
    emit sig_BoardSettingsChanged(m_settings);
}

void BoardToolsWidget::slot_eraser_toggled(bool checked)
{
    if (checked && m_btnPen->isChecked())
        m_btnPen->setChecked(false);
    m_settings->tool = checked ? ToolEraser : ToolNone;
    emit sig_BoardSettingsChanged(m_settings);
}
