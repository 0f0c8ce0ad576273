#include "imap/fetchpipeline.h"

namespace {

qint64 expectedBytes(const ReadingPlan &plan)
{
    return plan.bytes > 0 ? plan.bytes : FetchPipeline::UnknownSizeGuess;
}

} // namespace

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
        m_outlined = m_sent = first - 1;
    }
}

void FetchPipeline::end()
{
    for (const OutlineFetch &outlines : std::as_const(m_outlines))
        outlines.command->untagged = nullptr;
    for (const Fetch &fetch : std::as_const(m_fetches))
        fetch.command->untagged = nullptr;
    m_outlines.clear();
    m_fetches.clear();
    m_next = m_last = m_current = m_outlined = m_sent = 0;
    m_outlinesRefused = false;
    m_bytesAhead = 0;
}

void FetchPipeline::advance()
{
    if (!inRun())
        return;
    m_current = m_next++;
    m_sent = qMax(m_sent, m_current - 1); // a number given up unsent is not asked for later
    while (!m_fetches.isEmpty() && m_fetches.first().number < m_current)
        m_fetches.removeFirst();
    if (!m_fetches.isEmpty() && m_fetches.first().number == m_current)
        m_bytesAhead -= expectedBytes(m_fetches.first().plan);
}

const Fetch *FetchPipeline::current() const
{
    return m_current > 0 && !m_fetches.isEmpty() && m_fetches.first().number == m_current ? &m_fetches.first()
                                                                                           : nullptr;
}

void FetchPipeline::topUp(int exists, const Senders &send)
{
    if (m_current < 1)
        return;
    const qint64 last = qMin<qint64>(m_last, exists);
    if (m_count > 0 && m_outlined < last && m_outlined < m_current + m_count && mayAskOutlines()) {
        // The run's first window is small, so that its first message comes soon.
        const qint64 window = m_outlines.isEmpty() && m_outlined < m_current ? OutlineWindow : qMax(OutlineWindow, m_count);
        const qint64 first = m_outlined + 1;
        const std::optional<OutlineFetch> sent = send.outlines(int(first), int(qMin<qint64>(last, first + window - 1)));
        if (sent) {
            m_outlines.append(*sent);
            m_outlined = sent->last;
        }
    }
    while (m_sent < qMax(last, m_current)) {
        const int number = int(m_sent + 1);
        const std::optional<ReadingPlan> plan = planOf(number, last);
        if (!plan || (number > m_current && !fits(*plan)))
            break;
        const std::optional<Fetch> sent = send.message(number, *plan);
        if (!sent)
            break;
        m_fetches.append(*sent);
        m_sent = number;
        if (number > m_current)
            m_bytesAhead += expectedBytes(*plan);
    }
}

// One outline fetch at a time, the next as soon as the last is in: they stay a window ahead of the
// messages without queueing up in front of them. A refused one ends the outlines of the run.
bool FetchPipeline::mayAskOutlines()
{
    if (!m_outlines.isEmpty()) {
        const std::optional<ImapResponse> &done = m_outlines.last().command->completion;
        if (!done)
            return false;
        m_outlinesRefused = m_outlinesRefused || done->keyword != "OK";
    }
    return !m_outlinesRefused;
}

// The outline's plan; the whole message when its outline cannot come; nullopt while it may.
std::optional<ReadingPlan> FetchPipeline::planOf(int number, qint64 last)
{
    while (!m_outlines.isEmpty() && m_outlines.first().last < number)
        m_outlines.removeFirst();
    if (number > m_outlined && number <= last && m_count > 0 && !m_outlinesRefused)
        return std::nullopt; // its outline is asked for once the one before is in
    if (m_outlines.isEmpty() || m_outlines.first().first > number)
        return WholeMessage();
    const OutlineFetch &outlines = m_outlines.first();
    if (const auto plan = outlines.plans->constFind(number); plan != outlines.plans->cend())
        return *plan;
    if (outlines.command->completion) {
        m_outlinesRefused = m_outlinesRefused || outlines.command->completion->keyword != "OK";
        return WholeMessage();
    }
    return std::nullopt;
}

bool FetchPipeline::fits(const ReadingPlan &plan) const
{
    const qsizetype ahead = m_fetches.size() - (current() ? 1 : 0);
    return ahead < m_count && m_bytesAhead + expectedBytes(plan) <= m_bytes;
}
