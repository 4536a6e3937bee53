#pragma once
// One append to a log file: open, write, close. The file is opened without
// following a link and without waiting on it, and only a regular file is
// written; in a folder everyone may write to (such as /tmp) it must also be
// the console user's own file with no other name, or anyone could steer the
// lines into a file of their choosing.
#include <QByteArray>
#include <QString>

struct LogAppendResult {
    bool written = false;
    // Why the file was refused: "a symbolic link", "not a regular file",
    // "owned by another user", "linked under another name". Empty when it
    // was written or the file system simply failed (no folder, no room, ...).
    QString refusal;
};

// A line as it stands in a log file: UTF-8, ended by CR LF.
QByteArray logLineBytes(const QString &line);

// Appends `lines` (already ended by CR LF; may be empty) to the file at
// `path`, creating it if missing. A file that is new or empty starts with
// the header line. A write that fails part-way is cut back, so the file
// never holds half a line and the same lines can be tried again.
LogAppendResult appendToLogFile(const QString &path, const QByteArray &lines);
