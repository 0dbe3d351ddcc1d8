#include "inspect/report_lines.h"

#include <QLocale>

#include "base/grid_table.h"
#include "base/utility.h"

namespace dw {

namespace {

const QString kIndent = QStringLiteral("   ");

}  // namespace

QString PrintedLine(const QDateTime& printed) {
    const QLocale locale;
    return QStringLiteral("Printed : ") + locale.toString(printed.date(), QLocale::ShortFormat) +
           QStringLiteral("  ") + locale.toString(printed.time(), LongTimeFormat(locale));
}

QString ReportCell(QStringView text, int width) {
    QString cell;
    if (width > 0) {
        cell.reserve(width + 1);
        int chars = 0;
        for (qsizetype i = 0; i < text.size() && chars < width; ++i, ++chars) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                cell += c;
                cell += text[++i];
            } else if (c.unicode() < 32 || c.unicode() == 127) {
                cell += u'?';
            } else {
                cell += c;
            }
        }
        for (; chars < width; ++chars) {
            cell += u' ';
        }
    }
    cell += u' ';
    return cell;
}

QStringList GridReportLines(const GridTable& grid, const QList<int>& columnWidths,
                            const QString& title, const QDateTime& printed) {
    QStringList lines;
    lines.reserve(grid.rowCount() + 4);
    lines << title << PrintedLine(printed) << QString() << QString();
    for (qsizetype r = 0; r < grid.rowCount(); ++r) {
        QString line;
        for (int c = 0; c < grid.columnCount(); ++c) {
            const int width = c < columnWidths.size() ? ReportColumnChars(columnWidths[c]) : 0;
            line += ReportCell(grid.cell(c, r), width);
        }
        lines << line;
    }
    return lines;
}

QStringList ListReportLines(const QStringList& list, const QString& title,
                            const QDateTime& printed) {
    QStringList lines;
    lines.reserve(list.size() + 4);
    lines << kIndent + title << kIndent + PrintedLine(printed) << QString() << QString();
    for (const QString& line : list) {
        lines << kIndent + line;
    }
    return lines;
}

}  // namespace dw
