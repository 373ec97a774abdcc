// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed key letters of the holes: hole 1 is A, 2 is S, 3 is D, 4 is F.
#pragma once

#include "game/game_state.h"

// The letter of hole n, or empty for any other n.
Letter 文字_取得(int n);
// The letter struck by a typed character code (lower case only), or empty.
Letter コード文字変換(int code);
