#pragma once

#include <QChar>
#include <QString>

namespace dw {

// FormatThousands for millions of numbers: the same texts, made without the locale
// machinery for each number. It reads the default locale's digits and group separator
// when it is made; where they are not single characters it falls back to
// FormatThousands itself, so the texts are always the same as FormatThousands gives.
class ThousandsText {
public:
    ThousandsText();

    // FormatThousands(n) in the default locale at the time this object was made.
    QString operator()(qint64 n) const;

    // The same written as UTF-8 into `out` (at least kMaxUtf8 bytes); returns the
    // number of bytes written.
    static constexpr int kMaxUtf8 = 96;
    int toUtf8(qint64 n, char* out) const;

private:
    int format(qint64 n, char16_t* out) const;

    bool fast_ = false;
    char16_t zero_ = u'0';
    char16_t group_ = u',';
    char16_t minus_ = u'-';
};

}  // namespace dw
