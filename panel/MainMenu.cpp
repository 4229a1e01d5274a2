#include "panel/MainMenu.h"

int installMainMenu (juce::MenuBarComponent& bar, juce::MenuBarModel* model, juce::LookAndFeel* look)
{
    bar.setLookAndFeel (look);
    bar.setModel (model);

    if (model == nullptr)
        return 0;

    return bar.getLookAndFeel().getDefaultMenuBarHeight();
}

void removeMainMenu (juce::MenuBarComponent& bar)
{
    bar.setModel (nullptr);
    bar.setLookAndFeel (nullptr);
}
