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
    while (size() > m_limit) {
        // The front is never a taken one (popTaken), so this loses a message.
        if (m_handed > 0) {
            --m_handed;
            --m_inFlight;
        }
        m_messages.pop_front();
        ++m_dropped;
    }
}

OutgoingMessage *PublishQueue::handNext()
{
    while (m_handed < size() && m_messages[size_t(m_handed)].done)
        ++m_handed;
    if (m_handed == size())
        return nullptr;
    OutgoingMessage &message = m_messages[size_t(m_handed)];
    ++m_handed;
    ++m_inFlight;
    return &message;
}

void PublishQueue::taken(int mid)
{
    for (qsizetype i = 0; i < m_handed; ++i) {
        OutgoingMessage &message = m_messages[size_t(i)];
        if (!message.done && message.mid == mid) {
            message.done = true;
            --m_inFlight;
            break;
        }
    }
    popTaken();
}

void PublishQueue::connectionLost()
{
    for (qsizetype i = 0; i < m_handed; ++i)
        m_messages[size_t(i)].mid = 0;
    m_handed = 0;
    m_inFlight = 0;
}

void PublishQueue::popTaken()
{
    while (!m_messages.empty() && m_messages.front().done) {
        m_messages.pop_front();
        if (m_handed > 0)
            --m_handed;
    }
}
