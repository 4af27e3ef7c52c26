#include "ui/record/screencastsource.h"

#include "core/platform/session.h"
#include "core/platform/settings.h"
#include "core/record/pipewiresource.h"
#include "core/record/screencastportal.h"
#include "ui/record/x11desktop.h"

#include <QDebug>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include <unistd.h>

bool ScreenCastSource::needed()
{
    return session::isWayland();
}

ScreenCastSource::ScreenCastSource(QWidget *window) : QObject(window), m_window(window) {}

void ScreenCastSource::request(const QRect &area, const QScreen *screen)
{
    if (m_portal)
        return;
    // What the recorder keeps of the rectangle (ScreenRecord::setRecordRect): its top-left
    // corner, width and height rounded down to multiples of 4.
    const QRect serverRect(area.topLeft(), QSize(area.width() / 4 * 4, area.height() / 4 * 4));
    // The portal's session lives as long as the window: the stream ends with it.
    m_portal = new ScreenCastPortal(m_window);
    connect(m_portal, &ScreenCastPortal::failed, this,
            [this](ScreenCastPortal::Failure failure, const QString &detail) {
                m_answered = true;
                emit failed(ScreenCastPortal::failureText(failure, detail));
            });
    connect(m_portal, &ScreenCastPortal::started, this,
            [this, serverRect, screen](const ScreenCastPortal::Stream &stream) {
                m_answered = true;
                // Where the monitor lies in the X server's pixels: as the portal says, else the
                // whole screen the rectangle is on.
                QRect monitor = stream.area;
                if (monitor.isEmpty() && screen)
                    monitor = X11Desktop::toServerPixels(
                        QRectF(QPointF(0, 0), QSizeF(screen->size())), screen);
                if (!monitor.contains(serverRect)) {
                    ::close(stream.remoteFd);
                    qWarning() << "ScreenCastSource: rectangle" << serverRect
                               << "not on the shared monitor" << monitor;
                    // The desktop is to ask again next time, so that another screen can be
                    // chosen.
                    writeSetting(QString::fromLatin1(ScreenCastPortal::kRestoreTokenKey),
                                 QString());
                    emit failed(tr("录制区域不在共享的屏幕上。\n"
                                   "请在桌面的对话框中选择录制区域所在的屏幕，然后重新开始录制。"));
                    return;
                }
                emit ready(std::make_shared<PipeWireSource>(stream.remoteFd, stream.node, monitor,
                                                            serverRect));
            });
    m_portal->start(QStringLiteral("x11:%1").arg(m_window->winId(), 0, 16));
}

void showRecordWarning(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QObject::tr("警告"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
}
