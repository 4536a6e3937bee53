// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// halvern-station --forget NUMBER: a transmitter heard once (a neighbour's, a
// unit on the bench) stays a device in Home Assistant for as long as its
// retained configs stay on the broker. This clears them, with its retained
// reading and silent flag, and leaves everything else alone: a running
// station keeps its connection (this one has a client id of its own); one
// that has heard the transmitter announces it again when Home Assistant
// restarts, as it announces everything it has heard.
#include "mqtt/mqttoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

// How long the broker has to take the connection and acknowledge every
// message, reconnects included.
inline constexpr int kForgetWaitMs = 5000;

// The retained topics of transmitter txno of a station: every discovery
// config a transmitter of any type can have (its type is not known here),
// then P/S/tx/N and P/S/tx/N/silent.
QList<QByteArray> forgottenTopics(const QString &prefix, const QString &station, qint32 txno);

// Publishes an empty retained message, QoS 1, to each of them and waits for
// the broker to acknowledge them all, the event loop running meanwhile (a
// QCoreApplication must exist). On success writes each topic cleared and a
// line saying what was forgotten to standard output and returns 0; a broker
// not reached within waitMs is one line on standard error and 1.
int forgetTransmitter(const MqttOptions &options, qint32 txno, int waitMs = kForgetWaitMs);
