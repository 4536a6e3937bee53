// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The INI config files of the console and the station, read strictly: lines
// are "key = value", "[section]", blank, or comments starting with ';' or '#'
// (on a line of their own). A value in double quotes loses them, keeping
// blanks at its ends. A key outside every section, an unknown section and a
// key given twice in a section are errors; a section may come back later in
// the file. Each program's readers then check the keys of each section.
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <variant>

struct ConfigEntry {
    QString section;
    QString key;
    QString value;
    int line;
};

// One line, naming the file and, where there is one, the line.
struct ConfigFileError {
    QString message;
};

// The entries of the file at `path` in file order (anything but a regular
// file is refused before it is opened: a FIFO would hold the start); `sections` are the known
// sections, the first one named in the hint for a key outside every section.
std::variant<QList<ConfigEntry>, ConfigFileError> readConfigEntries(const QString &path, const QStringList &sections);

// Empty when `value` holds no control character (U+0000 to U+001F, U+007F,
// U+0080 to U+009F); otherwise which one and where, "holds a control
// character (U+0000 at 5)". Every value a path, file name or topic is made of
// is checked so: a NUL would cut a file name short, a line feed split a line.
QString controlCharacterProblem(const QString &value);

// "path:line", the start of every message about an entry.
QString configPlace(const QString &path, int line);

// $XDG_CONFIG_HOME/halvern, where an unset or relative XDG_CONFIG_HOME means
// $HOME/.config; empty when the environment names no folder at all.
QString userConfigFolder(const QProcessEnvironment &environment);
