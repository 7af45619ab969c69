#include "TerminationSignals.h"

#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

// Each signal that would end the process arrives instead as a call on the GUI thread, the
// process still running; the default actions return when the watcher goes.
TEST(TerminationSignals, EndingSignalsArriveOnTheEventLoopInsteadOfEndingTheProcess)
{
    TerminationSignals watcher;
    ASSERT_TRUE(watcher.isActive());
    QSignalSpy received(&watcher, &TerminationSignals::received);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        received.clear();
        ASSERT_EQ(std::raise(signalNumber), 0);
        ASSERT_TRUE(received.count() > 0 || received.wait(5000));
        ASSERT_EQ(received.count(), 1);
        EXPECT_EQ(received.at(0).at(0).toInt(), signalNumber);
    }
}

TEST(TerminationSignals, TheDefaultActionsReturnWhenTheWatcherGoes)
{
    {
        TerminationSignals watcher;
        ASSERT_TRUE(watcher.isActive());
    }
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        ASSERT_EQ(::sigaction(signalNumber, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signalNumber;
    }
}
