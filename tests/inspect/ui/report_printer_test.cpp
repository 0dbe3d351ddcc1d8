#include <gtest/gtest.h>

#include <QFile>
#include <QFontInfo>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "base/grid_table.h"
#include "inspect/report_lines.h"
#include "inspect/ui/report_printer.h"
#include "support/scripted_prompter.h"

namespace dw {
namespace {

// The number of pages of a PDF file, from its page objects.
int pdfPages(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray data = f.readAll();
    return int(
        QString::fromLatin1(data).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

TEST(ReportPrinter, GridReportFillsPagesOfAPdf) {
    QTemporaryDir dir;
    GridTable grid(2);
    grid.setTitles({QStringLiteral("Filename"), QStringLiteral("Size")});
    for (int i = 0; i < 300; ++i) {
        grid.appendRow({QStringLiteral("file-%1.txt").arg(i), QString::number(i * 1000)});
    }
    const QString pdf = dir.filePath(QStringLiteral("grid.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    test::ScriptedPrompter prompter;
    EXPECT_TRUE(PrintGridReport(printer, grid, {93, 58}, QStringLiteral("Duplicates")));
    EXPECT_TRUE(prompter.boxes().isEmpty());
    // 305 lines of 8 points do not fit on one page.
    EXPECT_GE(pdfPages(pdf), 2);
}

TEST(ReportPrinter, ListReportPrintsAndAFailedPrinterSaysSo) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    test::ScriptedPrompter prompter;
    EXPECT_TRUE(PrintListReport(printer, {QStringLiteral("Name:\tx"), QStringLiteral("Size:\t1")},
                                QStringLiteral("File details of /x")));
    EXPECT_EQ(pdfPages(pdf), 1);

    QPrinter broken;
    broken.setOutputFormat(QPrinter::PdfFormat);
    broken.setOutputFileName(dir.filePath(QStringLiteral("no/such/folder/x.pdf")));
    EXPECT_FALSE(PrintListReport(broken, {QStringLiteral("a")}, QStringLiteral("t")));
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text, QStringLiteral("Error printing report ... quitting"));
    EXPECT_EQ(prompter.boxes()[0].kind, platform::MessageKind::Error);
    EXPECT_TRUE(prompter.sounds().isEmpty());
}

TEST(ReportPrinter, ReportFontIsFixedPitch) {
    EXPECT_TRUE(QFontInfo(ReportFont(QStringLiteral("Courier New"), 8)).fixedPitch());
    EXPECT_EQ(ReportFont(QStringLiteral("Courier New"), 8).pointSize(), 8);
}

}  // namespace
}  // namespace dw
