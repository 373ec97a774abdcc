// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the about box, with the version from the build.
#include "menus/about_text.h"

#include <array>

std::string aboutText()
{
    const std::array<std::string, 7> lines{
        "Zubotta  Version " ZUBOTTA_VERSION "    (C) 2026 Zubotta project",
        "",
        "Home page",
        "https://zubotta.example.org/",
        "",
        "e-mail",
        "zubotta@example.org",
    };
    std::string text = lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i)
        text += '\r' + lines[i];
    return text;
}
