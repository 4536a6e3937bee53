// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The messages an MQTT connection still owes the broker, oldest first. The
// first `handed` of them were given to the current connection and wait for
// the broker (QoS 1) or the socket (QoS 0) to take them; they leave the queue
// only then. When the connection drops, the ones not yet taken are handed
// again first, in order.
//
// The limit covers everything held for the broker: the library keeps its own
// copy of each handed message until it is taken, and each of those is also
// here, so nothing handed is ever dropped. Past the limit the oldest message
// not yet handed is dropped and counted (while the broker is away that is
// the oldest of all; a broker that takes nothing keeps its handed ones and
// newer messages go), so a broker away or stuck for days costs bounded
// memory.
#include <QByteArray>
#include <QtGlobal>
#include <deque>
#include <vector>

struct OutgoingMessage {
    QByteArray topic;
    QByteArray payload;
    int qos = 0;
    bool retain = false;
    int mid = 0;            // the connection's message id while handed
    bool done = false;      // taken, but behind one that is not yet
    bool preloaded = false; // left by an earlier run (preload())
};

class PublishQueue {
public:
    static constexpr qsizetype kDefaultLimit = 10000;

    void setLimit(qsizetype limit);
    void push(OutgoingMessage message);

    // The next message to give the connection, counted as handed from now
    // on (the connection may take it before the call that gives it returns);
    // nullptr when every message is handed.
    OutgoingMessage *handNext();
    // The connection refused the message handNext() gave last, for good (too
    // big for the broker, say): it is dropped and counted.
    void refuseLast();
    // The connection took the message with this id.
    void taken(int mid);
    // The connection is gone: nothing is handed any more.
    void connectionLost();

    qsizetype size() const { return qsizetype(m_messages.size()); }
    bool isEmpty() const { return m_messages.empty(); }
    qsizetype inFlight() const { return m_inFlight; }
    qint64 dropped() const { return m_dropped; }

    // Before the first connection only (nothing handed yet): messages an
    // earlier run left, oldest first, ahead of everything. Past the limit the
    // oldest are dropped and counted as usual. (Called with messages handed,
    // which asserts, they go right behind those, none of which is dropped.)
    void preload(std::vector<OutgoingMessage> messages);
    // Whether any preloaded message still waits to be taken.
    bool holdsPreloaded() const;
    // Everything not yet taken, oldest first; the queue is empty afterwards.
    std::vector<OutgoingMessage> takeAll();

private:
    bool makeRoom();
    void popTaken();

    std::deque<OutgoingMessage> m_messages;
    qsizetype m_limit = kDefaultLimit;
    qsizetype m_handed = 0;   // m_messages[0, m_handed) were handed
    qsizetype m_inFlight = 0; // of those, the ones not yet taken
    qsizetype m_done = 0;     // of those, the ones taken (behind one in flight)
    qint64 m_dropped = 0;
};
