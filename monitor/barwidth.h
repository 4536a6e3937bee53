// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Length of a signal monitor bar for a signal level.

// Bar width in twips for a level: 0 to 9 end 15 twips short of the grid line
// of the next level, 10 ends at the right edge of the "S10" legend; any other
// level (negative, or a raw scanning byte above 10) gives no bar at all.
int barWidthForLevel(int level);
