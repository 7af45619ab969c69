#include "Application.h"

#include "ATolvane.h"
#include "AlsaAudioBackend.h"
#include "CoreAudio.h"
#include "Desktop.h"
#include "HeadlessPicture.h"
#include "LogindSleepWatcher.h"
#include "PanelResources.h"
#include "SimAudio.h"
#include "SimUSB.h"
#include "TerminationSignals.h"
#include "UdevHIDMonitor.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

// Long enough for a connected interface to attach first: up to one second's wait for its sound
// card, then up to about two seconds' wait for its audio devices.
constexpr int kScreenshotDelayMilliseconds = 3300;

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
            // window wakes, as a connected interface is at start-up.
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
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the window into <file> (PNG) and exit."),
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

    const Backends backends(parser.isSet(simulate));
    ATolvane panel;
    setUpMainWindow(panel);
    QObject::connect(&session, &SessionInstance::activationRequested, &panel, [&panel] { activateWindow(panel); });
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
            if (saved)
                std::printf("%s\n", qPrintable(QDir(shotPath).absolutePath()));
            else
                std::fprintf(stderr, "zorvex-panel: could not write %s\n", qPrintable(shotPath));
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
