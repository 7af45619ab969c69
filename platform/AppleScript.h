#pragma once

#include <QString>
#include <mutex>
#include <vector>

// Runs the small scripts the panel hands to the system. The desktop runner understands the
// one script the panel sends (bring the audio settings to the front) and opens the desktop's
// sound settings for it.
class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    // False with a message in errorInfo when the script could not be run.
    virtual bool execute(const QString &source, QString *errorInfo) = 0;
};

class DesktopScriptRunner final : public ScriptRunner {
public:
    bool execute(const QString &source, QString *errorInfo) override;
};

// Not owned; nullptr restores the desktop runner.
void setScriptRunner(ScriptRunner *runner);

class NSAppleScript {
public:
    explicit NSAppleScript(QString source)
        : m_source(std::move(source))
    {
    }
    // True when the script ran; otherwise false with the reason in errorInfo.
    bool executeAndReturnError(QString *errorInfo) const;

private:
    QString m_source;
};
