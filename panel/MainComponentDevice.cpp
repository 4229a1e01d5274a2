// The panel's bridge to the interface: device events, the refresh and guard
// timers, the buttons, the dB labels, factory defaults and action messages.
#include "panel/MainComponent.h"
#include "device/AudioObjectProperty.h"
#include "device/hw_sendFlexroute.h"
#include "platform/CoreAudio.h"

#include <cmath>
#include <locale>
#include <mutex>
#include <sstream>
#include <utility>

namespace
{
constexpr UInt32 wildcardScope = kAudioObjectPropertyScopeWildcard;
constexpr UInt32 mainElement = 0;
constexpr int changeGuardMs = 50;

const AudioObjectPropertyAddress nominalRateAddress { kAudioDevicePropertyNominalSampleRate, wildcardScope, mainElement };
const AudioObjectPropertyAddress leftVolumeAddress { kAudioDevicePropertyVolumeDecibels, kAudioDevicePropertyScopeOutput, 1 };
const AudioObjectPropertyAddress rightVolumeAddress { kAudioDevicePropertyVolumeDecibels, kAudioDevicePropertyScopeOutput, 2 };
const AudioObjectPropertyAddress muteAddress { kAudioDevicePropertyMute, kAudioDevicePropertyScopeOutput, mainElement };

bool isRegisteredOwner (void* owner)
{
    return owner != nullptr && currentOwner (mydeviceStruct) == owner;
}
} // namespace

//==============================================================================
void MainComponent::OnApiCallback (void* owner, void*, Velk_CallbackEvent event)
{
    if (owner == nullptr)
        return;

    auto* mm = juce::MessageManager::getInstanceWithoutCreating();
    if (mm == nullptr)
        return;

    // Off the message thread (the audio notification thread): take the
    // message-thread lock, retrying until it is held; give up as soon as the
    // panel has gone (its destructor clears the record's owner) or the message
    // loop can take no more messages. On the message thread the lock is
    // granted at once: nothing to take.
    //
    // The lock object is never destroyed: the message thread grants it from
    // inside the object (flags first, then a signal), so a waiting thread can
    // be through and gone while the message thread is still signalling; a
    // lock on that thread's stack could be freed, or reused, under it. Being
    // shared, it is used by one thread at a time.
    static auto& lockUsers = *new std::mutex();
    static const auto& lock = *new juce::MessageManager::Lock();
    std::unique_lock<std::mutex> oneAtATime (lockUsers, std::defer_lock);

    struct Release
    {
        const juce::MessageManager::Lock* held = nullptr;
        ~Release() { if (held != nullptr) held->exit(); }
    } release;

    if (! mm->isThisTheMessageThread())
    {
        oneAtATime.lock();

        for (;;)
        {
            if (! isRegisteredOwner (owner))
                return;

            if (lock.tryEnter())
                break;

            if (mm = juce::MessageManager::getInstanceWithoutCreating(); mm == nullptr || mm->hasStopMessageBeenSent())
                return;
        }

        release.held = &lock;
    }

    // The lock is held, so the panel cannot go away meanwhile; but it may have
    // gone while this thread waited for the lock.
    if (! isRegisteredOwner (owner))
        return;

    auto& panel = *static_cast<MainComponent*> (owner);

    if (event == eventPropertyChanged)
    {
        panel.startRefresh (50);
    }
    else if (event == eventDeviceRemoved)
    {
        panel.enabledButtons (false);
    }
    else if (event == eventDeviceArrived)
    {
        panel.enabledButtons (true);

        // Started with "/defaults" before the interface was found.
        if (std::exchange (panel.factoryDefaultsOnArrival, false))
            panel.setFactoryDefaults();

        panel.synchroniseSampleRate();

        if (! panel.changeGuard)
            panel.readVolumesFromDevice();

        panel.setLevelLabels();
        panel.readMuteFromDevice();
        panel.startRefresh (200);
        panel.repaint();
    }
}

//==============================================================================
void MainComponent::synchroniseSampleRate()
{
    OSStatus outputStatus = 0;
    const auto inputRate = readProperty<Float64> (gInAudioObjectID, nominalRateAddress);
    const auto outputRate = readProperty<Float64> (gOutAudioObjectID, nominalRateAddress, &outputStatus);

    double rateToShow = 0.0;

    if (inputRate == outputRate)
        rateToShow = inputRate;
    else if (outputStatus != 0 || ! isInterfaceSampleRate (outputRate))
        rateToShow = 0.0;   // nothing to push: a rate the interface cannot have is never written
    else
        rateToShow = hw_setSampleRate (outputRate) ? outputRate : 0.0;

    initSamplerateButtons (rateToShow, juce::dontSendNotification);
}

void MainComponent::initSamplerateButtons (double rate, juce::NotificationType)
{
    const std::pair<double, juce::ImageButton*> buttons[] = {
        { 44100.0, rateButton44.get() },  { 48000.0, rateButton48.get() },
        { 88200.0, rateButton88.get() },  { 96000.0, rateButton96.get() },
        { 176400.0, rateButton176.get() }, { 192000.0, rateButton192.get() }
    };

    for (const auto& [buttonRate, button] : buttons)
    {
        if (rate == buttonRate)
        {
            button->setToggleState (true, juce::dontSendNotification);
            break;
        }
    }

    menuItemsChanged();
}

void MainComponent::readVolumesFromDevice()
{
    // The faders take only numbers: a NaN never settles in a slider (the
    // message loop would spin on it for good), so it counts as a failed read;
    // an infinity (-inf dB is silence) goes to the end of the range, where the
    // fader would put it anyway, so that the pair's link offsets stay finite.
    auto toFader = [] (const juce::Slider& fader, Float32 dB)
    {
        if (std::isnan (dB))
            return 0.0;
        if (std::isinf (dB))
            return dB < 0 ? fader.getMinimum() : fader.getMaximum();
        return (double) dB;
    };

    const auto left = readProperty<Float32> (gOutAudioObjectID, leftVolumeAddress);
    const auto right = readProperty<Float32> (gOutAudioObjectID, rightVolumeAddress);
    sliderGroup->setLevels (toFader (sliderGroup->leftSlider, left), toFader (sliderGroup->rightSlider, right));
}

void MainComponent::readMuteFromDevice()
{
    const auto mute = readProperty<UInt32> (gOutAudioObjectID, muteAddress);
    muteButton->setToggleState (mute != 0, juce::dontSendNotification);
}

void MainComponent::writeVolumesToDevice()
{
    const auto left = (Float32) sliderGroup->leftSlider.getValue();
    const auto right = (Float32) sliderGroup->rightSlider.getValue();
    writeProperty (gOutAudioObjectID, leftVolumeAddress, left);
    writeProperty (gOutAudioObjectID, rightVolumeAddress, right);
}

//==============================================================================
void MainComponent::timerCallback (int timerID)
{
    if (timerID == timerChangeGuard)
    {
        // The framework's timers can fire early when restarted (by up to the
        // time since their thread last woke), so check the time ourselves.
        const auto elapsed = juce::Time::getMillisecondCounter() - changeGuardStartMs;

        if (elapsed < (juce::uint32) changeGuardMs)
        {
            startTimer (timerChangeGuard, changeGuardMs - (int) elapsed);
            return;
        }

        stopTimer (timerChangeGuard);
        changeGuard = false;

        // A refresh that came during the guard skipped the volumes, the mute
        // and the labels; without this they could stay stale (labels showing
        // the values from before the user's change) until the next event.
        if (readBackAfterGuard)
        {
            readBackAfterGuard = false;
            readVolumesFromDevice();
            readMuteFromDevice();
            setLevelLabels();
        }
    }
    else if (timerID == timerRefreshFromDevice)
    {
        // Held like the guard: not before its full delay.
        const auto elapsed = juce::Time::getMillisecondCounter() - refreshStartMs;

        if (elapsed < (juce::uint32) refreshDelayMs)
        {
            startTimer (timerRefreshFromDevice, refreshDelayMs - (int) elapsed);
            return;
        }

        synchroniseSampleRate();

        if (! changeGuard)
        {
            readVolumesFromDevice();
            readMuteFromDevice();
            setLevelLabels();
        }
        else
        {
            readBackAfterGuard = true;
        }

        stopTimer (timerRefreshFromDevice);
    }
}

void MainComponent::buttonClicked (juce::Button* button)
{
    const std::pair<juce::Button*, double> rates[] = {
        { rateButton44.get(), 44100.0 },  { rateButton48.get(), 48000.0 },
        { rateButton88.get(), 88200.0 },  { rateButton96.get(), 96000.0 },
        { rateButton176.get(), 176400.0 }, { rateButton192.get(), 192000.0 }
    };

    for (const auto& [rateButton, rate] : rates)
    {
        if (button == rateButton)
        {
            hw_setSampleRate (rate);

            // The click has ticked this button (the radio group reports the
            // one it unticks here as well, first). When the interface refuses
            // the rate no change is reported, so tick the rate it really has
            // now; after an accepted change the refresh agrees.
            if (button->getToggleState())
                synchroniseSampleRate();

            return;
        }
    }

    if (button == muteButton.get())
    {
        changeGuard = true;
        writeProperty (gOutAudioObjectID, muteAddress, (UInt32) (muteButton->getToggleState() ? 1 : 0));
        startChangeGuard();
    }
}

void MainComponent::startRefresh (int delayMs)
{
    refreshStartMs = juce::Time::getMillisecondCounter();
    refreshDelayMs = delayMs;
    startTimer (timerRefreshFromDevice, delayMs);
}

void MainComponent::setFactoryDefaultsOnceFound()
{
    // Before the interface is found every write would fail.
    if (gInAudioObjectID.load() != 0 && gOutAudioObjectID.load() != 0)
        setFactoryDefaults();
    else
        factoryDefaultsOnArrival = true;
}

void MainComponent::startChangeGuard()
{
    changeGuard = true;
    changeGuardStartMs = juce::Time::getMillisecondCounter();
    startTimer (timerChangeGuard, changeGuardMs);
}

juce::String MainComponent::levelText (double value)
{
    // Default floating-point formatting, precision 6, in the classic locale.
    // (juce::String's own conversion takes the stream's locale from the
    // process-wide C++ locale, so a program that sets one would get "-63,5".)
    std::ostringstream stream;
    stream.imbue (std::locale::classic());
    stream << value;
    return juce::String (stream.str()) + " dB";
}

void MainComponent::setLevelLabels()
{
    if (! sliderGroup->isEnabled())
        return;

    leftLevelLabel->setText (levelText (sliderGroup->leftSlider.getValue()), juce::dontSendNotification);
    rightLevelLabel->setText (levelText (sliderGroup->rightSlider.getValue()), juce::dontSendNotification);
}

void MainComponent::setFactoryDefaults()
{
    writeProperty (gOutAudioObjectID, muteAddress, (UInt32) 0);
    hw_setSampleRate (48000.0);
    writeProperty (gOutAudioObjectID, leftVolumeAddress, (Float32) 0.0f);
    writeProperty (gOutAudioObjectID, rightVolumeAddress, (Float32) 0.0f);

    readVolumesFromDevice();
    readMuteFromDevice();
    setLevelLabels();
}

//==============================================================================
void MainComponent::actionListenerCallback (const juce::String& message)
{
    if (message == "try_icon_clicked")
    {
        if (auto* window = getParentComponent())
        {
            if (! window->isVisible())
            {
                window->setVisible (true);
                setVisible (true);
            }
            else
            {
                window->toFront (true);
            }
        }
    }

    if (message == "volume_update")
    {
        changeGuard = true;
        writeVolumesToDevice();
        startChangeGuard();
        return;
    }

    if (message == "flexroute_update")
    {
        hw_sendFlexroute (nullptr);

        if (menuBar != nullptr)
            menuBar->sendLookAndFeelChange();
    }
}
