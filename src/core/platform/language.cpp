#include "core/platform/language.h"

#include "core/platform/settings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace language {

namespace {
const QString kKey = QStringLiteral("language");
}  // namespace

Choice chosen()
{
    const QString stored = readSetting(kKey).toString();
    if (stored == QLatin1String("zh"))
        return Choice::Chinese;
    if (stored == QLatin1String("en"))
        return Choice::English;
    return Choice::System;
}

void setChosen(Choice choice)
{
    switch (choice) {
    case Choice::Chinese: writeSetting(kKey, QStringLiteral("zh")); break;
    case Choice::English: writeSetting(kKey, QStringLiteral("en")); break;
    case Choice::System: writeSetting(kKey, QStringLiteral("system")); break;
    }
}

bool english()
{
    return englishFor(chosen(), QLocale::system().uiLanguages());
}

bool englishFor(Choice choice, const QStringList &uiLanguages)
{
    switch (choice) {
    case Choice::Chinese: return false;
    case Choice::English: return true;
    case Choice::System: break;
    }
    const QString first = uiLanguages.value(0);
    return !first.startsWith(QLatin1String("zh"), Qt::CaseInsensitive);
}

bool install(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    const bool loaded =
        english() ? translator->load(QStringLiteral(":/i18n/lumora_en.qm"))
                  : translator->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                                     QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!loaded || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

}  // namespace language
