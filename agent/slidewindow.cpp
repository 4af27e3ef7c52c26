#include "slidewindow.h"

#include <poppler-qt6.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

SlideWindow::SlideWindow(const QString &presentationName, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(tr("%1 - 幻灯片放映").arg(presentationName));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(960, 540);
}

SlideWindow::~SlideWindow() = default;

bool SlideWindow::load(const QString &pdfPath)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdfPath);
    if (!document || document->isLocked() || document->numPages() <= 0)
        return false;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    m_document = std::move(document);
    m_page = 1;
    m_rendered = QImage();
    update();
    return true;
}

int SlideWindow::pageCount() const
{
    return m_document ? m_document->numPages() : 0;
}

QSize SlideWindow::slideSize() const
{
    if (!m_document)
        return QSize();
    std::unique_ptr<Poppler::Page> page = m_document->page(0);
    return page ? page->pageSizeF().toSize() : QSize();
}

void SlideWindow::showPage(int page)
{
    if (page < 1 || page > pageCount() || page == m_page)
        return;
    m_page = page;
    update();
    emit pageChanged(m_page);
}

QRect SlideWindow::pageRect() const
{
    std::unique_ptr<Poppler::Page> page = m_document ? m_document->page(m_page - 1) : nullptr;
    if (!page)
        return QRect();
    const QSizeF size = page->pageSizeF().scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
    const QSize fitted = size.toSize();
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void SlideWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRect target = pageRect();
    if (target.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    if (m_renderedPage != m_page || m_rendered.size() != pixels) {
        std::unique_ptr<Poppler::Page> page = m_document->page(m_page - 1);
        const QSizeF points = page->pageSizeF();
        // Poppler renders at a resolution in dots per inch; a point is 1/72 inch.
        const double xres = 72.0 * pixels.width() / points.width();
        const double yres = 72.0 * pixels.height() / points.height();
        m_rendered = page->renderToImage(xres, yres, 0, 0, pixels.width(), pixels.height());
        m_rendered.setDevicePixelRatio(ratio);
        m_renderedPage = m_page;
    }
    painter.drawImage(target.topLeft(), m_rendered);
}

void SlideWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageDown:
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: nextPage(); break;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_PageUp:
    case Qt::Key_Backspace: previousPage(); break;
    case Qt::Key_Home: showPage(1); break;
    case Qt::Key_End: showPage(pageCount()); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void SlideWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        nextPage();
    else if (event->button() == Qt::RightButton)
        previousPage();
    event->accept();
}
