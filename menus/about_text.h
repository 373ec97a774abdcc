// The text of the about box.
#pragma once

#include <string>

// Seven lines joined by a carriage return alone.
std::string aboutText();
