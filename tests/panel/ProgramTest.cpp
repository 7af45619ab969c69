// The program as people start and stop it: the built program run in a process of its own, and
// the pieces it meets the desktop with (window, quit key, signals, one panel per session, the
// picture it leaves without a display).
#include "ATolvane.h"
#include "Desktop.h"
#include "HeadlessPicture.h"
#include "PanelHarness.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The program as built, in a home and runtime folder of its own, so that a panel running
// elsewhere in the session is not asked to come forward in its place.
struct Program {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    Program()
    {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        // Its messages in English, whatever the developer's own language.
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("zorvex.session.info=true;zorvex.discovery.info=true"));
    }

    std::unique_ptr<QProcess> start(const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(ZORVEX_PANEL_PROGRAM), arguments);
        return process;
    }
};

} // namespace

TEST(Program, RendersTheSimulatedPanelIntoTheNamedPictureAndRefusesAnEmptyName)
{
    Program program;
    const QString path = program.home.filePath(QStringLiteral("panel.png"));
    const auto shot = program.start({QStringLiteral("--simulate"), QStringLiteral("--screenshot"), path});
    const auto unnamed = program.start({QStringLiteral("--simulate"), QStringLiteral("--screenshot"), QString()});
    ASSERT_TRUE(shot->waitForFinished(30000) && unnamed->waitForFinished(30000)) << "still running";
    EXPECT_EQ(shot->exitCode(), 0) << shot->readAllStandardError().constData();
    EXPECT_EQ(QImage(path).size(), QSize(466, 350)) << "the window's fixed size, in a PNG at the named path";
    EXPECT_EQ(unnamed->exitCode(), 1);
    EXPECT_TRUE(unnamed->readAllStandardError().contains("--screenshot needs a file name"));
}

// SIGINT and SIGHUP take the same handler as SIGTERM; the watcher's own case covers them.
TEST(Program, ASecondLaunchWaitsForASlowFirstAndBringsItForwardAndSIGTERMQuitsTheNormalWay)
{
    Program program;
    const auto first = program.start({QStringLiteral("--simulate")});
    // The panel listens once its ending signals are caught, so that SIGTERM takes the normal way.
    const QString socket = program.home.filePath(QStringLiteral("zorvex-panel.socket"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000)) << "the first panel listens";

    // Stopped while the second launches, as a panel busy attaching is slow to answer: the second
    // waits for it rather than becoming a second panel.
    ASSERT_EQ(::kill(static_cast<pid_t>(first->processId()), SIGSTOP), 0);
    program.environment.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QStringLiteral("token-from-the-launcher"));
    const auto second = program.start({QStringLiteral("--simulate")});
    QByteArray secondLog;
    const bool unanswered = QTest::qWaitFor(
        [&] { return (secondLog += second->readAllStandardError()).contains("did not answer"); }, 20000);
    ASSERT_EQ(::kill(static_cast<pid_t>(first->processId()), SIGCONT), 0);
    ASSERT_TRUE(unanswered) << secondLog.constData();
    ASSERT_TRUE(second->waitForFinished(20000)) << "a second panel runs";
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE((secondLog + second->readAllStandardError()).contains("came forward"));
    QByteArray firstLog;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return (firstLog += first->readAllStandardError())
                .contains("asked this panel to come forward with an activation token");
        },
        20000));

    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(10000)) << "still running";
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    firstLog += first->readAllStandardError();
    EXPECT_TRUE(firstLog.contains("attached to the Zorvex"));
    EXPECT_FALSE(firstLog.contains("disabled:"))
        << "neither before the first attach nor on quitting: " << firstLog.data();
}

TEST(Program, TheWindowHasItsIconNoMaximizeButtonAndCtrlQEndsTheProgram)
{
    PanelHarness h(false);
    setUpDesktopIdentity();
    setUpMainWindow(*h.panel);
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

// Without a display the picture goes to a file of the program's own making; a link planted
// under a name it might use leads nowhere.
TEST(Program, TheHeadlessPictureIsAFreshPrivateFileThatNoPlantedLinkRedirects)
{
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QStringList planted;
    for (const QString &folder : {runtime.path(), QDir::tempPath()})
        if (QFile::link(victim, QDir(folder).filePath(QStringLiteral("zorvex-panel.png"))))
            planted << QDir(folder).filePath(QStringLiteral("zorvex-panel.png"));

    for (const QString &folder : {runtime.path(), elsewhere.filePath(QStringLiteral("missing"))}) {
        qputenv("XDG_RUNTIME_DIR", folder.toLocal8Bit());
        const auto file = createHeadlessPictureFile();
        ASSERT_TRUE(file);
        const QFileInfo info(file->fileName());
        // Without a usable runtime folder, the temporary folder.
        EXPECT_EQ(info.absolutePath(),
                  QFileInfo(folder == runtime.path() ? folder : QDir::tempPath()).absoluteFilePath());
        EXPECT_FALSE(info.isSymLink());
        EXPECT_EQ(info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                  0);
        EXPECT_EQ(info.size(), 0) << "created, not reused";
        file->write("picture");
        file->flush();
        QFile::remove(file->fileName());
    }
    QFile check(victim);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("keep"));
    for (const QString &link : planted)
        QFile::remove(link);
    savedRuntime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", savedRuntime);
}
