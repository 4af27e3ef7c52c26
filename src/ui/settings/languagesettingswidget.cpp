#include "ui/settings/languagesettingswidget.h"

#include "core/platform/language.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

LanguageSettingsWidget::LanguageSettingsWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LanguageSettingsWidget"));
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(30, 20, 30, 30);
    root->setSpacing(0);
    auto *title = new QLabel(tr("语言"), this);
    title->setObjectName(QStringLiteral("label_title"));
    title->setStyleSheet(
        QStringLiteral("QLabel{font-size: 14px;font-weight: 500;color: #131b26;}"));
    root->addWidget(title);
    root->addSpacing(30);

    const QString style = QStringLiteral("QRadioButton{font-size: 14px;color: #181e33;}");
    auto *group = new QButtonGroup(this);
    const auto addChoice = [&](const QString &name, const QString &text, language::Choice choice) {
        auto *button = new QRadioButton(text, this);
        button->setObjectName(name);
        button->setStyleSheet(style);
        button->setChecked(language::chosen() == choice);
        group->addButton(button, int(choice));
        root->addWidget(button);
        root->addSpacing(14);
        return button;
    };
    m_system = addChoice(QStringLiteral("radio_language_system"), tr("跟随系统"),
                         language::Choice::System);
    m_chinese = addChoice(QStringLiteral("radio_language_chinese"), QStringLiteral("中文"),
                          language::Choice::Chinese);
    // Each language is named in itself, so that a teacher who reads only one finds it.
    m_english = addChoice(QStringLiteral("radio_language_english"), QStringLiteral("English"),
                          language::Choice::English);
    connect(group, &QButtonGroup::idClicked, this,
            [](int id) { language::setChosen(language::Choice(id)); });

    auto *note = new QLabel(tr("重新启动程序后生效"), this);
    note->setObjectName(QStringLiteral("label_language_note"));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("QLabel{font-size: 12px;color: #646873;}"));
    root->addSpacing(6);
    root->addWidget(note);
    root->addStretch();
}
