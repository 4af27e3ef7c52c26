// The editor's edits: deleting a marked span and importing a video at the playhead.
#include "ui/editor/maincontentwidget.h"

#include "core/media/avdatasmanager.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/timeline/widgetcomposition.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
// The types the import's conversion reads: the usual list first, then other common ones.
const char *const kImportFilter = QT_TRANSLATE_NOOP(
    "MainContentWidget",
    "video files(*.avi *.mpg *.mp4 *.mov *.mkv *.webm *.m4v *.wmv *.flv);;所有文件 (*)");
}  // namespace

void MainContentWidget::deleteSelectedRange()
{
    if (m_avDatasManager->isBusy())
        return;
    AVData clip;
    qint64 startMs = 0, endMs = 0;
    if (!m_ui.composition->findSelectedClip(clip, startMs, endMs))
        return;
    m_avDatasManager->removeAvDataRange(clip, startMs, endMs);
}

void MainContentWidget::importVideo()
{
    if (m_avDatasManager->isBusy())
        return;
    const QString dir =
        dialogStartFolder(QStringLiteral("addVideoFilePath"), QStandardPaths::MoviesLocation);
    const QString path =
        QFileDialog::getOpenFileName(this, tr("选择视频文件"), dir, tr(kImportFilter));
    if (path.isEmpty())
        return;
    const ClipAtResult at = ProjectData::instance()->clipAt(m_ui.composition->curTimeMs());
    if (m_avDatasManager->addVideoFile(path, at.clip, qint64(qint32(at.offset))) == 1)
        writeSetting(QStringLiteral("addVideoFilePath"), path.left(path.lastIndexOf('/')));
}

void MainContentWidget::onImportFinished(bool result, const QString &showText)
{
    m_promptWindow->hide();
    if (result) {
        m_successWindow->showMessage(showText, 2000);
        updateView(false);
    } else {
        QMessageBox::warning(this, tr("警告"), showText);
    }
}
