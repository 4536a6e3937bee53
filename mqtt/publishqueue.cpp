// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "publishqueue.h"

#include <algorithm>

void PublishQueue::setLimit(qsizetype limit)
{
    m_limit = std::max<qsizetype>(1, limit);
}

void PublishQueue::push(OutgoingMessage message)
{
    message.mid = 0;
    message.done = false;
    m_messages.push_back(std::move(message));
    while (size() > m_limit && makeRoom()) {}
}

// One message fewer: a taken one first (not a loss), else the oldest not yet
// handed (counted). A handed one stays: the library holds it until taken.
bool PublishQueue::makeRoom()
{
    if (m_done > 0) {
        const auto taken = std::find_if(m_messages.begin(), m_messages.begin() + m_handed,
                                        [](const OutgoingMessage &message) { return message.done; });
        m_messages.erase(taken);
        --m_handed;
        --m_done;
        return true;
    }
    if (m_handed == size())
        return false;
    m_messages.erase(m_messages.begin() + m_handed);
    ++m_dropped;
    return true;
}

OutgoingMessage *PublishQueue::handNext()
{
    if (m_handed == size())
        return nullptr;
    OutgoingMessage &message = m_messages[size_t(m_handed)];
    ++m_handed;
    ++m_inFlight;
    return &message;
}

void PublishQueue::refuseLast()
{
    if (m_handed == 0)
        return;
    m_messages.erase(m_messages.begin() + --m_handed);
    --m_inFlight;
    ++m_dropped;
}

void PublishQueue::taken(int mid)
{
    for (qsizetype i = 0; i < m_handed; ++i) {
        OutgoingMessage &message = m_messages[size_t(i)];
        if (!message.done && message.mid == mid) {
            message.done = true;
            --m_inFlight;
            ++m_done;
            break;
        }
    }
    popTaken();
}

void PublishQueue::connectionLost()
{
    // The taken ones are delivered: only the rest is handed again.
    std::erase_if(m_messages, [](const OutgoingMessage &message) { return message.done; });
    for (OutgoingMessage &message : m_messages)
        message.mid = 0;
    m_handed = 0;
    m_inFlight = 0;
    m_done = 0;
}

void PublishQueue::popTaken()
{
    while (!m_messages.empty() && m_messages.front().done) {
        m_messages.pop_front();
        --m_handed;
        --m_done;
    }
}

void PublishQueue::preload(std::vector<OutgoingMessage> messages)
{
    Q_ASSERT(m_handed == 0); // before any connection
    // Called later all the same: behind the handed ones, where the
    // connection's bookkeeping is not disturbed, and room made the usual way,
    // so no handed message is dropped.
    std::for_each(messages.begin(), messages.end(), [](OutgoingMessage &message) {
        message.mid = 0;
        message.done = false;
        message.preloaded = true;
    });
    m_messages.insert(m_messages.begin() + m_handed, std::make_move_iterator(messages.begin()),
                      std::make_move_iterator(messages.end()));
    while (size() > m_limit && makeRoom()) {}
}

bool PublishQueue::holdsPreloaded() const
{
    // Usually the front one, so this seldom looks further.
    return std::any_of(m_messages.begin(), m_messages.end(),
                       [](const OutgoingMessage &message) { return message.preloaded && !message.done; });
}

std::vector<OutgoingMessage> PublishQueue::takeAll()
{
    std::vector<OutgoingMessage> left;
    left.reserve(m_messages.size());
    for (OutgoingMessage &message : m_messages) {
        if (!message.done)
            left.push_back(std::move(message));
    }
    m_messages.clear();
    m_handed = 0;
    m_inFlight = 0;
    return left;
}
