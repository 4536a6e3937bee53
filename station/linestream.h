// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Lines to a descriptor (the JSON stream on standard output) that never hold
// up the event loop: a reader that falls behind leaves lines waiting here,
// written as it catches up, in order. Past kLinesWaiting the oldest waiting
// line is dropped and counted. A reader that goes away ends the stream; the
// station goes on.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>

class QSocketNotifier;

class LineStream : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kLinesWaiting = 10000;

    explicit LineStream(int fd, QObject *parent = nullptr);
    ~LineStream() override; // the descriptor gets its own flags back

    // `line` without its newline.
    void writeLine(const QByteArray &line);
    // At exit: waits up to `milliseconds` for the reader to take what waits.
    void drain(int milliseconds);

    qint64 dropped() const { return m_dropped; }
    qsizetype waiting() const { return qsizetype(m_lines.size()); }

signals:
    // The stream ended: why, in one line.
    void ended(const QString &reason);

private:
    void writeWaiting();
    void end(int error);

    int m_fd;
    int m_flags = -1;
    bool m_open = true;
    std::deque<QByteArray> m_lines; // each with its newline; the front maybe partly written
    qsizetype m_frontWritten = 0;
    qint64 m_dropped = 0;
    QSocketNotifier *m_writable = nullptr;
};
