#pragma once
// The language of the interface: Chinese (the texts in the code) or English (the translation
// compiled in as ":/i18n/lumora_en.qm"). It follows the desktop's language (Chinese for zh_*,
// English otherwise) unless the teacher chose one in the settings ("language" in "conf.ini"),
// and is applied when the program starts. Main thread only.
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace language {

enum class Choice { System, Chinese, English };

// What the settings say; System when nothing (or something unknown) is stored.
Choice chosen();
void setChosen(Choice choice);

// True when the interface is English: the choice, or for System the desktop's first UI
// language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) is not Chinese.
bool english();
// The same rule for a given choice and list of the desktop's UI languages (first preferred).
bool englishFor(Choice choice, const QStringList &uiLanguages);

// Installs the program's translation (English) or Qt's own Chinese words (dialog buttons,
// file dialogs) on `app`, as english() decides; false when the translation could not be
// loaded (the texts then stay Chinese).
bool install(QCoreApplication &app);

}  // namespace language
