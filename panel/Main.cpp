// Application entry point.
#include "panel/QuibraApplication.h"

START_JUCE_APPLICATION (QuibraApplication)
