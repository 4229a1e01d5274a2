// The application object and its main window, in this process: start-up with
// and without a stored window state, defaults mode, the trace lines, the
// constrainer, sizes forced from outside, shutdown, a later launch's command
// line, and the mouse: right-clicks, and a press whose release went elsewhere.
#include "ControlsTestSupport.h"
#include "PanelTestSupport.h"
#include "panel/QuibraApplication.h"
#include "panel/Utf8Text.h"
#include "platform/SimulatedInterface.h"

namespace
{
// The application object as the framework would hold it; initialise and
// shutdown are called directly (the framework's main loop is not started).
struct App
{
    App()
    {
        sim::reset();
        app = std::make_unique<QuibraApplication>();
    }
    ~App()
    {
        app->shutdown();
        app = nullptr;
        sim::reset();
    }

    std::string start (const juce::String& commandLine)
    {
        testing::internal::CaptureStderr();
        app->initialise (commandLine);
        testsupport::pumpFor (100);
        return testing::internal::GetCapturedStderr();
    }

    QuibraApplication::MainWindow& window() { return *app->mainWindow; }
    MainComponent& panel() { return *app->mainWindow->getPanel(); }
    int menuBar() { return panel().menuBarHeight; }

    std::unique_ptr<QuibraApplication> app;
};

juce::PropertiesFile& settingsOf (MainComponent& p) { return *p.appProperties.getUserSettings(); }

juce::Rectangle<int> centredDefault (int menuBarHeight)
{
    const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    const int h = 435 + menuBarHeight;
    return { area.getCentreX() - 329 / 2, area.getCentreY() - h / 2, 329, h };
}
} // namespace

TEST (AppWindow, FixedValuesAndDefaultsMode)
{
    App a;
    EXPECT_EQ (a.app->getApplicationName(), "Quibra");
    EXPECT_EQ (a.app->getApplicationVersion(), "2.0.0.0");
    EXPECT_FALSE (a.app->moreThanOneInstanceAllowed());

    for (auto* yes : { "/default", "/defaults", "/DEFAULT", "/Defaults", "/dEfAuLtS" })
        EXPECT_TRUE (QuibraApplication::isDefaultsMode (yes)) << yes;
    for (auto* no : { "", "/default ", " /default", "/defaults more", "default", "/defaultss", "-defaults" })
        EXPECT_FALSE (QuibraApplication::isDefaultsMode (no)) << no;

    EXPECT_EQ (QuibraApplication::positionTraceLines ({ -5, 0 }), "POS: -5 0\nPOS: Korr: 0 30\n");
    EXPECT_EQ (QuibraApplication::positionTraceLines ({ 476, 283 }), "POS: 476 283\nPOS: Korr: 476 283\n");
    EXPECT_EQ (QuibraApplication::positionTraceLines ({ 0, -7 }), "POS: 0 -7\nPOS: Korr: 0 30\n");

    // Arguments reach the framework as well-formed UTF-8: malformed bytes
    // (a stray continuation byte, an overlong zero, a cut sequence) become
    // U+FFFD, good text stays as it is.
    EXPECT_EQ (Utf8Text::makeValid ("/defaults\x80"), "/defaults\xef\xbf\xbd");
    EXPECT_EQ (Utf8Text::makeValid ("\xfc\xc0\x80\xc3"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ (Utf8Text::makeValid ("/d\xc3\xa4 \xf0\x9f\x8e\x9a"), "/d\xc3\xa4 \xf0\x9f\x8e\x9a");
}

TEST (AppWindow, FirstStartOpensCentredAtTheDefaultSizeWithTracesAndLimits)
{
    App a;
    const auto err = a.start ({});
    auto& w = a.window();
    auto& p = a.panel();

    EXPECT_EQ (w.getName(), "Quibra v2.0.0.0");
    EXPECT_TRUE (w.isUsingNativeTitleBar());
    EXPECT_TRUE (w.isVisible());
    EXPECT_TRUE (w.isResizable());
    EXPECT_EQ (w.getBackgroundColour(), juce::Colours::lightgrey);
    EXPECT_EQ (w.getBounds(), centredDefault (a.menuBar()));
    EXPECT_EQ (p.getWidth(), 329);
    EXPECT_EQ (p.getHeight(), 435 + a.menuBar());

    const auto pos = p.getScreenPosition();
    EXPECT_NE (err.find ("POS: " + std::to_string (pos.x) + " " + std::to_string (pos.y) + "\n"), std::string::npos) << err;
    EXPECT_NE (err.find ("POS: Korr: "), std::string::npos) << err;

    // The constrainer: the picture's limits and ratio, the menu bar's band left out.
    auto* c = w.constrainer.get();
    ASSERT_NE (c, nullptr);
    EXPECT_EQ (w.getConstrainer(), c);
    EXPECT_EQ (c->topInset, a.menuBar());
    EXPECT_DOUBLE_EQ (c->getFixedAspectRatio(), 219.0 / 290.0);
    EXPECT_EQ (c->getMinimumWidth(), 219);
    EXPECT_EQ (c->getMinimumHeight(), 290);
    EXPECT_EQ (c->getMaximumWidth(), 438);
    EXPECT_EQ (c->getMaximumHeight(), 580);

    // The window manager reads the same rules for the whole client area, the
    // menu bar as base size (WM_NORMAL_HINTS on the X server).
    const auto view = paneltest::serverView (w);
    EXPECT_TRUE (view.mapped);
    EXPECT_EQ (juce::Rectangle<int> (view.minW, view.minH, view.maxW, view.maxH),
               juce::Rectangle<int> (219, 290 + a.menuBar(), 438, 580 + a.menuBar()));
    EXPECT_EQ (juce::Point<int> (view.aspectW, view.aspectH), juce::Point<int> (219, 290));
    EXPECT_EQ (view.baseH, a.menuBar());

    // Resized through the constrainer (the corner resizer's path).
    c->setBoundsForComponent (&w, w.getBounds().withSize (100, 100), false, false, true, true);
    EXPECT_EQ (w.getWidth(), 219);
    EXPECT_EQ (w.getHeight(), 290 + a.menuBar());
}

TEST (AppWindow, SizesForcedFromOutsideAreBroughtBackWithinTheRules)
{
    App a;
    a.start ({});
    auto& w = a.window();
    const int m = a.menuBar();

    auto pictureOk = [&]
    {
        const int pw = w.getWidth(), ph = w.getHeight() - m;
        return pw >= 219 && pw <= 438 && ph >= 290 && ph <= 580
            && std::abs (pw - ph * 219.0 / 290.0) <= 1.5;
    };

    // The size is set on the native window, as an outside resize would.
    for (auto size : { juce::Point<int> (50, 60), juce::Point<int> (1200, 1000), juce::Point<int> (420, 300 + m) })
    {
        w.getPeer()->setBounds (w.getBounds().withSize (size.x, size.y), false);
        EXPECT_TRUE (testsupport::pumpUntil (pictureOk)) << size.x << "x" << size.y << " stayed "
                                                         << w.getWidth() << "x" << w.getHeight();
    }

    // A size within the rules is left alone (the default one among them).
    w.setSize (329, 435 + m);
    testsupport::pumpFor (200);
    EXPECT_EQ (w.getWidth(), 329);
    EXPECT_EQ (w.getHeight(), 435 + m);

    // Another program's resize whose configure event a pointer query (a
    // round trip outside the toolkit's event handler) has read into Xlib's
    // queue: handled all the same, with nothing else arriving from the server.
    juce::ChildProcess resize;
    const auto id = juce::String ((juce::pointer_sized_uint) w.getPeer()->getNativeHandle());
    ASSERT_TRUE (resize.start ("xdotool windowsize " + id + " 2000 2000"));
    ASSERT_TRUE (resize.waitForProcessToFinish (10000));
    juce::Desktop::getMousePosition();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return w.getWidth() == 438 && pictureOk(); }))
        << "stayed " << w.getWidth() << "x" << w.getHeight();
}

TEST (AppWindow, StoredStateIsRestoredAndShutdownStoresIt)
{
    juce::String stored;
    {
        App a;
        a.start ({});
        a.window().setBounds (120, 90, 264, 350 + a.menuBar());
        testsupport::pumpFor (100);
        stored = a.window().getWindowStateAsString();
        a.app->shutdown();
        EXPECT_EQ (a.app->mainWindow, nullptr);
    }
    {
        App a;
        auto err = a.start ({});
        EXPECT_EQ (settingsOf (a.panel()).getValue ("WindowPosition"), stored);
        EXPECT_EQ (a.window().getBounds(), juce::Rectangle<int> (120, 90, 264, 350 + a.menuBar()));
        EXPECT_NE (err.find ("POS: 120 90\n"), std::string::npos) << err;
    }

    // An unreadable state, or one whose numbers no window can have (they
    // overflow in the restore), falls back to the default placement.
    for (auto* bad : { "no state at all", "2000000000 2000000000 2000000000 2000000000",
                       "fs 10 10 329 435 frame 2000000000 0 2000000000 0" })
    {
        {
            juce::PropertiesFile::Options options;
            options.storageFormat = juce::PropertiesFile::storeAsXML;
            juce::PropertiesFile file (juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                                           .getChildFile ("Quibra/Quibra.settings"), options);
            file.setValue ("WindowPosition", bad);
            ASSERT_TRUE (file.save());
        }
        App a;
        a.start ({});
        EXPECT_EQ (a.window().getBounds(), centredDefault (a.menuBar())) << bad;
    }
    EXPECT_TRUE (QuibraApplication::isRestorableWindowState (stored)) << stored;
}

TEST (AppWindow, DefaultsModeCentresResetsAndForgetsThePosition)
{
    {
        App a;
        a.start ({});
        a.window().setTopLeftPosition (30, 40);
    }
    App a;
    // As in a fresh process: the device link has found nothing yet.
    gInAudioObjectID = 0;
    gOutAudioObjectID = 0;

    // The interface away from its factory values.
    const auto in = sim::interfaceInputDevice(), out = sim::interfaceOutputDevice();
    ASSERT_NE (out, 0u);
    sim::setNominalSampleRate (in, 96000.0);
    sim::setNominalSampleRate (out, 96000.0);
    sim::setVolumeDb (out, 1, -20.0f);
    sim::setMute (out, true);

    const auto err = a.start ("/DEFAULTS");
    EXPECT_EQ (err.find ("POS: "), std::string::npos) << err;
    EXPECT_EQ (a.window().getBounds(), centredDefault (a.menuBar()));
    EXPECT_EQ (settingsOf (a.panel()).getValue ("WindowPosition", "unset"), "");

    // The factory values reach the interface: 48000 Hz, 0 dB, not muted.
    EXPECT_TRUE (testsupport::pumpUntil ([&]
    {
        return sim::nominalSampleRate (out) == 48000.0 && ! sim::isMuted (out) && sim::volumeDb (out, 1) == 0.0f;
    }, 15000)) << sim::nominalSampleRate (out) << " Hz, muted " << sim::isMuted (out) << ", " << sim::volumeDb (out, 1) << " dB";
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return paneltest::tickedRate (a.panel()) == 48000; }, 15000));
    EXPECT_EQ (a.panel().leftLevelLabel->getText(), "0 dB");
    EXPECT_FALSE (a.panel().muteButton->getToggleState());
}

TEST (AppWindow, LaterLaunchWithDefaultsResetsForgetsAndRecentres)
{
    App a;
    a.start ({});
    auto& p = a.panel();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return p.rateButton96->isEnabled(); }, 15000));
    p.rateButton96->triggerClick();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return paneltest::tickedRate (p) == 96000; }));
    a.window().setTopLeftPosition (10, 20);
    settingsOf (p).setValue ("WindowPosition", a.window().getWindowStateAsString());

    // A plain later launch only brings the window back.
    a.window().setVisible (false);
    a.app->anotherInstanceStarted ("");
    EXPECT_TRUE (a.window().isVisible());
    EXPECT_EQ (a.window().getPosition(), juce::Point<int> (10, 20));
    EXPECT_EQ (paneltest::tickedRate (p), 96000);

    a.app->anotherInstanceStarted ("/Default");
    EXPECT_TRUE (a.window().isVisible());
    EXPECT_EQ (settingsOf (p).getValue ("WindowPosition", "unset"), "");
    EXPECT_EQ (a.window().getBounds(), centredDefault (a.menuBar()));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return paneltest::tickedRate (p) == 48000; }));
}

TEST (AppWindow, RightClickAnywhereAndTheLegendOfferTheRoutingMenuAndPressNoControl)
{
    App a;
    a.start ({});
    auto& w = a.window();
    auto& p = a.panel();
    auto* peer = w.getPeer();
    ASSERT_NE (peer, nullptr);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return paneltest::tickedRate (p) == 48000; }, 15000));
    juce::PopupMenu::dismissAllActiveMenus();

    // A press and release with buttons at a panel point, dragged by dy on the
    // way; true when it opened a pop-up menu (the one modal component a click
    // here can open).
    auto eventTime = juce::Time::getCurrentTime();
    const auto click = [&] (juce::Point<int> panelPoint, juce::ModifierKeys buttons, int dy = 0)
    {
        const auto at = w.getLocalPoint (&p, panelPoint).toFloat();
        const auto send = [&] (juce::ModifierKeys mods, float y)
        {
            eventTime += juce::RelativeTime::milliseconds (400); // never a double click
            peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at.withY (at.y + y), mods,
                                    juce::MouseInputSource::defaultPressure,
                                    juce::MouseInputSource::defaultOrientation, eventTime.toMilliseconds());
        };
        send ({}, 0);
        send (buttons, 0);
        send (buttons, (float) dy);
        const bool opened = juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0;
        send ({}, (float) dy);
        juce::PopupMenu::dismissAllActiveMenus();
        testsupport::pumpFor (300);
        return opened;
    };
    const juce::ModifierKeys right (juce::ModifierKeys::rightButtonModifier);
    const juce::ModifierKeys left (juce::ModifierKeys::leftButtonModifier);

    // A spot of the picture with no control on it.
    juce::Point<int> bare (-1, -1);
    for (int y = p.menuBarHeight + 2; y < p.getHeight() && bare.x < 0; y += 3)
        for (int x = 2; x < p.getWidth() && bare.x < 0; x += 3)
            if (p.getComponentAt (x, y) == &p && ! p.routingLegendArea().contains (x, y))
                bare = { x, y };
    ASSERT_GE (bare.x, 0);
    EXPECT_TRUE (click (bare, right));

    // On a rate button, the mute button, a fader and a dB label it opens the
    // menu too, and no control moves: the interface keeps its values.
    const auto out = sim::interfaceOutputDevice();
    auto centreOf = [&] (juce::Component& c) { return p.getLocalPoint (&c, c.getLocalBounds().getCentre()); };
    for (auto* c : { static_cast<juce::Component*> (p.rateButton44.get()), static_cast<juce::Component*> (p.muteButton.get()),
                     static_cast<juce::Component*> (p.leftLevelLabel.get()) })
        EXPECT_TRUE (click (centreOf (*c), right)) << c->getName();
    EXPECT_TRUE (click (centreOf (p.sliderGroup->leftSlider), right, 40)); // a right-drag
    EXPECT_EQ (paneltest::tickedRate (p), 48000);
    EXPECT_EQ (sim::nominalSampleRate (out), 48000.0);
    EXPECT_FALSE (p.muteButton->getToggleState());
    EXPECT_FALSE (sim::isMuted (out));
    EXPECT_EQ (p.sliderGroup->leftSlider.getValue(), 0.0);
    EXPECT_EQ (sim::volumeDb (out, 1), 0.0f);

    // A left click on the printed "FLEXROUTE" opens it; elsewhere on the
    // picture a left click opens nothing.
    EXPECT_TRUE (click (p.routingLegendArea().getCentre(), left));
    EXPECT_FALSE (click (bare, left));

    // The right button held down outside the program (as a window manager's
    // frame drag takes it) and moved over another window of it: on the first
    // move after a menu the toolkit takes the press from the server, and the
    // release, outside again, never reaches the program. It is let go all the
    // same, and a click on "File" then opens the File menu.
    using controlstest::xdo;
    juce::Component other;
    controlstest::OnScreen shown (other, { 20, 20, 100, 100 });
    const auto bar = p.menuBar->getScreenBounds();
    const juce::Point<int> outside (bar.getX() - 20, bar.getY() - 20);
    ASSERT_TRUE (controlstest::movePointerTo (outside));
    juce::ComponentPeer::getCurrentModifiersRealtime(); // as an open menu asks
    ASSERT_TRUE (xdo ("mousedown 3"));
    ASSERT_TRUE (controlstest::movePointerTo ({ 70, 70 }));
    EXPECT_TRUE (testsupport::pumpUntil ([] { return juce::Desktop::getInstance().getMainMouseSource().isDragging(); }))
        << "the press over the other window was not taken";
    ASSERT_TRUE (controlstest::movePointerTo (outside));
    ASSERT_TRUE (xdo ("mouseup 3"));
    testsupport::pumpUntil ([] { return ! juce::Desktop::getInstance().getMainMouseSource().isDragging(); }, 2000);
    ASSERT_TRUE (controlstest::movePointerTo ({ bar.getX() + 20, bar.getCentreY() }));
    ASSERT_TRUE (xdo ("click 1"));
    EXPECT_TRUE (testsupport::pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; }))
        << "no menu opened";
    juce::PopupMenu::dismissAllActiveMenus();
}

TEST (AppFonts, GlyphsLoadedAheadServePlainDefaultTextOnly)
{
    const juce::String text ("File Config Help -63.5 dB");
    const auto widths = [&text] {
        return std::make_pair (juce::Font (14.0f).getStringWidthFloat (text),
                               juce::Font (14.0f, juce::Font::bold).getStringWidthFloat (text));
    };
    const auto lookTypeface = [] { return juce::LookAndFeel::getDefaultLookAndFeel().getTypefaceForFont (juce::Font (14.0f)); };
    const auto before = widths();
    ASSERT_GT (before.second, before.first);

    {
        TypefacePrefetch glyphs (text);
        glyphs.install();

        // One typeface, the loaded one, for all plain default text; bold text
        // keeps its own face, and every width stays as it was.
        EXPECT_EQ (lookTypeface(), lookTypeface());
        EXPECT_EQ (juce::Font (14.0f).getTypefacePtr(), lookTypeface());
        const auto after = widths();
        EXPECT_FLOAT_EQ (after.first, before.first);
        EXPECT_FLOAT_EQ (after.second, before.second);
    }

    // Gone with the object: the toolkit's own look makes its typefaces again.
    EXPECT_NE (lookTypeface(), lookTypeface());
}
