// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a screen reader finds in the signal monitor's chart. The rows are
// drawn as one picture, so the chart offers them to assistive technology as
// children of its own, one per row, each named after what the row shows:
// "row 37: transmitter 1234, level 9". Qt's AT-SPI bridge exports names and
// children (a value text of a chart it does not), so this is what Orca reads.
#include <QString>

class SignalChart;

// Lets the chart's accessible interface be created on demand. Installed once.
void installChartAccessibility();

// Tells listening readers which rows now read differently. Costs nothing
// until a reader has asked for the rows.
void announceChangedRows(SignalChart *chart);
