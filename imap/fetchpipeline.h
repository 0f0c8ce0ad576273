#pragma once

#include "imap/bodystructure.h"
#include "imap/connection.h"
#include "imap/fetchresponse.h"

#include <QHash>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

// One FETCH of a message, sent ahead of the call that will hand it over, or by that call.
struct Fetch {
    int number = 0;
    std::shared_ptr<SentCommand> command;
    std::shared_ptr<FetchedMessage> message; // filled as its answer arrives
    ReadingPlan plan;
};

// One FETCH of the outlines (size and structure) of the messages first..last.
struct OutlineFetch {
    int first = 0;
    int last = 0;
    std::shared_ptr<SentCommand> command;
    std::shared_ptr<QHash<int, ReadingPlan>> plans; // filled as its answers arrive
};

// The read-ahead of one sequential run. The outlines of the numbers ahead are asked for a window
// at a time; each message is asked for, in order, once its outline shows how to read it, within
// the bounds on the fetches in flight and on the bytes their answers will hold. The caller sends
// and waits; the pipeline holds no socket.
class FetchPipeline {
public:
    // Each sends its FETCH; nullopt when it cannot be sent.
    struct Senders {
        std::function<std::optional<OutlineFetch>(int first, int last)> outlines;
        std::function<std::optional<Fetch>(int number, const ReadingPlan &plan)> message;
    };
    static constexpr int OutlineWindow = 100; // numbers in the first outline FETCH, at least in later ones
    static constexpr qint64 UnknownSizeGuess = qint64(64) << 10; // a message without an outline

    void setBounds(int count, qint64 bytes); // 0 count: no reading ahead, and every message whole

    void start(int first, int last); // an empty range starts no run
    // Gives up the run: the answers of its fetches still in flight are read off, but nobody keeps them.
    void end();
    bool inRun() const { return m_next > 0; }

    bool isNext(int number) const { return inRun() && number == m_next; }
    qint64 last() const { return m_last; }
    // Moves the run past its next number: the one the caller now waits for (current()).
    void advance();
    // Sends what may go now: outlines ahead, and messages whose outline is in. The message handed
    // over now goes whatever the bounds and the mailbox's size; those after it within both.
    void topUp(int exists, const Senders &send);
    // The fetch of the message handed over now; null until it has been sent.
    const Fetch *current() const;

private:
    bool mayAskOutlines();
    std::optional<ReadingPlan> planOf(int number, qint64 last);
    bool fits(const ReadingPlan &plan) const;

    qint64 m_next = 0; // the first number not yet handed over; 0: no run
    qint64 m_last = 0;
    qint64 m_current = 0; // being handed over
    qint64 m_outlined = 0; // the last number whose outline was asked for
    qint64 m_sent = 0;     // the last number whose message was asked for
    bool m_outlinesRefused = false;
    QList<OutlineFetch> m_outlines; // in order, those with numbers not yet asked for
    QList<Fetch> m_fetches;         // in order, from the current number on
    qint64 m_bytesAhead = 0;        // what those after the current one will hold
    int m_count = 0;
    qint64 m_bytes = 0;
};
