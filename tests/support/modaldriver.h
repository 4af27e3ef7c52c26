#pragma once
// Answers the program's modal dialogs the way a person would, while the test is blocked in the
// dialog's own event loop: steps wait in order for their dialog (a message box, Qt's own file
// dialog, a popup menu) to be shown, then click or type in it. Main thread only.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QFileDialog;
class QWidget;

class ModalDriver : public QObject
{
public:
    // A step gives up (and the driver counts a failure) when its dialog did not show within
    // timeoutMs.
    explicit ModalDriver(int timeoutMs = 60000, QObject *parent = nullptr);

    // Clicks the button labelled `button` of the next message box; its title and text are
    // recorded in seen().
    void answerMessageBox(const QString &button);
    // Types `path` into the next file dialog and accepts it; its title and name filters are
    // recorded. `onShown` runs first, when the dialog has appeared.
    void fillFileDialog(const QString &path,
                        const std::function<void(QFileDialog *)> &onShown = {});
    // Cancels the next file dialog.
    void cancelFileDialog();
    // Clicks the entry whose text is `text` in the next popup menu.
    void chooseMenuEntry(const QString &text);
    // Any other step: `act` runs on the first shown top-level widget that `match` accepts.
    void addStep(const QString &what, std::function<bool(QWidget *)> match,
                 std::function<void(QWidget *)> act);

    bool idle() const { return m_steps.isEmpty(); }
    // What each answered dialog showed: "title|text" for message boxes, "title|filters" for
    // file dialogs, the entry for menus.
    const QStringList &seen() const { return m_seen; }
    QStringList failures() const { return m_failures; }

private:
    struct Step
    {
        QString what;
        std::function<bool(QWidget *)> match;
        std::function<void(QWidget *)> act;
        qint64 waitedMs = 0;
    };
    void tick();

    QList<Step> m_steps;
    // Dialogs already answered (a dialog may stay visible for a moment after its answer).
    QList<QPointer<QWidget>> m_answered;
    QStringList m_seen;
    QStringList m_failures;
    QTimer m_timer;
    int m_timeoutMs;
};
