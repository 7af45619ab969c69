#pragma once

// Turns systemd-logind's PrepareForSleep(bool) on the system bus into the workspace
// centre's will-sleep (true) and did-wake (false) notifications. Without a system bus (a
// container, a build machine) it stays silent.

#include <QObject>
#include <memory>

class OrgFreedesktopLogin1ManagerInterface;

namespace linuxbackends {

class LogindSleepWatcher final : public QObject {
    Q_OBJECT
public:
    explicit LogindSleepWatcher(QObject *parent = nullptr);
    ~LogindSleepWatcher() override;

    // Whether logind's signal is being listened to.
    bool listening() const { return m_manager != nullptr; }

public Q_SLOTS:
    // `start`: true as the system is about to sleep, false once it has woken.
    void prepareForSleep(bool start);

private:
    std::unique_ptr<OrgFreedesktopLogin1ManagerInterface> m_manager;
};

} // namespace linuxbackends
