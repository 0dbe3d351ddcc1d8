#include "base/utility.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/file_types.h"
#include "platform/native_file.h"
#include "platform/paths.h"

namespace dw {

namespace {

// The default locale, but always with its group separator: the C locale (and a user's
// number options) may leave it out, and these texts promise it.
QLocale groupingLocale() {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

}  // namespace

QString FormatThousands(qint64 n) {
    return groupingLocale().toString(n);
}

QString FormatFloatThousands(double x) {
    if (!std::isfinite(x)) {
        return {};
    }
    const double whole = std::round(x);
    if (std::fabs(whole) >= 1e14) {
        // Keep 14 significant digits: the decimal exponent form rounds them for us.
        const QString sci = QString::number(whole, 'e', 13);  // "-1.2345678901235e+17"
        const qsizetype ePos = sci.indexOf(QLatin1Char('e'));
        const int exponent = sci.mid(ePos + 1).toInt();
        QString digits = sci.left(ePos);
        const bool negative = digits.startsWith(QLatin1Char('-'));
        digits.remove(QLatin1Char('-')).remove(QLatin1Char('.'));
        digits = digits.leftJustified(exponent + 1, QLatin1Char('0'));
        bool ok = false;
        const qint64 asInteger = digits.toLongLong(&ok);
        if (ok) {
            return FormatThousands(negative ? -asInteger : asInteger);
        }
        // Beyond 64 bits (no file total gets here). Grouped by hand: printing the double
        // in fixed form would show the binary value's digits, not the rounded ones.
        const QLocale locale = groupingLocale();
        QString grouped;
        for (qsizetype i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0) {
                grouped += locale.groupSeparator();
            }
            grouped += digits.at(i);
        }
        return negative ? locale.negativeSign() + grouped : grouped;
    }
    // Below 1e14 every whole number is exact in a double and fits in 64 bits; -0 is 0.
    return FormatThousands(static_cast<qint64>(whole));
}

qint64 StrToIntSafe(const QString& text) {
    const QString trimmed = text.trimmed();
    // toLongLong alone would also take "0x1f" style and locale-free forms we do not want
    // to promise; require sign and digits only.
    qsizetype i = 0;
    if (i < trimmed.size() && (trimmed.at(i) == u'+' || trimmed.at(i) == u'-')) {
        ++i;
    }
    if (i == trimmed.size()) {
        return 0;
    }
    for (; i < trimmed.size(); ++i) {
        if (!IsDigit(trimmed.at(i))) {
            return 0;
        }
    }
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, 10);
    return ok ? value : 0;
}

double StrToFloatSafe(const QString& text) {
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString DateToTextSafe(const QDate& date) {
    const QLocale locale;
    if (date.isValid()) {
        const QString text = locale.toString(date, QLocale::ShortFormat);
        if (!text.isEmpty()) {
            return text;
        }
    }
    return locale.toString(QDate(1980, 1, 1), QLocale::ShortFormat);
}

QString LongTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c == u't') {
            continue;
        }
        kept += c;
    }
    return kept.simplified();
}

QString DigitsOnly(const QString& text) {
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (IsDigit(c)) {
            digits.append(c);
        }
    }
    return digits;
}

QString TabField(const QString& line, int n) {
    if (n < 1) {
        return {};
    }
    qsizetype start = 0;
    for (int field = 1; field < n; ++field) {
        const qsizetype tab = line.indexOf(u'\t', start);
        if (tab < 0) {
            return {};
        }
        start = tab + 1;
    }
    qsizetype end = line.indexOf(u'\t', start);
    if (end < 0) {
        end = line.size();
    }
    while (start < end && line.at(start).unicode() <= 32) {
        ++start;
    }
    while (end > start && line.at(end - 1).unicode() <= 32) {
        --end;
    }
    return line.mid(start, end - start);
}

bool IsBlankText(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u != 8 && u != 10 && u != 13 && u != 32) {
            return false;
        }
    }
    return true;
}

QString RelativeDateText(const QDate& date, const QDateTime& reference) {
    const QDate now = reference.date();
    if (!date.isValid() || !now.isValid() || date < QDate(1, 1, 1)) {
        return {};
    }
    const qint64 dayF = date.toJulianDay();
    const qint64 dayN = now.toJulianDay();
    const bool future = dayN < dayF;
    const qint64 d = future ? dayF - dayN : dayN - dayF;
    if (d == 0) {
        return QStringLiteral("Today");
    }
    if (d == 1) {
        return future ? QStringLiteral("Tomorrow") : QStringLiteral("Yesterday");
    }
    // Weekdays counted 1 for Sunday to 7 for Saturday (Qt counts 1 for Monday to 7 for Sunday).
    const int wN = now.dayOfWeek() % 7 + 1;
    const int wF = date.dayOfWeek() % 7 + 1;
    const qint64 monthsN = qint64(now.year()) * 12 + now.month();
    const qint64 monthsF = qint64(date.year()) * 12 + date.month();
    const qint64 m = future ? monthsF - monthsN : monthsN - monthsF;
    const qint64 y = future ? qint64(date.year()) - now.year() : qint64(now.year()) - date.year();
    const QString years = QString::number(m / 12);
    const qint64 restMonths = m % 12;
    const auto mon = [](qint64 count) {
        return QString::number(count) +
               (count > 1 ? QStringLiteral(" mons") : QStringLiteral(" mon"));
    };

    if (!future) {
        const qint64 w = (d + wF - 1) / 7;
        if (w == 0) {
            return QStringLiteral("This week");
        }
        if (w == 1) {
            return QStringLiteral("Last week");
        }
        if (m < 3) {
            return QString::number(w) + QStringLiteral(" wks ago");
        }
        if (y <= 2) {
            return mon(m) + QStringLiteral(" ago");
        }
        QString text = years + QStringLiteral(" yrs ");
        if (restMonths > 0) {
            text += mon(restMonths) + QLatin1Char(' ');
        }
        return text + QStringLiteral("ago");
    }

    const qint64 w = (d + wN - 1) / 7;
    if (7 - wN >= d) {
        return QStringLiteral("This week");
    }
    if (w < 2) {
        return QStringLiteral("Next week");
    }
    if (m < 3) {
        return QString::number(w) + QStringLiteral(" wks");
    }
    if (y <= 2) {
        return mon(m);
    }
    QString text = years + QStringLiteral(" yrs");
    if (restMonths > 0) {
        text += QLatin1Char(' ') + mon(restMonths);
    }
    return text;
}

QString FileTypeName(const QString& ext) {
    if (ext == QLatin1String("*.") || ext == QLatin1String(".")) {
        return QStringLiteral("No extension");
    }
    if (ext.isEmpty() || ext.contains(QLatin1Char('*'))) {
        return {};
    }
    const QString description = platform::fileTypeDescription(ext);
    if (!description.isEmpty()) {
        return description;
    }
    return ext.mid(1).toUpper() + QStringLiteral(" File");
}

QString FileTypeOfName(const QString& name) {
    const QString known = platform::fileTypeOfName(name);
    if (!known.isEmpty()) {
        return known;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return {};
    }
    if (dot == name.size() - 1) {
        return QStringLiteral("No extension");
    }
    return name.mid(dot + 1).toUpper() + QStringLiteral(" File");
}

void RegisteredExtensionPatterns(QStringList& list, bool withAll) {
    list.clear();
    const QStringList& suffixes = platform::knownFileSuffixes();
    list.reserve(suffixes.size() + 1);
    if (withAll) {
        list.append(QStringLiteral("*.*"));
    }
    for (const QString& suffix : suffixes) {
        // ".ext" at most 5 characters: the suffix itself at most 4.
        if (suffix.size() <= 4) {
            list.append(QStringLiteral("*.") + suffix);
        }
    }
}

QString ExtractStrings(const QByteArray& source, const QByteArray& target, int minLength,
                       int maxLength, const std::function<bool(qint64)>& goOn) {
    QFile in;
    QString why;
    // Only a stored file: a FIFO, a device or /proc/kmsg would wait or never end.
    if (!platform::openFileToLookAt(in, source, &why)) {
        return QStringLiteral("Could not open file ") + QFile::decodeName(source) +
               (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
    }
    QFile out;
    if (!platform::openNativeFile(out, target, QIODevice::WriteOnly)) {
        return QStringLiteral("Could not open file ") + QFile::decodeName(target);
    }

    constexpr qint64 kBlockSize = 2048;
    char block[kBlockSize];
    QByteArray run;
    bool tooLong = false;
    QByteArray lastWritten;
    bool lastWrittenSet = false;
    run.reserve(qMax(0, maxLength) + 2);
    // Ends the current run: writes it when it qualifies, then starts an empty one.
    const auto endRun = [&]() -> bool {
        if (run.size() > minLength && !tooLong && (!lastWrittenSet || run != lastWritten)) {
            if (out.write(run) != run.size() || !out.putChar('\n')) {
                return false;
            }
            lastWritten = run;
            lastWrittenSet = true;
        }
        run.clear();
        tooLong = false;
        return true;
    };
    const qint64 size = in.size();
    qint64 pos = 0;
    platform::DataRun data{0, 0};
    for (;;) {
        if (pos >= data.end) {
            if (pos < size) {
                data = platform::nextDataRun(in, pos, size);
                if (data.start > pos) {
                    // A hole holds only zeros, and a zero ends a run: one end for all.
                    if (!endRun()) {
                        return QStringLiteral("Could not write file ") + QFile::decodeName(target);
                    }
                    pos = data.start;
                }
                if (!in.seek(pos)) {
                    return QStringLiteral("Could not read file ") + QFile::decodeName(source);
                }
            }
            if (data.end >= size) {
                data.end = std::numeric_limits<qint64>::max();  // read on as long as it grows
            }
        }
        const qint64 got = in.read(block, std::min(kBlockSize, data.end - pos));
        if (got < 0) {
            return QStringLiteral("Could not read file ") + QFile::decodeName(source);
        }
        if (got == 0) {
            break;
        }
        // The run carries over from one block to the next: blocks are only how the file
        // is read, and a text must not lose the words that straddle a boundary.
        for (qint64 i = 0; i < got; ++i) {
            const char c = block[i];
            if (IsLetterOrDigit(c) || c == ' ') {
                if (run.size() <= maxLength) {
                    run.append(c);
                } else {
                    tooLong = true;
                }
                continue;
            }
            if (!endRun()) {
                return QStringLiteral("Could not write file ") + QFile::decodeName(target);
            }
        }
        pos += got;
        if (goOn && !goOn(pos)) {
            return {};
        }
    }
    // The file's end ends the last run like any other byte that is no run character.
    if (!endRun()) {
        return QStringLiteral("Could not write file ") + QFile::decodeName(target);
    }
    if (!out.flush()) {
        return QStringLiteral("Could not write file ") + QFile::decodeName(target);
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        return QStringLiteral("Could not write file ") + QFile::decodeName(target);
    }
    return {};
}

}  // namespace dw
