#pragma once
// The settings page "语言": the interface's language (跟随系统 / 中文 / English), stored in
// "conf.ini" as soon as it is chosen and applied when the program starts next. Main thread
// only.
#include <QWidget>

class QRadioButton;

class LanguageSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LanguageSettingsWidget(QWidget *parent = nullptr);

    QRadioButton *systemButton() const { return m_system; }
    QRadioButton *chineseButton() const { return m_chinese; }
    QRadioButton *englishButton() const { return m_english; }

private:
    QRadioButton *m_system = nullptr;
    QRadioButton *m_chinese = nullptr;
    QRadioButton *m_english = nullptr;
};
