// The panel's construction, destruction, layout, painting and settings.
#include "panel/MainComponent.h"
#include "panel/AboutWindow.h"
#include "panel/MainMenu.h"
#include "panel/PanelDialogWindow.h"
#include "panel/StderrTrace.h"
#include "controls/VelkImageButton.h"
#include "controls/PicturePrefetch.h"
#include "controls/VelkImageScaling.h"
#include "routing/FRDialog.h"
#include "VelkBinaryData.h"

#include <cstdio>
#include <future>
#include <system_error>
#include <sys/stat.h>


std::unique_ptr<juce::ApplicationCommandManager> applicationCommandManager;

namespace
{
juce::ApplicationCommandManager& getOrCreateCommandManager()
{
    if (applicationCommandManager == nullptr)
        applicationCommandManager = std::make_unique<juce::ApplicationCommandManager>();

    return *applicationCommandManager;
}

// The version of the running application; outside an application (tests)
// the version this build was made as.
juce::String applicationVersion()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        return app->getApplicationVersion();

    return "2.0.0.0";
}

// A child's place on the panel as fractions of the panel picture.
struct Fractions
{
    float x, y, w, h;
};

constexpr Fractions fractions44  { 0.575342f, 0.234483f, 0.324201f, 0.0810345f };
constexpr Fractions fractions48  { 0.584475f, 0.325862f, 0.315068f, 0.0775862f };
constexpr Fractions fractions88  { 0.577626f, 0.415517f, 0.312785f, 0.0758621f };
constexpr Fractions fractions96  { 0.579909f, 0.501724f, 0.310502f, 0.0793103f };
constexpr Fractions fractions176 { 0.577626f, 0.596552f, 0.324201f, 0.0741379f };
constexpr Fractions fractions192 { 0.577626f, 0.684483f, 0.315068f, 0.0793103f };
constexpr Fractions fractionsMute { 0.175799f, 0.875862f, 0.191781f, 0.0810345f };
constexpr Fractions fractionsLeftLabel { 0.0844749f, 0.793103f, 0.184932f, 0.0603448f };
constexpr Fractions fractionsRightLabel { 0.271689f, 0.794828f, 0.196347f, 0.0586207f };
// The printed "FLEXROUTE" under the maker's mark, with a margin round it.
constexpr Fractions fractionsRoutingLegend { 0.630137f, 0.9f, 0.219178f, 0.0310345f };

// Products in single precision, truncated toward zero.
juce::Rectangle<int> placeByFractions (const Fractions& f, float width, float height, int yOffset)
{
    return { (int) (f.x * width),
             (int) (f.y * height) + yOffset,
             (int) (f.w * width),
             (int) (f.h * height) };
}

// The backgrounds of one size class.
struct SizeClass
{
    const char* word;
    const unsigned char* normalData;
    int normalSize;
    const unsigned char* downData;
    int downSize;
};

SizeClass sizeClassForWidth (int width)
{
    if (width <= 228)
        return { "klein", VELKBIN::temp_binary_data_2, VELKBIN::temp_binary_data_2Size,
                 VELKBIN::temp_binary_data_3, VELKBIN::temp_binary_data_3Size };

    if (width <= 329)
        return { "mittel", VELKBIN::temp_binary_data_8, VELKBIN::temp_binary_data_8Size,
                 VELKBIN::temp_binary_data_9, VELKBIN::temp_binary_data_9Size };

    return { "gross", VELKBIN::temp_binary_data_14, VELKBIN::temp_binary_data_14Size,
             VELKBIN::temp_binary_data_15, VELKBIN::temp_binary_data_15Size };
}

// The picture rescaled to width x height as a private image: at the picture's
// own size rescaling hands back the (cached) source itself, so copy that.
juce::Image rescaledCopy (const juce::Image& source, int width, int height)
{
    auto scaled = rescaledPicture (source, width, height);
    return scaled == source ? scaled.createCopy() : scaled;
}
} // namespace

//==============================================================================
MainComponent::MainComponent()
    : rateButton44 (std::make_unique<juce::ImageButton> ("44")),
      rateButton48 (std::make_unique<juce::ImageButton> ("48")),
      rateButton88 (std::make_unique<juce::ImageButton> ("88")),
      rateButton96 (std::make_unique<juce::ImageButton> ("96")),
      rateButton176 (std::make_unique<juce::ImageButton> ("176")),
      rateButton192 (std::make_unique<juce::ImageButton> ("192")),
      muteButton (std::make_unique<juce::ImageButton> ("MuteOut")),
      sliderGroup (std::make_unique<SliderStereoGroup>()),
      leftLevelLabel (std::make_unique<juce::Label>()),
      rightLevelLabel (std::make_unique<juce::Label>()),
      levelMeter1 (std::make_unique<LevelMeter2>()),
      levelMeter2 (std::make_unique<LevelMeter2>()),
      menuBar (std::make_unique<juce::MenuBarComponent> (this)),
      menuLookAndFeel (std::make_unique<PopupMenuLookandFeel>())
{
    // Settings store: the folder name is absolute, so the file lies in the
    // folder "Quibra" of the user application-data directory.
    {
        juce::PropertiesFile::Options options;
        options.applicationName = "Quibra";
        options.filenameSuffix = ".settings";
        options.folderName = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                                 .getChildFile ("Quibra")
                                 .getFullPathName();
        options.osxLibrarySubFolder = "Application Support";
        options.commonToAllUsers = false;
        options.ignoreCaseOfKeyNames = false;
        options.doNotSave = false;
        options.millisecondsBeforeSaving = 3000;
        options.storageFormat = juce::PropertiesFile::storeAsXML;
        options.processLock = nullptr;

        // Reading a path that is no plain file could block for good (a FIFO).
        const auto file = options.getDefaultFile();
        struct stat st {};
        if (::stat (file.getFullPathName().toRawUTF8(), &st) == 0 && ! S_ISREG (st.st_mode))
            keepSettingsFileAside (file);

        appProperties.setStorageParameters (options);

        // A file the store cannot read would be replaced by the next save,
        // with every key that it held.
        if (auto* settings = appProperties.getUserSettings())
            if (! settings->isValidFile() && file.getSize() > 0)
                keepSettingsFileAside (file);
    }

    // A click on the panel's own picture hands the keyboard to no button:
    // otherwise the first rate button would take it unseen, and Return or
    // space would then set the interface to 44.1 kHz.
    setMouseClickGrabsKeyboardFocus (false);

    // Command manager: its key mappings listen to the panel's keys, and the
    // menu model follows its changes.
    addKeyListener (getOrCreateCommandManager().getKeyMappings());
    setApplicationCommandManagerToWatch (&getOrCreateCommandManager());

    // Menu.
    addAndMakeVisible (menuBar.get());
    menuBarHeight = installMainMenu (*menuBar, this, menuLookAndFeel.get());

    buildDialogWindows();

    // The large background sets the design size; resized() makes the
    // backgrounds for the panel's size from it.
    const auto designBackground = cachedPicture (VELKBIN::temp_binary_data_14, VELKBIN::temp_binary_data_14Size);
    backgroundDesignWidth = (double) designBackground.getWidth();
    backgroundDesignHeight = (double) designBackground.getHeight();
    setSize (designBackground.getWidth(), designBackground.getHeight() + menuBarHeight);

    for (auto* button : { rateButton44.get(), rateButton48.get(), rateButton88.get(),
                          rateButton96.get(), rateButton176.get(), rateButton192.get() })
    {
        button->setClickingTogglesState (true);
        addAndMakeVisible (button);
        button->setRadioGroupId (1001);
        button->addListener (this);
        button->setEnabled (true);
    }

    muteButton->setClickingTogglesState (true);
    addAndMakeVisible (muteButton.get());
    muteButton->addListener (this);
    muteButton->setEnabled (true);

    // Fader pair.
    sliderGroup->setName ("sliderOutGroup");
    faderLookAndFeel.linkedThumbSource = cachedPicture (VELKBIN::temp_binary_data_13, VELKBIN::temp_binary_data_13Size);
    faderLookAndFeel.currentThumbSource = cachedPicture (VELKBIN::temp_binary_data_12, VELKBIN::temp_binary_data_12Size);
    faderLookAndFeel.unlinkedThumbSource = cachedPicture (VELKBIN::temp_binary_data_12, VELKBIN::temp_binary_data_12Size);
    faderLookAndFeel.thumbDesignWidth = 22;
    faderLookAndFeel.thumbDesignHeight = 33;

    sliderGroup->leftSliderDesign.height = 321;
    sliderGroup->leftSliderDesign.width = 25;
    sliderGroup->leftSliderDesign.x = 0;
    sliderGroup->leftSliderDesign.y = 9;
    sliderGroup->rightSliderDesign.height = 321;
    sliderGroup->rightSliderDesign.width = 25;
    sliderGroup->rightSliderDesign.x = 30;
    sliderGroup->rightSliderDesign.y = 9;
    sliderGroup->leftSliderBounds.x = 0;
    sliderGroup->leftSliderBounds.y = 9;
    sliderGroup->leftSliderBounds.height = 321;
    sliderGroup->leftSliderBounds.width = 25;
    sliderGroup->rightSliderBounds.x = 30;
    sliderGroup->rightSliderBounds.y = 9;
    sliderGroup->rightSliderBounds.height = 321;
    sliderGroup->rightSliderBounds.width = 25;

    addAndMakeVisible (sliderGroup.get());

    for (auto* slider : { &sliderGroup->leftSlider, &sliderGroup->rightSlider })
    {
        slider->setColour (juce::Slider::backgroundColourId, juce::Colour::fromRGBA (150, 151, 152, 0));
        slider->setColour (juce::Slider::trackColourId, juce::Colour::fromRGBA (22, 24, 26, 0));
        slider->setSliderStyle (juce::Slider::LinearVertical);
        slider->setRange (-64.0, 0.0, 1.0);
        slider->setTextBoxStyle (juce::Slider::NoTextBox, false, 1, 1);
        slider->setValue (0.0, juce::dontSendNotification);
        slider->setLookAndFeel (&faderLookAndFeel);
    }

    sliderGroup->lastLeftValue = 0.0;
    sliderGroup->lastRightValue = 0.0;
    sliderGroup->doubleClickValue = 0.0;
    sliderGroup->sliderLookAndFeel = &faderLookAndFeel;
    sliderGroup->addActionListener (this);
    sliderGroup->designHeight = 340;
    sliderGroup->designWidth = 65;
    sliderGroup->designX = 93;
    sliderGroup->designY = 119;
    sliderGroup->designYOffset = menuBarHeight;
    sliderGroup->setSize (65, 340);
    sliderGroup->setTopLeftPosition (93, 119);

    // Labels.
    addAndMakeVisible (rightLevelLabel.get());
    addAndMakeVisible (leftLevelLabel.get());

    for (auto* label : { leftLevelLabel.get(), rightLevelLabel.get() })
    {
        label->setText ({}, juce::dontSendNotification);
        label->setLookAndFeel (&dbLabelLookAndFeel);
        label->setJustificationType (juce::Justification::centred);
    }

    RegisterDeviceCallBacks (this, &MainComponent::OnApiCallback);

    resized();
    enabledButtons (false);
}

std::vector<PicturePrefetch::Source> MainComponent::picturesDecodedWhenBuilt()
{
    using namespace VELKBIN;
    // Routing editor, the design-size backgrounds (the panel is laid out at
    // that size first), About, fader thumbs and the About close button.
    return { { temp_binary_data_19, temp_binary_data_19Size }, { temp_binary_data_18, temp_binary_data_18Size },
             { temp_binary_data_15, temp_binary_data_15Size }, { temp_binary_data_14, temp_binary_data_14Size },
             { temp_binary_data_22, temp_binary_data_22Size }, { temp_binary_data_13, temp_binary_data_13Size },
             { temp_binary_data_12, temp_binary_data_12Size }, { temp_binary_data_23, temp_binary_data_23Size },
             { temp_binary_data_21, temp_binary_data_21Size } };
}

void MainComponent::buildDialogWindows()
{
    // Routing editor and its window.
    const auto routingPicture = cachedPicture (VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size);
    const auto routingPictureLit = cachedPicture (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size);

    flexrouteDialog = std::make_unique<FlexrouteDialog> (VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size,
                                                         FlexrouteImages::cutFrom (routingPicture, routingPictureLit));
    flexrouteDialog->addActionListener (this);

    // The window starts at seven tenths of the picture and keeps between half
    // and twice its size, at its ratio.
    const int w = routingPicture.getWidth();
    const int h = routingPicture.getHeight();
    std::optional<WindowSizeRules> routingRules;
    std::optional<juce::Point<int>> routingSize;

    if (w > 0 && h > 0)
    {
        const double aspect = (double) w / h;
        routingRules = WindowSizeRules { juce::roundToInt (w / 2.0), juce::roundToInt (h / 2.0),
                                         juce::roundToInt (2.0 * w), juce::roundToInt (2.0 * w / aspect), w, h };
        routingSize = juce::Point<int> ((int) (0.7 * w), (int) (0.7 * h));
    }

    {
        juce::DialogWindow::LaunchOptions options;
        options.dialogTitle = "FlexROUTE";
        options.content.setOwned (flexrouteDialog.get());
        options.escapeKeyTriggersCloseButton = true;
        options.useNativeTitleBar = true;
        options.resizable = true;
        options.componentToCentreAround = nullptr;
        auto window = std::make_unique<PanelDialogWindow> (options, routingRules, routingSize);
        window->setOwner (this);
        flexrouteWindow = std::move (window);
    }

    // About window.
    aboutWindow = std::make_unique<AboutWindow> ("Quibra eX" + juce::String (" v") + applicationVersion());

    {
        juce::DialogWindow::LaunchOptions options;
        options.dialogTitle = "About Quibra";
        options.content.setOwned (aboutWindow.get());
        options.escapeKeyTriggersCloseButton = true;
        options.useNativeTitleBar = true;
        options.resizable = false;
        auto window = std::make_unique<PanelDialogWindow> (options, std::nullopt);
        window->setOwner (this);
        aboutDialogWindow = std::move (window);
    }
}

MainComponent::~MainComponent()
{
    // No device event may reach this panel any more. The message thread holds
    // the message-manager lock here, so a callback waiting for that lock sees
    // the cleared owner once it gets it.
    releaseOwner (mydeviceStruct, this);
    stopTimer (timerChangeGuard);
    stopTimer (timerRefreshFromDevice);

    removeMainMenu (*menuBar);

    flexrouteDialog = nullptr;
    flexrouteWindow = nullptr;

    juce::PopupMenu::dismissAllActiveMenus();

    menuBar->setLookAndFeel (nullptr);
    sliderGroup->removeLookAndFeel();
    leftLevelLabel->setLookAndFeel (nullptr);
    rightLevelLabel->setLookAndFeel (nullptr);

    menuBar = nullptr;

    aboutWindow = nullptr;
    aboutDialogWindow = nullptr;

    for (auto* meter : { levelMeter1.get(), levelMeter2.get() })
    {
        meter->levelSource = nullptr;
        meter->currentLevel = 0;
    }

    setApplicationCommandManagerToWatch (nullptr);

    if (applicationCommandManager != nullptr)
        removeKeyListener (applicationCommandManager->getKeyMappings());

    applicationCommandManager = nullptr;
}

void MainComponent::visibilityChanged() {}

void MainComponent::menuBarActivated (bool) {}

juce::Array<juce::ImageButton*> MainComponent::panelButtons() const
{
    return { rateButton44.get(), rateButton48.get(), rateButton88.get(), rateButton96.get(),
             rateButton176.get(), rateButton192.get(), muteButton.get() };
}

juce::Rectangle<int> MainComponent::routingLegendArea() const
{
    return placeByFractions (fractionsRoutingLegend, (float) getWidth(),
                             (float) (getHeight() - juce::jmin (menuBarHeight, getHeight())), menuBarHeight);
}

//==============================================================================
void MainComponent::paint (juce::Graphics& g)
{
    if (backgroundNormal.isValid())
        g.drawImageAt (backgroundNormal, 0, menuBarHeight);
}

void MainComponent::resized()
{
    const int w = getWidth();
    const int h = getHeight();
    const int m = menuBarHeight;
    const int contentHeight = h - juce::jmin (m, h);

    // Backgrounds of the size class, rescaled to the panel.
    if (w > 0 && h > 0 && contentHeight > 0)
    {
        const auto sizeClass = sizeClassForWidth (w);
        const auto downBackground = [sizeClass, w, contentHeight]
        {
            return rescaledCopy (cachedPicture (sizeClass.downData, sizeClass.downSize), w, contentHeight);
        };

        // The two are decoded (when the cache no longer holds them) and
        // rescaled side by side: the lit one on a thread of its own.
        std::future<juce::Image> down;
        try
        {
            down = std::async (std::launch::async, downBackground);
        }
        catch (const std::system_error&)
        {
        }

        backgroundNormal = rescaledCopy (cachedPicture (sizeClass.normalData, sizeClass.normalSize), w, contentHeight);
        backgroundDown = down.valid() ? down.get() : downBackground();

        writeStderrTrace (juce::String (sizeClass.word) + "\n");
    }

    if (menuBar != nullptr)
        menuBar->setBounds (0, 0, w, juce::jmin (m, h));

    const double sx = backgroundDesignWidth > 0.0 ? w / backgroundDesignWidth : 0.0;
    const double sy = backgroundDesignHeight > 0.0 ? (h - m) / backgroundDesignHeight : 0.0;

    const auto W = (float) w;
    const auto H = (float) contentHeight;

    rateButton44->setBounds (placeByFractions (fractions44, W, H, m));
    rateButton48->setBounds (placeByFractions (fractions48, W, H, m));
    rateButton88->setBounds (placeByFractions (fractions88, W, H, m));
    rateButton96->setBounds (placeByFractions (fractions96, W, H, m));
    rateButton176->setBounds (placeByFractions (fractions176, W, H, m));
    rateButton192->setBounds (placeByFractions (fractions192, W, H, m));
    muteButton->setBounds (placeByFractions (fractionsMute, W, H, m));

    // Faders inside the pair, scaled from their design rectangles.
    // The right fader shares the left one's top and size.
    const auto& leftDesign = sliderGroup->leftSliderDesign;
    const auto fader = scaledDesignBounds (leftDesign.x, leftDesign.y, leftDesign.width, leftDesign.height, 0, sx, sy);
    const int faderHeight = fader.getHeight();

    if (faderHeight != 0)
    {
        auto& left = sliderGroup->leftSliderBounds;
        left.x = fader.getX();
        left.y = fader.getY();
        left.height = faderHeight;
        left.width = fader.getWidth();

        auto& right = sliderGroup->rightSliderBounds;
        right = left;
        right.x = roundHalfEven (sliderGroup->rightSliderDesign.x * sx);

        // Thumbs follow the panel's scale.
        if (auto* look = sliderGroup->sliderLookAndFeel)
            look->rescaleThumbs (roundHalfEven (look->thumbDesignWidth * sx),
                                 roundHalfEven (look->thumbDesignHeight * sy));
    }

    // The pair itself.
    const bool thumbsRescaled = faderHeight != 0 && sliderGroup->sliderLookAndFeel != nullptr;
    sliderGroup->setBounds (scaledDesignBounds (sliderGroup->designX, sliderGroup->designY,
                                                sliderGroup->designWidth, sliderGroup->designHeight,
                                                sliderGroup->designYOffset, sx, sy));

    // The thumbs' size sets the faders' travel: let them lay out again even
    // when the pair kept its size.
    if (thumbsRescaled)
    {
        sliderGroup->leftSlider.lookAndFeelChanged();
        sliderGroup->rightSlider.lookAndFeelChanged();
    }

    leftLevelLabel->setBounds (placeByFractions (fractionsLeftLabel, W, H, m));
    rightLevelLabel->setBounds (placeByFractions (fractionsRightLabel, W, H, m));

    // Each button shows its own part of the picture; the lit part when on
    // or pressed. The pictures are drawn below the menu bar.
    for (auto* button : panelButtons())
    {
        const auto area = button->getBounds().translated (0, -m);
        const auto normal = backgroundNormal.getClippedImage (area);
        const auto down = backgroundDown.getClippedImage (area);

        button->setImages (false, true, true,
                           normal, 1.0f, juce::Colours::transparentBlack,
                           normal, 1.0f, juce::Colours::transparentBlack,
                           down, 1.0f, juce::Colours::transparentBlack,
                           0.0f);
    }
}

void MainComponent::enabledButtons (bool enable)
{
    for (auto* button : panelButtons())
        button->setEnabled (enable);

    if (! enable)
    {
        if (aboutDialogWindow != nullptr)
            aboutDialogWindow->setVisible (false);

        for (auto* button : panelButtons())
            button->setToggleState (false, juce::dontSendNotification);

        leftLevelLabel->setText ({}, juce::dontSendNotification);
        rightLevelLabel->setText ({}, juce::dontSendNotification);

        for (auto* meter : { levelMeter1.get(), levelMeter2.get() })
        {
            meter->levelSource = nullptr;
            meter->currentLevel = 0;
        }
    }

    for (juce::Component* c : { static_cast<juce::Component*> (sliderGroup.get()),
                                static_cast<juce::Component*> (levelMeter1.get()),
                                static_cast<juce::Component*> (levelMeter2.get()) })
    {
        c->setEnabled (enable);
        c->setVisible (enable);
    }
}

//==============================================================================
void MainComponent::keepSettingsFileAside (const juce::File& file)
{
    const auto backup = file.getSiblingFile (file.getFileName() + ".unreadable").getNonexistentSibling (false);
    // A plain rename: copying a FIFO would block as reading it does.
    const bool kept = ::rename (file.getFullPathName().toRawUTF8(), backup.getFullPathName().toRawUTF8()) == 0;
    writeStderrTrace ("Quibra: the settings file " + file.getFullPathName() + " cannot be read; "
                      + (kept ? "it is kept as " + backup.getFullPathName() + "." : juce::String ("it cannot be moved aside."))
                      + "\n");
}

//==============================================================================
void MainComponent::savedWindowPosition (juce::String state)
{
    if (auto* settings = appProperties.getUserSettings())
        settings->setValue ("WindowPosition", state);
}
