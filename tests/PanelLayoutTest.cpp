// The panel's construction, layout at its three picture sizes, size words on
// standard error, enabling, and its two dialog windows.
#include "ControlsTestSupport.h"
#include "PanelTestSupport.h"
#include "panel/AboutWindow.h"
#include "routing/FRDialog.h"

using paneltest::PanelWindow;

namespace
{
struct Expected
{
    juce::Rectangle<int> rate44, mute;
    int faderY, faderWidth, faderHeight, rightFaderX;
    int thumbWidth, thumbHeight;
    juce::Rectangle<int> pair;
};

void expectLayout (MainComponent& p, const Expected& e)
{
    const int m = p.menuBarHeight;
    EXPECT_EQ (p.rateButton44->getBounds(), e.rate44.translated (0, m));
    EXPECT_EQ (p.muteButton->getBounds(), e.mute.translated (0, m));

    auto& group = *p.sliderGroup;
    EXPECT_EQ (group.leftSlider.getBounds(), juce::Rectangle<int> (0, e.faderY, e.faderWidth, e.faderHeight));
    EXPECT_EQ (group.rightSlider.getBounds(), juce::Rectangle<int> (e.rightFaderX, e.faderY, e.faderWidth, e.faderHeight));
    EXPECT_EQ (group.getBounds(), e.pair.translated (0, m));

    EXPECT_EQ (p.faderLookAndFeel.currentThumb.getWidth(), e.thumbWidth);
    EXPECT_EQ (p.faderLookAndFeel.currentThumb.getHeight(), e.thumbHeight);
    EXPECT_EQ (p.faderLookAndFeel.linkedThumb.getWidth(), e.thumbWidth);
    EXPECT_EQ (p.faderLookAndFeel.unlinkedThumb.getHeight(), e.thumbHeight);

    // The faders' travel is inset by the thumb's half height, so a thumb at
    // 0 dB stays inside the fader.
    EXPECT_FLOAT_EQ (group.leftSlider.getPositionOfValue (0.0), (float) (e.thumbHeight / 2));
    EXPECT_FLOAT_EQ (group.rightSlider.getPositionOfValue (-64.0), (float) (e.faderHeight - e.thumbHeight / 2));

    // The backgrounds fill the picture area exactly.
    EXPECT_EQ (p.backgroundNormal.getWidth(), p.getWidth());
    EXPECT_EQ (p.backgroundNormal.getHeight(), p.getHeight() - m);
    EXPECT_EQ (p.backgroundDown.getBounds(), p.backgroundNormal.getBounds());
}

juce::String captureStderrOf (const std::function<void()>& action)
{
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}
} // namespace

TEST (PanelLayout, ConstructionWritesGrossTwiceAndStartsDisabled)
{
    std::unique_ptr<PanelWindow> w;
    const auto words = captureStderrOf ([&] { w = std::make_unique<PanelWindow>(); });
    EXPECT_EQ (words, "gross\ngross\n");

    auto& p = *w->panel;
    EXPECT_EQ (p.menuBarHeight, 24); // the in-window menu bar
    EXPECT_EQ (p.getWidth(), 438);
    EXPECT_EQ (p.getHeight(), 580 + p.menuBarHeight);
    EXPECT_EQ (p.backgroundDesignWidth, 438.0);
    EXPECT_EQ (p.backgroundDesignHeight, 580.0);

    for (auto* b : paneltest::allButtons (p))
    {
        EXPECT_FALSE (b->isEnabled()) << b->getName();
        EXPECT_FALSE (b->getToggleState()) << b->getName();
        EXPECT_TRUE (b->isVisible());
        EXPECT_EQ (b->getParentComponent(), &p);
    }
    EXPECT_EQ (p.rateButton44->getRadioGroupId(), 1001);
    EXPECT_EQ (p.muteButton->getRadioGroupId(), 0);
    EXPECT_FALSE (p.sliderGroup->isVisible());
    EXPECT_FALSE (p.sliderGroup->isEnabled());
    EXPECT_EQ (p.sliderGroup->getName(), "sliderOutGroup");
    EXPECT_TRUE (p.leftLevelLabel->getText().isEmpty());
    EXPECT_TRUE (p.rightLevelLabel->getText().isEmpty());
    EXPECT_EQ (p.levelMeter1->getParentComponent(), nullptr);
    EXPECT_EQ (mydeviceStruct.owner, (void*) &p);
    EXPECT_NE (applicationCommandManager, nullptr);

    // The menu bar holds the panel's menus, drawn with the menu look.
    EXPECT_EQ (p.menuBar->getModel(), static_cast<juce::MenuBarModel*> (&p));
    EXPECT_EQ (&p.menuBar->getLookAndFeel(), static_cast<juce::LookAndFeel*> (p.menuLookAndFeel.get()));
    EXPECT_EQ (p.menuBar->getBounds(), juce::Rectangle<int> (0, 0, 438, p.menuBarHeight));

    w->destroy();
    EXPECT_EQ (applicationCommandManager, nullptr);
    EXPECT_EQ (mydeviceStruct.owner, nullptr);
}

TEST (PanelLayout, ExistingCommandManagerIsReused)
{
    applicationCommandManager = std::make_unique<juce::ApplicationCommandManager>();
    auto* existing = applicationCommandManager.get();
    {
        PanelWindow w;
        EXPECT_EQ (applicationCommandManager.get(), existing);
    }
    EXPECT_EQ (applicationCommandManager, nullptr);
}

TEST (PanelLayout, ChildrenAtTheThreePictureSizes)
{
    PanelWindow w;
    auto& p = *w.panel;
    p.enabledButtons (true);

    w.setContentSize (438, 580);
    const int m = p.menuBarHeight;
    expectLayout (p, { { 251, 136, 142, 47 }, { 76, 507, 84, 47 }, 9, 25, 321, 30, 22, 33, { 93, 119, 65, 340 } });
    EXPECT_EQ (p.rateButton48->getBounds(), juce::Rectangle<int> (256, 188 + m, 137, 44));
    EXPECT_EQ (p.rateButton88->getBounds(), juce::Rectangle<int> (253, 240 + m, 136, 44));
    EXPECT_EQ (p.rateButton96->getBounds(), juce::Rectangle<int> (254, 290 + m, 135, 45));
    EXPECT_EQ (p.rateButton176->getBounds(), juce::Rectangle<int> (253, 346 + m, 142, 42));
    EXPECT_EQ (p.rateButton192->getBounds(), juce::Rectangle<int> (253, 397 + m, 137, 45));
    EXPECT_EQ (p.leftLevelLabel->getBounds(), juce::Rectangle<int> (37, 459 + m, 81, 34));
    EXPECT_EQ (p.rightLevelLabel->getBounds(), juce::Rectangle<int> (118, 461 + m, 85, 34));

    w.setContentSize (329, 435);
    expectLayout (p, { { 189, 102, 106, 35 }, { 57, 380, 63, 35 }, 7, 19, 241, 23, 17, 25, { 70, 89, 49, 255 } });

    w.setContentSize (219, 290);
    expectLayout (p, { { 125, 68, 71, 23 }, { 38, 253, 42, 23 }, 4, 12, 160, 15, 11, 16, { 46, 60, 32, 170 } });

    // Back at full size everything returns to the design places.
    w.setContentSize (438, 580);
    expectLayout (p, { { 251, 136, 142, 47 }, { 76, 507, 84, 47 }, 9, 25, 321, 30, 22, 33, { 93, 119, 65, 340 } });
}

TEST (PanelLayout, SizeWordsFollowTheWidth)
{
    PanelWindow w (false);
    auto& p = *w.panel;
    const int m = p.menuBarHeight;

    EXPECT_EQ (captureStderrOf ([&] { p.setSize (228, 300 + m); }), "klein\n");
    EXPECT_EQ (p.backgroundNormal.getWidth(), 228);
    EXPECT_EQ (captureStderrOf ([&] { p.setSize (229, 300 + m); }), "mittel\n");
    EXPECT_EQ (captureStderrOf ([&] { p.setSize (329, 300 + m); }), "mittel\n");
    EXPECT_EQ (captureStderrOf ([&] { p.setSize (330, 300 + m); }), "gross\n");
    EXPECT_EQ (captureStderrOf ([&] { p.setSize (330, 301 + m); }), "gross\n");

    // No word and untouched backgrounds for an empty size; children still placed.
    const auto before = p.backgroundNormal;
    EXPECT_EQ (captureStderrOf ([&] { p.setSize (0, 400); }), "");
    EXPECT_TRUE (p.backgroundNormal == before);
    EXPECT_EQ (p.rateButton44->getWidth(), 0);
    EXPECT_EQ (captureStderrOf ([&] { p.setSize (300, 0); }), "");
    EXPECT_TRUE (p.backgroundNormal == before);
    EXPECT_EQ (p.rateButton44->getX(), 172);
}

TEST (PanelLayout, ButtonsShowTheirPartOfThePicture)
{
    PanelWindow w;
    auto& p = *w.panel;
    p.enabledButtons (true);
    w.setContentSize (438, 580);

    // The button's normal image is the unlit background under the button, its
    // down image the lit one.
    auto* b = p.rateButton44.get();
    auto normal = b->getNormalImage();
    auto down = b->getDownImage();
    ASSERT_TRUE (normal.isValid());
    ASSERT_TRUE (down.isValid());
    EXPECT_EQ (normal.getWidth(), b->getWidth());
    EXPECT_EQ (normal.getHeight(), b->getHeight());

    const auto area = b->getBounds().translated (0, -p.menuBarHeight);
    for (auto [x, y] : { std::pair { 0, 0 }, std::pair { 10, 20 }, std::pair { area.getWidth() - 1, area.getHeight() - 1 } })
    {
        EXPECT_EQ (normal.getPixelAt (x, y), p.backgroundNormal.getPixelAt (area.getX() + x, area.getY() + y));
        EXPECT_EQ (down.getPixelAt (x, y), p.backgroundDown.getPixelAt (area.getX() + x, area.getY() + y));
    }

    // The panel paints its picture below the menu bar.
    {
        // A corner with no child on it, whose picture is not flat (so a
        // picture drawn at the wrong height would show).
        const int m = p.menuBarHeight;
        const juce::Rectangle<int> corner (0, 0, 90, 110);
        auto panelShot = p.createComponentSnapshot (corner.translated (0, m));
        int mismatches = 0, shiftedMismatches = 0;
        for (int y = 0; y < corner.getHeight(); ++y)
            for (int x = 0; x < corner.getWidth(); ++x)
            {
                mismatches += panelShot.getPixelAt (x, y) != p.backgroundNormal.getPixelAt (x, y) ? 1 : 0;
                shiftedMismatches += panelShot.getPixelAt (x, y) != p.backgroundNormal.getPixelAt (x, y + m) ? 1 : 0;
            }
        EXPECT_EQ (mismatches, 0);
        ASSERT_GT (shiftedMismatches, 0);
    }

    // A ticked button draws the lit part of the picture in the window.
    b->setToggleState (true, juce::dontSendNotification);
    auto shot = p.createComponentSnapshot (b->getBounds());
    const auto centre = juce::Point<int> (area.getWidth() / 2, area.getHeight() / 2);
    EXPECT_EQ (shot.getPixelAt (centre.x, centre.y), p.backgroundDown.getPixelAt (area.getX() + centre.x, area.getY() + centre.y));
}

TEST (PanelLayout, EnablingShowsFadersAndDisablingClears)
{
    PanelWindow w;
    auto& p = *w.panel;

    p.enabledButtons (true);
    EXPECT_TRUE (p.sliderGroup->isVisible());
    EXPECT_TRUE (p.sliderGroup->isEnabled());
    for (auto* b : paneltest::allButtons (p))
    {
        EXPECT_TRUE (b->isEnabled());
        EXPECT_FALSE (b->getToggleState());
    }
    EXPECT_TRUE (p.leftLevelLabel->getText().isEmpty());

    p.rateButton96->setToggleState (true, juce::dontSendNotification);
    p.muteButton->setToggleState (true, juce::dontSendNotification);
    p.leftLevelLabel->setText ("-3 dB", juce::dontSendNotification);
    p.aboutDialogWindow->setVisible (true);

    p.enabledButtons (false);
    EXPECT_FALSE (p.aboutDialogWindow->isVisible());
    EXPECT_FALSE (p.sliderGroup->isVisible());
    for (auto* b : paneltest::allButtons (p))
    {
        EXPECT_FALSE (b->isEnabled());
        EXPECT_FALSE (b->getToggleState());
    }
    EXPECT_TRUE (p.leftLevelLabel->getText().isEmpty());
}

TEST (PanelDialogs, BuiltHiddenWithTitlesSizesAndLimits)
{
    PanelWindow w;
    auto& p = *w.panel;

    ASSERT_NE (p.flexrouteWindow, nullptr);
    ASSERT_NE (p.aboutDialogWindow, nullptr);
    EXPECT_FALSE (p.flexrouteWindow->isVisible());
    EXPECT_FALSE (p.aboutDialogWindow->isVisible());
    EXPECT_EQ (p.flexrouteWindow->getName(), "FlexROUTE");
    EXPECT_EQ (p.aboutDialogWindow->getName(), "About Quibra");
    EXPECT_EQ (p.flexrouteWindow->getContentComponent(), static_cast<juce::Component*> (p.flexrouteDialog.get()));
    EXPECT_EQ (p.aboutDialogWindow->getContentComponent(), static_cast<juce::Component*> (p.aboutWindow.get()));

    EXPECT_EQ (p.flexrouteWindow->getWidth(), 366);
    EXPECT_EQ (p.flexrouteWindow->getHeight(), 309);
    EXPECT_TRUE (p.flexrouteWindow->isResizable());
    auto* c = p.flexrouteWindow->getConstrainer();
    ASSERT_NE (c, nullptr);
    EXPECT_EQ (c->getMinimumWidth(), 262);
    EXPECT_EQ (c->getMinimumHeight(), 221);
    EXPECT_EQ (c->getMaximumWidth(), 1048);
    EXPECT_EQ (c->getMaximumHeight(), 884);
    EXPECT_DOUBLE_EQ (c->getFixedAspectRatio(), 524.0 / 442.0);

    // Neither has a native window until a command shows it; shown, each is
    // mapped on the X server and tells the window manager its rules.
    EXPECT_EQ (p.flexrouteWindow->getPeer(), nullptr);
    EXPECT_EQ (p.aboutDialogWindow->getPeer(), nullptr);
    p.flexrouteWindow->setVisible (true);
    p.aboutDialogWindow->setVisible (true);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return paneltest::serverView (*p.flexrouteWindow).mapped
                                                      && paneltest::serverView (*p.aboutDialogWindow).mapped; }));
    const auto routing = paneltest::serverView (*p.flexrouteWindow);
    const auto about = paneltest::serverView (*p.aboutDialogWindow);
    EXPECT_EQ (juce::Rectangle<int> (routing.minW, routing.minH, routing.maxW, routing.maxH),
               juce::Rectangle<int> (262, 221, 1048, 884));
    EXPECT_EQ (juce::Point<int> (routing.aspectW, routing.aspectH), juce::Point<int> (524, 442));
    EXPECT_EQ (juce::Rectangle<int> (about.minW, about.minH, about.maxW, about.maxH),
               juce::Rectangle<int> (p.aboutWindow->getWidth(), p.aboutWindow->getHeight(),
                                     p.aboutWindow->getWidth(), p.aboutWindow->getHeight()));
    p.aboutDialogWindow->setVisible (false);

    // Shown, any size set on its native window from outside comes back within
    // the limits and the ratio.
    auto& fw = *p.flexrouteWindow;
    const auto withinRules = [&]
    {
        const int ww = fw.getWidth(), wh = fw.getHeight();
        return ww >= 262 && ww <= 1048 && wh >= 221 && wh <= 884 && std::abs (ww - wh * 524.0 / 442.0) <= 2.0;
    };
    for (auto size : { juce::Point<int> (100, 100), juce::Point<int> (2000, 2000), juce::Point<int> (726, 398) })
    {
        fw.getPeer()->setBounds (fw.getBounds().withSize (size.x, size.y), false);
        EXPECT_TRUE (testsupport::pumpUntil (withinRules)) << size.x << "x" << size.y << " stayed "
                                                           << fw.getWidth() << "x" << fw.getHeight();
    }

    // Hidden again, both are unmapped again.
    fw.setVisible (false);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! paneltest::serverView (fw).mapped
                                                      && ! paneltest::serverView (*p.aboutDialogWindow).mapped; }));

    EXPECT_FALSE (p.aboutDialogWindow->isResizable());
    EXPECT_EQ (p.aboutWindow->getWidth(), p.aboutWindow->backgroundImage.getWidth());
    EXPECT_EQ (p.aboutWindow->getHeight(), p.aboutWindow->backgroundImage.getHeight());
    EXPECT_EQ (p.aboutWindow->titleText, "Quibra eX v2.0.0.0");
    EXPECT_EQ (p.aboutWindow->webLinkButton->getURL().toString (false), "https://www.example.com/velkwerk");
    EXPECT_EQ (p.aboutWindow->webLinkButton->getBounds(), juce::Rectangle<int> (67, 143, 140, 16));
    EXPECT_EQ (p.aboutWindow->closeButton->getPosition(), juce::Point<int> (116, 171));
}

TEST (PanelDialogs, DestroyedWhileOpen)
{
    PanelWindow w;
    w.panel->flexrouteWindow->setVisible (true);
    w.panel->aboutDialogWindow->setVisible (true);
    testsupport::pumpFor (50);
    w.destroy();
    EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 0);
}

TEST (PanelDialogs, AboutPictureClickArmsNoButtonAndTheCloseButtonCloses)
{
    PanelWindow w;
    auto& dialog = *w.panel->aboutDialogWindow;
    auto& about = *w.panel->aboutWindow;

    // Shown without a modal state, as the Help menu shows it. A click on the
    // picture leaves the keyboard with neither button; the close button's
    // click hides it.
    dialog.setVisible (true);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return about.isShowing(); }));
    const juce::Point<int> picture (20, 20);
    ASSERT_EQ (about.getComponentAt (picture), &about);
    const auto at = about.localPointToGlobal (picture);
    ASSERT_TRUE (controlstest::xdo ("mousemove " + juce::String (at.x) + " " + juce::String (at.y) + " click 1"));
    ASSERT_TRUE (controlstest::waitForButtonsUp());
    testsupport::pumpFor (100);
    EXPECT_FALSE (about.closeButton->hasKeyboardFocus (false));
    EXPECT_FALSE (about.webLinkButton->hasKeyboardFocus (false));
    about.closeButton->triggerClick();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! dialog.isVisible(); }));

    // Shown modally: the click ends the modal state and hides it too.
    dialog.setVisible (true);
    dialog.enterModalState (false);
    ASSERT_TRUE (dialog.isCurrentlyModal());
    about.closeButton->triggerClick();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! dialog.isCurrentlyModal() && ! dialog.isVisible(); }));
}
