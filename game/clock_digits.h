// SPDX-License-Identifier: GPL-3.0-or-later
// The last digit of the clock's whole seconds, by which the game tells that a second has passed.
#pragma once

#include <string>

// The clock is read in single precision and truncated towards zero: 45296.8 gives '6'.
inline char lastSecondDigit(double secondsSinceMidnight)
{
    const auto wholeSeconds = static_cast<long>(static_cast<float>(secondsSinceMidnight));
    return std::to_string(wholeSeconds).back();
}
