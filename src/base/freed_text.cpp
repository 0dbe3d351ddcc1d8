#include "base/freed_text.h"

#include "base/utility.h"

namespace dw {

namespace {

QString figure(qint64 n, FreedStyle style) {
    return style == FreedStyle::Window ? FormatThousands(n) : QString::number(n);
}

}  // namespace

QString freedBytesText(qint64 bytes, bool exact, FreedStyle style) {
    const QString text = figure(bytes, style) + QStringLiteral(" bytes");
    return exact ? text : QStringLiteral("at most ") + text;
}

QString zipSavingsText(qint64 freed, bool exact, qint64 archivesOnDisk, FreedStyle style) {
    const qint64 won = freed - archivesOnDisk;
    // An upper bound on what was freed is one on the savings too.
    const QString net =
        won >= 0 ? QStringLiteral("a savings of ") + freedBytesText(won, exact, style)
                 : QStringLiteral("a loss of ") + figure(-won, style) + QStringLiteral(" bytes");
    const QString text = style == FreedStyle::Window
                             ? QStringLiteral("Freed %1; the archives take %2 on the disk: %3.")
                             : QStringLiteral("freed %1; the archives take %2 on the disk: %3");
    return text.arg(freedBytesText(freed, exact, style),
                    figure(archivesOnDisk, style) + QStringLiteral(" bytes"), net);
}

}  // namespace dw
