#include "ui/settings/keyssettingswidget.h"

#include "ui/record/globalkeys.h"

#include <QGridLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

KeysSettingsWidget::KeysSettingsWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("KeysSettingsWidget"));
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(30, 20, 30, 20);
    root->setSpacing(0);
    auto *title = new QLabel(tr("快捷键"), this);
    title->setObjectName(QStringLiteral("label_title"));
    title->setStyleSheet(
        QStringLiteral("QLabel{font-size: 14px;font-weight: 500;color: #131b26;}"));
    root->addWidget(title);
    root->addSpacing(10);

    const QString noteStyle = QStringLiteral("QLabel{font-size: 12px;color: #646873;}");
    m_route = new QLabel(this);
    m_route->setObjectName(QStringLiteral("label_keys_route"));
    m_route->setWordWrap(true);
    m_route->setStyleSheet(noteStyle);
    switch (GlobalKeys::route()) {
    case GlobalKeys::X11Grab:
        m_route->setText(tr("录课窗口打开时，这些快捷键在任何窗口中都起作用。"));
        break;
    case GlobalKeys::Portal:
        m_route->setText(tr("录课窗口打开时，桌面把这些快捷键交给本程序，在任何窗口中都起作用"
                            "（桌面可能先请你确认）。"));
        break;
    case GlobalKeys::FocusOnly:
        m_route->setText(tr("这个桌面不让程序接收其他窗口的按键：快捷键只在录课窗口有焦点时"
                            "起作用。"));
        break;
    }
    root->addWidget(m_route);
    root->addSpacing(12);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    const QString labelStyle = QStringLiteral("QLabel{font-size: 14px;color: #181e33;}");
    const QString warnStyle = QStringLiteral("QLabel{font-size: 12px;color: #d9480f;}");
    for (int a = 0; a < GlobalKeys::ActionCount; ++a) {
        auto *label = new QLabel(GlobalKeys::actionText(GlobalKeys::Action(a)), this);
        label->setStyleSheet(labelStyle);
        auto *edit = new QKeySequenceEdit(this);
        edit->setObjectName(QStringLiteral("edit_key_%1").arg(a));
        edit->setFixedWidth(160);
        auto *state = new QLabel(this);
        state->setObjectName(QStringLiteral("label_key_state_%1").arg(a));
        state->setWordWrap(true);
        state->setStyleSheet(warnStyle);
        state->hide();
        grid->addWidget(label, 2 * a, 0);
        grid->addWidget(edit, 2 * a, 1, Qt::AlignLeft);
        grid->addWidget(state, 2 * a + 1, 0, 1, 2);
        // A key is one combination: it is taken as soon as it is typed, once the edit has
        // handled the key press (it sets its own sequence after announcing it).
        connect(edit, &QKeySequenceEdit::keySequenceChanged, this,
                [this, a](const QKeySequence &typed) {
                    if (m_filling || typed.isEmpty())
                        return;
                    QMetaObject::invokeMethod(
                        this, [this, a, typed] { apply(a, typed); }, Qt::QueuedConnection);
                });
        m_edits.append(edit);
        m_states.append(state);
    }
    grid->setColumnStretch(1, 1);
    root->addLayout(grid);
    root->addSpacing(8);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("label_keys_error"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(warnStyle);
    m_error->hide();
    root->addWidget(m_error);
    root->addStretch();
    auto *defaults = new QPushButton(tr("恢复默认"), this);
    defaults->setObjectName(QStringLiteral("btn_keys_default"));
    connect(defaults, &QPushButton::clicked, this, [this] {
        for (int a = 0; a < GlobalKeys::ActionCount; ++a)
            GlobalKeys::setSequence(GlobalKeys::Action(a),
                                    GlobalKeys::defaultSequence(GlobalKeys::Action(a)));
        m_error->hide();
        refresh();
    });
    root->addWidget(defaults, 0, Qt::AlignLeft);
    refresh();
}

void KeysSettingsWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void KeysSettingsWidget::refresh()
{
    m_filling = true;
    for (int a = 0; a < GlobalKeys::ActionCount; ++a)
        m_edits.at(a)->setKeySequence(GlobalKeys::sequence(GlobalKeys::Action(a)));
    m_filling = false;
    const QList<GlobalKeys::Action> held = GlobalKeys::probeHeldElsewhere();
    for (int a = 0; a < GlobalKeys::ActionCount; ++a) {
        QLabel *state = m_states.at(a);
        const bool taken = held.contains(GlobalKeys::Action(a));
        state->setText(taken ? tr("%1 已被其他程序占用，录课时这个快捷键不起作用，请换一个。")
                                   .arg(GlobalKeys::sequence(GlobalKeys::Action(a))
                                            .toString(QKeySequence::NativeText))
                             : QString());
        state->setVisible(taken);
    }
}

void KeysSettingsWidget::apply(int action, const QKeySequence &typed)
{
    const QKeySequence key(typed[0]);
    m_edits.at(action)->clearFocus();
    QString problem;
    if (!GlobalKeys::usable(key)) {
        problem = tr("%1 不能用作快捷键：请按 Ctrl、Alt 或 Super 加一个字母、数字或 F1–F12。")
                      .arg(key.toString(QKeySequence::NativeText));
    } else {
        for (int a = 0; a < GlobalKeys::ActionCount; ++a) {
            if (a != action && GlobalKeys::sequence(GlobalKeys::Action(a)) == key)
                problem = tr("%1 已用于“%2”。")
                              .arg(key.toString(QKeySequence::NativeText),
                                   GlobalKeys::actionText(GlobalKeys::Action(a)));
        }
    }
    m_error->setText(problem);
    m_error->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        GlobalKeys::setSequence(GlobalKeys::Action(action), key);
    refresh();
}
