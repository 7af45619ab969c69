#pragma once

class QCoreApplication;
class QLocale;

// Installs the panel's own translation for the locale, with Qt's for the texts Qt itself shows
// (the command line's help, standard dialogs). Either may be missing; the panel then speaks
// English. The translators belong to the application.
void installTranslations(QCoreApplication &app, const QLocale &locale);
