#include "slidepages.h"

#include <poppler-qt6.h>

#include <QPainter>

SlidePages::SlidePages() = default;
SlidePages::~SlidePages() = default;

bool SlidePages::load(const QString &pdfPath)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdfPath);
    if (!document || document->isLocked() || document->numPages() <= 0)
        return false;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    m_document = std::move(document);
    return true;
}

int SlidePages::pageCount() const
{
    return m_document ? m_document->numPages() : 0;
}

QSize SlidePages::slideSize() const
{
    std::unique_ptr<Poppler::Page> page = m_document ? m_document->page(0) : nullptr;
    return page ? page->pageSizeF().toSize() : QSize();
}

QImage SlidePages::render(int page, const QSize &size) const
{
    if (!m_document || page < 1 || page > pageCount() || size.isEmpty())
        return QImage();
    std::unique_ptr<Poppler::Page> slide = m_document->page(page - 1);
    if (!slide)
        return QImage();
    const QSizeF points = slide->pageSizeF();
    if (points.isEmpty())
        return QImage();
    const QSize fitted = points.scaled(QSizeF(size), Qt::KeepAspectRatio).toSize().boundedTo(size);
    // Poppler renders at a resolution in dots per inch; a point is 1/72 inch.
    const double xres = 72.0 * fitted.width() / points.width();
    const double yres = 72.0 * fitted.height() / points.height();
    const QImage rendered = slide->renderToImage(xres, yres, 0, 0, fitted.width(), fitted.height());
    if (rendered.isNull())
        return QImage();
    if (rendered.size() == size && rendered.format() == QImage::Format_RGB32)
        return rendered;
    QImage picture(size, QImage::Format_RGB32);
    if (picture.isNull())
        return QImage();
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.drawImage(
        QPoint((size.width() - rendered.width()) / 2, (size.height() - rendered.height()) / 2),
        rendered);
    return picture;
}
