#include "Application.h"

#include "ATolvane.h"
#include "AlsaAudioBackend.h"
#include "CoreAudio.h"
#include "Desktop.h"
#include "HeadlessPicture.h"
#include "LogindSleepWatcher.h"
#include "SimAudio.h"
#include "SimUSB.h"
#include "TerminationSignals.h"
#include "UdevHIDMonitor.h"

#include <QApplication>
#include <QSessionManager>
#include <QCommandLineParser>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>

void initPanelResources()
{
    Q_INIT_RESOURCE(panel);
}

namespace {

// Long enough for a connected interface to attach first: one second's settling pause, then up
// to about two seconds' wait for its audio devices.
constexpr int kScreenshotDelayMilliseconds = 3300;

// With no display to show the window on, the panel still renders it and leaves a picture.
bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int NSApplicationMain(int argc, char **argv)
{
    const bool headless = !displayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    setUpDesktopIdentity();
    QApplication::setApplicationVersion(QStringLiteral(ZORVEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control panel for the Orvanelle Zorvex USB audio interface."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Run on a simulated interface instead of the real one."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"), QStringLiteral("Render the window into <file> (PNG) and exit."),
        QStringLiteral("file"));
    parser.addOption(simulate);
    parser.addOption(screenshot);
    parser.process(app);
    // Without a name there is nothing to write, and on the off-screen platform nothing else
    // would ever end the program.
    if (parser.isSet(screenshot) && parser.value(screenshot).isEmpty()) {
        std::fprintf(stderr, "zorvex-panel: --screenshot needs a file name.\n");
        return 1;
    }
    QString shotPath = parser.value(screenshot);
    std::unique_ptr<QTemporaryFile> shotFile;
    if (shotPath.isEmpty() && headless) {
        std::fprintf(stderr, "zorvex-panel: no display found; rendering the window off screen instead.\n");
        shotFile = createHeadlessPictureFile();
        if (!shotFile) {
            std::fprintf(stderr, "zorvex-panel: could not create a file for the picture.\n");
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
    if (!parser.isSet(screenshot) && !headless) {
        if (session.activateRunning())
            return 0;
        session.listen();
    }

    // The simulated interface sits behind the same platform calls as the real system and is
    // plugged in before the window wakes, as a connected interface is at start-up.
    std::unique_ptr<sim::SimAudioSystem> simulatedAudio;
    std::unique_ptr<sim::SimUSBBus> simulatedBus;
    // Otherwise the system's own: ALSA cards, hidraw nodes followed by udev, logind's sleep
    // and wake. They publish what is present before the window wakes, so that a connected
    // interface is found at start-up.
    std::unique_ptr<linuxbackends::AlsaAudioBackend> systemAudio;
    std::unique_ptr<linuxbackends::UdevHIDMonitor> systemHID;
    std::unique_ptr<linuxbackends::LogindSleepWatcher> systemSleep;
    if (parser.isSet(simulate)) {
        simulatedAudio = std::make_unique<sim::SimAudioSystem>();
        SetAudioHardwareBackend(simulatedAudio.get());
        simulatedBus = std::make_unique<sim::SimUSBBus>(simulatedAudio.get());
        simulatedBus->plug();
    } else {
        systemAudio = std::make_unique<linuxbackends::AlsaAudioBackend>();
        SetAudioHardwareBackend(systemAudio.get());
        systemHID = std::make_unique<linuxbackends::UdevHIDMonitor>();
        systemSleep = std::make_unique<linuxbackends::LogindSleepWatcher>();
    }

    ATolvane panel;
    setUpMainWindow(panel);
    QObject::connect(&session, &SessionInstance::activationRequested, &panel, [&panel] { activateWindow(panel); });
    panel.awakeFromNib();
    app.setQuitOnLastWindowClosed(panel.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &panel, [&panel] { panel.applicationWillTerminate(); });
    // The desktop session is ending: the session manager may end the process at any moment
    // after this, so quit now, through the same path.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [](QSessionManager &) { QCoreApplication::quit(); });
    panel.show();
    panel.applicationDidFinishLaunching();

    int status = 0;
    if (!shotPath.isEmpty()) {
        QTimer::singleShot(kScreenshotDelayMilliseconds, &panel, [&] {
            const QImage picture = panel.grab().toImage();
            const bool saved = shotFile ? picture.save(shotFile.get(), "PNG") && shotFile->flush()
                                        : picture.save(shotPath, "PNG");
            if (saved)
                std::printf("%s\n", qPrintable(QDir(shotPath).absolutePath()));
            else
                std::fprintf(stderr, "zorvex-panel: could not write %s\n", qPrintable(shotPath));
            app.exit(saved ? 0 : 1);
        });
    }
    status = app.exec();
    simulatedBus.reset();
    systemSleep.reset();
    systemHID.reset();
    SetAudioHardwareBackend(nullptr);
    systemAudio.reset();
    return status;
}
