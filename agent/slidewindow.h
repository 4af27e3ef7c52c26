#pragma once
// The slide-show window: one page of the PDF at a time, rendered with Poppler to fit the
// window (black around it), titled "<file name> - 幻灯片放映". The arrow keys, Page Up/Down,
// space, Home/End and mouse clicks (left: next, right: previous) turn the pages. Main thread
// only.
#include <QImage>
#include <QWidget>

#include <memory>

namespace Poppler {
class Document;
}

class SlideWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SlideWindow(const QString &presentationName, QWidget *parent = nullptr);
    ~SlideWindow() override;

    // Opens the PDF; false when it cannot be read or has no pages.
    bool load(const QString &pdfPath);
    int pageCount() const;
    // 1-based.
    int currentPage() const { return m_page; }
    // The slide size in points (of the first page).
    QSize slideSize() const;

public slots:
    // Shows page `page` (1-based) when it exists and is not shown already.
    void showPage(int page);
    void nextPage() { showPage(m_page + 1); }
    void previousPage() { showPage(m_page - 1); }

signals:
    void pageChanged(int page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRect pageRect() const;

    std::unique_ptr<Poppler::Document> m_document;
    int m_page = 0;
    // The last rendered page, kept while the page and the size stay the same.
    QImage m_rendered;
    int m_renderedPage = 0;
};
