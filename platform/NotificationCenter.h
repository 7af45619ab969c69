#pragma once

// Named notifications with observers, as the system's notification centres deliver them: the
// workspace centre announces sleep and wake, the default centre window events. Posting runs
// each matching observer at once, on the posting thread.

#include <QObject>
#include <QString>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

inline const QString NSWorkspaceWillSleepNotification = QStringLiteral("NSWorkspaceWillSleepNotification");
inline const QString NSWorkspaceDidWakeNotification = QStringLiteral("NSWorkspaceDidWakeNotification");
inline const QString NSWindowDidBecomeMainNotification = QStringLiteral("NSWindowDidBecomeMainNotification");

namespace platform {

class NotificationCenter {
public:
    using Handler = std::function<void(const QString &name)>;

    static NotificationCenter &workspaceCenter();
    static NotificationCenter &defaultCenter();

    // A null object observes the name whatever object posts it.
    void addObserver(const void *observer, const QString &name, const void *object, Handler handler);
    void removeObserver(const void *observer, const QString &name, const void *object);
    void postNotification(const QString &name, const void *object = nullptr);
    std::size_t observerCount(const void *observer) const;
    // Told when `name` gains its first observer (true) and loses its last (false), on the
    // thread that added or removed it; a name observed already is told at once. One per name;
    // an empty handler takes it away.
    void setObservedHandler(const QString &name, std::function<void(bool observed)> handler);

private:
    struct Observation {
        const void *observer;
        QString name;
        const void *object;
        Handler handler;
    };
    std::size_t countFor(const QString &name) const;

    mutable std::mutex m_mutex;
    std::vector<Observation> m_observations;
    std::vector<std::pair<QString, std::function<void(bool)>>> m_observedHandlers;
};

} // namespace platform
