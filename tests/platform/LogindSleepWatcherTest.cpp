#include "LogindSleepWatcher.h"
#include "IOKitHID.h"
#include "NotificationCenter.h"
#include "SimHID.h"
#include "ZorvexDevice.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using namespace linuxbackends;

namespace {

// Stands in for logind on a private bus: records each Inhibit() call and hands out the write
// end of a pipe, keeping the read end, which hangs up once every copy of the write end closed.
class StandInLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    struct Lock {
        QString what, who, mode;
        int readEnd = -1;
    };
    std::vector<Lock> locks;

    ~StandInLogind() override
    {
        for (const Lock &lock : locks)
            ::close(lock.readEnd);
    }

    bool released(std::size_t index) const
    {
        pollfd p{locks.at(index).readEnd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &, const QString &mode)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        locks.push_back({what, who, mode, ends[0]});
        const QDBusUnixFileDescriptor handed(ends[1]); // a duplicate
        ::close(ends[1]);
        return handed;
    }
};

// A private message bus with the stand-in owning logind's name on its own connection, and a
// second connection for the watcher, as the panel and logind are separate peers of one bus.
class LogindOnPrivateBus : public ::testing::Test {
protected:
    QProcess daemon;
    QString address;
    StandInLogind logind;

    void SetUp() override
    {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is needed (Debian package dbus-daemon)";
        ASSERT_TRUE(daemon.waitForReadyRead(10000));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        serve(QStringLiteral("logind"), logind);
    }

    // The stand-in takes logind's name on a connection of its own.
    void serve(const QString &connection, StandInLogind &standIn)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, connection);
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(
            bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &standIn, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.login1")));
    }

    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
        QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
        daemon.terminate();
        daemon.waitForFinished();
    }

    QDBusConnection panelBus() { return QDBusConnection::connectToBus(address, QStringLiteral("panel")); }

    void say(bool sleep)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << sleep;
        QDBusConnection(QStringLiteral("logind")).send(signal);
    }

    // The bus round trips take real time; the deadline only bounds a failure.
    static bool settles(const std::function<bool()> &done)
    {
        const QDeadlineTimer deadline(10000);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
};

// Stands in for the attached panel: observes will-sleep and did-wake, and records them.
struct AttachedPanel {
    std::vector<QString> names;

    AttachedPanel()
    {
        for (const QString &name : {NSWorkspaceWillSleepNotification, NSWorkspaceDidWakeNotification})
            platform::NotificationCenter::workspaceCenter().addObserver(
                this, name, nullptr, [this](const QString &posted) { names.push_back(posted); });
    }
    ~AttachedPanel() { detach(); }
    void detach()
    {
        for (const QString &name : {NSWorkspaceWillSleepNotification, NSWorkspaceDidWakeNotification})
            platform::NotificationCenter::workspaceCenter().removeObserver(this, name, nullptr);
    }
};

// A command to the interface, as the attached panel sends it at will-sleep.
void sendCommand(sim::SimHIDDevice &device)
{
    IOHIDDeviceSetReport(&device, kIOHIDReportTypeOutput, 0, zorvex::makeVendorCommand(26, 0));
}

} // namespace

TEST_F(LogindOnPrivateBus, WhileAttachedADelayLockIsHeldUntilTheFirstCommandAfterWillSleepAndTakenAgainAfterWake)
{
    LogindSleepWatcher watcher(panelBus());
    sim::SimHIDDevice device;
    sendCommand(device);
    EXPECT_TRUE(logind.locks.empty()) << "no lock before anyone waits for the sleep";

    auto panel = std::make_unique<AttachedPanel>();
    ASSERT_TRUE(settles([&] { return watcher.inhibiting(); }));
    ASSERT_EQ(logind.locks.size(), 1u);
    EXPECT_EQ(logind.locks[0].what, QStringLiteral("sleep"));
    EXPECT_EQ(logind.locks[0].mode, QStringLiteral("delay"));
    watcher.prepareForSleep(false); // awake already: the lock it holds is enough
    QTest::qWait(200);
    EXPECT_EQ(logind.locks.size(), 1u);
    sendCommand(device);
    EXPECT_FALSE(logind.released(0)) << "a command while awake is not the one the sleep waits for";

    watcher.prepareForSleep(true);
    device.setRefuseOutput(true);
    sendCommand(device);
    EXPECT_TRUE(watcher.inhibiting()) << "held until the interface has been told, which a refused command did not";
    device.setRefuseOutput(false);
    sendCommand(device);
    EXPECT_FALSE(watcher.inhibiting());
    EXPECT_TRUE(settles([&] { return logind.released(0); }));
    sendCommand(device);
    EXPECT_EQ(logind.locks.size(), 1u) << "the commands that follow take none";

    watcher.prepareForSleep(false);
    ASSERT_TRUE(settles([&] { return watcher.inhibiting(); }));
    ASSERT_EQ(logind.locks.size(), 2u);
    EXPECT_FALSE(logind.released(1));

    panel->detach();
    EXPECT_FALSE(watcher.inhibiting());
    EXPECT_TRUE(settles([&] { return logind.released(1); })) << "a detached panel has nothing to tell";
    watcher.prepareForSleep(true);
    watcher.prepareForSleep(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(logind.locks.size(), 2u);
}

TEST_F(LogindOnPrivateBus, DetachingWhileGoingToSleepReleasesAndTheWatchersEndClosesItsLock)
{
    {
        LogindSleepWatcher watcher(panelBus());
        AttachedPanel panel;
        ASSERT_TRUE(settles([&] { return watcher.inhibiting(); }));
        watcher.prepareForSleep(true);
        panel.detach();
        EXPECT_TRUE(settles([&] { return logind.released(0); }));
        watcher.prepareForSleep(false);
        AttachedPanel again;
        ASSERT_TRUE(settles([&] { return watcher.inhibiting(); }));
    }
    EXPECT_TRUE(settles([&] { return logind.released(1); }));
    AttachedPanel afterwards;
    QCoreApplication::processEvents();
    EXPECT_EQ(logind.locks.size(), 2u) << "a destroyed watcher no longer listens for attaching";
}

// Sleep and wake come as logind's signal; a logind that restarts is asked for a new lock.
TEST_F(LogindOnPrivateBus, SleepAndWakeArePostedAndALogindThatRestartsIsAskedForANewLock)
{
    AttachedPanel panel; // attached before the watcher starts
    LogindSleepWatcher watcher(panelBus());
    ASSERT_TRUE(settles([&] { return watcher.inhibiting(); }));
    say(true);
    ASSERT_TRUE(settles([&] { return panel.names.size() == 1; }));
    say(false);
    ASSERT_TRUE(settles([&] { return panel.names.size() == 2 && watcher.inhibiting(); }));
    EXPECT_EQ(panel.names, (std::vector<QString>{NSWorkspaceWillSleepNotification, NSWorkspaceDidWakeNotification}));
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
    StandInLogind restarted;
    serve(QStringLiteral("restarted"), restarted);
    EXPECT_TRUE(settles([&] { return restarted.locks.size() == 1u && watcher.inhibiting(); }))
        << "the first suspend after the restart is delayed too";
    QDBusConnection::disconnectFromBus(QStringLiteral("restarted"));
}

#include "LogindSleepWatcherTest.moc"
