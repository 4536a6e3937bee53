// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/signalpipe.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The pipe each signal number writes to (-1: none); read by the handler, so
// an atomic that is lock-free. The one program-wide thing a handler can reach.
constexpr int kSignalSlots = 65;
std::atomic<int> pipeFor[kSignalSlots];
struct sigaction before[kSignalSlots];
static_assert(std::atomic<int>::is_always_lock_free);

void onSignal(int number)
{
    const int saved = errno;
    const int fd = number > 0 && number < kSignalSlots ? pipeFor[number].load() : -1;
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1); // full pipe: signals enough are waiting
    }
    errno = saved;
}

bool nonBlockingPipe(int (&ends)[2])
{
    if (::pipe(ends) != 0)
        return false;
    for (const int fd : ends) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return true;
}
} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signalNumbers, QObject *parent) : QObject(parent)
{
    int ends[2] = {-1, -1};
    if (!nonBlockingPipe(ends))
        return;
    m_read = ends[0];
    m_write = ends[1];
    m_notifier = new QSocketNotifier(qintptr(m_read), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalPipe::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : signalNumbers) {
        if (number <= 0 || number >= kSignalSlots)
            continue;
        pipeFor[number].store(m_write);
        sigaction(number, &action, &before[number]);
        m_signals.push_back(number);
    }
}

SignalPipe::~SignalPipe()
{
    for (const int number : m_signals) {
        sigaction(number, &before[number], nullptr);
        pipeFor[number].store(-1);
    }
    if (m_read >= 0) {
        ::close(m_read);
        ::close(m_write);
    }
}

void SignalPipe::readPipe()
{
    unsigned char numbers[64];
    ssize_t got = 0;
    while ((got = ::read(m_read, numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < got; ++i)
            emit received(numbers[i]);
    }
}
#else
SignalPipe::SignalPipe(std::initializer_list<int>, QObject *parent) : QObject(parent) {}
SignalPipe::~SignalPipe() = default;
void SignalPipe::readPipe() {}
#endif
