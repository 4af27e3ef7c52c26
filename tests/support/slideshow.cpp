#include "support/slideshow.h"

#include "support/testdisplay.h"
#include "ui/slides/pptcontainer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace SlideShow {
namespace {

bool runScript(const QStringList &arguments, QString *error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(LUMORA_SOURCE_DIR "/tests/support/make-presentations"), arguments);
    const bool done = p.waitForFinished(180000);
    const QString output = QString::fromUtf8(p.readAll());
    if (!done) {
        p.kill();
        p.waitForFinished();
    }
    const bool ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && error)
        *error = output.isEmpty() ? p.errorString() : output;
    return ok;
}

QRegularExpression lateNotePattern()
{
    const QString text =
        QCoreApplication::translate("RecordHealth", "电脑过于繁忙，有%1%的画面未能及时录下");
    QStringList parts;
    for (const QString &part : text.split(QStringLiteral("%1")))
        parts << QRegularExpression::escape(part);
    return QRegularExpression(parts.join(QStringLiteral("[0-9.]+")));
}

}  // namespace

bool makePresentations(const QString &dir, QString *error)
{
    return runScript({dir}, error);
}

bool makeDeck(const QString &dir, int slides, const QString &name, QString *error)
{
    return runScript({dir, QStringLiteral("--slides"), QString::number(slides), name}, error);
}

QColor slideColour(int page)
{
    static const char *const colours[] = {"#1f4fbf", "#1f9f4f", "#bfa01f",
                                          "#9f1fbf", "#1fbfbf", "#7f3f1f"};
    return QColor(QString::fromLatin1(colours[(page - 1) % 6]));
}

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

bool matchesPopplerRender(const QString &dir, int page, const QImage &picture, const QRectF &region)
{
    const QFileInfoList pdfs =
        QDir(dir + "/cache/slides").entryInfoList({"*.pdf"}, QDir::Files, QDir::Time);
    if (pdfs.isEmpty()) {
        qWarning() << "no converted presentation in" << dir;
        return false;
    }
    // The reference at the picture's size, and one made small and scaled up, as a picture of
    // a small window on screen would be: the test must tell the two apart.
    const auto render = [&](const QSize &size) {
        QTemporaryDir out;
        const QString prefix = out.filePath("page");
        QProcess::execute("pdftoppm",
                          {"-png", "-singlefile", "-f", QString::number(page), "-l",
                           QString::number(page), "-scale-to-x", QString::number(size.width()),
                           "-scale-to-y", QString::number(size.height()), pdfs.first().filePath(),
                           prefix});
        return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
    };
    const QImage reference = render(picture.size());
    const QImage small =
        render(picture.size() / 2)
            .scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (reference.size() != picture.size() || small.size() != picture.size()) {
        qWarning() << "pdftoppm made no picture of" << picture.size();
        return false;
    }
    const QRect area = QRectF(region.x() * picture.width(), region.y() * picture.height(),
                              region.width() * picture.width(), region.height() * picture.height())
                           .toAlignedRect();
    // Pixel for pixel, the brightness differs little (the video's colours are near, not
    // equal)...
    double difference = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            difference += qAbs(qGray(picture.pixel(x, y)) - qGray(reference.pixel(x, y)));
    difference /= area.width() * area.height();
    // ... and the edges are as steep: the squared steps of brightness between neighbours sum
    // to about the same (an edge spread over two pixels sums to half of a one-pixel edge).
    const auto edges = [&](const QImage &image) {
        double sum = 0;
        for (int y = area.top(); y < area.bottom(); ++y) {
            for (int x = area.left(); x < area.right(); ++x) {
                const int here = qGray(image.pixel(x, y));
                const int right = qGray(image.pixel(x + 1, y));
                const int below = qGray(image.pixel(x, y + 1));
                sum +=
                    double(right - here) * (right - here) + double(below - here) * (below - here);
            }
        }
        return sum;
    };
    const double sharp = edges(reference);
    const double recorded = sharp > 0 ? edges(picture) / sharp : 0;
    const double blurred = sharp > 0 ? edges(small) / sharp : 0;
    qInfo() << "recorded slide against Poppler's render: brightness" << difference << "apart, edges"
            << recorded << "as steep; a half-size render scaled up:" << blurred;
    return difference < 6 && recorded > 0.85 && blurred < 0.85;
}

QString copyAgent(const QString &dir)
{
    const QString target = QDir(dir).filePath(QStringLiteral("agent_under_test"));
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(LUMORA_SLIDE_AGENT_BIN), target))
        return QString();
    QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner);
    return target;
}

MessageBoxAnswerer::MessageBoxAnswerer() : busyNote(lateNotePattern())
{
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            const QString seen = box->windowTitle() + QLatin1Char('/') + box->text();
            qInfo().noquote() << "message box answered:" << seen;
            // A loaded machine may make a recording's pictures late; the note that says so after
            // the recording is true, not a fault of the journey, and may come after it ended.
            if (!busyNote.match(box->text()).hasMatch())
                shown.append(seen);
            box->button(QMessageBox::Ok)->click();
        }
    });
    m_timer.start(50);
}

bool ensureDesktop()
{
    return TestDisplay::hasWindowManager() && TestDisplay::hasCompositor();
}

bool prepareContainer(const QString &dir, QString *error)
{
    if (!makePresentations(dir, error))
        return false;
    PptContainer::setAgentProgram(copyAgent(dir));
    return true;
}

}  // namespace SlideShow
