// The Flexroute routing editor: the routing picture with 26 port nodes and
// four image toggles. The user draws wires from sources to destinations with
// the mouse; after every change the editor rebuilds its own routing record.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <vector>

#include "controls/VelkImageButton.h"
#include "routing/DeviceMixerState.h"
#include "routing/VelkFRButton.h"
#include "routing/VelkFRConnectionPath.h"

// The images the editor is built with, cut by its owner from the unlit and the
// lit routing pictures (both 524 x 442).
struct FlexrouteImages
{
    juce::Image nodeHighlight;      // lit (99, 159, 18, 18): over image of every node
    juce::Image muteNormal;         // unlit (182, 73, 47, 30)
    juce::Image muteOver;           // lit (356, 73, 47, 30)
    juce::Image muteDown;           // lit (182, 73, 47, 30)
    juce::Image mixVirtual12Normal; // unlit (22, 390, 155, 31)
    juce::Image mixVirtual12Down;   // lit (22, 390, 155, 31)
    juce::Image mixVirtual34Normal; // unlit (189, 390, 155, 31)
    juce::Image mixVirtual34Down;   // lit (189, 390, 155, 31)

    // Cuts every image above from the two pictures (getClippedImage: the
    // cut-outs share the pictures' pixels).
    static FlexrouteImages cutFrom (const juce::Image& unlitPicture, const juce::Image& litPicture);
};

// One wire as a preset stores it: a source port and a destination port.
struct FlexrouteWire
{
    int sourceKind = 0;
    int sourceChannel = 0;
    int destinationKind = 0;
    int destinationChannel = 0;

    bool operator== (const FlexrouteWire& o) const noexcept
    {
        return sourceKind == o.sourceKind && sourceChannel == o.sourceChannel
            && destinationKind == o.destinationKind && destinationChannel == o.destinationChannel;
    }
};

// Everything a routing preset holds: the wires (in drawing order) and the
// four toggle states.
struct FlexrouteSettings
{
    std::vector<FlexrouteWire> wires;
    bool muteWdm = false;
    bool muteAsio = false;
    bool mixVirtual12 = false;
    bool mixVirtual34 = false;
};

// Typical owner code:
//
//     auto unlit = juce::ImageCache::getFromMemory (VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size);
//     auto lit   = juce::ImageCache::getFromMemory (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size);
//     auto editor = std::make_unique<FlexrouteDialog> (VELKBIN::temp_binary_data_18,
//                                                      VELKBIN::temp_binary_data_18Size,
//                                                      FlexrouteImages::cutFrom (unlit, lit));
//
// The editor sizes itself to the picture (524 x 442) and lays itself out; it
// can then be the owned content of a resizable window, which lays it out
// again at every size. It sends no action messages.
class FlexrouteDialog : public juce::Component,
                        public juce::Button::Listener,
                        public juce::ActionBroadcaster
{
public:
    // backgroundData/backgroundDataSize: the embedded unlit routing picture
    // (PNG bytes that stay valid for the editor's life); it is decoded through
    // juce::ImageCache here and again on every layout, and its size is the
    // design size. The editor ends up sized to that design size and laid out.
    FlexrouteDialog (const void* backgroundData, int backgroundDataSize, const FlexrouteImages& images);
    ~FlexrouteDialog() override;

    // Sets up one toggle: images, toggle mode (off), listener, design
    // rectangle from the first image with a size, and placement at (x, y).
    void configImageToggleButtons (VelkImageButton* button, int x, int y,
                                   juce::Image& normalImage, juce::Image& overImage, juce::Image& downImage);

    // Removes every wire, switches every toggle off (without notification),
    // frees the source nodes, repaints and lays out again. Does not rebuild
    // the routing record.
    void clearFRConnections();

    // Rebuilds the routing record in full from the wires and the two mute toggles.
    void fillUpMixer();

    //==========================================================================
    // Presets. getSettings() reads the current wires (emptied wires left out)
    // and the four toggle states. applySettings() replaces all wires and the
    // toggle states (without button notifications), then rebuilds the record
    // and repaints. A wire whose ports do not exist, whose source is given
    // twice or whose roles do not fit is left out; the result is false then.
    FlexrouteSettings getSettings() const;
    bool applySettings (const FlexrouteSettings& settings);

    //==========================================================================
    // Read access for owners and tests.
    const DeviceMixerState& getMixerState() const noexcept { return mixerState; }
    const juce::OwnedArray<VelkFRConnectionPath>& getWires() const noexcept { return wires; }

    // The node of a port, or null when there is none.
    VelkFRButton* findNode (int kind, int channel, bool destination) const noexcept;

    VelkImageButton& getMuteWdmToggle() const noexcept      { return *muteWdmToggle; }
    VelkImageButton& getMuteAsioToggle() const noexcept     { return *muteAsioToggle; }
    VelkImageButton& getMixVirtual12Toggle() const noexcept { return *mixVirtual12Toggle; }
    VelkImageButton& getMixVirtual34Toggle() const noexcept { return *mixVirtual34Toggle; }

    // The node where a pending wire starts, or null when none is pending.
    VelkFRButton* getPendingStartNode() const noexcept { return dragStartNode; }

    //==========================================================================
    void mouseMove (const juce::MouseEvent&) override;
    void mouseEnter (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void paintOverChildren (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

private:
    void createNode (juce::OwnedArray<VelkFRButton>& list, int kind, int channel, const juce::String& prefix,
                     int designX, bool destination, juce::Image& highlight);
    void clearPendingWire() noexcept;
    void deleteAllWires();
    VelkFRButton* nodeOf (const juce::MouseEvent&) const noexcept;
    VelkFRConnectionPath* wireAt (juce::Point<float> p, float halfLength) const;
    static juce::Point<float> controlPointBetweenCorners (const VelkFRButton& a, const VelkFRButton& b);
    template <typename Fn> void forEachNode (Fn&& fn) const;

    juce::OwnedArray<VelkFRConnectionPath> wires;
    juce::OwnedArray<VelkFRButton> physicInNodes;
    juce::OwnedArray<VelkFRButton> wdmInNodes;
    juce::OwnedArray<VelkFRButton> wdmOutNodes;
    juce::OwnedArray<VelkFRButton> asioInNodes;
    juce::OwnedArray<VelkFRButton> asioOutNodes;
    juce::Point<float> dragStart;
    juce::Point<float> dragControl;
    juce::Point<float> dragEnd;
    double backgroundDesignWidth = 0.0;
    double backgroundDesignHeight = 0.0;
    juce::Image backgroundImage;
    VelkFRButton* dragStartNode = nullptr;
    VelkFRConnectionPath* pickedWire = nullptr;
    std::unique_ptr<VelkImageButton> muteWdmToggle;
    std::unique_ptr<VelkImageButton> muteAsioToggle;
    std::unique_ptr<VelkImageButton> mixVirtual12Toggle;
    std::unique_ptr<VelkImageButton> mixVirtual34Toggle;
    const unsigned char* backgroundData = nullptr;
    int backgroundDataSize = 0;
    DeviceMixerState mixerState {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FlexrouteDialog)
};
