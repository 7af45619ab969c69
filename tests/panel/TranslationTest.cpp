#include "AButton.h"
#include "AMatrix.h"
#include "PanelHarness.h"
#include "Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

// The English texts that must not show under this translation: every source it leaves
// untranslated or translates differently. A text translated as itself (a name, a number with its
// unit) may show as it is.
QSet<QString> englishTextsOf(const QString &tsPath)
{
    QFile file(tsPath);
    QSet<QString> english;
    if (!file.open(QIODevice::ReadOnly))
        return english;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool unfinished = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            if (unfinished || xml.readElementText() != source)
                english.insert(source);
        }
    }
    return english;
}

// What a person sees or hears of the window as it stands.
QStringList shownTexts(const QWidget &window)
{
    QStringList texts{window.windowTitle()};
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisibleTo(&window))
            continue;
        texts << w->toolTip() << w->accessibleName() << w->accessibleDescription();
        if (const auto *label = qobject_cast<const QLabel *>(w))
            texts << label->text();
        if (const auto *button = qobject_cast<const QAbstractButton *>(w))
            texts << button->text();
    }
    texts.removeAll(QString());
    return texts;
}

} // namespace

TEST(Translation, TheGermanWindowShowsNoEnglishText)
{
    const QSet<QString> english = englishTextsOf(QStringLiteral(ZORVEX_GERMAN_TS));
    ASSERT_FALSE(english.isEmpty());
    installTranslations(*qApp, QLocale(QLocale::German, QLocale::Germany));
    const auto uninstall = qScopeGuard([] { qDeleteAll(qApp->findChildren<QTranslator *>()); });

    PanelHarness h;
    QStringList shown = shownTexts(*h.panel);
    // Attached, with a rate the sound server refused and a setting that could not be saved.
    h.panel->enableControls(0);
    h.panel->outputSampleRateChanged();
    shown << shownTexts(*h.panel);
    h.audio.failWhen([](const sim::AudioCall &c) { return c.op == sim::AudioOp::StreamSetProperty; },
                     kAudioHardwareIllegalOperationError);
    h.panel->fSampleRate->cells().front()->click();
    h.panel->noteSettingsSaved(false);
    shown << shownTexts(*h.panel);

    ASSERT_GT(shown.size(), 20);
    for (const QString &text : shown)
        EXPECT_FALSE(english.contains(text)) << "untranslated: " << text.toStdString();
}
