// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The console's logging categories. Only warnings show by default; switch a
// category's debug messages on with QT_LOGGING_RULES, for example
// QT_LOGGING_RULES="halvern.*.debug=true" halvern-console
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcComms)   // "halvern.comms": opening, errors and loss of the serial port
Q_DECLARE_LOGGING_CATEGORY(lcLogging) // "halvern.logging": log files refused, waiting lines written or dropped
