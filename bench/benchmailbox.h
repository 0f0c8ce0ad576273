#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <random>

// A folder's worth of raw messages for the reading bench, the same on every run: sizes spread
// around 20 KB; plain text, HTML only, multipart/alternative and multipart/mixed with a base64
// attachment; encoded-word subjects and sender names; Latin-1 as well as UTF-8 bodies.
QList<QByteArray> BenchMessages(int count);

// The same messages one at a time, for folders too big to hold at once.
void ForEachBenchMessage(int count, const std::function<void(const QByteArray &)> &take);

// Lines of about 70 characters of the bench's words (Latin and accented) until the text is
// `size` characters long.
QString Prose(std::mt19937 &rng, qsizetype size);
