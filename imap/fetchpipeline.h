#pragma once

#include "imap/connection.h"
#include "imap/fetchresponse.h"

#include <QList>
#include <functional>
#include <memory>
#include <optional>


// One FETCH of a sequential run, sent ahead of the call that will hand its message over.
struct Fetch {
    int number = 0;
    std::shared_ptr<SentCommand> command;
    std::shared_ptr<FetchedMessage> message; // filled as its answer arrives
};

// The read-ahead of one sequential run: which number is handed over next, which fetches are in
// flight for the numbers after it, and which to send within the bounds on their count and bytes.
// The caller sends and waits; the pipeline holds no socket.
class FetchPipeline {
public:
    // Sends the FETCH of a number; nullopt when it cannot be sent.
    using Sender = std::function<std::optional<Fetch>(int number)>;
    static constexpr qint64 FirstGuessBytes = qint64(64) << 10; // before any message of the run

    void setBounds(int count, qint64 bytes); // 0 count: no reading ahead

    void start(int first, int last); // an empty range starts no run
    // Gives up the run: the answers of its fetches still in flight are read off, but nobody keeps them.
    void end();
    bool inRun() const { return m_next > 0; }

    bool isNext(int number) const { return inRun() && number == m_next; }
    qint64 last() const { return m_last; }
    // Moves the run past its next number: that number's fetch, sent ahead or sent now, and the
    // fetches ahead topped up. The mailbox's size bounds the run too.
    std::optional<Fetch> advance(int exists, const Sender &send);
    void delivered(qint64 bytes); // a message handed over: the average size follows it

    // The numbers to fetch ahead now, in order.
    QList<int> toSend(int exists) const;

private:
    qint64 averageBytes() const;

    qint64 m_next = 0; // the first number not yet handed over; 0: no run
    qint64 m_last = 0;
    QList<Fetch> m_ahead; // in order, from m_next on
    qint64 m_deliveredBytes = 0;
    int m_delivered = 0;
    int m_count = 0;
    qint64 m_bytes = 0;
};
