// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The main form on a fake port and a manual clock, started as the console
// starts, with its timers stopped so a test drives every tick itself. No
// widgets: tests of the window add one (support/windowfixture.h).
#include "app/clock.h"
#include "app/colours.h"
#include "app/mainscreen.h"
#include "comms/fakecommsport.h"

#include <QByteArray>
#include <memory>

struct Console {
    FakeCommsPort port;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))};
    std::unique_ptr<Mainscreen> window;

    Console();
    Mainscreen &w() { return *window; }
    GlobalDec &g() { return window->state(); }

    // Opens port 1 as a click on its button would.
    void openPort1();
    // The receiver sends `bytes` as one burst; the poll reads it on the
    // second tick, once the count has stood still.
    void receive(const QByteArray &bytes);
};

// A colour in a failed comparison, as "#rrggbb".
char *toString(const Colour &colour);

// Bytes from hex pairs separated by blanks: "82 01 23".
QByteArray hexBytes(const char *hex);

// A telemetry frame with a valid CRC: type code, transmitter number, status,
// the three data bytes and the signal level (0..15).
QByteArray telemetryFrame(int type, int txno, int status, int b6, int b7, int b8, int level);

// Everything a file holds, or nothing when it cannot be read.
QByteArray fileContents(const QString &path);
