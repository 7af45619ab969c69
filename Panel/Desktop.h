#pragma once

// How the panel meets a desktop: its names and icon, a window that offers what a fixed-size
// window can do (no maximize) with the usual quit key, and one panel per desktop session.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
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

// Brings a window to the front of the desktop, also from minimized; on Wayland with the
// activation token that the launch asking for it was given.
void activateWindow(QWidget &window, const QByteArray &activationToken = {});

// One panel per desktop session, met at a local socket in $XDG_RUNTIME_DIR (or, when the session
// has none, in a folder of this user's own in the temporary folder).
//
// Who owns the socket is settled by an exclusive flock() on a lock file beside it, not by the
// socket itself: the kernel gives the lock to exactly one process and takes it back when that
// process ends, however it ends. Only the holder ever binds or removes the socket, so a launch
// never renames over a live panel's socket, and a panel never removes one it does not own.
// (Binding under a temporary name and linking it into place would still need a connect to tell
// a stale socket from a slow one, and two launches clearing the same stale one could race.)
class SessionInstance : public QObject {
    Q_OBJECT

public:
    explicit SessionInstance(QString socketPath = defaultSocketPath(), QObject *parent = nullptr);
    ~SessionInstance() override;

    // Empty when the session has no runtime folder and no private one can be had.
    static QString defaultSocketPath();
    QString socketPath() const { return m_path; }

    enum class Start {
        Owner,      // this is the session's panel; later launches reach activationRequested
        Alone,      // no socket can be had; the panel runs on alone
        Forwarded,  // the running panel came forward
        Unanswered, // a panel runs but did not answer within the patience given
    };
    // Becomes the session's panel, or brings the running one forward. A running panel that is
    // slow to answer (attaching, or stopped for a while) is asked again until `patience` runs out;
    // a second panel is never started beside it.
    Start start(std::chrono::milliseconds patience = std::chrono::seconds(30));

    // Ownership: takes the lock and binds the socket. False when another panel holds it or
    // the socket cannot be made.
    bool listen();
    // Messages: asks the panel that owns the socket to show itself; true when it answered.
    bool activateRunning();

    // Answers any other request line a later launch sends (its reply line, written back as
    // given). Without one, such requests are closed unanswered.
    using RequestHandler = std::function<QByteArray(const QByteArray &line)>;
    void setRequestHandler(RequestHandler handler) { m_requestHandler = std::move(handler); }

signals:
    // The token is empty when the launch was given none.
    void activationRequested(const QByteArray &activationToken);

private:
    enum class Claim { Owned, Taken, Failed };
    Claim claim();
    void acceptConnections();

    QString m_path;
    int m_lockFd = -1;
    std::unique_ptr<QLocalServer> m_server;
    RequestHandler m_requestHandler;
};
