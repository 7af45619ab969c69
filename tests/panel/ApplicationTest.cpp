#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The program as built, run as a user would run it.
struct Program {
    QProcess process;
    QTemporaryDir home;

    explicit Program(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        // A runtime folder of its own, so that a panel running elsewhere in the session is not
        // asked to come forward in its place.
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        // Its messages in English, whatever the developer's own language.
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZORVEX_PANEL_PROGRAM), arguments);
    }
    ~Program()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    // Whether the process has installed a handler for the signal (its caught-signals mask).
    bool catches(int signalNumber) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
        return false;
    }
};

} // namespace

TEST(Application, RendersTheSimulatedPanelIntoTheNamedPictureAndExits)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("panel.png"));
    Program program({QStringLiteral("--simulate"), QStringLiteral("--screenshot"), path});
    // The picture waits for the interface to attach: a second's settling and the audio devices.
    ASSERT_TRUE(program.process.waitForFinished(30000)) << "still running";
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 0) << program.process.readAllStandardError().constData();
    const QImage picture(path);
    ASSERT_FALSE(picture.isNull()) << "no PNG at " << path.toStdString();
    EXPECT_EQ(picture.size(), QSize(466, 350)) << "the window's fixed size";
}

TEST(Application, AnEmptyScreenshotNameIsAnErrorAndEndsTheProgram)
{
    Program program({QStringLiteral("--simulate"), QStringLiteral("--screenshot"), QString()});
    ASSERT_TRUE(program.process.waitForFinished(10000)) << "still running";
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 1);
    EXPECT_TRUE(program.process.readAllStandardError().contains("--screenshot needs a file name"));
}

TEST(Application, TerminationSignalsQuitTheProgramTheNormalWay)
{
    // SIGINT and SIGHUP take the same handler; the unit test of the handler covers them.
    for (const int signalNumber : {SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        Program program({QStringLiteral("--simulate")});
        ASSERT_TRUE(program.process.waitForStarted());
        // Until the handler is in place the signal would still end the program outright.
        for (int i = 0; i < 1000 && !program.catches(signalNumber); ++i)
            QThread::msleep(10);
        ASSERT_TRUE(program.catches(signalNumber));
        ::kill(static_cast<pid_t>(program.process.processId()), signalNumber);
        ASSERT_TRUE(program.process.waitForFinished(10000)) << "still running";
        EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.process.exitCode(), 0);
    }
}
