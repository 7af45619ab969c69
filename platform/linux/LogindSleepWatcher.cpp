#include "LogindSleepWatcher.h"

#include "IOKitHID.h"
#include "NotificationCenter.h"
#include "login1_manager.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QMetaObject>
#include <utility>

namespace linuxbackends {

namespace {

platform::NotificationCenter &workspace()
{
    return platform::NotificationCenter::workspaceCenter();
}

platform::NotificationCenter &reports()
{
    return platform::NotificationCenter::defaultCenter();
}

} // namespace

LogindSleepWatcher::LogindSleepWatcher(QObject *parent)
    : LogindSleepWatcher(QDBusConnection::systemBus(), parent)
{
}

LogindSleepWatcher::LogindSleepWatcher(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
{
    if (!bus.isConnected())
        return;
    m_manager = std::make_unique<OrgFreedesktopLogin1ManagerInterface>(QStringLiteral("org.freedesktop.login1"),
                                                                       QStringLiteral("/org/freedesktop/login1"), bus);
    connect(m_manager.get(), &OrgFreedesktopLogin1ManagerInterface::PrepareForSleep, this,
            &LogindSleepWatcher::prepareForSleep);
    auto *logindOwner
        = new QDBusServiceWatcher(m_manager->service(), bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(logindOwner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { logindOwnerChanged(newOwner); });
    // Observers come and go on whichever thread attaches; the lock is this object's business.
    workspace().setObservedHandler(NSWorkspaceWillSleepNotification, [this](bool observed) {
        QMetaObject::invokeMethod(
            this, [this, observed] { setObserved(observed); }, Qt::AutoConnection);
    });
}

LogindSleepWatcher::~LogindSleepWatcher()
{
    if (!m_manager)
        return;
    workspace().setObservedHandler(NSWorkspaceWillSleepNotification, {});
    reports().removeObserver(this, IOHIDDeviceDidSetOutputReportNotification, nullptr);
}

void LogindSleepWatcher::prepareForSleep(bool start)
{
    if (m_manager) {
        if (start && m_power == Power::Awake && m_observed) {
            m_power = Power::GoingToSleep;
            reports().addObserver(this, IOHIDDeviceDidSetOutputReportNotification, nullptr, [this](const QString &) {
                QMetaObject::invokeMethod(
                    this, [this] { outputReportSent(); }, Qt::AutoConnection);
            });
        } else if (!start) {
            reports().removeObserver(this, IOHIDDeviceDidSetOutputReportNotification, nullptr);
            m_power = Power::Awake;
        }
    }
    platform::NotificationCenter::workspaceCenter().postNotification(start ? NSWorkspaceWillSleepNotification
                                                                           : NSWorkspaceDidWakeNotification);
    if (m_manager && !start)
        takeInhibitor();
}

void LogindSleepWatcher::setObserved(bool observed)
{
    m_observed = observed;
    if (observed) {
        takeInhibitor();
    } else {
        reports().removeObserver(this, IOHIDDeviceDidSetOutputReportNotification, nullptr);
        if (m_power == Power::GoingToSleep)
            m_power = Power::Told;
        releaseInhibitor();
    }
}

void LogindSleepWatcher::outputReportSent()
{
    if (m_power != Power::GoingToSleep)
        return;
    m_power = Power::Told;
    reports().removeObserver(this, IOHIDDeviceDidSetOutputReportNotification, nullptr);
    releaseInhibitor();
}

void LogindSleepWatcher::takeInhibitor()
{
    if (!m_observed || m_power != Power::Awake || inhibiting() || m_pendingInhibit)
        return;
    // Asynchronous: a logind that is slow to answer must not hold up the window.
    m_pendingInhibit = new QDBusPendingCallWatcher(
        m_manager->Inhibit(QStringLiteral("sleep"), tr("Zorvex control panel"),
                           tr("Tells the Zorvex the computer is going to sleep"), QStringLiteral("delay")),
        this);
    connect(m_pendingInhibit, &QDBusPendingCallWatcher::finished, this, &LogindSleepWatcher::inhibitReplied);
}

void LogindSleepWatcher::inhibitReplied(QDBusPendingCallWatcher *call)
{
    m_pendingInhibit = nullptr;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    call->deleteLater();
    // Refused (no logind, not allowed): sleep goes on undelayed, as before there was a lock.
    if (reply.isError())
        return;
    // Wanted no longer (detached or asleep meanwhile): the reply's copy closes with it.
    if (m_observed && m_power == Power::Awake)
        m_inhibitor = reply.value();
}

void LogindSleepWatcher::logindOwnerChanged(const QString &newOwner)
{
    // The old logind's lock (held or on its way) guards nothing now.
    delete std::exchange(m_pendingInhibit, nullptr);
    releaseInhibitor();
    // A logind that just started is not in the middle of a sleep it announced.
    reports().removeObserver(this, IOHIDDeviceDidSetOutputReportNotification, nullptr);
    m_power = Power::Awake;
    if (!newOwner.isEmpty())
        takeInhibitor();
}

void LogindSleepWatcher::releaseInhibitor()
{
    // logind waits for every copy of the descriptor to close: this is the only one kept.
    m_inhibitor = QDBusUnixFileDescriptor();
}

} // namespace linuxbackends
