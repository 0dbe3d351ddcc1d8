#include <gtest/gtest.h>

#include <QAbstractBarSeries>
#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPieSeries>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include <unistd.h>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/sort_grid.h"
#include "platform/volumes.h"
#include "safety/clean_totals.h"
#include "scan/ui/drive_check_list.h"
#include "stats/ui/statistics_window.h"
#include "stats/ui/which_drive_dialog.h"
#include "support/cli_runner.h"
#include "support/dark_palette.h"
#include "support/modal.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using test::TempTree;

DriveEntry folderEntry(const QByteArray& path) {
    return DriveEntry{DriveEntry::Kind::ExtraFolder, path, QString::fromUtf8(path),
                      platform::VolumeKind::Fixed, true};
}

QStringList column(const StringGrid* grid, int c) {
    QStringList out;
    for (qsizetype r = 1; r < grid->table().rowCount(); ++r) {
        out << grid->table().cell(c, r);
    }
    return out;
}

// Each bar's value, top to bottom, of a chart the window drew with one set per bar.
QList<double> barValues(QChartView* view) {
    QList<double> out;
    for (QAbstractSeries* s : view->chart()->series()) {
        auto* bars = qobject_cast<QAbstractBarSeries*>(s);
        if (!bars) {
            continue;
        }
        const auto sets = bars->barSets();
        for (qsizetype i = sets.size() - 1; i >= 0; --i) {
            double v = 0;
            for (int k = 0; k < sets[i]->count(); ++k) {
                v += sets[i]->at(k);
            }
            out << v;
        }
    }
    return out;
}

// A tree of known files: sizes in three classes, two .doc, a hidden file, a link.
void makeTree(TempTree& t) {
    const std::time_t old =
        QDateTime(QDate::currentDate().addDays(-100), QTime(14, 10)).toSecsSinceEpoch();
    t.fileOfSize("docs/a.doc", 1000);
    t.fileOfSize("docs/b.DOC", 40000);
    t.fileOfSize("pics/c.png", 3 * 1048576);
    t.fileOfSize(".profile", 10);
    t.symlink("docs/link", "a.doc");
    for (const char* name : {"docs/a.doc", "docs/b.DOC", "pics/c.png", ".profile", "docs/link"}) {
        t.setTimes(name, old, old);
    }
}

class StatWindow : public ::testing::Test {
protected:
    void SetUp() override {
        w = std::make_unique<TfrmStatistics>();
        w->setPumpInterval(0);
        w->show();
    }
    void TearDown() override { w.reset(); }

    test::ScriptedPrompter prompter;
    std::unique_ptr<TfrmStatistics> w;
};

TEST_F(StatWindow, StartsUncollectedWithThePanelOverTheTallyPages) {
    EXPECT_EQ(w->windowTitle(), QStringLiteral("File Statistics Not Yet Collected"));
    EXPECT_EQ(w->currentPage(), TfrmStatistics::kSpace);
    EXPECT_EQ(w->OvcNotebook1->count(), 11);
    EXPECT_EQ(w->OvcNotebook1->tabText(10), QStringLiteral("Time"));
    EXPECT_FALSE(w->notCollectedPanelShown());
    w->showPage(TfrmStatistics::kDeleted);
    EXPECT_FALSE(w->notCollectedPanelShown());
    for (int page = TfrmStatistics::kTypes; page < TfrmStatistics::kPageCount; ++page) {
        w->showPage(page);
        EXPECT_TRUE(w->notCollectedPanelShown()) << page;
    }
    // Nothing to print yet.
    bool asked = false;
    w->setPrintDialog([&](QPrinter&) { return asked = true; });
    EXPECT_FALSE(w->btPrintClick());
    EXPECT_FALSE(asked);
    // Close only hides.
    w->btCancelClick();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(StatWindow, CollectFillsEveryPageAsTheEngineCounts) {
    TempTree t;
    makeTree(t);
    w->collect({folderEntry(t.root())}, {});
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.texts().value(0),
              QStringLiteral("Disk Drive ") + QString::fromUtf8(t.root()) +
                  QStringLiteral(" will be scanned.  The analysis may take some time.  You may "
                                 "quit at any time by clicking Abort or pressing ESC."));
    EXPECT_TRUE(w->isCollected());
    EXPECT_EQ(w->windowTitle(),
              QStringLiteral("Stats done for ") + QString::fromUtf8(t.root()) + QLatin1Char(' '));
    EXPECT_EQ(w->statusText(), QStringLiteral("Finished - 5 files processed"));
    const auto volume = platform::volumeOf(t.root());
    ASSERT_TRUE(volume.has_value());
    // A folder chosen names the table, not the volume it lies on.
    EXPECT_EQ(w->typeTableTitle(),
              QStringLiteral("File types for drive ") + QFile::decodeName(t.root()));
    w->showPage(TfrmStatistics::kTypes);
    EXPECT_FALSE(w->notCollectedPanelShown());

    // Types: sorted by extension, the totals row last.
    EXPECT_EQ(column(w->gridTypes, 0), QStringList({"", ".DOC", ".PNG", ""}));
    EXPECT_EQ(column(w->gridTypes, 1).last(), QStringLiteral("Totals"));
    // ".profile" has no entry (its key is longer than 5); the link has no extension.
    EXPECT_EQ(column(w->gridTypes, 2), QStringList({"5", "41,000", "3,145,728", "3,186,733"}));
    EXPECT_EQ(column(w->gridTypes, 4).mid(1, 1), QStringList({"20,500"}));
    // The default pie by size: one slice per type over 5 % of the whole.
    auto* pie = qobject_cast<QPieSeries*>(w->chartTypes->chart()->series().value(0));
    ASSERT_NE(pie, nullptr);
    EXPECT_EQ(pie->count(), 1 + 1);  // .PNG, and the others as "Other"
    EXPECT_TRUE(pie->slices().last()->label().startsWith(QLatin1String("Other")));

    // Sizes: the table from the largest class down, the chart from the top alike.
    EXPECT_EQ(column(w->gridSizes, 0).first(), QStringLiteral("Over 16MB"));
    EXPECT_EQ(column(w->gridSizes, 2),
              QStringList({"0", "0", "0", "1", "0", "0", "0", "0", "0", "1", "0", "3"}));
    const QList<double> sizeBars = barValues(w->chartSizes);
    ASSERT_EQ(sizeBars.size(), 12);
    EXPECT_DOUBLE_EQ(sizeBars[3], 3.0);  // "2MB - 4MB" in MB
    w->rgSizes[2]->setChecked(true);
    EXPECT_EQ(barValues(w->chartSizes)[11], 3.0);  // "0 - 16K": three files
    w->rgSizes[0]->setChecked(true);
    w->showPage(TfrmStatistics::kSizes);
    EXPECT_EQ(w->shownChart(), nullptr);

    // Ages: 100 days back is "61 - 120 days" for access and modification.
    for (int which : {0, 2}) {
        EXPECT_EQ(w->gridDates[which]->table().cell(2, 6), QStringLiteral("5")) << which;
        EXPECT_EQ(w->gridDates[which]->table().cell(0, 6), QStringLiteral("61 - 120 days"));
    }
    EXPECT_EQ(w->gridCombined->table().columnCount(), 7);
    EXPECT_EQ(w->gridCombined->table().cell(2, 6), QStringLiteral("5"));
    EXPECT_EQ(w->gridCombined->table().cell(6, 6), QStringLiteral("5"));

    // Attributes: the link is a system file, nothing is hidden (the hidden file counts).
    EXPECT_EQ(column(w->gridAttr, 0), QStringList({"Hidden", "Read-only", "System", "Archive"}));
    EXPECT_EQ(column(w->gridAttr, 1), QStringList({"1", "0", "1", "0"}));
    EXPECT_EQ(barValues(w->chartAttrFiles), QList<double>({50, 0, 50, 0}));

    // Time: 14:10 is slot 28 in the modified and access lines; no access line without
    // access times is tested in the engine.
    const auto series = w->chartTime->chart()->series();
    ASSERT_EQ(series.size(), 3);
    auto* modified = qobject_cast<QLineSeries*>(series[0]);
    ASSERT_NE(modified, nullptr);
    EXPECT_EQ(modified->name(), QStringLiteral("Modified time"));
    EXPECT_EQ(modified->at(28).y(), 5);
    EXPECT_EQ(modified->count(), 48);

    // Overhang: one drive, its cluster size marked, the allocated bytes beside.
    EXPECT_TRUE(w->OvcNotebook1->isTabEnabled(TfrmStatistics::kOverhang));
    const int row = overhangRowOf(clusterSizeOf(folderEntry(t.root())));
    if (row >= 0) {
        EXPECT_FALSE(w->imArrow[row]->isHidden());
        EXPECT_TRUE(w->pnlCluster->isHidden());
    }
    EXPECT_EQ(w->lblNumFiles->text(), QStringLiteral("Number of files scanned: 5"));
    EXPECT_TRUE(w->lblAllocated->text().contains(QLatin1String("allocated")));
    EXPECT_EQ(barValues(w->chartOverhang).size(), 5);
}

// Sparse files: megabytes of apparent size, a few kilobytes of blocks; the allocated
// line takes its own unit rather than reading "0 MB".
TEST_F(StatWindow, TheAllocatedLineHasAUnitOfItsOwn) {
    TempTree t;
    const QByteArray sparse = t.file("disk.img", QByteArray(4096, 's'));
    ASSERT_EQ(::truncate(sparse.constData(), 64 * 1048576), 0);
    w->collect({folderEntry(t.root())}, {});
    EXPECT_TRUE(w->lblSize->text().endsWith(QLatin1String(" MB")))
        << w->lblSize->text().toStdString();
    EXPECT_TRUE(w->lblAllocated->text().endsWith(
        QStringLiteral(": %1 KB").arg(test::allocatedBytes(sparse) / 1024)))
        << w->lblAllocated->text().toStdString();
}

TEST_F(StatWindow, SeveralFoldersDisableTheOverhangAndAddUp) {
    TempTree t;
    makeTree(t);
    w->collect(
        {folderEntry(t.path("docs")), folderEntry(t.path("pics"))},
        TypeFilter(TypeFilter::Mode::Include, {QStringLiteral("*.doc"), QStringLiteral("*.exe")}));
    EXPECT_TRUE(prompter.texts().value(0).startsWith(
        QLatin1String("Since you selected more than one drive to analyze")));
    EXPECT_FALSE(w->OvcNotebook1->isTabEnabled(TfrmStatistics::kOverhang));
    EXPECT_EQ(w->tallies().processed, 4);
    EXPECT_EQ(w->tallies().counted, 2);
    EXPECT_EQ(w->statusText(), QStringLiteral("Finished - 4 files processed 2 files found"));
    // Include mode lists every asked type.
    EXPECT_EQ(column(w->gridTypes, 0), QStringList({".DOC", ".EXE", ""}));
    // A second collection starts from empty tallies: four bars again in each chart.
    w->collect({folderEntry(t.path("docs"))}, {});
    EXPECT_EQ(w->tallies().processed, 3);
    EXPECT_EQ(barValues(w->chartAttrSize).size(), 4);
    EXPECT_TRUE(w->OvcNotebook1->isTabEnabled(TfrmStatistics::kOverhang));
}

// Ticked entries that overlap are one walk: a folder inside another chosen one, and a
// file with a name in each, count once. The type table is titled by the folders chosen;
// a chosen folder that is gone is said by name.
TEST_F(StatWindow, OverlappingEntriesCountOnceAndFoldersNameThemselves) {
    TempTree t;
    makeTree(t);
    ASSERT_EQ(::link(t.path("docs/a.doc").constData(), t.path("pics/a-again.doc").constData()), 0);
    w->collect({folderEntry(t.root())}, {});
    const qint64 once = w->tallies().processed;
    const qint64 bytesOnce = w->tallies().totalBytes();
    prompter.clear();
    w->collect({folderEntry(t.path("docs")), folderEntry(t.root())}, {});
    EXPECT_EQ(w->tallies().processed, once);
    EXPECT_EQ(w->tallies().totalBytes(), bytesOnce);
    EXPECT_EQ(w->typeTableTitle(), QStringLiteral("File types for drive ") +
                                       QFile::decodeName(t.path("docs")) + QStringLiteral(", ") +
                                       QFile::decodeName(t.root()));

    prompter.clear();
    w->collect({folderEntry(t.path("gone"))}, {});
    EXPECT_EQ(prompter.texts(),
              QStringList{QStringLiteral("Can't open drive ") + QFile::decodeName(t.path("gone"))});
}

// The table's totals row stays last whatever the sort; eleven types of about the same
// number of files make a pie of eleven slices, none for the totals.
TEST_F(StatWindow, TypeTableSortsAboveItsTotalsAndThePieHasOneSliceAType) {
    TempTree t;
    for (int i = 0; i < 11; ++i) {
        t.fileOfSize("f." + QByteArray(1, char('a' + i)), 100 + i);
    }
    t.fileOfSize("g.a", 5000);
    w->collect({folderEntry(t.root())}, {});
    w->rgTypes[2]->setChecked(true);  // "Pie by # Files": every type holds 8 % or more
    auto* pie = qobject_cast<QPieSeries*>(w->chartTypes->chart()->series().value(0));
    ASSERT_NE(pie, nullptr);
    EXPECT_EQ(pie->count(), 11);
    for (int item : {1, 2, 3, 4, 0}) {
        w->sortTypes->choose(item);
        EXPECT_EQ(column(w->gridTypes, 1).last(), QStringLiteral("Totals")) << item;
        EXPECT_EQ(column(w->gridTypes, 1).size(), 12) << item;
    }
    w->sortTypes->choose(3);  // "Sort by &Number of files", largest first
    EXPECT_EQ(column(w->gridTypes, 0).first(), QStringLiteral(".A"));
    w->sortTypes->choose(0);
    EXPECT_EQ(column(w->gridTypes, 0).mid(0, 3), QStringList({".A", ".B", ".C"}));
}

// Access times all between 00:00 and 00:29 count in no half hour: no access line.
TEST_F(StatWindow, TimePageLeavesOutAnAccessLineWithNothingInIt) {
    TempTree t;
    const QDate day = QDate::currentDate().addDays(-3);
    for (const char* name : {"a.txt", "b.txt"}) {
        t.file(name, "x");
        t.setTimes(name, QDateTime(day, QTime(0, 10)).toSecsSinceEpoch(),
                   QDateTime(day, QTime(8, 0)).toSecsSinceEpoch());
    }
    w->collect({folderEntry(t.root())}, {});
    QStringList names;
    for (QAbstractSeries* s : w->chartTime->chart()->series()) {
        names << s->name();
    }
    EXPECT_EQ(names, QStringList({"Modified time", "Created time"}));
    auto* modified = qobject_cast<QLineSeries*>(w->chartTime->chart()->series().value(0));
    ASSERT_NE(modified, nullptr);
    EXPECT_EQ(modified->at(16).y(), 2);
}

TEST_F(StatWindow, AbortAndEscStopTheWalkAndKeepWhatWasTallied) {
    TempTree t;
    for (int i = 0; i < 400; ++i) {
        t.file("f/" + QByteArray::number(i) + ".txt", "x");
    }
    for (int key : {0, 1}) {
        // Stops the walk once files are being counted (the status line shows progress).
        QTimer stopper;
        stopper.setInterval(0);
        QObject::connect(&stopper, &QTimer::timeout, w.get(), [&, key] {
            if (!w->statusText().startsWith(QLatin1String("Processing drive"))) {
                return;
            }
            stopper.stop();
            if (key == 0) {
                w->btAbortClick();
            } else {
                QTest::keyClick(w.get(), Qt::Key_Escape);
            }
        });
        stopper.start();
        w->collect({folderEntry(t.root()), folderEntry(t.root())}, {});
        EXPECT_TRUE(w->isCollected());
        EXPECT_FALSE(w->isCollecting());
        EXPECT_TRUE(w->isVisible()) << "Esc while collecting only aborts";
        EXPECT_LT(w->tallies().processed, 400);
        EXPECT_GT(w->tallies().processed, 0);
        EXPECT_EQ(w->windowTitle(),
                  QStringLiteral("Statistics for drive(s) incomplete ... aborted."));
        EXPECT_TRUE(w->statusText().endsWith(QLatin1String(" INCOMPLETE ... ABORTED")));
        EXPECT_EQ(w->gridSizes->table().cell(2, 12), QString::number(w->tallies().processed));
    }
}

TEST_F(StatWindow, NoCapacityIsAnErrorAndTheDialogCancelledDoesNothing) {
    w->collect({DriveEntry{DriveEntry::Kind::Drive, "/no/such/volume", QStringLiteral("/gone"),
                           platform::VolumeKind::Fixed, true}},
               {});
    EXPECT_EQ(prompter.texts(), QStringList({"Could not compute the total size of the disk drives "
                                             "selected.  Cannot proceed with statistics."}));
    EXPECT_FALSE(w->isCollected());

    test::onModal<TfrmWhichDrive>([](TfrmWhichDrive& d) { d.reject(); });
    w->btOKClick();
    EXPECT_FALSE(w->isCollected());
    EXPECT_EQ(prompter.boxes().size(), 1);
}

TEST_F(StatWindow, CollectThroughTheDriveDialog) {
    TempTree t;
    makeTree(t);
    test::onModal<TfrmWhichDrive>([&](TfrmWhichDrive& d) {
        d.pckDrive->setEntries({folderEntry(t.root())});
        d.pckDriveClick();
        d.btNext1->click();
        d.rbAll->setChecked(true);
        d.btNext2->click();
    });
    w->btOKClick();
    EXPECT_TRUE(w->isCollected());
    EXPECT_EQ(w->tallies().processed, 5);
}

TEST_F(StatWindow, SavingsPageShowsAndResetsTheTotals) {
    ASSERT_TRUE(recordDeleteTotals(3, 3000, 0, 0, QDate(2026, 1, 5)));
    ASSERT_TRUE(recordZipTotals(2, 5LL << 30, QDate(2026, 2, 1)));
    w->showPage(TfrmStatistics::kDeleted);
    EXPECT_EQ(w->edTotals[0]->text(), QStringLiteral("3 files"));
    EXPECT_EQ(w->edTotals[1]->text(), QStringLiteral("3,000 bytes"));
    EXPECT_EQ(w->edTotals[2]->text(), QStringLiteral("2 files"));
    EXPECT_EQ(w->edTotals[3]->text(), QStringLiteral("5,368,709,120 bytes"));
    EXPECT_EQ(w->edTotals[4]->text(), QStringLiteral("n/a"));
    EXPECT_EQ(
        w->lblDelSince->text(),
        QStringLiteral("Since ") + QLocale().toString(QDate(2026, 1, 5), QLocale::ShortFormat));

    prompter.script({platform::Answer::No});
    w->Button1Click();
    EXPECT_EQ(w->edTotals[0]->text(), QStringLiteral("3 files"));
    prompter.script({platform::Answer::Yes});
    w->Button1Click();
    EXPECT_EQ(prompter.texts().last(), QStringLiteral("Reset cumulative totals?"));
    for (QLineEdit* e : w->edTotals) {
        EXPECT_EQ(e->text(), QStringLiteral("n/a"));
    }
    EXPECT_TRUE(w->lblDelSince->text().isEmpty());
    EXPECT_EQ(readCleanTotals().NZip, -1);
    EXPECT_EQ(SettingsStore().readInteger(QStringLiteral("Diskwell"), QStringLiteral("ZipDate"), 0),
              -1);
}

TEST_F(StatWindow, SpacePageBarsPiesAndTheirAnimation) {
    TempTree t;
    const DriveEntry one = folderEntry(t.root());
    w->setSpaceDrives({one});
    auto* bars = qobject_cast<QAbstractBarSeries*>(w->chartSpace->chart()->series().value(0));
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->barSets().value(0)->label(), QStringLiteral("Used"));
    EXPECT_EQ(bars->barSets().value(0)->count(), 1);  // one drive: no "Total" pair
    EXPECT_FALSE(w->lblCapacity->text().isEmpty());
    w->setSpaceDrives({one, one});
    bars = qobject_cast<QAbstractBarSeries*>(w->chartSpace->chart()->series().value(0));
    EXPECT_EQ(bars->barSets().value(0)->count(), 3);  // two drives and their total
    w->cbTotal->setChecked(false);
    bars = qobject_cast<QAbstractBarSeries*>(w->chartSpace->chart()->series().value(0));
    EXPECT_EQ(bars->barSets().value(0)->count(), 2);

    // The value axis groups its figures as the rest of the program ("50,000 MB").
    auto* axis = qobject_cast<QValueAxis*>(w->chartSpace->chart()->axes(Qt::Vertical).value(0));
    ASSERT_NE(axis, nullptr);
    if (axis->max() >= 1000) {
        const QRegularExpression grouped(QStringLiteral("^\\d{1,3}(,\\d{3})+ [KM]B$"));
        w->showPage(TfrmStatistics::kSpace);
        QApplication::processEvents();
        QStringList labels;
        for (QGraphicsItem* item : w->chartSpace->scene()->items()) {
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) {
                labels << text->toPlainText();
            }
        }
        EXPECT_TRUE(labels.filter(grouped).size() > 0) << labels.join(u'|').toStdString();
    }

    // The bars grow on the timer and stop at their limit, the window live meanwhile.
    EXPECT_TRUE(w->Timer1->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!w->Timer1->isActive(), 5000);

    // Pies: one per ready drive and the total; the timer turns them, a click stops it.
    w->rbSpacePie->setChecked(true);
    EXPECT_TRUE(w->Timer2->isActive());
    EXPECT_TRUE(w->pies[0]->isVisibleTo(w.get()));
    EXPECT_TRUE(w->pies[1]->isVisibleTo(w.get()));
    EXPECT_FALSE(w->pies[2]->isVisibleTo(w.get()));
    EXPECT_TRUE(w->pies[11]->chart()->title().startsWith(QLatin1String("TOTAL  ")));
    EXPECT_TRUE(w->pies[11]->chart()->title().endsWith(QLatin1String("% free")));
    auto* pie = qobject_cast<QPieSeries*>(w->pies[11]->chart()->series().value(0));
    ASSERT_NE(pie, nullptr);
    const qreal before = pie->pieStartAngle();
    QTRY_VERIFY_WITH_TIMEOUT(pie->pieStartAngle() != before, 5000);
    emit pie->clicked(pie->slices().value(0));
    EXPECT_FALSE(w->Timer2->isActive());
    EXPECT_TRUE(w->ScrollBar1->isVisibleTo(w.get()));
    w->ScrollBar1->setValue(90);
    EXPECT_EQ(pie->pieStartAngle(), 90);
}

// The Free Space figure and the other labels of the space page take the theme's text
// colour: light on a dark theme's window.
TEST(StatWindowTheme, TheSpaceFiguresStayReadableInADarkTheme) {
    test::ScopedDarkPalette dark;
    test::ScriptedPrompter prompter;
    TfrmStatistics w;
    w.setPumpInterval(0);
    w.show();
    TempTree t;
    w.setSpaceDrives({folderEntry(t.root())});
    QApplication::processEvents();
    for (QLabel* label : {w.lblCapacity, w.lblFree, w.lblUsed}) {
        ASSERT_FALSE(label->text().isEmpty());
        EXPECT_GE(test::inkContrast(label->grab().toImage()), 4.5)
            << label->objectName().toStdString();
    }
}

// The pies stop turning while a collection runs and turn again after it.
TEST_F(StatWindow, PieAnimationPausesWhileCollecting) {
    TempTree t;
    for (int i = 0; i < 200; ++i) {
        t.file("f/" + QByteArray::number(i) + ".txt", "x");
    }
    w->setSpaceDrives({folderEntry(t.root())});
    w->rbSpacePie->setChecked(true);
    ASSERT_TRUE(w->Timer2->isActive());
    bool seen = false;
    bool turningMeanwhile = true;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, w.get(), [&] {
        if (w->isCollecting() && !seen) {
            seen = true;
            turningMeanwhile = w->Timer2->isActive();
            EXPECT_FALSE(w->btOK->isEnabled());
            EXPECT_FALSE(w->btPrint->isEnabled());
        }
    });
    watcher.start();
    w->collect({folderEntry(t.root())}, {});
    watcher.stop();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(turningMeanwhile);
    EXPECT_TRUE(w->Timer2->isActive());
    EXPECT_TRUE(w->btOK->isEnabled());
}

TEST_F(StatWindow, PrintsEachKindOfPageToPdf) {
    TempTree t;
    makeTree(t);
    w->collect({folderEntry(t.root())}, {});
    QTemporaryDir out;
    int n = 0;
    QString file;
    w->setPrintDialog([&](QPrinter& p) {
        file = out.filePath(QStringLiteral("page%1.pdf").arg(++n));
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(file);
        return true;
    });
    struct Case {
        int page;
        std::function<void()> view;
    };
    const Case cases[] = {
        {TfrmStatistics::kTypes, [&] { w->rgTypes[0]->setChecked(true); }},  // the table
        {TfrmStatistics::kTypes, [&] { w->rgTypes[2]->setChecked(true); }},  // the pie
        {TfrmStatistics::kSizes, [&] { w->rgSizes[1]->setChecked(true); }},
        {TfrmStatistics::kOverhang, [] {}},
        {TfrmStatistics::kCombined, [] {}},
        {TfrmStatistics::kTime, [] {}},
        {TfrmStatistics::kSpace, [] {}},
    };
    for (const Case& c : cases) {
        w->showPage(c.page);
        c.view();
        EXPECT_TRUE(w->btPrintClick()) << c.page;
        QFile pdf(file);
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << c.page;
        EXPECT_TRUE(pdf.read(5) == "%PDF-") << c.page;
        EXPECT_GT(pdf.size(), 1000) << c.page;
    }
    // Cancelled: nothing printed.
    w->setPrintDialog([](QPrinter&) { return false; });
    EXPECT_FALSE(w->btPrintClick());
}

// The rows of a section of `diskwell-cli stats` (without its header line).
QList<QStringList> cliSection(const QString& text, const QString& name) {
    QList<QStringList> rows;
    bool in = false;
    bool header = false;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("# "))) {
            in = line.mid(2) == name;
            header = in;
            continue;
        }
        if (in && header) {
            header = false;
        } else if (in) {
            rows << line.split(QLatin1Char('\t'));
        }
    }
    return rows;
}

// The numbers of the window's tables as the command line writes them.
QString plain(const QString& cell) {
    return QString::number(qint64(NumericKey(cell)));
}

TEST_F(StatWindow, TheWindowsTablesAgreeWithTheCommandLine) {
    TempTree t;
    makeTree(t);
    t.fileOfSize("more/x.tar.gz", 70000);
    t.fileOfSize("more/archive.backup", 9);
    w->collect({folderEntry(t.root())}, {});
    const test::CliRun run = test::runCli({QStringLiteral("stats"), QString::fromUtf8(t.root())});
    ASSERT_EQ(run.status, 0);
    const QString out = run.outText();

    // Types: the table without its totals row, sorted by extension as the CLI sorts.
    QList<QStringList> types;
    const GridTable& tt = w->gridTypes->table();
    for (qsizetype r = 1; r < tt.rowCount() - 1; ++r) {
        types << QStringList{tt.cell(0, r), plain(tt.cell(3, r)), plain(tt.cell(2, r))};
    }
    EXPECT_EQ(types, cliSection(out, QStringLiteral("types")));

    // Sizes: the table lists the largest class first.
    QList<QStringList> sizes;
    const GridTable& st = w->gridSizes->table();
    for (qsizetype r = st.rowCount() - 1; r >= 1; --r) {
        sizes << QStringList{st.cell(0, r), plain(st.cell(2, r)), plain(st.cell(1, r))};
    }
    EXPECT_EQ(sizes, cliSection(out, QStringLiteral("sizes")));

    // The three ages: the tables list the oldest first.
    const char* names[3] = {"accessed", "created", "modified"};
    for (int which = 0; which < 3; ++which) {
        QList<QStringList> ages;
        const GridTable& at = w->gridDates[which]->table();
        for (qsizetype r = at.rowCount() - 1; r >= 1; --r) {
            ages << QStringList{at.cell(0, r), plain(at.cell(2, r)), plain(at.cell(1, r))};
        }
        EXPECT_EQ(ages, cliSection(out, QLatin1String(names[which]))) << names[which];
    }

    QList<QStringList> attributes;
    const GridTable& gt = w->gridAttr->table();
    for (qsizetype r = 1; r < gt.rowCount(); ++r) {
        attributes << QStringList{gt.cell(0, r), plain(gt.cell(1, r)), plain(gt.cell(2, r))};
    }
    EXPECT_EQ(attributes, cliSection(out, QStringLiteral("attributes")));

    const QList<QStringList> overhang = cliSection(out, QStringLiteral("overhang"));
    ASSERT_EQ(overhang.size(), 6);
    for (int i = 0; i < kOverhangSizes; ++i) {
        EXPECT_EQ(plain(w->lblOver[i]->text()), overhang[i][1]) << i;
    }
    EXPECT_EQ(overhang[5][1], QString::number(w->tallies().allocated));

    // The time of day: the points of the three lines.
    const QList<QStringList> hours = cliSection(out, QStringLiteral("hours"));
    ASSERT_EQ(hours.size(), 48);
    const auto series = w->chartTime->chart()->series();
    for (QAbstractSeries* s : series) {
        auto* line = qobject_cast<QLineSeries*>(s);
        ASSERT_NE(line, nullptr);
        const int column = line->name() == QLatin1String("Created time")    ? 1
                           : line->name() == QLatin1String("Modified time") ? 2
                                                                            : 3;
        for (int k = 0; k < 48; ++k) {
            EXPECT_EQ(QString::number(qint64(line->at(k).y())), hours[k][column])
                << line->name().toStdString() << " " << k;
        }
    }
}

// With DW_STAT_SHOTS set to a folder, saves a picture of every page there (for looking
// at them, not a check).
TEST_F(StatWindow, PicturesOfEveryPage) {
    const QByteArray folder = qgetenv("DW_STAT_SHOTS");
    if (folder.isEmpty()) {
        GTEST_SKIP() << "DW_STAT_SHOTS not set";
    }
    const QByteArray root = qgetenv("DW_STAT_SHOTS_TREE");
    w->resize(980, 700);
    w->collect({folderEntry(root.isEmpty() ? QByteArray("/usr/share") : root)}, {});
    for (int page = 0; page < TfrmStatistics::kPageCount; ++page) {
        w->showPage(page);
        QTest::qWait(page == 0 ? 1500 : 200);
        w->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/page%1.png").arg(page));
    }
    w->rbSpacePie->setChecked(true);
    w->showPage(0);
    QTest::qWait(300);
    w->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/page0pie.png"));
    w->rgTypes[0]->setChecked(true);
    w->showPage(2);
    QTest::qWait(100);
    w->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/page2list.png"));
}

}  // namespace
}  // namespace dw
