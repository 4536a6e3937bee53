// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/logcategories.h"

Q_LOGGING_CATEGORY(lcComms, "halvern.comms", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLogging, "halvern.logging", QtWarningMsg)
