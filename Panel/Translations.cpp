#include "Translations.h"

#include "Logging.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Where the build embeds the panel's compiled translations.
const QString kPanelTranslations = QStringLiteral(":/i18n");

bool install(QCoreApplication &app, const QLocale &locale, const QString &name, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    // Tries each of the locale's languages in the user's order, "de_DE" before "de".
    if (translator->load(locale, name, QStringLiteral("_"), folder) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace

void installTranslations(QCoreApplication &app, const QLocale &locale)
{
    // "C" and "POSIX" ask for the untranslated texts, whatever LANGUAGE says, as the C library
    // does.
    if (locale.language() == QLocale::C)
        return;
    const QStringList languages = locale.uiLanguages();
    if (!install(app, locale, QStringLiteral("zorvex-panel"), kPanelTranslations)
        && !languages.value(0).startsWith(QLatin1String("en")))
        qCInfo(lcSession) << "no translation for" << languages << "- the panel speaks English";
    // Qt's own, from the qt6-translations-l10n package when it is installed.
    install(app, locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
