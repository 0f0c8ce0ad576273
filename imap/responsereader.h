#pragma once

#include "imap/imapresponse.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Cuts the bytes of a connection into responses. Refuses (failed()) literals and lines beyond
// sane sizes instead of growing without bound.
class ResponseReader {
public:
    static constexpr qsizetype MaxLineBytes = 1 << 20;
    static constexpr qint64 MaxLiteralBytes = qint64(64) << 20;
    // Real answers carry a handful; each piece costs far more memory than its announcement.
    static constexpr qsizetype MaxLiteralsPerResponse = 1000;

    void feed(const QByteArray &bytes);
    std::optional<ImapResponse> next();
    bool failed() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }
    void clear();

    // The response still being received: its first line, and its current literal's progress.
    QByteArray partialFirstLine() const;
    qint64 literalReceived() const { return m_inLiteral ? m_literal.size() : 0; }
    qint64 literalSize() const { return m_inLiteral ? m_literalSize : 0; }
    qint64 receivedBytes() const { return m_currentBytes - (m_inLiteral ? m_literalSize - m_literal.size() : 0); }

private:
    void process();
    void fail(const QString &text);

    QByteArray m_buffer;
    ImapResponse m_current;
    QByteArray m_literal;
    qint64 m_literalSize = 0;
    qint64 m_currentBytes = 0;
    bool m_inLiteral = false;
    QList<ImapResponse> m_ready;
    QString m_error;
};
