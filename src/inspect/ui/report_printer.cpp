#include "inspect/ui/report_printer.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextOption>

#include "inspect/report_lines.h"
#include "widgets/message_boxes.h"
#include "widgets/wait_cursor.h"

namespace dw {

bool ConfirmPrint(QPrinter& printer, QWidget* parent,
                  const std::function<bool(QPrinter&)>& scripted) {
    if (scripted) {
        return scripted(printer);
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Print"));
    return dialog.exec() == QDialog::Accepted;
}

namespace {

void showPrintError() {
    ShowBox(platform::MessageKind::Error, QString::fromLatin1(kPrintErrorText));
}

}  // namespace

QFont ReportFont(const QString& family, int points) {
    // What the font system substitutes for the family ("Nimbus Mono PS" for "Courier
    // New") serves as well, as long as it is fixed-pitch.
    QFont font(family, points);
    font.setStyleHint(QFont::TypeWriter);
    if (QFontInfo(font).fixedPitch()) {
        return font;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(points);
    fixed.setStyleHint(QFont::TypeWriter);
    if (QFontInfo(fixed).fixedPitch()) {
        return fixed;
    }
    // Some platforms (the offscreen one among them) answer the system font with a
    // proportional one: take the first installed family that is fixed pitch.
    const QStringList families = QFontDatabase::families();
    for (const QString& candidate : families) {
        if (QFontDatabase::isFixedPitch(candidate)) {
            QFont any(candidate, points);
            if (QFontInfo(any).fixedPitch()) {
                return any;
            }
        }
    }
    return fixed;
}

bool PrintReportLines(QPrinter& printer, const QStringList& lines, const QFont& font,
                      bool expandTabs) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        showPrintError();
        return false;
    }
    WaitCursor wait;
    painter.setFont(font);
    const QFontMetrics metrics(font, painter.device());
    const int lineHeight = std::max(metrics.lineSpacing(), 1);
    const QRect page = painter.viewport();
    const int width = page.width();
    const int height = page.height();
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    const int tabWidth = metrics.horizontalAdvance(QLatin1Char(' ')) * 8;
    int y = 0;
    bool ok = true;
    for (const QString& line : lines) {
        if (y > 0 && y + lineHeight > height) {
            if (!printer.newPage()) {
                showPrintError();
                ok = false;
                break;
            }
            y = 0;
        }
        const QRect box(0, y, width, lineHeight);
        painter.save();
        painter.setClipRect(box);
        if (expandTabs && line.contains(u'\t')) {
            // drawText expands tabs to the tab stops of its option only.
            QTextOption option(Qt::AlignLeft | Qt::AlignTop);
            option.setWrapMode(QTextOption::NoWrap);
            option.setTabStopDistance(tabWidth);
            painter.drawText(QRectF(box), line, option);
        } else {
            painter.drawText(box, flags, line);
        }
        painter.restore();
        y += lineHeight;
    }
    if (!painter.end()) {
        if (ok) {
            showPrintError();
        }
        ok = false;
    }
    return ok;
}

bool PrintGridReport(QPrinter& printer, const GridTable& grid, const QList<int>& columnWidths,
                     const QString& title) {
    return PrintReportLines(
        printer, GridReportLines(grid, columnWidths, title, QDateTime::currentDateTime()),
        ReportFont(QStringLiteral("Courier New"), 8), false);
}

bool PrintListReport(QPrinter& printer, const QStringList& list, const QString& title) {
    return PrintReportLines(printer, ListReportLines(list, title, QDateTime::currentDateTime()),
                            ReportFont(QStringLiteral("Courier"), 8), true);
}

}  // namespace dw
