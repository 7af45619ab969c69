#include "Desktop.h"

#include "Logging.h"
#include "PanelResources.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QKeySequence>
#include <QLocalServer>
#include <QLocalSocket>
#include <QShortcut>
#include <QWidget>
#include <unistd.h>

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate\n");
// The longest request line taken; a command's arguments are far shorter.
constexpr qint64 kRequestLimit = 64 * 1024;
// A panel that is running answers within moments; one that hangs is not waited for long.
constexpr int kAnswerMilliseconds = 2000;

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

void activateWindow(QWidget &window)
{
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
    if (m_server)
        m_server->close();
}

QString SessionInstance::defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(QStringLiteral("zorvex-panel.socket"));
    return QDir::temp().filePath(QStringLiteral("zorvex-panel-%1.socket").arg(::getuid()));
}

bool SessionInstance::activateRunning()
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(kAnswerMilliseconds))
        return false;
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(kAnswerMilliseconds))
        return false;
    // The running panel answers once it has shown itself.
    const bool answered = socket.waitForReadyRead(kAnswerMilliseconds) && socket.readLine() == "ok\n";
    qCInfo(lcSession) << "a panel runs in this session at" << m_path
                      << (answered ? "and came forward" : "but did not answer");
    return answered;
}

bool SessionInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    // Only this user may reach the socket.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SessionInstance::acceptConnections);
    if (m_server->listen(m_path))
        return true;
    // Left behind by a panel that ended without closing it: nobody answered on it.
    if (m_server->serverError() == QAbstractSocket::AddressInUseError && QLocalServer::removeServer(m_path)
        && m_server->listen(m_path))
        return true;
    qCWarning(lcSession) << "cannot listen at" << m_path << ":" << m_server->errorString();
    m_server.reset();
    return false;
}

void SessionInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(kRequestLimit);
            if (line == kActivate) {
                qCInfo(lcSession) << "another launch asked this panel to come forward";
                emit activationRequested();
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
