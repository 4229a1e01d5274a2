#include "controls/VelkBorderBoundsConstrainer.h"

#include <algorithm>

void BorderBoundsConstrainer::checkBounds (juce::Rectangle<int>& bounds,
                                           const juce::Rectangle<int>& previousBounds,
                                           const juce::Rectangle<int>& limits,
                                           bool isStretchingTop,
                                           bool isStretchingLeft,
                                           bool isStretchingBottom,
                                           bool isStretchingRight)
{
    const auto proposedX = bounds.getX();
    const auto proposedY = bounds.getY();

    const auto top = frameBorder.getTop();
    const auto left = frameBorder.getLeft();
    const auto bottom = frameBorder.getBottom();
    const auto right = frameBorder.getRight();

    // The content area: the frame stripped off, then the top inset.
    bounds.setBounds (bounds.getX() + left,
                      bounds.getY() + top,
                      bounds.getWidth() - (left + right),
                      bounds.getHeight() - (top + bottom));

    const auto inset = std::min (topInset, bounds.getHeight());
    bounds.setBounds (bounds.getX(), bounds.getY() + inset, bounds.getWidth(), bounds.getHeight() - inset);

    juce::ComponentBoundsConstrainer::checkBounds (bounds, previousBounds, limits,
                                                   isStretchingTop, isStretchingLeft,
                                                   isStretchingBottom, isStretchingRight);

    // Back to the frame rectangle.
    bounds.setBounds (bounds.getX() - left,
                      bounds.getY() - top,
                      bounds.getWidth() + left + right,
                      bounds.getHeight() + topInset + top + bottom);

    if (isStretchingTop || isStretchingLeft || isStretchingBottom || isStretchingRight)
    {
        // An edge or corner drag keeps the window centred where it was.
        bounds.setPosition (previousBounds.getX() + previousBounds.getWidth() / 2 - bounds.getWidth() / 2,
                            previousBounds.getY() + previousBounds.getHeight() / 2 - bounds.getHeight() / 2);
    }
    else
    {
        bounds.setPosition (proposedX, proposedY);
    }
}
