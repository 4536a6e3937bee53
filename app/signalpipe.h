// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// POSIX signals noticed in the event loop, by the self-pipe trick: the
// handler only writes the signal's number to a non-blocking pipe (write(2) is
// async-signal-safe), and a socket notifier on its other end emits
// received() in the event loop. Nothing polls: a program asleep stays asleep
// until a signal comes. One SignalPipe per signal at a time; the signal's
// handling before it is put back when the SignalPipe goes.
#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

class SignalPipe : public QObject {
    Q_OBJECT
public:
    SignalPipe(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalPipe() override;
    SignalPipe(const SignalPipe &) = delete;
    SignalPipe &operator=(const SignalPipe &) = delete;

    // Whether the pipe could be made (and so the signals are caught).
    bool isValid() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    int m_read = -1;
    int m_write = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::vector<int> m_signals;
};
