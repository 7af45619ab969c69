#include "LogindSleepWatcher.h"
#include "NotificationCenter.h"

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

TEST(LogindSleepWatcher, PrepareForSleepPostsWillSleepAndItsEndDidWake)
{
    WorkspaceRecorder recorder;
    LogindSleepWatcher watcher;
    watcher.prepareForSleep(true);
    watcher.prepareForSleep(false);
    const std::vector<QString> expected{NSWorkspaceWillSleepNotification, NSWorkspaceDidWakeNotification};
    EXPECT_EQ(recorder.names, expected) << "nothing else is posted, not even when it starts listening";
}
