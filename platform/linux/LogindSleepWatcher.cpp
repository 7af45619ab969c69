#include "LogindSleepWatcher.h"

#include "NotificationCenter.h"
#include "login1_manager.h"

#include <QDBusConnection>

namespace linuxbackends {

LogindSleepWatcher::LogindSleepWatcher(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    m_manager = std::make_unique<OrgFreedesktopLogin1ManagerInterface>(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"), bus);
    connect(m_manager.get(), &OrgFreedesktopLogin1ManagerInterface::PrepareForSleep, this,
            &LogindSleepWatcher::prepareForSleep);
}

LogindSleepWatcher::~LogindSleepWatcher() = default;

void LogindSleepWatcher::prepareForSleep(bool start)
{
    platform::NotificationCenter::workspaceCenter().postNotification(start ? NSWorkspaceWillSleepNotification
                                                                           : NSWorkspaceDidWakeNotification);
}

} // namespace linuxbackends
