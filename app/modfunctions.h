// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The console's procedures. Each works on the program-wide variables, the
// main window's controls and the serial port; the handlers of the windows
// call them. Each is defined beside the subsystem it belongs to.
#include <cstdint>

#include "reception/handledmessage.h"
#include "reception/telemetry.h"

struct GlobalDec;
class Mainscreen;
class CommsPort;
class Clock;
class LogWriter;
class MessageFeed;

class ModFunctions {
public:
    ModFunctions(GlobalDec &state, Mainscreen &window, CommsPort &port, const Clock &clockSource, LogWriter &writer,
                 MessageFeed &feed)
        : m_g(state), m_ui(window), commsport(port), m_clock(clockSource), m_log(writer), m_feed(feed)
    {}

    // Clock (app/updateclock.cpp)
    void UpdateClock();

    // Receive poll and framing (reception/readcomms.cpp)
    void ReadComms();
    void CheckCRC();

    // Telemetry decoders (reception/decoders.cpp): set the message's
    // variables, build msgtext, run UpdateDisplayRows.
    void DecodeMessage(TxType type);

    // Display table (reception/displayrows.cpp)
    void UpdateDisplayRows();

    // Signal history (reception/history.cpp)
    void AddToHistory(int level, std::int32_t txnumber);
    void ScanningMessage();

    // Signal monitor (monitor/redrawmonitor.cpp)
    void RedrawMonitor();

    // Log files (logging/logmessage.cpp, logging/logdisplaydata.cpp)
    bool LogFolderUsable() const;
    void LogMessage();
    void LogDisplayData();

    // Receiver commands (config/calccrc.cpp)
    void CalcCRC();
    void SendCommand(); // closes cmdstring with its CRC and writes it

private:
    GlobalDec &m_g;
    Mainscreen &m_ui;
    CommsPort &commsport;
    const Clock &m_clock;
    LogWriter &m_log;
    MessageFeed &m_feed;
    HandledMessage m_handled; // the message in hand, for the feed
};
