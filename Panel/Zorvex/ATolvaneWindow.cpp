#include "ATolvane.h"

#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "AStatusLine.h"
#include "ATextField.h"
#include "AppleScript.h"
#include "Logging.h"
#include "NotificationCenter.h"
#include "PanelTables.h"
#include "ui_ATolvane.h"

#include <QGuiApplication>
#include <QWindow>

ATolvane::ATolvane(QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::ATolvane>())
{
    m_ui->setupUi(this);
    fChannelLevel1 = m_ui->fChannelLevel1;
    fChannelLevel2 = m_ui->fChannelLevel2;
    fChannelLevel3 = m_ui->fChannelLevel3;
    fChannelLevel4 = m_ui->fChannelLevel4;
    fChannelDB1 = m_ui->fChannelDB1;
    fChannelDB2 = m_ui->fChannelDB2;
    fChannelMute1 = m_ui->fChannelMute1;
    fChannelMute2 = m_ui->fChannelMute2;
    fChannelLink = m_ui->fChannelLink;
    fChannelIn = m_ui->fChannelIn;
    fSampleRate = m_ui->fSampleRate;
    fSampleText = m_ui->fSampleText;
    main_view = m_ui->main_view;
    fStatusLine = m_ui->fStatusLine;
    if (!keepOnTopPossible()) {
        m_ui->keepOnTopButton->setEnabled(false);
        m_ui->keepOnTopButton->setToolTip(tr("Wayland does not let a program keep its window above others."));
    }
}

ATolvane::~ATolvane()
{
    // Nothing may call back into a panel that is gone, attached or not.
    for (const ListenerRow &row : ListenerTable)
        removeSelectorOnChannel(row.channel, row.property, static_cast<SInt8>(row.direction));
    removeObservers();
    stopDeviceDiscovery();
}

void ATolvane::awakeFromNib()
{
    setHIDInterface(nullptr);
    fDeviceId = {kAudioDeviceUnknown, kAudioDeviceUnknown};
    fChannelLevel = {fChannelLevel1, fChannelLevel2, fChannelLevel3, fChannelLevel4};
    fChannelDB = {fChannelDB1, fChannelDB2};
    fChannelMute = {fChannelMute1, fChannelMute2};

    for (ARoundButtonSlider *slider : fChannelLevel) {
        if (!slider)
            continue;
        slider->setMinValue(0.0);
        slider->setMaxValue(1.0);
        slider->setFocusImageName(QStringLiteral("pick_on"));
        slider->setUnfocusImageName(QStringLiteral("pick_off"));
        // Transparent: the faders show no track line, only their thumbs.
        slider->setBackColor(QColor::fromRgbF(0, 0, 0, 0));
    }
    for (ATextField *readout : fChannelDB) {
        if (!readout)
            continue;
        readout->setBackgroundColor(QColor::fromRgbF(0, 0, 0, 1));
        readout->setTextColor(QColor::fromRgbF(1, 1, 1, 1));
    }
    disableControls();
    startDeviceDiscovery();
}

void ATolvane::enableControls(UInt32)
{
    for (ARoundButtonSlider *slider : fChannelLevel) {
        if (slider) {
            slider->setEnabled(true);
            slider->setHidden(false);
        }
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (fChannelDB[i])
            fChannelDB[i]->setHidden(false);
        if (fChannelMute[i])
            fChannelMute[i]->setEnabled(true);
    }
    if (fChannelLink)
        fChannelLink->setEnabled(true);
    if (fSampleRate)
        fSampleRate->setEnabled(true);
    if (main_view)
        main_view->setHidden(false);
    if (fSampleText)
        fSampleText->setHidden(false);
    if (fChannelIn) {
        fChannelIn->setEnabled(true);
        fChannelIn->setHidden(false);
    }
    setWindowTitle(tr("Zorvex"));
    explainState();
}

// Not the mirror of enableControls: the view, the input selector, the mutes, the link switch
// and the rate selector stay visible (disabled); only the faders and read-outs disappear. The
// faders are disabled as well, so that nothing (a screen reader, a key) moves one out of sight.
void ATolvane::disableControls()
{
    for (ARoundButtonSlider *slider : fChannelLevel) {
        if (slider) {
            slider->setHidden(true);
            slider->setEnabled(false);
        }
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (fChannelDB[i])
            fChannelDB[i]->setHidden(true);
        if (fChannelMute[i])
            fChannelMute[i]->setEnabled(false);
    }
    if (fChannelLink)
        fChannelLink->setEnabled(false);
    if (fChannelIn)
        fChannelIn->setEnabled(false);
    if (fSampleRate)
        fSampleRate->setEnabled(false);
    if (fSampleText)
        fSampleText->setHidden(true);
    setWindowTitle(tr("Zorvex Disabled"));
    explainState();
}

void ATolvane::setLevel(CGWindowLevel level)
{
    m_level = level;
    // No Wayland protocol lets a client stay on top, and asking moves the window.
    if (!keepOnTopPossible())
        return;
    const bool onTop = windowLevelStaysOnTop(level);
    const Qt::WindowFlags flags
        = onTop ? windowFlags() | Qt::WindowStaysOnTopHint : windowFlags() & ~Qt::WindowStaysOnTopHint;
    if (QWindow *native = windowHandle()) {
        // QWidget::setWindowFlags would re-create the native window, which comes back hidden
        // and, once shown, inactive: the keyboard focus would be lost. The window system takes
        // the new flags on the window as it is.
        overrideWindowFlags(flags);
        native->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
}

bool ATolvane::keepOnTopPossible()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void ATolvane::alwaysOnTop(QObject *sender)
{
    auto *button = qobject_cast<AButton *>(sender);
    if (!button)
        return;
    if (button->state() == 1) {
        button->setState(0);
        setLevel(CGWindowLevelForKey(kCGNormalWindowLevelKey));
    } else {
        button->setState(1);
        setLevel(CGWindowLevelForKey(kCGModalPanelWindowLevelKey));
    }
}

void ATolvane::LaunchAudioMidiSetup(QObject *)
{
    const NSAppleScript script(QStringLiteral("tell application \"Audio MIDI Setup\" to activate"));
    QString error;
    if (script.executeAndReturnError(&error))
        return;
    // Pressed and nothing opens: say so, or the button looks broken.
    qCWarning(lcSession).noquote() << "Audio Settings:" << error;
    if (fStatusLine)
        fStatusLine->setMessage(tr("No sound settings program could be started. Install one, such as pavucontrol."));
}
