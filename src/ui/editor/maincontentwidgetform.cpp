// The editor's form: the menu bar, the preview area with the blank prompt, the edit toolbar,
// the play button and the timeline, and the file menu.
#include "ui/editor/maincontentwidget.h"

#include "ui/editor/menuitemaction.h"
#include "ui/editor/vlcwidgetvideo.h"
#include "ui/timeline/widgetcomposition.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const char *kBlankPromptStyle =
    "QWidget#view_blank_prompt{background: #1f1f20;border: 1px solid #313033;border-radius: "
    "21px;}QWidget#view_blank_prompt:hover{background: #2d2d2e;}QLabel#label_record_ppt{font-size: "
    "18px;color: #cccccc;background:transparent;}QLabel#label_blank_prompt{font-size: "
    "18px;text-align: center;color: #6c6c75;background:transparent;}";

QFrame *separator(QWidget *parent, const QString &name, bool vertical)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    if (vertical)
        line->setFixedSize(1, 24);
    else
        line->setFixedSize(48, 1);
    return line;
}
}  // namespace

QToolButton *MainContentWidget::makeToolButton(QWidget *parent, const QString &objectName,
                                               const QString &icon, const QString &text,
                                               int iconSide, int side)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(QIcon(icon));
    button->setText(text);
    button->setToolTip(text);
    button->setAutoRaise(true);
    button->setIconSize(QSize(iconSide, iconSide));
    button->setFixedSize(side, side);
    return button;
}

void MainContentWidget::buildForm()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Menu bar on the left, preview on the right.
    auto *upper = new QHBoxLayout;
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    root->addLayout(upper, 1);

    m_ui.view_menu_bar = new QWidget(this);
    m_ui.view_menu_bar->setObjectName(QStringLiteral("view_menu_bar"));
    m_ui.view_menu_bar->setFixedWidth(88);
    auto *menuLayout = new QVBoxLayout(m_ui.view_menu_bar);
    menuLayout->setContentsMargins(10, 6, 10, 10);
    menuLayout->setSpacing(14);
    auto menuButton = [this](const QString &name, const QString &icon, const QString &text) {
        QToolButton *b = makeToolButton(m_ui.view_menu_bar, name, icon, text, 30, 68);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        return b;
    };
    m_ui.btn_file = menuButton(QStringLiteral("btn_file"), QStringLiteral(":/images/icon_file.png"),
                               tr("文件"));
    m_ui.btn_file->setPopupMode(QToolButton::InstantPopup);
    m_ui.line = separator(m_ui.view_menu_bar, QStringLiteral("line"), false);
    m_ui.btn_record_ppt = menuButton(QStringLiteral("btn_record_ppt"),
                                     QStringLiteral(":/images/icon_record_ppt.png"), tr("录制PPT"));
    m_ui.btn_record_screen =
        menuButton(QStringLiteral("btn_record_screen"),
                   QStringLiteral(":/images/icon_record_screen.png"), tr("录制屏幕"));
    m_ui.btn_record_white_board =
        menuButton(QStringLiteral("btn_record_white_board"),
                   QStringLiteral(":/images/icon_whiteboard.png"), tr("白板"));
    // As wide as the longest word under a picture: English words are longer than Chinese ones.
    int buttonWidth = 68;
    const QList<QToolButton *> menuButtons{m_ui.btn_file, m_ui.btn_record_ppt,
                                           m_ui.btn_record_screen, m_ui.btn_record_white_board};
    for (QToolButton *b : menuButtons) {
        b->ensurePolished();
        buttonWidth = std::max(buttonWidth, b->fontMetrics().horizontalAdvance(b->text()) + 12);
    }
    for (QToolButton *b : menuButtons)
        b->setFixedWidth(buttonWidth);
    m_ui.view_menu_bar->setFixedWidth(buttonWidth + 20);
    menuLayout->addWidget(m_ui.btn_file, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.line, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.btn_record_ppt, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.btn_record_screen, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.btn_record_white_board, 0, Qt::AlignHCenter);
    menuLayout->addStretch();
    upper->addWidget(m_ui.view_menu_bar);

    m_ui.view_content = new QWidget(this);
    m_ui.view_content->setObjectName(QStringLiteral("view_content"));
    m_ui.view_content->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_content->setMinimumSize(320, 200);
    upper->addWidget(m_ui.view_content, 1);

    // The blank prompt and the video are placed by hand: centred, sized to the clips.
    m_ui.view_blank_prompt = new QWidget(m_ui.view_content);
    m_ui.view_blank_prompt->setObjectName(QStringLiteral("view_blank_prompt"));
    m_ui.view_blank_prompt->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_blank_prompt->setAttribute(Qt::WA_Hover);
    m_ui.view_blank_prompt->setFixedSize(420, 220);
    m_ui.view_blank_prompt->setCursor(Qt::PointingHandCursor);
    m_ui.view_blank_prompt->setStyleSheet(QString::fromLatin1(kBlankPromptStyle));
    auto *blank = new QVBoxLayout(m_ui.view_blank_prompt);
    blank->setContentsMargins(20, 30, 20, 30);
    blank->setSpacing(12);
    m_ui.label_blank_icon = new QLabel(m_ui.view_blank_prompt);
    m_ui.label_blank_icon->setObjectName(QStringLiteral("label_blank_icon"));
    m_ui.label_blank_icon->setPixmap(
        QIcon(QStringLiteral(":/images/icon_btn_add.png")).pixmap(48, 48));
    m_ui.label_blank_icon->setStyleSheet(QStringLiteral("background:transparent;"));
    m_ui.label_blank_icon->setAlignment(Qt::AlignCenter);
    m_ui.label_record_ppt = new QLabel(tr("录制PPT"), m_ui.view_blank_prompt);
    m_ui.label_record_ppt->setObjectName(QStringLiteral("label_record_ppt"));
    m_ui.label_record_ppt->setAlignment(Qt::AlignCenter);
    m_ui.label_blank_prompt =
        new QLabel(tr("还没有内容：录制PPT、录制屏幕或导入视频"), m_ui.view_blank_prompt);
    m_ui.label_blank_prompt->setObjectName(QStringLiteral("label_blank_prompt"));
    m_ui.label_blank_prompt->setAlignment(Qt::AlignCenter);
    m_ui.label_blank_prompt->setWordWrap(true);
    blank->addWidget(m_ui.label_blank_icon);
    blank->addWidget(m_ui.label_record_ppt);
    blank->addWidget(m_ui.label_blank_prompt);

    m_ui.view_vlc = new VlcWidgetVideo(m_ui.view_content);
    m_ui.view_vlc->setObjectName(QStringLiteral("view_vlc"));
    m_ui.view_vlc->hide();

    // Edit toolbar.
    m_ui.view_tools_bar = new QWidget(this);
    m_ui.view_tools_bar->setObjectName(QStringLiteral("view_tools_bar"));
    m_ui.view_tools_bar->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_tools_bar->setFixedHeight(44);
    auto *tools = new QHBoxLayout(m_ui.view_tools_bar);
    tools->setContentsMargins(20, 0, 20, 0);
    tools->setSpacing(14);
    auto toolButton = [this](const QString &name, const QString &icon, const QString &text) {
        return makeToolButton(m_ui.view_tools_bar, name, icon, text, 24, 30);
    };
    m_ui.btn_undo = toolButton(QStringLiteral("btn_undo"),
                               QStringLiteral(":/images/icon_undo_disable.png"), tr("撤销"));
    m_ui.btn_redo = toolButton(QStringLiteral("btn_redo"),
                               QStringLiteral(":/images/icon_redo_disable.png"), tr("重做"));
    m_ui.btn_delete = toolButton(QStringLiteral("btn_delete"),
                                 QStringLiteral(":/images/icon_delete.png"), tr("删除"));
    m_ui.btn_import = toolButton(QStringLiteral("btn_import"),
                                 QStringLiteral(":/images/icon_import.png"), tr("导入视频"));
    m_ui.btn_find_pauses = new QToolButton(m_ui.view_tools_bar);
    m_ui.btn_find_pauses->setObjectName(QStringLiteral("btn_find_pauses"));
    m_ui.btn_find_pauses->setText(tr("查找停顿"));
    m_ui.btn_find_pauses->setToolTip(tr("找出无声且画面不动的停顿"));
    m_ui.btn_find_pauses->setFixedHeight(30);
    m_ui.label_pauses = new QLabel(m_ui.view_tools_bar);
    m_ui.label_pauses->setObjectName(QStringLiteral("label_pauses"));
    m_ui.label_pauses->hide();
    m_ui.btn_delete_pauses = new QToolButton(m_ui.view_tools_bar);
    m_ui.btn_delete_pauses->setObjectName(QStringLiteral("btn_delete_pauses"));
    m_ui.btn_delete_pauses->setText(tr("删除全部停顿"));
    m_ui.btn_delete_pauses->setFixedHeight(30);
    m_ui.btn_delete_pauses->hide();
    m_ui.line_2 = separator(m_ui.view_tools_bar, QStringLiteral("line_2"), true);
    m_ui.btn_zoom_out = toolButton(QStringLiteral("btn_zoom_out"),
                                   QStringLiteral(":/images/icon_zoom_out.png"), tr("缩小"));
    m_ui.slider_zoom = new QSlider(Qt::Horizontal, m_ui.view_tools_bar);
    m_ui.slider_zoom->setObjectName(QStringLiteral("slider_zoom"));
    m_ui.slider_zoom->setFixedWidth(160);
    m_ui.btn_zoom_in = toolButton(QStringLiteral("btn_zoom_in"),
                                  QStringLiteral(":/images/icon_zoom_in.png"), tr("放大"));
    tools->addWidget(m_ui.btn_undo);
    tools->addWidget(m_ui.btn_redo);
    tools->addWidget(m_ui.btn_delete);
    tools->addWidget(m_ui.btn_import);
    tools->addWidget(m_ui.btn_find_pauses);
    tools->addWidget(m_ui.label_pauses);
    tools->addWidget(m_ui.btn_delete_pauses);
    tools->addStretch();
    tools->addWidget(m_ui.line_2);
    tools->addWidget(m_ui.btn_zoom_out);
    tools->addWidget(m_ui.slider_zoom);
    tools->addWidget(m_ui.btn_zoom_in);
    root->addWidget(m_ui.view_tools_bar);

    // Play button and timeline.
    m_ui.view_time_axis = new QWidget(this);
    m_ui.view_time_axis->setObjectName(QStringLiteral("view_time_axis"));
    m_ui.view_time_axis->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_time_axis->setStyleSheet(
        QStringLiteral("QWidget#view_time_axis{background:#1b1b1c;}"));
    m_ui.view_time_axis->setFixedHeight(216);
    auto *axis = new QHBoxLayout(m_ui.view_time_axis);
    axis->setContentsMargins(0, 0, 0, 0);
    axis->setSpacing(0);
    m_ui.view_time_axis_left = new QWidget(m_ui.view_time_axis);
    m_ui.view_time_axis_left->setObjectName(QStringLiteral("view_time_axis_left"));
    m_ui.view_time_axis_left->setFixedWidth(88);
    auto *left = new QVBoxLayout(m_ui.view_time_axis_left);
    left->setContentsMargins(10, 14, 10, 10);
    m_ui.btn_play_stop = new QPushButton(tr("播放"), m_ui.view_time_axis_left);
    m_ui.btn_play_stop->setObjectName(QStringLiteral("btn_play_stop"));
    m_ui.btn_play_stop->setFixedSize(64, 28);
    left->addWidget(m_ui.btn_play_stop, 0, Qt::AlignHCenter);
    left->addStretch();
    axis->addWidget(m_ui.view_time_axis_left);
    m_ui.frame_time_line_area = new QFrame(m_ui.view_time_axis);
    m_ui.frame_time_line_area->setObjectName(QStringLiteral("frame_time_line_area"));
    auto *area = new QVBoxLayout(m_ui.frame_time_line_area);
    area->setContentsMargins(0, 0, 0, 0);
    m_ui.composition = new WidgetComposition(m_ui.frame_time_line_area);
    area->addWidget(m_ui.composition);
    axis->addWidget(m_ui.frame_time_line_area, 1);
    root->addWidget(m_ui.view_time_axis);
}

void MainContentWidget::buildFileMenu()
{
    m_fileMenu = new QMenu(this);
    m_fileMenu->setFixedWidth(200);
    auto add = [this](const QString &icon, const QString &text, const QKeySequence &keys,
                      auto slot) {
        auto *action = new MenuItemAction(icon, text, keys, m_fileMenu);
        connect(action, &QAction::triggered, this, slot);
        m_fileMenu->addAction(action);
        // The keys work whenever the editor's window is active, not only while the menu is
        // open.
        addAction(action);
        return action;
    };
    add(QStringLiteral(":/images/icon_menu_newly_build.png"), tr("新建"),
        QKeySequence(QKeySequence::New), &MainContentWidget::slotMenuNew);
    add(QStringLiteral(":/images/icon_menu_item_open.png"), tr("打开"),
        QKeySequence(QKeySequence::Open), &MainContentWidget::slotMenuOpen);
    add(QStringLiteral(":/images/icon_save.png"), tr("保存"), QKeySequence(QKeySequence::Save),
        &MainContentWidget::slotMenuSave);
    // Desktops without a binding of their own for "save as" get the usual one.
    QKeySequence saveAs(QKeySequence::SaveAs);
    if (saveAs.isEmpty())
        saveAs = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    add(QStringLiteral(":/images/icon_save_as.png"), tr("另存为"), saveAs,
        &MainContentWidget::slotMenuSaveAs);
    m_fileMenu->addSeparator();
    add(QStringLiteral(":/images/icon_export.png"), tr("导出"), QKeySequence(),
        &MainContentWidget::slotMenuExport);
    add(QStringLiteral(":/images/icon_menu_item_setting.png"), tr("设置"), QKeySequence(),
        &MainContentWidget::slotMenuSetting);
    m_fileMenu->addSeparator();
    // Like the title bar's close button: unsaved work is asked about before the window goes.
    add(QStringLiteral(":/images/icon_exit.png"), tr("退出"), QKeySequence(QKeySequence::Close),
        [this] {
            if (preCloseWindow())
                window()->close();
        });
    m_ui.btn_file->setMenu(m_fileMenu);
}
