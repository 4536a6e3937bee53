// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The CSV log format: a daily file per base name, a fixed header, five
// fields a line, lines ended by CR LF.
#include <QString>
#include <QStringList>

inline constexpr char kLogHeader[] = "Tx Number,S-Level,Value,Time,Date";

// A field as written: unchanged unless it holds a comma, a double quote or a
// line break; then in double quotes with inner quotes doubled.
QString csvField(const QString &text);

// The five fields joined by "," (each through csvField), without line end.
QString csvLine(const QStringList &fields);

// folder + base + DD + MM + YYYY + ".csv", joined with nothing added;
// day and month given as the clock's texts without leading zeros.
QString logFileName(const QString &folder, const QString &base, const QString &daystr, const QString &monthstr,
                    const QString &yearstr);

// The Date field: day "/" month "/" year, as the clock's texts stand ("8/12/2026").
QString logDate(const QString &daystr, const QString &monthstr, const QString &yearstr);
