#include "controls/SliderStereoGroup.h"

#include "controls/SliderLookAndFeel.h"
#include "controls/VelkRounding.h"

namespace
{
constexpr int pointerPollMs = 200;
constexpr double defaultLinkStep = 1.0;
} // namespace

SliderStereoGroup::SliderStereoGroup()
{
    setName ("SliderGroupOut");

    leftSlider.setName ("Left");
    rightSlider.setName ("Right");

    for (auto* slider : { &leftSlider, &rightSlider })
    {
        slider->addListener (this);
        addAndMakeVisible (*slider);
        slider->setScrollWheelEnabled (true);
        slider->setSliderSnapsToMousePosition (false);
    }

    updateMessage = "volume_update";
    startTimer (pointerPollMs);
}

SliderStereoGroup::~SliderStereoGroup()
{
    stopTimer();
    leftSlider.removeListener (this);
    rightSlider.removeListener (this);
    leftSlider.setLookAndFeel (nullptr);
    rightSlider.setLookAndFeel (nullptr);
}

void SliderStereoGroup::resized()
{
    leftSlider.setBounds (leftSliderBounds.x, leftSliderBounds.y, leftSliderBounds.width, leftSliderBounds.height);
    rightSlider.setBounds (rightSliderBounds.x, leftSliderBounds.y, leftSliderBounds.width, leftSliderBounds.height);

    const auto left = leftSlider.getBounds();
    const auto right = rightSlider.getBounds();
    const int leftCentre = left.getX() + left.getWidth() / 2;
    const int rightCentre = right.getX() + right.getWidth() / 2;

    linkArea = juce::Rectangle<int> (leftCentre + linkMargin,
                                     right.getY() - linkMargin,
                                     rightCentre - linkMargin - leftCentre,
                                     left.getHeight());

    // One fader interval (1 dB on the panel) per wheel notch or drag event.
    const auto interval = rightSlider.getInterval();
    linkStep = interval > 0.0 ? interval : defaultLinkStep;
}

void SliderStereoGroup::paint (juce::Graphics&)
{
}

void SliderStereoGroup::timerCallback()
{
    if (! juce::ModifierKeys::currentModifiers.isAnyMouseButtonDown())
    {
        // What the desktop's (private) getMousePositionFloat gives.
        const auto screen = juce::Desktop::getInstance().getMainMouseSource().getScreenPosition();
        const juce::Point<int> point (roundHalfEven (screen.x), roundHalfEven (screen.y));
        auto* top = getTopLevelComponent();

        mouseInLinkArea = linkArea.contains (getLocalPoint (top, top->getLocalPoint (nullptr, point)));
    }

    switchLookAndFeel();
}

void SliderStereoGroup::switchLookAndFeel()
{
    if (mouseInLinkArea == wasLinked)
        return;

    wasLinked = mouseInLinkArea;

    if (sliderLookAndFeel != nullptr)
        sliderLookAndFeel->currentThumb = wasLinked ? sliderLookAndFeel->linkedThumb
                                                    : sliderLookAndFeel->unlinkedThumb;

    leftSlider.lookAndFeelChanged();
    rightSlider.lookAndFeelChanged();
}

void SliderStereoGroup::mouseMove (const juce::MouseEvent& e)
{
    mouseInLinkArea = linkArea.contains (e.getPosition());
}

void SliderStereoGroup::mouseDown (const juce::MouseEvent& e)
{
    mouseInLinkArea = linkArea.contains (e.getPosition());
}

void SliderStereoGroup::mouseDrag (const juce::MouseEvent& e)
{
    if (! mouseInLinkArea)
        return;

    const int distance = roundHalfEven ((double) e.position.y - (double) e.mouseDownPosition.y);

    if (distance > 0)
        moveLinkedSliders (1);
    else if (distance < 0)
        moveLinkedSliders (-1);
}

void SliderStereoGroup::mouseUp (const juce::MouseEvent&)
{
}

void SliderStereoGroup::mouseDoubleClick (const juce::MouseEvent&)
{
    leftSlider.setValue (doubleClickValue, juce::dontSendNotification);
    rightSlider.setValue (doubleClickValue, juce::dontSendNotification);
    lastRightValue = rightSlider.getValue();
    lastLeftValue = leftSlider.getValue();
    sendActionMessage (updateMessage);
}

void SliderStereoGroup::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails& wheel)
{
    if (wheel.deltaY == 0.0f || ! mouseInLinkArea)
        return;

    moveLinkedSliders (wheel.deltaY > 0.0f ? 1 : -1);
}

void SliderStereoGroup::sliderValueChanged (juce::Slider* slider)
{
    if (slider != &leftSlider && slider != &rightSlider)
        return;

    const auto value = slider->getValue();

    if (mouseInLinkArea)
    {
        auto& other = (slider == &leftSlider) ? rightSlider : leftSlider;
        const auto previous = (slider == &leftSlider) ? lastLeftValue : lastRightValue;
        other.setValue (other.getValue() + (value - previous), juce::dontSendNotification);
    }

    lastRightValue = rightSlider.getValue();
    lastLeftValue = leftSlider.getValue();
    sendActionMessage (updateMessage);
}

void SliderStereoGroup::sliderDragStarted (juce::Slider*)
{
    lastRightValue = rightSlider.getValue();
    lastLeftValue = leftSlider.getValue();
}

void SliderStereoGroup::moveLinkedSliders (int direction)
{
    auto left = leftSlider.getValue();
    auto right = rightSlider.getValue();
    juce::String suffix;

    if (direction < 0)
    {
        left += linkStep;
        right += linkStep;
        suffix = "+";
    }
    else if (direction > 0)
    {
        left -= linkStep;
        right -= linkStep;
        suffix = "-";
    }

    rightSlider.setValue (right, juce::dontSendNotification);
    leftSlider.setValue (left, juce::dontSendNotification);
    lastRightValue = rightSlider.getValue();
    lastLeftValue = leftSlider.getValue();
    sendActionMessage (updateMessage + suffix);
}

void SliderStereoGroup::setLevels (double left, double right)
{
    // != is true as well when either value is not a number.
    if (left != leftSlider.getValue())
        sendActionMessage (updateMessage + leftSlider.getName() + getName());

    if (right != rightSlider.getValue())
        sendActionMessage (updateMessage + rightSlider.getName() + getName());

    lastLeftValue = left;
    lastRightValue = right;
    leftSlider.setValue (left, juce::dontSendNotification);
    rightSlider.setValue (right, juce::dontSendNotification);
}

void SliderStereoGroup::removeLookAndFeel()
{
    // setLookAndFeel only acts (and tells the fader) when a look is set.
    leftSlider.setLookAndFeel (nullptr);
    rightSlider.setLookAndFeel (nullptr);
}
