#include "scan/wildcard.h"

#include <QFile>

namespace dw {

namespace {

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The length of the character starting at `i`: a whole UTF-8 sequence when one starts
// there, else the single byte.
qsizetype charLength(const QByteArray& s, qsizetype i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    qsizetype length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length == 1 || i + length > s.size()) {
        return 1;
    }
    for (qsizetype k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

}  // namespace

bool WildcardMatch(const QByteArray& pattern, const QByteArray& name) {
    if (pattern == "*.*") {
        return true;
    }
    // Greedy matching that backtracks only to the last "*": linear for the usual
    // patterns, never exponential. A "*" grows by whole characters so that a "?" after
    // it never starts inside a multi-byte character.
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    const qsizetype pEnd = pattern.size();
    const qsizetype nEnd = name.size();
    while (n < nEnd) {
        if (p < pEnd && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pEnd && pattern[p] == '?') {
            ++p;
            n += charLength(name, n);
            continue;
        }
        if (p < pEnd && foldAscii(pattern[p]) == foldAscii(name[n])) {
            ++p;
            ++n;
            continue;
        }
        if (starP < 0) {
            return false;
        }
        starN += charLength(name, starN);
        p = starP;
        n = starN;
    }
    while (p < pEnd && pattern[p] == '*') {
        ++p;
    }
    return p == pEnd;
}

WildcardPattern::WildcardPattern() : WildcardPattern(QStringLiteral("*.*")) {}

WildcardPattern::WildcardPattern(const QString& text) : text_(text) {
    const QStringList parts = text.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        if (trimmed == QLatin1String("*.*") || trimmed == QLatin1String("*")) {
            everything_ = true;
        }
        patterns_.append(QFile::encodeName(trimmed));
    }
}

bool WildcardPattern::matches(const QByteArray& name) const {
    if (everything_) {
        return true;
    }
    for (const QByteArray& pattern : patterns_) {
        if (WildcardMatch(pattern, name)) {
            return true;
        }
    }
    return false;
}

}  // namespace dw
