#include "AppleScript.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <atomic>

namespace {
DesktopScriptRunner gDesktopRunner;
std::atomic<ScriptRunner *> gRunner{&gDesktopRunner};

const QString kActivateAudioSettings = QStringLiteral("tell application \"Audio MIDI Setup\" to activate");
} // namespace

bool DesktopScriptRunner::execute(const QString &source, QString *errorInfo)
{
    if (source != kActivateAudioSettings) {
        if (errorInfo)
            *errorInfo = QStringLiteral("unsupported script");
        return false;
    }
    // The first sound-settings program this desktop has, with the arguments that open its
    // audio page.
    const std::vector<QStringList> candidates = {
        {QStringLiteral("pavucontrol")},
        {QStringLiteral("pavucontrol-qt")},
        {QStringLiteral("gnome-control-center"), QStringLiteral("sound")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_pulseaudio")},
        {QStringLiteral("xfce4-mixer")},
    };
    QStringList tried;
    for (const QStringList &candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(candidate.first());
        if (!program.isEmpty() && QProcess::startDetached(program, candidate.mid(1)))
            return true;
        tried << candidate.join(QLatin1Char(' '))
                + (program.isEmpty() ? QStringLiteral(" (not installed)") : QStringLiteral(" (would not start)"));
    }
    if (errorInfo)
        *errorInfo
            = QStringLiteral("no sound settings program could be started; tried: ") + tried.join(QStringLiteral(", "));
    return false;
}

void setScriptRunner(ScriptRunner *runner)
{
    gRunner.store(runner ? runner : &gDesktopRunner);
}

bool NSAppleScript::executeAndReturnError(QString *errorInfo) const
{
    return gRunner.load()->execute(m_source, errorInfo);
}
