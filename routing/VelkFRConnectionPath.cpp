#include "routing/VelkFRConnectionPath.h"
#include "routing/VelkFRButton.h"

VelkFRConnectionPath::VelkFRConnectionPath()
{
    path.setUsingNonZeroWinding (true);
}

VelkFRConnectionPath::~VelkFRConnectionPath()
{
    stopTimer();
}

void VelkFRConnectionPath::setAPath (VelkFRButton* firstNode, VelkFRButton* secondNode,
                                     juce::Point<float> controlPoint)
{
    if (firstNode == nullptr || secondNode == nullptr)
        return;

    firstNode->occupied = ! firstNode->isDestination;
    secondNode->occupied = ! secondNode->isDestination;

    if (firstNode->isDestination)
    {
        sourceEnd = secondNode;
        destinationEnd = firstNode;
    }
    else
    {
        sourceEnd = firstNode;
        destinationEnd = secondNode;
    }

    path.clear();
    path.startNewSubPath (firstNode->getBounds().toFloat().getCentre());
    path.quadraticTo (controlPoint, secondNode->getBounds().toFloat().getCentre());

    const auto& nameNode = sourceEnd->isDestination ? *destinationEnd : *sourceEnd;
    const auto name = nameNode.getName();

    if (name.contains ("WDM"))
        colour = juce::Colours::red;
    else if (name.contains ("ASIO"))
        colour = juce::Colours::yellow;
    else if (name.contains ("Physic"))
        colour = juce::Colours::green;

    restoreColour = colour;
}

bool VelkFRConnectionPath::checkIntersectionWithPath (juce::Line<float> segment) const
{
    juce::PathFlatteningIterator it (path, juce::AffineTransform(), 1.0f);

    while (it.next())
        if (juce::Line<float> (it.x1, it.y1, it.x2, it.y2).intersects (segment))
            return true;

    return false;
}

void VelkFRConnectionPath::timerCallback()
{
    stopTimer();
    colour = restoreColour;

    if (onFlashEnd != nullptr)
        onFlashEnd();
}
