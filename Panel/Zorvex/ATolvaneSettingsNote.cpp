#include "ATolvane.h"

#include "Preferences.h"

#include <QLabel>
#include <cstdio>
#include <utility>

namespace {
// Below the window's buttons, across its width, in points.
constexpr QRect kNoteGeometry(16, 314, 434, 12);
} // namespace

void ATolvane::noteSettingsSaved(bool saved)
{
    const bool wasFailing = std::exchange(m_settingsSaveFailed, !saved);
    if (saved) {
        showSettingsNote(QString());
        return;
    }
    // Said once per run of failures; the window keeps showing it.
    if (!wasFailing)
        std::fprintf(
            stderr, "zorvex-panel: %s\n",
            qPrintable(tr("could not save the link setting to %1; it is tried again at the next change or detach.")
                           .arg(platform::preferencesFilePath())));
    showSettingsNote(tr("The link setting could not be saved."));
}

void ATolvane::showSettingsNote(const QString &text)
{
    if (text.isEmpty()) {
        if (m_settingsNote)
            m_settingsNote->hide();
        return;
    }
    if (!m_settingsNote) {
        m_settingsNote = new QLabel(main_view ? main_view : this);
        m_settingsNote->setObjectName(QStringLiteral("fSettingsNote"));
        m_settingsNote->setGeometry(kNoteGeometry);
        m_settingsNote->setStyleSheet(
            QStringLiteral("color: #e0b050; font-size: 9px; font-weight: normal; letter-spacing: 0px;"));
    }
    m_settingsNote->setText(text);
    m_settingsNote->show();
    m_settingsNote->raise();
}

QString ATolvane::settingsNote() const
{
    return m_settingsNote && !m_settingsNote->isHidden() ? m_settingsNote->text() : QString();
}
