#include "routing/FRDialog.h"
#include "controls/PicturePrefetch.h"
#include "controls/VelkImageScaling.h"

#include <cmath>

namespace
{
constexpr int nodeRowY = 113;
constexpr int nodeRowStep = 46;
constexpr int numPhysicalInputs = 2;
constexpr int numVirtualChannels = 6;

juce::Rectangle<float> nodeBounds (const VelkFRButton* node)
{
    return node != nullptr ? node->getBounds().toFloat() : juce::Rectangle<float>();
}

// Takes a wire off its nodes: both ends freed and dropped, curve cleared.
void emptyWire (VelkFRConnectionPath& wire)
{
    for (auto* end : { wire.sourceEnd, wire.destinationEnd })
        if (end != nullptr)
            end->occupied = false;

    wire.sourceEnd = nullptr;
    wire.destinationEnd = nullptr;
    wire.path.clear();
}
} // namespace

//==============================================================================
FlexrouteImages FlexrouteImages::cutFrom (const juce::Image& unlit, const juce::Image& lit)
{
    FlexrouteImages images;
    images.nodeHighlight = lit.getClippedImage ({ 99, 159, 18, 18 });
    images.muteNormal = unlit.getClippedImage ({ 182, 73, 47, 30 });
    images.muteOver = lit.getClippedImage ({ 356, 73, 47, 30 });
    images.muteDown = lit.getClippedImage ({ 182, 73, 47, 30 });
    images.mixVirtual12Normal = unlit.getClippedImage ({ 22, 390, 155, 31 });
    images.mixVirtual12Down = lit.getClippedImage ({ 22, 390, 155, 31 });
    images.mixVirtual34Normal = unlit.getClippedImage ({ 189, 390, 155, 31 });
    images.mixVirtual34Down = lit.getClippedImage ({ 189, 390, 155, 31 });
    return images;
}

//==============================================================================
FlexrouteDialog::FlexrouteDialog (const void* data, int dataSize, const FlexrouteImages& imagesIn)
    : muteWdmToggle (std::make_unique<VelkImageButton> ("muteWDM")),
      muteAsioToggle (std::make_unique<VelkImageButton> ("muteASIO")),
      mixVirtual12Toggle (std::make_unique<VelkImageButton> ("mixVirtual12")),
      mixVirtual34Toggle (std::make_unique<VelkImageButton> ("mixVirtual34")),
      backgroundData (static_cast<const unsigned char*> (data)),
      backgroundDataSize (data != nullptr ? dataSize : 0)
{
    FlexrouteImages images (imagesIn);

    backgroundImage = cachedPicture (backgroundData, backgroundDataSize);
    backgroundDesignWidth = (double) backgroundImage.getWidth();
    backgroundDesignHeight = (double) backgroundImage.getHeight();

    for (int ch = 0; ch < numPhysicalInputs; ++ch)
        createNode (physicInNodes, kindPhysicalInput, ch, "PhysicIn", 99, false, images.nodeHighlight);

    for (int ch = 0; ch < numVirtualChannels; ++ch)
    {
        createNode (wdmInNodes, kindWdm, ch, "WDMin", 274, true, images.nodeHighlight);
        createNode (asioInNodes, kindAsio, ch, "ASIOin", 448, true, images.nodeHighlight);
    }

    for (int ch = 0; ch < numVirtualChannels; ++ch)
    {
        createNode (wdmOutNodes, kindWdm, ch, "WDMout", 196, false, images.nodeHighlight);
        createNode (asioOutNodes, kindAsio, ch, "ASIOout", 370, false, images.nodeHighlight);
    }

    juce::Image none;
    configImageToggleButtons (muteWdmToggle.get(), 182, 73, images.muteNormal, images.muteOver, images.muteDown);
    configImageToggleButtons (muteAsioToggle.get(), 356, 73, images.muteNormal, images.muteOver, images.muteDown);
    configImageToggleButtons (mixVirtual12Toggle.get(), 22, 389, images.mixVirtual12Normal, none, images.mixVirtual12Down);
    configImageToggleButtons (mixVirtual34Toggle.get(), 189, 389, images.mixVirtual34Normal, none, images.mixVirtual34Down);

    setRepaintsOnMouseActivity (true);
    // Wires are drawn on the window's own picture: a click there hands the
    // keyboard to no toggle (Return would otherwise switch one unseen).
    setMouseClickGrabsKeyboardFocus (false);
    setSize ((int) backgroundDesignWidth, (int) backgroundDesignHeight);
}

// Members go in reverse order: toggles, picture, node lists, then the wires.
FlexrouteDialog::~FlexrouteDialog() = default;

void FlexrouteDialog::createNode (juce::OwnedArray<VelkFRButton>& list, int kind, int channel,
                                  const juce::String& prefix, int designX, bool destination,
                                  juce::Image& highlight)
{
    juce::Image none;
    auto* node = list.add (new VelkFRButton (kind, channel, prefix + juce::String (channel + 1), none, highlight));
    addAndMakeVisible (node);

    if (kind == kindPhysicalInput)
        node->setClickingTogglesState (true);

    node->addListener (this);
    node->designHeight = highlight.getHeight();
    node->designWidth = highlight.getWidth();
    node->designX = designX;
    node->designY = nodeRowY + nodeRowStep * channel;
    node->designYOffset = 0;
    node->isDestination = destination;
    node->addMouseListener (this, false);
}

void FlexrouteDialog::configImageToggleButtons (VelkImageButton* button, int x, int y,
                                                juce::Image& normalImage, juce::Image& overImage,
                                                juce::Image& downImage)
{
    if (button == nullptr)
        return;

    button->setImages (true, true, true,
                       normalImage, 1.0f, juce::Colours::transparentWhite,
                       overImage, 1.0f, juce::Colours::transparentWhite,
                       downImage, 1.0f, juce::Colours::transparentBlack,
                       0.0f);
    button->setClickingTogglesState (true);
    button->setToggleState (false, juce::dontSendNotification);
    addAndMakeVisible (button);
    button->addListener (this);

    auto hasSize = [] (const juce::Image& im) { return im.isValid() && im.getWidth() > 0 && im.getHeight() > 0; };
    const juce::Image& sizeImage = hasSize (normalImage) ? normalImage
                                 : hasSize (overImage)   ? overImage
                                                         : downImage;

    button->designHeight = sizeImage.getHeight();
    button->designWidth = sizeImage.getWidth();
    button->designX = x;
    button->designY = y;
    button->designYOffset = 0;

    button->setSize (button->designWidth, button->designHeight);
    button->setTopLeftPosition (x, y);
    button->setAlwaysOnTop (true);
}

template <typename Fn>
void FlexrouteDialog::forEachNode (Fn&& fn) const
{
    for (auto* list : { &physicInNodes, &wdmInNodes, &wdmOutNodes, &asioInNodes, &asioOutNodes })
        for (auto* node : *list)
            fn (*node);
}

VelkFRButton* FlexrouteDialog::findNode (int kind, int channel, bool destination) const noexcept
{
    const juce::OwnedArray<VelkFRButton>* list = nullptr;

    switch (kind)
    {
        case kindWdm:           list = destination ? &wdmInNodes : &wdmOutNodes; break;
        case kindAsio:          list = destination ? &asioInNodes : &asioOutNodes; break;
        case kindPhysicalInput: list = destination ? nullptr : &physicInNodes; break;
        default: break;
    }

    return list != nullptr ? (*list)[channel] : nullptr;
}

//==============================================================================
void FlexrouteDialog::clearPendingWire() noexcept
{
    dragStart = {};
    dragControl = {};
    dragEnd = {};
    dragStartNode = nullptr;
    pickedWire = nullptr;
}

void FlexrouteDialog::clearFRConnections()
{
    muteAsioToggle->setToggleState (false, juce::dontSendNotification);
    muteWdmToggle->setToggleState (false, juce::dontSendNotification);
    mixVirtual12Toggle->setToggleState (false, juce::dontSendNotification);
    mixVirtual34Toggle->setToggleState (false, juce::dontSendNotification);

    deleteAllWires();
    repaint();
    resized();
}

void FlexrouteDialog::deleteAllWires()
{
    // A wire picked by a press that is still held goes too; forget it, or the
    // next drag would empty a deleted wire.
    pickedWire = nullptr;
    wires.clear (true);

    for (auto* list : { &physicInNodes, &wdmOutNodes, &asioOutNodes })
        for (auto* node : *list)
            node->occupied = false;
}

void FlexrouteDialog::fillUpMixer()
{
    clearMixerState (mixerState);

    auto inTable = [] (const VelkFRButton& n)
    {
        return n.kind >= 0 && n.kind < DeviceMixerState::numKinds
            && n.channel >= 0 && n.channel < DeviceMixerState::numChannels;
    };

    for (auto* wire : wires)
    {
        // A wire emptied by a drag has no ends and adds nothing.
        if (wire->sourceEnd == nullptr || wire->destinationEnd == nullptr)
            continue;

        auto& first = *wire->sourceEnd;
        auto& second = *wire->destinationEnd;
        auto& source = first.occupied ? first : second;
        auto& destination = second.occupied ? first : second;

        if (! inTable (source) || ! inTable (destination))
            continue;

        auto& entry = mixerState.entries[source.kind][source.channel];
        entry.routed = 1;
        entry.targetKind = destination.kind;
        entry.targetChannel = destination.channel;
        entry.muted = 0;

        if (source.kind == kindAsio && muteAsioToggle->getToggleState())
            entry.muted = 1;

        if (source.kind == kindWdm && muteWdmToggle->getToggleState())
        {
            entry.muted = 1;
            mixerState.entries[kindWdmAux][source.channel].muted = 1;
        }

        mixerState.entries[destination.kind][destination.channel].feedCount += destination.isDestination ? 1 : 0;
    }
}

//==============================================================================
FlexrouteSettings FlexrouteDialog::getSettings() const
{
    FlexrouteSettings settings;

    for (auto* wire : wires)
        if (wire->sourceEnd != nullptr && wire->destinationEnd != nullptr)
            settings.wires.push_back ({ wire->sourceEnd->kind, wire->sourceEnd->channel,
                                        wire->destinationEnd->kind, wire->destinationEnd->channel });

    settings.muteWdm = muteWdmToggle->getToggleState();
    settings.muteAsio = muteAsioToggle->getToggleState();
    settings.mixVirtual12 = mixVirtual12Toggle->getToggleState();
    settings.mixVirtual34 = mixVirtual34Toggle->getToggleState();
    return settings;
}

bool FlexrouteDialog::applySettings (const FlexrouteSettings& settings)
{
    clearPendingWire();
    deleteAllWires();

    bool allApplied = true;

    for (const auto& w : settings.wires)
    {
        auto* source = findNode (w.sourceKind, w.sourceChannel, false);
        auto* destination = findNode (w.destinationKind, w.destinationChannel, true);

        if (source == nullptr || destination == nullptr || source->occupied)
        {
            allApplied = false;
            continue;
        }

        auto* wire = wires.add (new VelkFRConnectionPath());
        wire->setAPath (source, destination, controlPointBetweenCorners (*source, *destination));
    }

    muteWdmToggle->setToggleState (settings.muteWdm, juce::dontSendNotification);
    muteAsioToggle->setToggleState (settings.muteAsio, juce::dontSendNotification);
    mixVirtual12Toggle->setToggleState (settings.mixVirtual12, juce::dontSendNotification);
    mixVirtual34Toggle->setToggleState (settings.mixVirtual34, juce::dontSendNotification);

    fillUpMixer();
    repaint();
    return allApplied;
}

//==============================================================================
juce::Point<float> FlexrouteDialog::controlPointBetweenCorners (const VelkFRButton& a, const VelkFRButton& b)
{
    const auto pa = a.getPosition();
    const auto pb = b.getPosition();
    double d = (double) (int) std::hypot ((double) (pb.x - pa.x), (double) (pb.y - pa.y)) * 0.5;

    if (pb.x < pa.x)
        d = -d;

    return { (float) (pa.x + d), (float) (pa.y + 20) };
}

void FlexrouteDialog::resized()
{
    if (getWidth() <= 0 || getHeight() <= 0)
        return;

    backgroundImage = rescaledPicture (cachedPicture (backgroundData, backgroundDataSize), getWidth(), getHeight());

    // Without a design size (a picture that did not decode) there is nothing
    // to scale against; keep the children where they are.
    if (backgroundDesignWidth <= 0.0 || backgroundDesignHeight <= 0.0)
        return;

    const double sx = getWidth() / backgroundDesignWidth;
    const double sy = getHeight() / backgroundDesignHeight;

    for (auto* toggle : { muteWdmToggle.get(), muteAsioToggle.get(), mixVirtual12Toggle.get(), mixVirtual34Toggle.get() })
        toggle->setBounds (scaledDesignBounds (toggle->designX, toggle->designY, toggle->designWidth,
                                               toggle->designHeight, toggle->designYOffset, sx, sy));

    forEachNode ([sx, sy] (VelkFRButton& n)
    {
        n.setBounds (scaledDesignBounds (n.designX, n.designY, n.designWidth, n.designHeight, n.designYOffset, sx, sy));
    });

    for (auto* wire : wires)
    {
        auto* a = wire->sourceEnd;
        auto* b = wire->destinationEnd;

        if (a != nullptr && b != nullptr)
            wire->setAPath (a, b, controlPointBetweenCorners (*a, *b));
    }
}

void FlexrouteDialog::paint (juce::Graphics& g)
{
    if (backgroundImage.isValid())
        g.drawImageAt (backgroundImage, 0, 0);
}

void FlexrouteDialog::paintOverChildren (juce::Graphics& g)
{
    const juce::PathStrokeType stroke (5.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt);

    for (auto* wire : wires)
    {
        g.setColour (wire->colour);
        g.fillEllipse (nodeBounds (wire->sourceEnd));
        g.fillEllipse (nodeBounds (wire->destinationEnd));
        g.strokePath (wire->path, stroke);
    }

    g.setColour (juce::Colours::orange);
    juce::Path pending;
    pending.startNewSubPath (dragStart);
    pending.quadraticTo (dragControl, dragEnd);
    g.strokePath (pending, stroke);
}

void FlexrouteDialog::buttonClicked (juce::Button*)
{
    fillUpMixer();
}

//==============================================================================
VelkFRButton* FlexrouteDialog::nodeOf (const juce::MouseEvent& e) const noexcept
{
    auto* node = dynamic_cast<VelkFRButton*> (e.eventComponent);
    return node != nullptr && node->getName().isNotEmpty() ? node : nullptr;
}

VelkFRConnectionPath* FlexrouteDialog::wireAt (juce::Point<float> p, float halfLength) const
{
    const juce::Line<float> segment (p.x, p.y - halfLength, p.x, p.y + halfLength);

    for (auto* wire : wires)
        if (wire->checkIntersectionWithPath (segment))
            return wire;

    return nullptr;
}

void FlexrouteDialog::mouseMove (const juce::MouseEvent&) {}

void FlexrouteDialog::mouseDown (const juce::MouseEvent& e)
{
    clearPendingWire();
    const auto p = e.getEventRelativeTo (this).position;

    if (auto* node = nodeOf (e))
    {
        dragStart = dragControl = dragEnd = p;
        dragStartNode = node;

        // A source carries one wire at most.
        if (node->occupied)
            clearPendingWire();
    }
    else if (! wires.isEmpty())
    {
        if (auto* wire = wireAt (p, 5.0f))
        {
            wire->startTimer (200);
            wire->restoreColour = wire->colour;
            wire->colour = juce::Colours::blueviolet;
            wire->onFlashEnd = [this] { repaint(); };

            if (wire->sourceEnd != nullptr)
            {
                dragStart = dragControl = dragEnd = wire->sourceEnd->getPosition().toFloat();
                dragStartNode = wire->sourceEnd;
                pickedWire = wire;
            }
        }
    }

    repaint();
}

void FlexrouteDialog::mouseDrag (const juce::MouseEvent& e)
{
    if (dragStartNode == nullptr)
        return;

    if (nodeOf (e) == nullptr && (dragStart.x == 0.0f || dragStart.y == 0.0f))
        return;

    // The picked wire gives up its route; it stays in the list, empty.
    if (pickedWire != nullptr)
        emptyWire (*pickedWire);

    const auto q = e.getEventRelativeTo (this).position;
    dragEnd = q;

    double d = (double) std::hypotf (q.x - dragStart.x, q.y - dragStart.y) * 0.5;
    if (dragStart.x > q.x)
        d = -d;

    dragControl = { (float) (dragStart.x + d), dragStart.y + 20.0f };
    repaint();
}

void FlexrouteDialog::mouseUp (const juce::MouseEvent& e)
{
    for (auto* wire : wires)
    {
        wire->stopTimer();
        wire->colour = wire->restoreColour;
    }

    const auto p = e.getEventRelativeTo (this).position;
    const juce::Point<int> released ((int) p.x, (int) p.y);
    auto* under = getComponentAt (released.toFloat());

    if (under == this || (under != nullptr && under == dragStartNode))
    {
        clearPendingWire();
        fillUpMixer();
    }

    repaint();
}

void FlexrouteDialog::mouseEnter (const juce::MouseEvent& e)
{
    auto* node = nodeOf (e);

    // Neither end may be a source that already carries its wire. The start
    // is one when a picked wire was released without being dragged off it
    // at a spot that the release test puts over a node or toggle.
    if (dragStartNode != nullptr
        && ! isMouseButtonDown (false)
        && node != nullptr
        && node->isDestination != dragStartNode->isDestination
        && ! node->occupied
        && ! dragStartNode->occupied
        && dragStart.x != 0.0f && dragStart.y != 0.0f)
    {
        auto* wire = new VelkFRConnectionPath();
        wire->setAPath (dragStartNode, node, dragControl);
        wires.add (wire);
        fillUpMixer();
    }

    // Completed or dropped: the pending curve goes and the new wire shows. The
    // release before this one repainted while the wire was still pending.
    const bool wasPending = dragStartNode != nullptr;
    clearPendingWire();

    if (wasPending)
        repaint();
}

void FlexrouteDialog::mouseDoubleClick (const juce::MouseEvent& e)
{
    clearPendingWire();

    if (wires.isEmpty())
        return;

    auto* wire = wireAt (e.getEventRelativeTo (this).position, 10.0f);

    if (wire == nullptr)
        return;

    emptyWire (*wire);
    wires.removeObject (wire, true);

    fillUpMixer();
}
