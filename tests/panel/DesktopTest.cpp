// The panel among other desktop programs: its icon and window buttons, the quit key, and one
// panel per session between two real processes.
#include "Desktop.h"
#include "ATolvane.h"
#include "PanelHarness.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

TEST(DesktopWindow, HasItsIconNoMaximizeButtonAndCtrlQEndsTheProgramAsClosingDoes)
{
    PanelHarness h(false);
    setUpDesktopIdentity();
    setUpMainWindow(*h.panel);
    EXPECT_FALSE(h.panel->windowIcon().isNull());
    EXPECT_FALSE(h.panel->windowIcon().pixmap(32, 32).isNull());
    const Qt::WindowFlags flags = h.panel->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(h.panel->minimumSize(), h.panel->maximumSize()) << "a fixed-size window";

    h.panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.panel.get()));
    h.panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.panel.get()));
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, h.panel.get(),
                       [&] { QTest::keyClick(h.panel->windowHandle(), Qt::Key_Q, Qt::ControlModifier); });
    // Bounds a broken quit path; a working one returns at once.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(3); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(h.panel->isVisible());
    EXPECT_EQ(quitting.count(), 1) << "the end every quit takes, where the link flag is stored";
}

// The first panel is stopped while the second launches, as a panel busy attaching is slow to
// answer: the second waits for it rather than becoming a second panel.
TEST(DesktopSession, ASecondLaunchWaitsForASlowFirstBringsItForwardAndExitsWithZero)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zorvex.session.info=true"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.filePath(QStringLiteral("config")));
    const QString socket = runtime.filePath(QStringLiteral("zorvex-panel.socket"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::SeparateChannels);
    first.start(QStringLiteral(ZORVEX_PANEL_PROGRAM), {QStringLiteral("--simulate")});
    ASSERT_TRUE(first.waitForStarted());
    // Bounds only: the first panel is up once its socket exists.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000)) << "the first panel listens";

    ASSERT_EQ(::kill(static_cast<pid_t>(first.processId()), SIGSTOP), 0);
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(ZORVEX_PANEL_PROGRAM), {QStringLiteral("--simulate")});
    QByteArray secondLog;
    const bool unanswered = QTest::qWaitFor(
        [&] {
            secondLog += second.readAllStandardError();
            return secondLog.contains("did not answer");
        },
        20000);
    ASSERT_EQ(::kill(static_cast<pid_t>(first.processId()), SIGCONT), 0);
    ASSERT_TRUE(unanswered) << secondLog.constData();
    ASSERT_TRUE(second.waitForFinished(20000)) << "a second panel runs";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE((secondLog + second.readAllStandardError()).contains("came forward"));

    QByteArray firstLog;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            firstLog += first.readAllStandardError();
            return firstLog.contains("asked this panel to come forward");
        },
        20000));
    EXPECT_EQ(first.state(), QProcess::Running) << "the first panel keeps running";
    first.terminate();
    if (!first.waitForFinished(20000))
        first.kill();
}

TEST(DesktopSession, ASocketLeftBehindIsTakenOver)
{
    QTemporaryDir runtime;
    const QString path = runtime.filePath(QStringLiteral("zorvex-panel.socket"));
    {
        SessionInstance gone(path);
        ASSERT_TRUE(gone.listen());
    }
    // A file where the socket was, with nobody listening.
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SessionInstance next(path);
    EXPECT_FALSE(next.activateRunning());
    EXPECT_TRUE(next.listen());
}
