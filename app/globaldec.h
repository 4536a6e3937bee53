// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program-wide variables, one set for the run, owned by the main window.
// Every procedure reads and writes them from the user-interface thread only.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

class MonitorView;

inline constexpr int kDisplayRows = 42; // the display table's rows

struct GlobalDec {
    // Receive poll and framing
    QByteArray instring;             // bytes of the current message, empty between messages
    std::array<int, 1001> rxbytes{}; // byte values by position from 1; never cleared
    std::int32_t rxcount = 0;        // count latch, then the current message's length
    bool crcok = false;
    std::uint8_t crclo = 0; // CRC register halves, shared by the receive
    std::uint8_t crchi = 0; // check and the command CRC

    // The current telemetry message
    QString msgtext;
    std::int32_t txno = 0;
    int txstatus = 0;
    int slevel = 0;
    double tempvalue = 0;
    std::int64_t logvalue = 0;
    std::int32_t lowadc = 0;
    std::int32_t highadc = 0;
    QString ch1text;
    QString ch2text;

    // Display table
    bool txfound = false;
    int rowidx = 0;

    // Signal history: entries 0 to kHistoryNewest (reception/signalhistory.h), the newest last
    std::array<int, 1001> sighist{};
    std::array<std::int32_t, 1001> txhist{};
    int histidx = 0;

    // Logging
    QString logfilename;
    int lastlogmin = 0;
    QString logfolder; // the folder text in effect: taken when its editing ends
    QString logbase;   // the base name in effect, likewise
    // How the folder in effect has fared in its test since it took effect:
    // never passed (a folder the user chose that does not serve), passing, or
    // passed and now failing (away for a while: its lines wait).
    enum class LogFolderState { NotPassed, Passing, Away };
    LogFolderState logfolderstate = LogFolderState::NotPassed;
    std::array<QString, kDisplayRows> rowdate{}; // Date field of each row's last reading; empty: none

    // Clock texts, set only by UpdateClock
    QString timestr, hourstr, minstr, secstr;
    QString daystr, monthstr, yearstr;

    // Receiver commands
    QByteArray cmdstring;
    std::int32_t progaddr = 0, addrhigh = 0, addrmid = 0, addrlow = 0;

    // Signal monitor
    bool monfreeze = false;
    MonitorView *monform = nullptr; // the loaded monitor window, if any (monitor/monitorview.h)
    std::int32_t barwidth = 0;
};
