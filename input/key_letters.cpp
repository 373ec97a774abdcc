// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed key letters of the holes and the typed characters that strike them.
#include "input/key_letters.h"

#include <array>

namespace {
constexpr std::array letters{'A', 'S', 'D', 'F'};
constexpr std::array characterCodes{97, 115, 100, 102};
} // namespace

Letter 文字_取得(int n)
{
    if (n < 1 || n > static_cast<int>(letters.size()))
        return std::nullopt;
    return letters[static_cast<std::size_t>(n - 1)];
}

Letter コード文字変換(int code)
{
    for (std::size_t i = 0; i < characterCodes.size(); ++i)
        if (characterCodes[i] == code)
            return letters[i];
    return std::nullopt;
}
