// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Receiver traffic for the simulator: well-formed telemetry frames and
// scanning messages, plus the damage a real radio link produces.
#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <cstdint>
#include <optional>

enum class Profile { Steady, Busy, Noisy, Scanning };

struct TrafficOptions {
    Profile profile = Profile::Steady;
    int gapMs = 1000;       // least silence before each message
    bool badCrc = false;    // now and then damage a frame's CRC
    bool longBurst = false; // now and then send 251 or more bytes at once
    std::uint32_t seed = 1;
};

// The gap a profile uses when none is given.
int defaultGapMs(Profile profile);

// One message and the silence to keep before it.
struct Message {
    int pauseMs = 0;
    QByteArray bytes;
    std::optional<qint64> dueMs; // from a capture: not before this long after playing began
};

// An endless, repeatable (per seed) stream of receiver messages.
class Traffic {
public:
    explicit Traffic(const TrafficOptions &options);
    Message next();

private:
    struct Transmitter {
        std::uint8_t typeCode;
        std::uint32_t txno;
        std::uint8_t firmware;
        std::uint32_t count = 0;
        int halfDegrees = 40; // temperature in 0.5 degree steps
    };
    QByteArray frameFrom(Transmitter &tx);
    QByteArray garbage(int minBytes, int maxBytes);
    int pick(int bound) { return static_cast<int>(m_random.bounded(bound)); }
    bool oneIn(int n) { return pick(n) == 0; }

    TrafficOptions m_options;
    QRandomGenerator m_random;
    QList<Transmitter> m_transmitters;
    int m_nextTx = 0;
};
