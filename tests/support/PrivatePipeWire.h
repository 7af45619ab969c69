#pragma once

// A PipeWire server of the test's own: started from the installed daemon in a fresh runtime
// folder, with a dummy driver and a null sink and no hardware, so that nothing of the
// machine's own sound (if any) is touched. Where the daemon is not installed, `installed()`
// is false and tests skip; an installed daemon that does not come up is a failure. It counts as
// up once a client's round trips come back with the server's settings: its socket file appears
// before it listens, and before its settings exist.

#include "PipeWireClock.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

class PrivatePipeWire {
public:
    PrivatePipeWire()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("pipewire"));
        m_installed = !daemon.isEmpty();
        if (!m_installed || !m_dir.isValid())
            return;
        const QString config = m_dir.filePath(QStringLiteral("server.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write(kConfig) < 0)
            return;
        file.close();
        // The daemon's folder and nothing of the user's session.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : environment.keys())
            if (name.startsWith(QLatin1String("PIPEWIRE_")) || name == QLatin1String("DBUS_SESSION_BUS_ADDRESS"))
                environment.remove(name);
        environment.insert(QStringLiteral("PIPEWIRE_RUNTIME_DIR"), m_dir.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_daemon.setProcessEnvironment(environment);
        m_daemon.setStandardOutputFile(QProcess::nullDevice());
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start(daemon, {QStringLiteral("-c"), config});
        if (!m_daemon.waitForStarted())
            return;
        // The daemon is an outside process: it is waited for in real time.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_ready && std::chrono::steady_clock::now() < deadline) {
            if (std::filesystem::exists(socket())) {
                const auto client = linuxbackends::PipeWireClock::connect(socket(), {});
                m_ready = client && client->rate();
            }
            if (!m_ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~PrivatePipeWire() { stop(); }
    PrivatePipeWire(const PrivatePipeWire &) = delete;
    PrivatePipeWire &operator=(const PrivatePipeWire &) = delete;

    bool installed() const { return m_installed; }
    bool available() const { return m_daemon.state() == QProcess::Running && m_ready; }
    // The server's socket, by absolute path: what a client passes as the remote's name.
    std::string socket() const { return m_dir.filePath(QStringLiteral("pipewire-0")).toStdString(); }
    std::string folder() const { return m_dir.path().toStdString(); }

    void stop()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

private:
    static constexpr const char *kConfig = R"(
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    support.dbus = false
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-access }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver priority.driver = 20000 } }
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = null-sink media.class = Audio/Sink
               audio.position = [ FL FR ] } }
]
)";
    QTemporaryDir m_dir;
    QProcess m_daemon;
    bool m_installed = false;
    bool m_ready = false;
};
