#include "support/whiteboardjourney.h"

#include "core/project/projectdata.h"
#include "support/mediareadback.h"
#include "support/testmedia.h"
#include "support/xpointer.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettingpopup.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/colorradiobtn.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/timeline/widgetcomposition.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"
#include "ui/whiteboard/whiteboardrenderer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QToolButton>
#include <QUndoGroup>
#include <QUndoStack>
#include <QtTest>

namespace WhiteboardJourney {

bool makeProject(const QString &dir)
{
    const QString media = dir + "/media";
    const QString project = dir + "/project/";
    if (!QDir().mkpath(media) || !QDir().mkpath(project))
        return false;
    ProjectData *data = ProjectData::instance();
    data->reset();
    data->setProjectDir(project);
    for (const char *name : {"a", "b"}) {
        const QString source = QStringLiteral("%1/%2.mp4").arg(media, QLatin1String(name));
        if (!TestMedia::makeClip(source, 4, QSize(320, 240), true, 25, "color=c=gray"))
            return false;
        AVData clip = data->newClip(QStringLiteral("%1.mp4").arg(QLatin1String(name)));
        if (!QFile::copy(source, clip.filePath))
            return false;
        clip.title = QString::fromLatin1(name);
        clip.duration = 4000;
        clip.endTime = 4000;
        clip.videoWidth = 320;
        clip.videoHeight = 240;
        data->insert(-1, clip);
    }
    return true;
}

bool openEditor(const QString &dir)
{
    if (!makeProject(dir))
        return false;
    auto *frame = new BaseWindow;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    auto *editor = new MainContentWidget;
    frame->setContentWidget(editor);
    frame->resize(1280, 800);
    frame->show();
    editor->updateView(true);
    if (!QTest::qWaitForWindowExposed(frame))
        return false;
    // The playhead goes as far as the timeline reaches once it shows the clips.
    WidgetComposition *timeline = editor->ui().composition;
    return QTest::qWaitFor(
        [timeline] {
            timeline->slot_change_cur_time(6000);
            return timeline->curTimeMs() == 6000;
        },
        10000);
}

RecordWhiteboardWidget *openWhiteboard()
{
    MainContentWidget *editor = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *found = w->findChild<MainContentWidget *>(); found && w->isVisible())
            editor = found;
    if (!editor)
        return nullptr;
    editor->ui().btn_record_white_board->click();
    RecordWhiteboardWidget *board = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *found = w->findChild<RecordWhiteboardWidget *>(); found && w->isVisible())
                    board = found;
            return board && QTest::qWaitForWindowExposed(board->window(), 100);
        },
        10000);
    // The window manager has placed and maximised it.
    QTest::qWait(500);
    return shown ? board : nullptr;
}

bool clickButton(RecordWhiteboardWidget *w, const char *name)
{
    auto *button = w->findChild<QToolButton *>(QString::fromLatin1(name));
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    return XPointer::click(button->mapToGlobal(button->rect().center()));
}

bool choosePenColour(RecordWhiteboardWidget *w, const QColor &colour)
{
    BoardToolsWidget *tools = w->form().view_draw_tools;
    if (!clickButton(w, "btn_pen_setting"))
        return false;
    QWidget *popup = tools->popup();
    if (!QTest::qWaitFor([popup] { return popup->isVisible(); }, 3000))
        return false;
    for (ColorRadioBtn *choice : popup->findChildren<ColorRadioBtn *>()) {
        if (choice->color() == colour) {
            const bool clicked = XPointer::click(choice->mapToGlobal(choice->rect().center()));
            if (popup->isVisible())
                popup->close();
            return clicked && tools->boardSettings()->pen.color() == colour;
        }
    }
    return false;
}

bool drawStroke(RecordWhiteboardWidget *w, double heightShare, QPoint *middle)
{
    BoardCanvas *canvas = w->board()->canvas();
    if (!canvas->drawEnabled() && !clickButton(w, "btn_pen"))
        return false;
    if (!QTest::qWaitFor([canvas] { return canvas->drawEnabled(); }, 3000))
        return false;
    const int y = int(canvas->height() * heightShare);
    const QPoint from(canvas->width() * 3 / 10, y);
    const QPoint to(canvas->width() * 6 / 10, y);
    const int before = canvas->undoGroup()->activeStack()->count();
    if (!XPointer::drag({canvas->mapToGlobal(from), canvas->mapToGlobal(to)}, 24))
        return false;
    const QPoint mid = (from + to) / 2;
    const QSize picture = w->board()->pictureSize();
    *middle = QPoint(mid.x() * picture.width() / canvas->width(),
                     mid.y() * picture.height() / canvas->height());
    return QTest::qWaitFor(
        [&] { return canvas->undoGroup()->activeStack()->count() == before + 1; }, 3000);
}

QList<QPair<double, QImage>> pictures(const QString &file)
{
    QList<QPair<double, QImage>> out;
    MediaReadback::forEachPicture(file, [&](double sec, const QImage &image) {
        out.append({sec, image});
    });
    return out;
}

QImage shownAt(const QList<QPair<double, QImage>> &pictures, double sec)
{
    QImage shown;
    for (const auto &picture : pictures) {
        if (picture.first > sec + 1e-6)
            break;
        shown = picture.second;
    }
    return shown;
}

bool showsNear(const QImage &picture, QPoint at, const QColor &colour)
{
    if (picture.isNull())
        return false;
    for (int dy = -4; dy <= 4; ++dy) {
        const QColor c = picture.pixelColor(at.x(), at.y() + dy);
        if (qAbs(c.red() - colour.red()) < 60 && qAbs(c.green() - colour.green()) < 60 &&
            qAbs(c.blue() - colour.blue()) < 60)
            return true;
    }
    return false;
}

QStringList titlesOf(const QList<AVData> &clips)
{
    QStringList titles;
    for (const AVData &clip : clips)
        titles << (clip.title.isEmpty() ? clip.fileName : clip.title);
    return titles;
}

}  // namespace WhiteboardJourney
