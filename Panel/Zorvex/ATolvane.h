#pragma once

#include "Clock.h"
#include "CoreAudioTypes.h"
#include "IOKit.h"
#include "IOKitHID.h"
#include "Preference.h"
#include "WindowLevel.h"
#include "ZorvexDevice.h"

#include <QMainWindow>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

class AButton;
class AMatrix;
class ARoundButtonSlider;
class AStatusLine;
class ATextField;
class QLabel;
class QTimer;

// The vendor output report that carries one register write.
using VendorCommand = zorvex::VendorCommand;

namespace Ui {
class ATolvane;
}

// The panel window, its controller and the application's delegate. Its member functions are
// defined by concern: window state (ATolvaneWindow.cpp), mixer (ATolvaneMixer.cpp), sample rate
// (ATolvaneSampleRate.cpp), audio binding and listeners (ATolvaneAudioBinding.cpp), attach,
// detach and sleep (ATolvaneAttach.cpp), discovery and hot-plug (ATolvaneDiscovery.cpp) and the
// HID command channel (ATolvaneHID.cpp).
//
// The outlets and the state below are public, as the window's instance variables are to the
// free callbacks that take the panel as their context.
class ATolvane : public QMainWindow {
    Q_OBJECT

public:
    explicit ATolvane(QWidget *parent = nullptr);
    ~ATolvane() override;

    // Outlets, set from the interface file.
    ARoundButtonSlider *fChannelLevel1 = nullptr;
    ARoundButtonSlider *fChannelLevel2 = nullptr;
    ARoundButtonSlider *fChannelLevel3 = nullptr;
    ARoundButtonSlider *fChannelLevel4 = nullptr;
    ATextField *fChannelDB1 = nullptr;
    ATextField *fChannelDB2 = nullptr;
    AButton *fChannelMute1 = nullptr;
    AButton *fChannelMute2 = nullptr;
    std::array<ARoundButtonSlider *, 4> fChannelLevel{};
    std::array<ATextField *, 2> fChannelDB{};
    std::array<AButton *, 2> fChannelMute{};
    AButton *fChannelLink = nullptr;
    AMatrix *fChannelIn = nullptr;
    AMatrix *fSampleRate = nullptr;
    ATextField *fSampleText = nullptr;
    QWidget *main_view = nullptr;
    // The window's line of news: why it is disabled, and any failure the user should hear of.
    AStatusLine *fStatusLine = nullptr;

    // [0] the device carrying the output side, [1] the input side; 0 when unbound.
    std::array<AudioDeviceID, 2> fDeviceId{};
    Preference currPreference;

    // Window set-up and states.
    void awakeFromNib();
    void applicationDidFinishLaunching() {}
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void enableControls(UInt32 productId);
    void disableControls();
    void windowFocusing() {}
    void updateMeterLevels() {}
    CGWindowLevel level() const { return m_level; }
    void setLevel(CGWindowLevel level);
    // False on Wayland, where a window cannot ask to stay above others.
    static bool keepOnTopPossible();

    // Mixer.
    void appliedChannelLevel(int index);
    void channelLevelChanged(int index);
    void channel1LevelChanged() { channelLevelChanged(0); }
    void channel2LevelChanged() { channelLevelChanged(1); }
    void channel3LevelChanged() { channelLevelChanged(2); }
    void channel4LevelChanged() { channelLevelChanged(3); }
    // Has screen readers speak a fader's new level while the user moves it.
    void announceLevelOf(const ARoundButtonSlider *slider);
    void appliedChannelMute(int index);
    void channelMuteChanged(int index);
    void channel1MuteChanged() { channelMuteChanged(0); }
    void channel2MuteChanged() { channelMuteChanged(1); }

    // Sample rate.
    void forcingOneSelect(AMatrix *matrix);
    // noErr once the device took a format of that rate; else why not (a rate the side does not
    // list answers kAudioDeviceUnsupportedFormatError).
    OSStatus setHwSampleRate(UInt32 rate, UInt32 direction);
    void sampleRateChanged(UInt32 direction);
    // The rate text, and why it says so when that is not a rate.
    void showRateText(const QString &text, const QString &why);
    void inputSampleRateChanged() {}
    void outputSampleRateChanged() { sampleRateChanged(0); }

    // Attach and detach.
    UInt32 setupProperty();
    void unhookProperty();
    // Sleep, wake and window-focus observations; removing one that is absent does nothing.
    void removeObservers();
    void changedPowerState(const QString &notificationName);
    void updatePowerState() { setPreference(); }
    // Stores the link flag once attach has restored it: at detach, and when the switch changes
    // it, so that a crash or a kill after the change does not lose it.
    void saveLinkFlag();
    // Whether the link flag reached the preferences file: a failure is said on stderr and shown
    // in the window until a later save succeeds.
    void noteSettingsSaved(bool saved);
    // The window's one line about its settings; empty hides it.
    void showSettingsNote(const QString &text);
    QString settingsNote() const;
    // Whether setupProperty has attached the panel and no detach has run since.
    bool isAttached() const { return m_attached; }
    // Made at attach and dropped at detach, never started: the meter has nothing to show.
    QTimer *fMeterTimer = nullptr;
    // Runs only between the system's will-sleep and its wake.
    QTimer *fPowerTimer = nullptr;

    // Discovery: the last step of waking, and the application's end.
    void startDeviceDiscovery();
    void applicationWillTerminate();
    // The HID device the manager reported as the interface, until it is reported removed.
    IOHIDDeviceRef reportedInterface() const { return m_reportedInterface; }
    void setReportedInterface(IOHIDDeviceRef device) { m_reportedInterface = device; }

    // Why the window is disabled (ATolvaneStatus.cpp): empty while attached.
    QString disabledReason() const;
    // Shows that reason in the status line.
    void explainState();
    // Runs when a sound card comes or goes: the card the attach waits for, or one that came
    // without its HID device.
    Q_INVOKABLE void recheckSoundCard();
    // The attach's wait for the sound card when the HID device came first: it goes on as soon
    // as the card comes, or after one second without it. It holds the service meanwhile.
    void waitForSoundCard(io_service_t service, std::int32_t productID);
    void resumePendingAttach();
    // After that second the service is kept, so that a card that comes later still attaches
    // while the HID device stays. Takes over the reference.
    void keepForLateSoundCard(io_service_t service, std::int32_t productID);
    void attachWithLateSoundCard();
    // Drops a waiting attach, and a service kept for a late card, releasing them; nothing when
    // none waits.
    void cancelPendingAttach();
    bool attachPending() const { return m_pendingService != 0; }
    // The interface's HID device was found but could not be opened.
    void noteUserClientRefused(bool refused);
    bool userClientRefused() const { return m_userClientRefused; }

    // Whole-mixer operations.
    void refreshAllProperties();
    // Sends the device command that makes the interface take its current settings.
    void setPreference();

    // HID command channel.
    IOHIDDeviceRef HIDInterface() const;
    void setHIDInterface(IOHIDDeviceRef device);
    UInt32 setI2c(std::uint8_t reg, std::uint8_t data);
    UInt32 hidReport(const VendorCommand &report);

    // Audio device binding and property listeners.
    UInt32 detectAudioDeviceID();
    UInt32 detectAudioDeviceIDSub(AudioDeviceID device);
    void addSelector(void (ATolvane::*selector)(), UInt32 channel, AudioPropertyID property, SInt8 direction);
    void removeSelectorOnChannel(UInt32 channel, AudioPropertyID property, SInt8 direction);

    // Runs a listener row's read-back on the thread that owns the window: directly when
    // called there, else queued to it, once per call. A queued read-back whose listener has
    // been removed meanwhile is dropped.
    void performReadBack(std::size_t row);

public slots:
    // Actions: each takes the control that sent it.
    void setChannelLevel(QObject *sender);
    void setChannelMute(QObject *sender);
    void setChannelLink(QObject *sender);
    void setSampleRate(QObject *sender);
    void setToFactoryDefaults(QObject *sender);
    void alwaysOnTop(QObject *sender);
    void LaunchAudioMidiSetup(QObject *sender);

protected:
    void changeEvent(QEvent *event) override;

private:
    static constexpr UInt32 kFactorySampleRate = 44100;
    void stopTimer(QTimer *&timer);
    // Takes the panel off the HID manager and the service notifications: nothing that
    // discovery registered may call a panel that is gone.
    void stopDeviceDiscovery();
    IOHIDManagerRef m_hidManager = nullptr;
    IONotificationPortRef m_notifyPort = nullptr;

    bool m_attached = false;
    // Set once an attach has read the link flag from the preferences; a detach writes the flag
    // back only then, so that a failed attach never overwrites the user's stored choice.
    bool m_linkFlagRestored = false;
    IOHIDDeviceRef m_reportedInterface = nullptr;
    bool m_userClientRefused = false;
    bool m_soundCardSeen = false;
    QString m_shownReason;
    // Set once discovery has delivered its first reports, when the reason can be known.
    bool m_discoveryLooked = false;
    bool m_terminating = false;
    bool m_hardwareListening = false;
    io_service_t m_pendingService = 0;
    std::int32_t m_pendingProductID = 0;
    std::unique_ptr<platform::ClockTimer> m_soundCardTimer;
    io_service_t m_lateCardService = 0;
    std::int32_t m_lateCardProductID = 0;

    // Runs the read-backs that other threads have queued, in arrival order.
    Q_INVOKABLE void drainReadBacks();

    std::unique_ptr<Ui::ATolvane> m_ui;

    struct PendingReadBack {
        std::size_t row;
        std::uint32_t generation;
    };
    // Read-backs requested from other threads. The mutex is the only hand-over between those
    // threads and the window's: the wake-up posted to the window carries no data.
    std::mutex m_pendingMutex;
    std::vector<PendingReadBack> m_pending;
    // Bumped per listener row each time that row's listener is removed.
    std::array<std::uint32_t, 8> m_listenerGeneration{};
    // The device each listener row is registered on, unknown while it is not: a row is
    // registered at most once, and removed from the device it was registered on, whatever
    // fDeviceId holds by then.
    std::array<AudioDeviceID, 8> m_listenerDevice{};
    CGWindowLevel m_level = CGWindowLevelForKey(kCGNormalWindowLevelKey);
    QLabel *m_settingsNote = nullptr;
    bool m_settingsSaveFailed = false;
};

// A decibel value as the read-outs show it: "%+.1f".
QString formatDecibels(Float32 decibels);

// Discovery callbacks, each given the panel as its context.
void PanelHIDDeviceMatched(void *context, IOReturn result, void *sender, IOHIDDeviceRef device);
void PanelHIDDeviceRemoved(void *context, IOReturn result, void *sender, IOHIDDeviceRef device);
void PanelServiceMatched(void *refcon, io_iterator_t iterator);
void PanelServiceInterest(void *refcon, io_service_t service, natural_t messageType, void *messageArgument);
void IOHIDDevice_GetUInt32Property(IOHIDDeviceRef inIOHIDDeviceRef, const QString &key, std::uint32_t *outValue);

OSStatus PanelPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                               void *clientData);
