// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A pseudo-terminal pair for end-to-end tests: the test plays the receiver
// on the master side; the console opens the slave device as its serial port.
#include <QByteArray>
#include <QString>

class PtyPair {
public:
    // Opens the pair in raw mode; isOpen() tells whether that worked.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isOpen() const { return master_ >= 0; }
    // The slave device, to hand to the console's port ("/dev/pts/7").
    QString devicePath() const { return devicePath_; }

    // Writes all of `bytes` into the master, waiting up to a second for room;
    // false when they could not all be written.
    bool write(const QByteArray &bytes);
    // What the console has written so far and nobody has read; never waits.
    QByteArray readAvailable();

    // Bytes the console's side of the line holds that nobody has read yet.
    int waitingAtConsole() const;

    // The device vanishes: closes the master and the slave the pair holds,
    // so the console's side sees a hang-up. The pts cannot come back.
    void closeMaster();

    // Points the symbolic link `link` at `target` in one step (creating it if
    // need be), so a test can move a console's port to a fresh pair.
    static bool relink(const QString &link, const QString &target);

private:
    int master_ = -1;
    int slave_ = -1; // held so the master sees no hang-up before the console opens
    QString devicePath_;
};
