// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The signal history the monitor draws: the last readings, oldest first, in
// entries 0 to kHistoryNewest of GlobalDec::sighist and txhist.
inline constexpr int kHistoryLength = 37;
inline constexpr int kHistoryNewest = kHistoryLength - 1;
