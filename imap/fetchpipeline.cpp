#include "imap/fetchpipeline.h"

void FetchPipeline::setBounds(int count, qint64 bytes)
{
    m_count = qMax(0, count);
    m_bytes = qMax<qint64>(0, bytes);
}

void FetchPipeline::start(int first, int last)
{
    end();
    if (first >= 1 && first <= last) {
        m_next = first;
        m_last = last;
    }
}

void FetchPipeline::end()
{
    for (const Fetch &fetch : std::as_const(m_ahead))
        if (fetch.command)
            fetch.command->untagged = nullptr;
    m_ahead.clear();
    m_next = 0;
    m_last = 0;
    m_deliveredBytes = 0;
    m_delivered = 0;
}

std::optional<Fetch> FetchPipeline::advance(int exists, const Sender &send)
{
    if (!inRun())
        return std::nullopt;
    const int number = int(m_next++);
    std::optional<Fetch> fetch;
    if (!m_ahead.isEmpty() && m_ahead.first().number == number)
        fetch = m_ahead.takeFirst();
    else
        fetch = send(number);
    for (int ahead : toSend(exists)) {
        std::optional<Fetch> sent = send(ahead);
        if (!sent)
            break;
        m_ahead.append(*sent);
    }
    return fetch;
}

// Bounded by count and by the bytes the fetches will hold: a message that is in counts at its
// size, one still arriving at the run's average.
QList<int> FetchPipeline::toSend(int exists) const
{
    QList<int> numbers;
    if (!inRun())
        return numbers;
    const qint64 last = qMin<qint64>(m_last, exists);
    qint64 number = m_ahead.isEmpty() ? m_next : m_ahead.last().number + 1;
    const qint64 average = averageBytes();
    qint64 held = 0;
    for (const Fetch &fetch : m_ahead)
        held += fetch.message && fetch.message->body ? fetch.message->body->size() : average;
    while (number <= last && m_ahead.size() + numbers.size() < m_count && held + average <= m_bytes) {
        numbers.append(int(number++));
        held += average;
    }
    return numbers;
}

void FetchPipeline::delivered(qint64 bytes)
{
    m_deliveredBytes += bytes;
    ++m_delivered;
}

qint64 FetchPipeline::averageBytes() const
{
    return m_delivered > 0 ? m_deliveredBytes / m_delivered : FirstGuessBytes;
}
