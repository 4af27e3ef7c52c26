#include "support/slideshow.h"

#include "support/testdisplay.h"
#include "ui/slides/pptcontainer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>

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
