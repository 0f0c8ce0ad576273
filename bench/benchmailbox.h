#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <random>

constexpr qsizetype LargeAttachmentBytes = qsizetype(2) << 20;

// A folder's worth of raw messages for the reading bench, the same on every run: sizes spread
// around 20 KB; plain text, HTML only, multipart/alternative and multipart/mixed with a base64
// attachment; encoded-word subjects and sender names; Latin-1 as well as UTF-8 bodies. Every
// largeAttachmentEvery-th message (0: none) also carries an attachment of LargeAttachmentBytes.
QList<QByteArray> BenchMessages(int count, int largeAttachmentEvery = 0);

// The same messages one at a time, for folders too big to hold at once.
void ForEachBenchMessage(int count, const std::function<void(const QByteArray &)> &take, int largeAttachmentEvery = 0);

// Lines of about 70 characters of the bench's words (Latin and accented) until the text is
// `size` characters long.
QString Prose(std::mt19937 &rng, qsizetype size);
