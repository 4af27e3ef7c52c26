#include "support/slideshow.h"

#include "ui/slides/x11windowsearch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <memory>
#include <vector>

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

std::vector<std::unique_ptr<QProcess>> &helpers()
{
    static std::vector<std::unique_ptr<QProcess>> list;
    return list;
}

void endHelpers()
{
    for (auto &process : helpers()) {
        process->terminate();
        if (!process->waitForFinished(3000))
            process->kill();
        process->waitForFinished(1000);
    }
    helpers().clear();
}

bool startHelper(const QString &program, const QStringList &arguments,
                 bool (*ready)())
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return false;
    if (helpers().empty())
        qAddPostRoutine(endHelpers);
    helpers().push_back(std::move(process));
    QElapsedTimer clock;
    clock.start();
    while (!ready() && clock.elapsed() < 10000)
        QThread::msleep(50);
    return ready();
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

MessageBoxAnswerer::MessageBoxAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown.append(box->windowTitle() + QLatin1Char('/') + box->text());
            box->button(QMessageBox::Ok)->click();
        }
    });
    m_timer.start(50);
}

bool ensureDesktop()
{
    if (!X11WindowSearch::hasWindowManager() &&
        !startHelper(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")},
                     &X11WindowSearch::hasWindowManager))
        return false;
    if (!X11WindowSearch::hasCompositor() &&
        !startHelper(QStringLiteral("xcompmgr"), {}, &X11WindowSearch::hasCompositor))
        return false;
    return true;
}

}  // namespace SlideShow
