#pragma once

// How the panel meets a desktop: its names and icon, a window that offers what a fixed-size
// window can do (no maximize) with the usual quit key, and one panel per desktop session.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QWidget;

// Names the application for the desktop (the desktop entry "zorvex-panel", whose icon window
// lists and docks show) and gives every window the panel's icon. No display name is set:
// the platform would append it to the window title.
void setUpDesktopIdentity();

// The window's buttons (close and minimize; a fixed-size window has nothing to maximize) and
// Ctrl+Q, which closes the window and so ends the program the way closing it does.
void setUpMainWindow(QWidget &window);

// Brings a window to the front of the desktop, also from minimized.
void activateWindow(QWidget &window);

// One panel per desktop session, met at a local socket in $XDG_RUNTIME_DIR (or in the temporary
// folder, named after the user, when the session has none).
class SessionInstance : public QObject {
    Q_OBJECT

public:
    explicit SessionInstance(QString socketPath = defaultSocketPath(), QObject *parent = nullptr);
    ~SessionInstance() override;

    static QString defaultSocketPath();
    QString socketPath() const { return m_path; }

    // Asks a panel already running in the session to show itself; true when one answered.
    bool activateRunning();
    // Becomes the session's panel: later launches reach activationRequested. False when the
    // socket cannot be made (the panel then runs on alone).
    bool listen();

    // Answers any other request line a later launch sends (its reply line, written back as
    // given). Without one, such requests are closed unanswered.
    using RequestHandler = std::function<QByteArray(const QByteArray &line)>;
    void setRequestHandler(RequestHandler handler) { m_requestHandler = std::move(handler); }

signals:
    void activationRequested();

private:
    void acceptConnections();

    QString m_path;
    std::unique_ptr<QLocalServer> m_server;
    RequestHandler m_requestHandler;
};
