#include "Application.h"

#include "ATolvane.h"
#include "CoreAudio.h"
#include "SimAudio.h"

#include <QApplication>
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
    QApplication::setApplicationName(QStringLiteral("zorvex-panel"));
    QApplication::setOrganizationName(QStringLiteral("Orvanelle"));
    QApplication::setApplicationVersion(QStringLiteral(ZORVEX_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("Zorvex"));

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

    initPanelResources();

    std::unique_ptr<sim::SimAudioSystem> simulatedAudio;
    if (parser.isSet(simulate)) {
        simulatedAudio = std::make_unique<sim::SimAudioSystem>();
        simulatedAudio->addDevice();
        SetAudioHardwareBackend(simulatedAudio.get());
    }

    ATolvane panel;
    panel.awakeFromNib();
    app.setQuitOnLastWindowClosed(panel.applicationShouldTerminateAfterLastWindowClosed());
    panel.show();
    panel.applicationDidFinishLaunching();

    QString shotPath = parser.value(screenshot);
    if (shotPath.isEmpty() && headless) {
        shotPath = QDir::temp().filePath(QStringLiteral("zorvex-panel.png"));
        std::fprintf(stderr, "zorvex-panel: no display found; rendering the window off screen instead.\n");
    }
    int status = 0;
    if (!shotPath.isEmpty()) {
        QTimer::singleShot(300, &panel, [&] {
            const bool saved = panel.grab().save(shotPath, "PNG");
            if (saved)
                std::printf("%s\n", qPrintable(QDir(shotPath).absolutePath()));
            else
                std::fprintf(stderr, "zorvex-panel: could not write %s\n", qPrintable(shotPath));
            app.exit(saved ? 0 : 1);
        });
    }
    status = app.exec();
    SetAudioHardwareBackend(nullptr);
    return status;
}
