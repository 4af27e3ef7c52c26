#include "ui/board/boardtoolswidget.h"

#include "ui/board/boardsettingpopup.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {
struct ShapeEntry
{
    int tool;
    const char *name;
    const char *source;
    const char *icon;
};
const ShapeEntry kShapes[] = {
    {ToolLine, "action_shape_line", QT_TRANSLATE_NOOP("BoardToolsWidget", "直线"),
     ":/images/icon_shape_line.png"},
    {ToolArrow, "action_shape_arrow", QT_TRANSLATE_NOOP("BoardToolsWidget", "箭头"),
     ":/images/icon_shape_arrow.png"},
    {ToolRect, "action_shape_rect", QT_TRANSLATE_NOOP("BoardToolsWidget", "矩形"),
     ":/images/icon_shape_rect.png"},
    {ToolEllipse, "action_shape_ellipse", QT_TRANSLATE_NOOP("BoardToolsWidget", "椭圆"),
     ":/images/icon_shape_ellipse.png"},
};
// Room for the arrow that opens the shapes menu.
constexpr int kMenuArrowWidth = 14;
}  // namespace

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
    m_btnHighlighter = makeButton("btn_highlighter", QT_TR_NOOP("荧光笔"),
                                  QIcon(":/images/icon_highlighter.png"), true);
    m_btnShape = makeButton("btn_shape", kShapes[0].source, QIcon(kShapes[0].icon), true);
    m_btnText = makeButton("btn_text", QT_TR_NOOP("文字"), QIcon(":/images/icon_text.png"), true);
    m_btnLaser =
        makeButton("btn_laser", QT_TR_NOOP("激光笔"), QIcon(":/images/icon_laser.png"), true);
    m_btnPenSetting = makeButton("btn_pen_setting", QT_TR_NOOP("画笔设置"),
                                 QIcon(":/images/icon_palette.png"), false);
    m_btnClear =
        makeButton("btn_clear", QT_TR_NOOP("清空"), QIcon(":/images/icon_clear.png"), false);
    m_btnEraser =
        makeButton("btn_eraser", QT_TR_NOOP("橡皮擦"), QIcon(":/images/icon_eraser.png"), true);
    m_btnUndo = makeButton("btn_undo", QT_TR_NOOP("撤销"), m_undoDisabledIcon, false);
    m_btnRedo = makeButton("btn_redo", QT_TR_NOOP("恢复"), m_redoDisabledIcon, false);

    // The shapes button names the shape it draws; its arrow opens the menu of all four, as
    // wide as the longest name needs.
    auto *menu = new QMenu(m_btnShape);
    menu->setObjectName("menu_shapes");
    int shapeWidth = m_btnShape->width();
    for (const ShapeEntry &shape : kShapes) {
        QAction *action = menu->addAction(QIcon(shape.icon), tr(shape.source));
        action->setObjectName(shape.name);
        const int tool = shape.tool;
        connect(action, &QAction::triggered, this, [this, tool] { chooseShape(tool); });
        shapeWidth = std::max(shapeWidth,
                              m_btnShape->fontMetrics().horizontalAdvance(tr(shape.source)) + 20);
    }
    m_btnShape->setMenu(menu);
    m_btnShape->setPopupMode(QToolButton::MenuButtonPopup);
    m_btnShape->setFixedWidth(shapeWidth + kMenuArrowWidth);

    for (QToolButton *b : {m_btnPen, m_btnHighlighter, m_btnShape, m_btnText, m_btnLaser,
                           m_btnPenSetting, m_btnClear, m_btnEraser, m_btnUndo, m_btnRedo})
        row->addWidget(b);
    m_btnUndo->setEnabled(false);
    m_btnRedo->setEnabled(false);

    const QList<QPair<QToolButton *, int>> tools = {
        {m_btnPen, ToolPen},     {m_btnHighlighter, ToolHighlighter},
        {m_btnShape, ToolLine},  {m_btnText, ToolText},
        {m_btnLaser, ToolLaser}, {m_btnEraser, ToolEraser},
    };
    for (const auto &[button, tool] : tools) {
        connect(button, &QToolButton::toggled, this,
                [this, button = button, tool = tool](bool checked) {
                    onToolToggled(button, button == m_btnShape ? m_shapeTool : tool, checked);
                });
    }
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
    ++m_buttonCount;
    return b;
}

QToolButton *BoardToolsWidget::toolButton(int tool) const
{
    switch (tool) {
    case ToolPen: return m_btnPen;
    case ToolHighlighter: return m_btnHighlighter;
    case ToolText: return m_btnText;
    case ToolLaser: return m_btnLaser;
    case ToolEraser: return m_btnEraser;
    default: return isShapeTool(tool) ? m_btnShape : nullptr;
    }
}

int BoardToolsWidget::chineseWidth() const
{
    return m_buttonCount * 60 + kMenuArrowWidth;
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

void BoardToolsWidget::toggleTool(int tool)
{
    if (isShapeTool(tool) && tool != m_shapeTool) {
        chooseShape(tool);
        return;
    }
    if (QToolButton *button = toolButton(tool))
        button->setChecked(!button->isChecked());
}

void BoardToolsWidget::selectTool(int tool)
{
    if (isShapeTool(tool)) {
        chooseShape(tool);
    } else if (QToolButton *button = toolButton(tool)) {
        button->setChecked(true);
    } else if (tool == ToolNone) {
        if (QToolButton *on = toolButton(m_settings->tool))
            on->setChecked(false);
    }
}

void BoardToolsWidget::clearBoard()
{
    m_btnClear->click();
}

void BoardToolsWidget::chooseShape(int tool)
{
    for (const ShapeEntry &shape : kShapes) {
        if (shape.tool != tool)
            continue;
        m_shapeTool = tool;
        m_btnShape->setText(tr(shape.source));
        m_btnShape->setIcon(QIcon(shape.icon));
    }
    if (m_btnShape->isChecked()) {
        m_settings->tool = m_shapeTool;
        emit sig_BoardSettingsChanged(m_settings);
    } else {
        m_btnShape->setChecked(true);
    }
}

// Only a button being checked unchecks the others: were an unchecked button to turn the tool
// off as well, checking the eraser while the pen is on would leave no tool working.
void BoardToolsWidget::onToolToggled(QToolButton *button, int tool, bool checked)
{
    if (checked) {
        for (QToolButton *other :
             {m_btnPen, m_btnHighlighter, m_btnShape, m_btnText, m_btnLaser, m_btnEraser}) {
            if (other != button && other->isChecked()) {
                const QSignalBlocker quiet(other);
                other->setChecked(false);
            }
        }
        m_settings->tool = tool;
    } else {
        m_settings->tool = ToolNone;
    }
    emit sig_BoardSettingsChanged(m_settings);
}
