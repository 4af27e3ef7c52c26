#include "support/modaldriver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <QLabel>
#include <memory>

namespace {
constexpr int kTickMs = 40;

// Key by key; characters beyond ASCII come as text, the way an input method delivers them.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(widget, char(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

QPushButton *acceptButton(QFileDialog *dialog)
{
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (buttons)
        for (QAbstractButton *b : buttons->buttons())
            if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
                return qobject_cast<QPushButton *>(b);
    return nullptr;
}
}  // namespace

ModalDriver::ModalDriver(int timeoutMs, QObject *parent) : QObject(parent), m_timeoutMs(timeoutMs)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::tick);
}

void ModalDriver::addStep(const QString &what, std::function<bool(QWidget *)> match,
                          std::function<void(QWidget *)> act)
{
    m_steps.append({what, std::move(match), std::move(act), 0});
    m_timer.start();
}

void ModalDriver::tick()
{
    if (m_steps.isEmpty()) {
        m_timer.stop();
        return;
    }
    m_answered.removeIf([](const QPointer<QWidget> &w) { return !w || !w->isVisible(); });
    Step &step = m_steps.first();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !step.match(w) || m_answered.contains(w))
            continue;
        m_answered.append(w);
        const Step taken = m_steps.takeFirst();
        // The action may block in a nested loop of its own (a menu entry that opens a dialog).
        // It runs from its own event so that this timer, which Qt does not re-enter, goes on
        // serving the next steps meanwhile.
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, this, [taken, target] {
            if (target)
                taken.act(target);
        });
        return;
    }
    step.waitedMs += kTickMs;
    if (step.waitedMs > m_timeoutMs) {
        m_failures << step.what;
        m_steps.removeFirst();
        // Whatever dialog is up instead would hold the test in its loop.
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    }
}

void ModalDriver::answerMessageBox(const QString &button)
{
    addStep(
        "message box: " + button, [](QWidget *w) { return qobject_cast<QMessageBox *>(w); },
        [this, button](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            m_seen << box->windowTitle() + '|' + box->text();
            for (QAbstractButton *b : box->buttons()) {
                if (b->text() == button) {
                    QTest::mouseClick(b, Qt::LeftButton);
                    return;
                }
            }
            m_failures << "no button " + button + " in " + box->text();
            box->reject();
        });
}

void ModalDriver::fillFileDialog(const QString &path,
                                 const std::function<void(QFileDialog *)> &onShown)
{
    addStep(
        "file dialog: " + path, [](QWidget *w) { return qobject_cast<QFileDialog *>(w); },
        [this, path, onShown](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            if (onShown)
                onShown(dialog);
            m_seen << dialog->windowTitle() + '|' + dialog->nameFilters().join(";;");
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!edit) {
                m_failures << "not Qt's own file dialog";
                dialog->reject();
                return;
            }
            // The dialog may still set up its name field (it reads the folder on a thread of
            // its own), and the completion list that typing opens takes the Enter key and
            // clicks. So: type the name, check it is there, close the completion list and press
            // the accept button; again while the dialog stays up.
            auto attempt = std::make_shared<std::function<void(int)>>();
            QPointer<QFileDialog> target(dialog);
            *attempt = [this, target, edit, path, weak = std::weak_ptr(attempt)](int left) {
                if (!target || !target->isVisible())
                    return;
                if (left == 0) {
                    m_failures << QStringLiteral("file dialog stayed open, name '%1', wanted '%2'")
                                      .arg(edit->text(), path);
                    target->reject();
                    return;
                }
                auto again = weak.lock();
                if (edit->text() != path) {
                    edit->setFocus();
                    edit->selectAll();
                    typeText(edit, path);
                } else {
                    if (QCompleter *completer = edit->completer();
                        completer && completer->popup() && completer->popup()->isVisible())
                        completer->popup()->hide();
                    QPushButton *accept = acceptButton(target);
                    if (accept && accept->isEnabled())
                        QTest::mouseClick(accept, Qt::LeftButton);
                    else
                        QTest::keyClick(edit, Qt::Key_Return);
                }
                QTimer::singleShot(300, this, [again, left] { (*again)(left - 1); });
            };
            QTimer::singleShot(300, this, [attempt] { (*attempt)(20); });
        });
}

void ModalDriver::cancelFileDialog()
{
    addStep(
        "file dialog cancelled", [](QWidget *w) { return qobject_cast<QFileDialog *>(w); },
        [this](QWidget *w) {
            m_seen << w->windowTitle();
            QTest::keyClick(w, Qt::Key_Escape);
        });
}

void ModalDriver::chooseMenuEntry(const QString &text)
{
    addStep(
        "menu entry: " + text, [](QWidget *w) { return qobject_cast<QMenu *>(w); },
        [this, text](QWidget *w) {
            auto *menu = qobject_cast<QMenu *>(w);
            for (QAction *action : menu->actions()) {
                if (action->text() != text)
                    continue;
                m_seen << text;
                // A widget entry's row holds a label with the entry's text.
                QWidget *row = nullptr;
                for (QLabel *label : menu->findChildren<QLabel *>())
                    if (label->text() == text && label->parentWidget() != menu)
                        row = label->parentWidget();
                if (row)
                    QTest::mouseClick(row, Qt::LeftButton, {}, row->rect().center());
                else
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
                return;
            }
            m_failures << "no menu entry " + text;
            menu->hide();
        });
}
