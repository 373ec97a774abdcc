// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the about box.
#pragma once

#include <string>

// Seven lines joined by a carriage return alone.
std::string aboutText();
