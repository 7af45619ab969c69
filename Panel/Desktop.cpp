#include "Desktop.h"

#include "Logging.h"
#include "PanelResources.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QKeySequence>
#include <QLocalServer>
#include <QLocalSocket>
#include <QShortcut>
#include <QThread>
#include <QWidget>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate");
// An activation token is a short opaque word; a longer line is not one.
constexpr qint64 kMaxLine = 512;

// The token the launching desktop gave this process, for the running panel to use: on Wayland
// a window may come forward only with one.
QByteArray activationRequest()
{
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    return token.isEmpty() ? kActivate + '\n' : kActivate + ' ' + token + '\n';
}

// The token of an activation request, empty when it carries none; nullopt when the line is not
// a request.
std::optional<QByteArray> requestedToken(QByteArray line)
{
    if (!line.endsWith('\n') || line.size() > kMaxLine)
        return std::nullopt;
    line.chop(1);
    if (line == kActivate)
        return QByteArray();
    if (!line.startsWith(kActivate + ' '))
        return std::nullopt;
    QByteArray token = line.mid(kActivate.size() + 1);
    for (const char c : token)
        if (c <= ' ' || c > '~')
            return std::nullopt;
    return token;
}
// The longest request line taken; a command's arguments are far shorter.
constexpr qint64 kRequestLimit = 64 * 1024;
// A panel that is running answers within moments; one that is busy is asked again.
constexpr int kAnswerMilliseconds = 2000;
constexpr unsigned long kRetryMilliseconds = 100;

// This user's own folder in the shared temporary folder: made here, or found owned by this
// user, mode 0700 and no link. Anything else may belong to someone else, who could then answer
// for this user's panel; the socket is not placed there.
QString privateFolder()
{
    const QString folder = QDir::temp().filePath(QStringLiteral("zorvex-panel-%1").arg(::getuid()));
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) == 0)
        ::chmod(path.constData(), 0700); // past a strict umask
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()
        || (status.st_mode & 07777) != 0700) {
        qCWarning(lcSession) << folder << "is not a private folder of this user; the panel runs without its socket";
        return {};
    }
    return folder;
}

} // namespace

void setUpDesktopIdentity()
{
    QApplication::setApplicationName(QStringLiteral("zorvex-panel"));
    QApplication::setOrganizationName(QStringLiteral("Orvanelle"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvex-panel"));
    initPanelResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zorvex-panel-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

void setUpMainWindow(QWidget &window)
{
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Spelled out: some platform themes (Windows' conventions, the off-screen one) bind no
    // key to the standard quit sequence.
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), &window);
    quit->setObjectName(QStringLiteral("quitShortcut"));
    QObject::connect(quit, &QShortcut::activated, &window, &QWidget::close);
}

void activateWindow(QWidget &window, const QByteArray &activationToken)
{
    // Qt's Wayland plugin hands this token to xdg-activation when the window asks to be
    // activated; without it the compositor leaves the window where it is.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

SessionInstance::SessionInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_path(std::move(socketPath))
{
}

SessionInstance::~SessionInstance()
{
    // The socket goes while the lock is still held, so that no new owner's socket is removed.
    if (m_server)
        m_server->close();
    m_server.reset();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SessionInstance::defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(QStringLiteral("zorvex-panel.socket"));
    const QString folder = privateFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("zorvex-panel.socket"));
}

SessionInstance::Start SessionInstance::start(std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    for (;;) {
        switch (claim()) {
        case Claim::Owned: return Start::Owner;
        case Claim::Failed: return Start::Alone;
        case Claim::Taken: break;
        }
        if (activateRunning())
            return Start::Forwarded;
        if (deadline.hasExpired())
            return Start::Unanswered;
        // The owner may not be listening yet, and then the connect fails at once.
        QThread::msleep(kRetryMilliseconds);
    }
}

bool SessionInstance::listen()
{
    return claim() == Claim::Owned;
}

SessionInstance::Claim SessionInstance::claim()
{
    if (m_server)
        return Claim::Owned;
    if (m_path.isEmpty())
        return Claim::Failed;
    if (m_lockFd < 0) {
        const QByteArray lockPath = QFile::encodeName(m_path + QStringLiteral(".lock"));
        const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            qCWarning(lcSession) << "cannot open the lock" << lockPath << ":" << std::strerror(errno);
            return Claim::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return Claim::Taken;
            qCWarning(lcSession) << "cannot lock" << lockPath << ":" << std::strerror(error);
            return Claim::Failed;
        }
        // Never unlinked: a launch that opened this file before an unlink would lock a file
        // that nobody else sees.
        m_lockFd = fd;
    }
    // Whatever is at the path was left by a panel that ended: only a lock holder binds there.
    const QByteArray socketPath = QFile::encodeName(m_path);
    if (::unlink(socketPath.constData()) != 0 && errno != ENOENT) {
        qCWarning(lcSession) << "cannot clear" << m_path << ":" << std::strerror(errno);
        return Claim::Failed;
    }
    auto server = std::make_unique<QLocalServer>();
    // Only this user may reach the socket.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server.get(), &QLocalServer::newConnection, this, &SessionInstance::acceptConnections);
    if (!server->listen(m_path)) {
        qCWarning(lcSession) << "cannot listen at" << m_path << ":" << server->errorString();
        return Claim::Failed;
    }
    m_server = std::move(server);
    return Claim::Owned;
}

bool SessionInstance::activateRunning()
{
    if (m_path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(kAnswerMilliseconds))
        return false;
    socket.write(activationRequest());
    if (!socket.waitForBytesWritten(kAnswerMilliseconds))
        return false;
    // The running panel answers once it has shown itself.
    const bool answered = socket.waitForReadyRead(kAnswerMilliseconds) && socket.readLine() == "ok\n";
    qCInfo(lcSession) << "a panel runs in this session at" << m_path
                      << (answered ? "and came forward" : "but did not answer");
    return answered;
}

void SessionInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(kRequestLimit);
            if (const std::optional<QByteArray> token = requestedToken(line)) {
                qCInfo(lcSession) << "another launch asked this panel to come forward"
                                  << (token->isEmpty() ? "without an activation token" : "with an activation token");
                emit activationRequested(*token);
                socket->write("ok\n");
                socket->flush();
            } else if (m_requestHandler) {
                socket->write(m_requestHandler(line));
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
