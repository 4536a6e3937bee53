// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The console's main window on the fixture's form: the widgets built from
// the layout and bound to the form's controls, as the console shows them.
#include "app/mainscreenwindow.h"
#include "support/consolefixture.h"

struct ConsoleWindow : Console {
    MainscreenWindow window{w()};
};
