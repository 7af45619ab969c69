#pragma once

// Turns systemd-logind's PrepareForSleep(bool) on the system bus into the workspace
// centre's will-sleep (true) and did-wake (false) notifications. Without a system bus (a
// container, a build machine) it stays silent.
//
// logind suspends right after PrepareForSleep(true) unless a program holds a "delay"
// inhibitor, and then the panel's will-sleep command might never reach the interface. So
// while someone observes will-sleep (the panel, while attached) and the system is awake,
// the watcher holds one; it lets go once the first output report after will-sleep has
// reached a device, and takes a new one after the wake. A lock dies with the logind that
// handed it out, so a logind that restarts (a new owner of its name) is asked for a new one.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <memory>

class OrgFreedesktopLogin1ManagerInterface;
class QDBusPendingCallWatcher;

namespace linuxbackends {

class LogindSleepWatcher final : public QObject {
    Q_OBJECT
public:
    explicit LogindSleepWatcher(QObject *parent = nullptr);
    // On another bus than the system's, where logind (or a stand-in) owns org.freedesktop.login1.
    explicit LogindSleepWatcher(const QDBusConnection &bus, QObject *parent = nullptr);
    ~LogindSleepWatcher() override;

    // Whether logind's signal is being listened to.
    bool listening() const { return m_manager != nullptr; }
    // Whether a sleep delay inhibitor is held.
    bool inhibiting() const { return m_inhibitor.isValid(); }

public slots:
    // `start`: true as the system is about to sleep, false once it has woken.
    void prepareForSleep(bool start);

private:
    enum class Power { Awake, GoingToSleep, Told };

    void setObserved(bool observed);
    void outputReportSent();
    void takeInhibitor();
    void releaseInhibitor();
    void inhibitReplied(QDBusPendingCallWatcher *call);
    void logindOwnerChanged(const QString &newOwner);

    std::unique_ptr<OrgFreedesktopLogin1ManagerInterface> m_manager;
    QDBusUnixFileDescriptor m_inhibitor;
    QDBusPendingCallWatcher *m_pendingInhibit = nullptr;
    bool m_observed = false;
    Power m_power = Power::Awake;
};

} // namespace linuxbackends
