#include "Application.h"

#include "ATolvane.h"
#include "AlsaAudioBackend.h"
#include "Command.h"
#include "CommandChannel.h"
#include "CommandEngine.h"
#include "CoreAudio.h"
#include "Desktop.h"
#include "HeadlessPicture.h"
#include "LogindSleepWatcher.h"
#include "PanelResources.h"
#include "Preferences.h"
#include "PresetMenu.h"
#include "SimAudio.h"
#include "SimUSB.h"
#include "TerminationSignals.h"
#include "Translations.h"
#include "UdevHIDMonitor.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocale>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Long enough for a connected interface to attach first: up to one second's wait for its sound
// card, then up to about two seconds' wait for its audio devices.
constexpr int kScreenshotDelayMilliseconds = 3300;

// A message for the person at the terminal, in their language.
void tellUser(const QString &message)
{
    std::fprintf(stderr, "zorvex-panel: %s\n", qPrintable(message));
}

// With no display to show the window on, the panel still renders it and leaves a picture.
bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// What the panel runs on, chosen once for the process: the simulated interface or the system's
// own. Made before the window and destroyed after it; its destructor fixes the teardown order.
class Backends {
public:
    explicit Backends(bool simulate)
    {
        if (simulate) {
            // Behind the same platform calls as the real system, and plugged in before the
            // window wakes, as a connected interface is at start-up. Its link flag is its own.
            platform::setPreferencesName(QStringLiteral("zorvex-panel-simulated"));
            m_simulatedAudio = std::make_unique<sim::SimAudioSystem>();
            SetAudioHardwareBackend(m_simulatedAudio.get());
            m_simulatedBus = std::make_unique<sim::SimUSBBus>(m_simulatedAudio.get());
            m_simulatedBus->plug();
        } else {
            // ALSA cards, hidraw nodes followed by udev, logind's sleep and wake. They publish
            // what is present before the window wakes, so that a connected interface is found
            // at start-up.
            m_systemAudio = std::make_unique<linuxbackends::AlsaAudioBackend>();
            SetAudioHardwareBackend(m_systemAudio.get());
            m_systemHID = std::make_unique<linuxbackends::UdevHIDMonitor>();
            m_systemSleep = std::make_unique<linuxbackends::LogindSleepWatcher>();
        }
    }

    ~Backends()
    {
        // Devices leave before the audio system that carries them, and no platform call may
        // reach an audio backend once it is gone.
        m_simulatedBus.reset();
        m_systemSleep.reset();
        m_systemHID.reset();
        SetAudioHardwareBackend(nullptr);
        m_systemAudio.reset();
        m_simulatedAudio.reset();
    }

    Backends(const Backends &) = delete;
    Backends &operator=(const Backends &) = delete;

private:
    std::unique_ptr<sim::SimAudioSystem> m_simulatedAudio;
    std::unique_ptr<sim::SimUSBBus> m_simulatedBus;
    std::unique_ptr<linuxbackends::AlsaAudioBackend> m_systemAudio;
    std::unique_ptr<linuxbackends::UdevHIDMonitor> m_systemHID;
    std::unique_ptr<linuxbackends::LogindSleepWatcher> m_systemSleep;
};

// Whether the launch carries a command, told before Qt starts: a command never shows a window.
bool carriesCommand(int argc, char **argv)
{
    static const char *const options[]
        = {"--set", "--mute", "--link", "--rate", "--defaults", "--get", "--json", "--preset"};
    for (int i = 1; i < argc; ++i)
        for (const char *option : options)
            if (std::strncmp(argv[i], option, std::strlen(option)) == 0)
                return true;
    return false;
}

int printReply(const CommandReply &reply)
{
    if (!reply.out.isEmpty())
        std::fputs(qPrintable(reply.out), stdout);
    if (!reply.err.isEmpty())
        std::fprintf(stderr, "zorvex-panel: %s\n", qPrintable(reply.err));
    return reply.status;
}

// The longest a command waits for the interface to attach: the wait for its sound card (at
// most a second) and its attach.
constexpr int kAttachWaitMilliseconds = 3000;

// The command on this session's panel when one runs; else on a panel of its own that attaches
// as the window would and is never shown.
int runCommand(const CommandLine &line, const QStringList &arguments)
{
    SessionInstance session;
    const RunningPanelAnswer running = askRunningPanel(session.socketPath(), arguments);
    if (running.reply)
        return printReply(*running.reply);
    if (running.reached)
        return printReply(
            {kExitFailure, {}, QCoreApplication::translate("Command", "The running panel did not answer.")});

    const Backends backends(line.simulate);
    ATolvane panel;
    if (line.command.needsInterface()) {
        panel.awakeFromNib();
        // Its arrival is delivered by the event loop; a sound card still missing is waited for
        // on a timer there.
        const QDeadlineTimer deadline(kAttachWaitMilliseconds);
        QCoreApplication::processEvents();
        while (!panel.isAttached() && panel.attachPending() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const CommandReply reply = carryOutCommand(panel, line.command, false);
    // The same end as quitting the window: the link flag is stored at the detach.
    panel.applicationWillTerminate();
    return printReply(reply);
}

} // namespace

int NSApplicationMain(int argc, char **argv)
{
    const bool headless = !displayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const bool command = carriesCommand(argc, argv);
    if (command)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    setUpDesktopIdentity();
    QApplication::setApplicationVersion(QStringLiteral(ZORVEX_VERSION));

    // Before the first text is made: the command line's help is one.
    installTranslations(app, QLocale());

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const CommandLine line = parseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "zorvex-panel: %s\n%s", qPrintable(line.error), qPrintable(commandUsage()));
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(qPrintable(commandUsage()), stdout);
        return kExitOk;
    }
    if (line.version) {
        std::printf("zorvex-panel %s\n", ZORVEX_VERSION);
        return kExitOk;
    }
    if (line.command.any())
        return runCommand(line, arguments);
    // Without a name there is nothing to write, and on the off-screen platform nothing else
    // would ever end the program.
    if (line.screenshot && line.screenshot->isEmpty()) {
        tellUser(QCoreApplication::translate("Application", "--screenshot needs a file name."));
        return 1;
    }
    QString shotPath = line.screenshot.value_or(QString());
    std::unique_ptr<QTemporaryFile> shotFile;
    if (shotPath.isEmpty() && headless) {
        tellUser(
            QCoreApplication::translate("Application", "no display found; rendering the window off screen instead."));
        shotFile = createHeadlessPictureFile();
        if (!shotFile) {
            tellUser(QCoreApplication::translate("Application", "could not create a file for the picture."));
            return 1;
        }
        shotPath = shotFile->fileName();
    }
    // Stopped by the system, the terminal or the session, the panel quits as on a normal quit.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app, &QCoreApplication::quit);

    initPanelResources();

    // A picture of the window is taken whether or not a panel already runs.
    SessionInstance session;
    if (!line.screenshot && !headless) {
        switch (session.start()) {
        case SessionInstance::Start::Forwarded: return 0;
        case SessionInstance::Start::Unanswered:
            tellUser(QCoreApplication::translate(
                "Application", "a panel already runs in this session but does not answer; not starting a second one."));
            return 1;
        case SessionInstance::Start::Owner:
        case SessionInstance::Start::Alone: break;
        }
    }

    const Backends backends(line.simulate);
    ATolvane panel;
    setUpMainWindow(panel);
    QObject::connect(&session, &SessionInstance::activationRequested, &panel,
                     [&panel](const QByteArray &token) { activateWindow(panel, token); });
    installPresetMenu(panel);
    session.setRequestHandler([&panel](const QByteArray &request) { return answerCommandRequest(panel, request); });
    panel.awakeFromNib();
    app.setQuitOnLastWindowClosed(panel.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &panel, [&panel] { panel.applicationWillTerminate(); });
    // The desktop session is ending: the session manager may end the process at any moment
    // after this, so quit now, through the same path.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager &) { QCoreApplication::quit(); });
    panel.show();
    panel.applicationDidFinishLaunching();

    if (!shotPath.isEmpty()) {
        QTimer::singleShot(kScreenshotDelayMilliseconds, &panel, [&] {
            const QImage picture = panel.grab().toImage();
            const bool saved
                = shotFile ? picture.save(shotFile.get(), "PNG") && shotFile->flush() : picture.save(shotPath, "PNG");
            if (saved && shotFile)
                shotPath = keepHeadlessPicture(*shotFile);
            if (saved)
                std::printf("%s\n", qPrintable(QDir(shotPath).absolutePath()));
            else
                tellUser(QCoreApplication::translate("Application", "could not write %1").arg(shotPath));
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
