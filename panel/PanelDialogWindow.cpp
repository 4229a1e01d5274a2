#include "panel/PanelDialogWindow.h"

PanelDialogWindow::PanelDialogWindow (juce::DialogWindow::LaunchOptions& options,
                                      const std::optional<WindowSizeRules>& rules,
                                      std::optional<juce::Point<int>> initialSize)
    : juce::DialogWindow (options.dialogTitle, options.dialogBackgroundColour,
                          options.escapeKeyTriggersCloseButton, false)
{
    setUsingNativeTitleBar (options.useNativeTitleBar);

    if (options.content.willDeleteObject())
        setContentOwned (options.content.release(), true);
    else
        setContentNonOwned (options.content.release(), true);

    WindowSizeRules kept;

    if (rules.has_value())
    {
        kept = *rules;
        setResizable (true, false);
        setResizeLimits (kept.minWidth, kept.minHeight + kept.topInset,
                         kept.maxWidth, kept.maxHeight + kept.topInset);
        if (kept.ratioWidth > 0 && kept.ratioHeight > 0)
            getConstrainer()->setFixedAspectRatio ((double) kept.ratioWidth / kept.ratioHeight);
    }
    else
    {
        setResizable (false, false);
    }

    if (initialSize.has_value())
        setSize (initialSize->x, initialSize->y);

    if (! rules.has_value())
        kept = { getWidth(), getHeight(), getWidth(), getHeight() };

    keeper = std::make_unique<WindowKeeper> (*this, kept);

    // The native window is made when the dialog is first shown: a dialog the
    // user never opens costs no native window and no repaint tick.
}

void PanelDialogWindow::closeButtonPressed()
{
    setVisible (false);
}

void PanelDialogWindow::setVisible (bool shouldBeVisible)
{
    if (shouldBeVisible && ! isVisible())
    {
        // Changing the state of a native window makes a new one: taken while
        // there is none yet or while it is hidden.
        if (owner != nullptr)
        {
            const bool onTop = owner->getTopLevelComponent()->isAlwaysOnTop();
            if (onTop != isAlwaysOnTop())
                setAlwaysOnTop (onTop);
        }

        // On the desktop once, still hidden, then shown.
        if (! isOnDesktop())
            addToDesktop();
    }

    juce::DialogWindow::setVisible (shouldBeVisible);
}

void PanelDialogWindow::paint (juce::Graphics& g)
{
    juce::DialogWindow::paint (g);
    if (keeper != nullptr)
        keeper->windowPainted();
}
