// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What each program's --version prints, as GNU programs do: its name and
// version on the first line (help2man makes the manual page's header of it),
// then the copyright and the licence's notice. No line end after the last line.
#include <QString>

QString versionNotice(const char *program);
