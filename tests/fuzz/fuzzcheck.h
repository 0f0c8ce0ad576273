#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding: say which one and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                    \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)

// Surrogates only in whole pairs.
inline bool IsWellFormedUtf16(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLowSurrogate())
            return false;
        if (text[i].isHighSurrogate() && !(i + 1 < text.size() && text[++i].isLowSurrogate()))
            return false;
    }
    return true;
}
