#pragma once

// A PipeWire server of the test's own: started from the installed daemon in a fresh runtime
// folder, with a dummy driver and a null sink and no hardware, so that nothing of the
// machine's own sound (if any) is touched. Where the daemon is not installed, `installed()`
// is false and tests skip; an installed daemon that does not come up is a failure. It counts as
// up once a client's round trips come back with the server's settings: its socket file appears
// before it listens, and before its settings exist.

#include "PipeWireClock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

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
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(kConfig);
        file.close();

        std::vector<std::string> env;
        for (char **e = environ; *e; ++e) {
            const std::string entry = *e;
            // The daemon's folder and nothing of the user's session.
            if (!entry.starts_with("PIPEWIRE_") && !entry.starts_with("XDG_RUNTIME_DIR=")
                && !entry.starts_with("DBUS_SESSION_BUS_ADDRESS="))
                env.push_back(entry);
        }
        env.push_back("PIPEWIRE_RUNTIME_DIR=" + m_dir.path().toStdString());
        env.push_back("XDG_RUNTIME_DIR=" + m_dir.path().toStdString());
        std::vector<char *> envp;
        for (std::string &entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = daemon.toStdString();
        std::string flag = "-c";
        std::string configPath = config.toStdString();
        char *argv[] = {program.data(), flag.data(), configPath.data(), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            m_pid = -1;
            return;
        }
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
    bool available() const { return m_pid > 0 && m_ready; }
    // The server's socket, by absolute path: what a client passes as the remote's name.
    std::string socket() const { return m_dir.filePath(QStringLiteral("pipewire-0")).toStdString(); }
    std::string folder() const { return m_dir.path().toStdString(); }

    void stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
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
    pid_t m_pid = -1;
    bool m_installed = false;
    bool m_ready = false;
};
