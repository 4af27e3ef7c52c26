#include "ui/slides/recordpptwidget.h"

#include "core/record/screenrecord.h"
#include "ui/slides/pptcontainer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QAction>
#include <QFileInfo>
#include <QToolButton>

#include <utility>

RecordPptWidget::RecordPptWidget(QWidget *parent) : RecordPptWidget(new PptContainer, parent) {}

RecordPptWidget::RecordPptWidget(PptContainer *container, QWidget *parent)
    : RecordWhiteboardWidget(container, container->board(), QStringLiteral("slides"), parent),
      m_container(container)
{
    setObjectName(QStringLiteral("RecordPptWidget"));
    // The slides are the pages: none is added, and their own look is the background.
    ui.btn_new_page->hide();
    ui.btn_background->hide();
    // No pages to count or turn before the slides are known.
    ui.label_page->clear();
    ui.btn_previous->setEnabled(false);
    ui.btn_next->setEnabled(false);

    connect(container, &PptContainer::sig_SlidesInPlace, this, [this]() {
        updatePageLabel();
        if (std::exchange(m_startWhenInPlace, false) && recorder() &&
            recorder()->state() == ScreenRecord::Idle)
            startRecording();
    });
    connect(container, &PptContainer::sig_PageArrived, this, [this](int page) {
        if (page != m_pendingPage)
            return;
        m_pendingPage = 0;
        turnToPage(page);
    });
    connect(container, &PptContainer::sig_PageFailed, this,
            [this](int page) { showBarWarning(tr("第%1页无法显示，录下的是这句提示").arg(page)); });
    connect(container, &PptContainer::sig_AgentEnded, this, [this](bool restarted) {
        if (!restarted)
            showBarWarning(tr("幻灯片放映程序多次意外结束，只能显示已准备好的页"));
        // A page turned to keeps waiting for its picture, from the new agent.
        else if (m_pendingPage > 0)
            m_container->keepPagesAround(m_pendingPage);
    });

    // Presenter remotes send Page Down / Page Up (some the arrow keys).
    auto *next = new QAction(this);
    next->setShortcuts(
        {QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Down)});
    connect(next, &QAction::triggered, this, [this]() { turnToPage(pageNo() + 1); });
    auto *previous = new QAction(this);
    previous->setShortcuts(
        {QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Up)});
    connect(previous, &QAction::triggered, this, [this]() { turnToPage(pageNo() - 1); });
    for (QAction *action : {next, previous}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

RecordPptWidget::~RecordPptWidget() = default;

bool RecordPptWidget::openPptFile(const QString &path, const AVData &clip, qint64 offset)
{
    m_pptName = QFileInfo(path).completeBaseName();
    setInsertPoint(clip, offset);
    return m_container->openPptFile(path) > 0;
}

int RecordPptWidget::pageNo() const
{
    return ui.view_board->pageNo();
}

QString RecordPptWidget::pageTitle(int pageNo) const
{
    return tr("第%1页").arg(pageNo);
}

QString RecordPptWidget::recordingFileName() const
{
    return QStringLiteral("%1_%2.mp4").arg(m_pptName).arg(pageNo());
}

bool RecordPptWidget::readyToRecord()
{
    // Pressed before the first slide is there: the recording starts once it is.
    if (m_container->slidesInPlace())
        return true;
    m_startWhenInPlace = true;
    return false;
}

bool RecordPptWidget::pageReady(int pageNo)
{
    if (m_container->hasPage(pageNo))
        return true;
    // Shown when its picture comes; the last page asked for wins.
    m_pendingPage = pageNo;
    m_container->keepPagesAround(pageNo);
    return false;
}

void RecordPptWidget::pageShown(int pageNo)
{
    m_pendingPage = 0;
    m_container->keepPagesAround(pageNo);
}
