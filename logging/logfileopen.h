// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A log file opened for one append: open, write, close. The file is opened
// without following a link and without waiting on it, and only a regular
// file is written; in a folder everyone may write to (such as /tmp) it must
// also be the console user's own file with no other name, or anyone could
// steer the lines into a file of their choosing.
#include <QByteArray>
#include <QString>

#ifndef Q_OS_UNIX
#include <QFile>
#endif

// A line as it stands in a log file: UTF-8, ended by CR LF.
QByteArray logLineBytes(const QString &line);

class LogFileAppend {
public:
    // Opens the file at `path` for appending, creating it if missing.
    explicit LogFileAppend(const QString &path);
    ~LogFileAppend();
    LogFileAppend(const LogFileAppend &) = delete;
    LogFileAppend &operator=(const LogFileAppend &) = delete;

    bool isOpen() const;
    // Why the file was refused: "a symbolic link", "not a regular file",
    // "owned by another user", "linked under another name". Empty when it is
    // open or the file system simply failed (no folder, no room, ...).
    QString refusal() const { return m_why; }

    // Appends `lines` (ended by CR LF; may be none). A file that is new or
    // empty starts with the header line. A write that fails part-way is cut
    // back, so the file never holds half a line and the same lines can be
    // tried again.
    bool write(const QByteArray &lines);

private:
    QString m_why;
#ifdef Q_OS_UNIX
    int m_fd = -1;
    qint64 m_sizeBefore = 0;
#else
    QFile m_file;
#endif
};
