#pragma once
// The pages of a converted presentation, rendered with Poppler: each page fitted into the size
// asked for (its shape kept, black around it), as the recording window shows and records it.
// Main thread only.
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

namespace Poppler {
class Document;
}

class SlidePages
{
public:
    SlidePages();
    ~SlidePages();
    SlidePages(const SlidePages &) = delete;
    SlidePages &operator=(const SlidePages &) = delete;

    // Opens the PDF; false when it cannot be read or has no pages.
    bool load(const QString &pdfPath);
    int pageCount() const;
    // The size of the first page in points.
    QSize slideSize() const;
    // Page `page` (from 1) fitted into `size` pixels, in QImage::Format_RGB32 of exactly that
    // size; a null image when the page does not exist or Poppler cannot render it.
    QImage render(int page, const QSize &size) const;

private:
    std::unique_ptr<Poppler::Document> m_document;
};
