#include "LogindSleepWatcher.h"
#include "NotificationCenter.h"

#include <QDBusConnection>
#include <gtest/gtest.h>

using namespace linuxbackends;

namespace {

// Records the workspace centre's sleep and wake notifications while it lives.
struct WorkspaceRecorder {
    std::vector<QString> names;

    WorkspaceRecorder()
    {
        for (const QString &name : {NSWorkspaceWillSleepNotification, NSWorkspaceDidWakeNotification})
            platform::NotificationCenter::workspaceCenter().addObserver(
                this, name, nullptr, [this](const QString &posted) { names.push_back(posted); });
    }
    ~WorkspaceRecorder()
    {
        for (const QString &name : {NSWorkspaceWillSleepNotification, NSWorkspaceDidWakeNotification})
            platform::NotificationCenter::workspaceCenter().removeObserver(this, name, nullptr);
    }
};

} // namespace

TEST(LogindSleepWatcher, PreparingForSleepPostsWillSleep)
{
    WorkspaceRecorder recorder;
    LogindSleepWatcher watcher;
    watcher.prepareForSleep(true);
    EXPECT_EQ(recorder.names, std::vector<QString>{NSWorkspaceWillSleepNotification});
}

TEST(LogindSleepWatcher, TheEndOfSleepPostsDidWake)
{
    WorkspaceRecorder recorder;
    LogindSleepWatcher watcher;
    watcher.prepareForSleep(false);
    EXPECT_EQ(recorder.names, std::vector<QString>{NSWorkspaceDidWakeNotification});
}

TEST(LogindSleepWatcher, ListensExactlyWhenThereIsASystemBus)
{
    WorkspaceRecorder recorder;
    LogindSleepWatcher watcher;
    EXPECT_EQ(watcher.listening(), QDBusConnection::systemBus().isConnected());
    EXPECT_TRUE(recorder.names.empty()) << "starting to listen posts nothing";
}
