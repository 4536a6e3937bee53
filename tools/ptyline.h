// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The simulator's end of the serial line: the master side of a
// pseudo-terminal whose slave device the console opens as its port.
#include <QByteArray>
#include <QString>

class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // Opens the pair in raw mode; false with `error` filled when that fails.
    bool open(QString &error);
    QString devicePath() const { return m_devicePath; }
    int masterFd() const { return m_master; }

    // The baud rate set by the program that has the device open (-1 for an
    // unusual one), 0 while nobody has it open. Serial programs set their speed
    // on opening and put back the one they found on closing, so the odd speed
    // this line leaves when nobody listens tells the two apart.
    int listenerBaud() const;

    // Writes what the line takes now without blocking; returns how many
    // bytes are gone. When the line is full because nobody reads it, the
    // unread bytes are thrown away, as on a real line.
    qsizetype writeSome(const QByteArray &bytes);

    // Drops whatever waits unread at the device (a listener went away).
    void discardUnread();
    // How many bytes still wait unread at the device.
    int unreadCount() const;

private:
    int m_master = -1;
    int m_slave = -1; // held open so the master never sees a hang-up
    QString m_devicePath;
};
