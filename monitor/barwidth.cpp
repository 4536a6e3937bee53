// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitor/barwidth.h"

#include <array>

namespace {
// Twips from the bar's left edge (2160), indexed by level.
constexpr std::array<int, 11> kBarWidths = {465, 1545, 2745, 3945, 5145, 6345, 7545, 8745, 9945, 11145, 12735};
} // namespace

int barWidthForLevel(int level)
{
    if (level < 0 || level >= int(kBarWidths.size()))
        return 0;
    return kBarWidths[std::size_t(level)];
}
