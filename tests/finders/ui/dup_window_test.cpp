#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include <unistd.h>

#include "finders/dup_fixture.h"
#include "finders/ui/dup_window.h"
#include "inspect/grid_export.h"
#include "safety/folder_list.h"
#include "safety/safe_harbor.h"
#include "scan/ui/drive_check_list.h"
#include "support/cli_runner.h"
#include "support/dark_palette.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/clipboard.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using test::folderEntries;
using test::TempTree;

constexpr std::time_t kT0 = 1614853230;

// A window over `folders` with the limits set to every size in bytes.
class Window {
public:
    Window(bool duplicateMode, const QList<QByteArray>& folders, const SafeHarbor* harbor = nullptr,
           TfrmDup::Tools tools = {})
        : w(duplicateMode, harbor, nullptr, std::move(tools)) {
        w.setDriveEntries(folderEntries(folders));
        w.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
        w.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
        w.show();
    }
    ~Window() { SortDirections::forRun().clear(); }

    void criterion(int c) { w.findChild<QComboBox*>(QStringLiteral("cbDup"))->setCurrentIndex(c); }
    QPushButton* button(const char* name) { return w.findChild<QPushButton*>(QLatin1String(name)); }
    GridTable& table() { return w.grid()->table(); }
    QString cell(int c, qsizetype r) { return table().cell(c, r); }
    QStringList column(int c) {
        QStringList out;
        for (qsizetype r = 1; r < table().rowCount(); ++r) {
            out << table().cell(c, r);
        }
        return out;
    }
    QList<qsizetype> markedRows() {
        QList<qsizetype> out;
        for (qsizetype r = 1; r < table().rowCount(); ++r) {
            if (table().isMarked(r)) {
                out << r;
            }
        }
        return out;
    }
    void clickTitle(int column) {
        QHeaderView* header = w.grid()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + 4, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    QAction* menuItem(const QString& text) {
        for (QAction* a : w.popupMenu()->actions()) {
            if (a->text() == text) {
                return a;
            }
        }
        return nullptr;
    }
    QAction* markItem(const QString& text) {
        for (QAction* a : menuItem(QStringLiteral("Mark"))->menu()->actions()) {
            if (a->text() == text) {
                return a;
            }
        }
        return nullptr;
    }

    TfrmDup w;
};

// Five files of the sizes 100 to 500 and a twin of each in a second folder.
void makePairs(TempTree& t) {
    for (int i = 1; i <= 5; ++i) {
        const QByteArray name = "f" + QByteArray::number(i) + ".dat";
        t.fileOfSize("one/" + name, 100 * i);
        t.fileOfSize("two/" + name, 100 * i);
        t.setTimes("one/" + name, kT0, kT0);
        t.setTimes("two/" + name, kT0, kT0);
    }
}

TEST(DupWindow, StartFindsGroupsInBandsAndCountsThem) {
    test::ScriptedPrompter prompter;
    TempTree t;
    makePairs(t);
    Window win(true, {t.root()});
    EXPECT_EQ(win.w.windowTitle(), QStringLiteral("Find and delete duplicate files"));
    EXPECT_EQ(win.button("btScan")->toolTip(), QStringLiteral("Duplicates on file name only"));
    EXPECT_FALSE(win.button("btMark")->isVisible());
    win.w.btScanClick();
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_EQ(win.w.resultCount(), 10);
    EXPECT_EQ(win.w.statusText(), QStringLiteral("10 duplicates found"));
    EXPECT_EQ(win.table().rowCount(), 11);
    EXPECT_EQ(win.column(kDupNameColumn),
              QStringList({"f1.dat", "f1.dat", "f2.dat", "f2.dat", "f3.dat", "f3.dat", "f4.dat",
                           "f4.dat", "f5.dat", "f5.dat"}));
    QByteArray bands;
    for (qsizetype r = 1; r <= 10; ++r) {
        bands += win.table().band(r);
    }
    EXPECT_EQ(bands, QByteArray("AABBAABBAA"));
    EXPECT_TRUE(win.button("btMark")->isVisible());
    EXPECT_TRUE(win.button("btOptions")->isVisible());
    EXPECT_FALSE(win.button("btAbort")->isVisible());
    // Not offered until their windows exist.
    for (const char* name : {"btDelete", "btBrowse", "btDetails", "btCompare"}) {
        EXPECT_FALSE(win.button(name)->isVisible()) << name;
    }
    EXPECT_FALSE(win.menuItem(QStringLiteral("View"))->isVisible());
    EXPECT_FALSE(win.menuItem(QStringLiteral("Details"))->isVisible());
    // Painting: grey for band A, the sizes on the right, the mark glyph in the name.
    EXPECT_EQ(win.w.grid()->cellStyle(1, 0).background, QColor(223, 223, 223));
    EXPECT_NE(win.w.grid()->cellStyle(3, 0).background, QColor(223, 223, 223));
    EXPECT_EQ(win.w.grid()->cellStyle(1, kDupSizeColumn).alignment, Qt::AlignRight);

    // Duplicate mode: no "Sort", and a title click leaves the groups as they are.
    EXPECT_FALSE(win.menuItem(QStringLiteral("Sort"))->isVisible());
    const QStringList before = win.column(kDupFolderColumn);
    win.clickTitle(kDupSizeColumn);
    EXPECT_EQ(win.column(kDupFolderColumn), before);
}

TEST(DupWindow, TheShadedBandKeepsADarkThemesTextReadable) {
    test::ScopedDarkPalette dark;
    test::ScriptedPrompter prompter;
    TempTree t;
    makePairs(t);
    Window win(true, {t.root()});
    win.w.btScanClick();
    ASSERT_GT(win.table().rowCount(), 1);
    const QColor text = win.w.grid()->palette().color(QPalette::Text);
    bool sawShaded = false;
    for (qsizetype r = 1; r < win.table().rowCount(); ++r) {
        const QColor band = win.w.grid()->cellStyle(r, 0).background;
        if (band.isValid() && band != win.w.grid()->palette().color(QPalette::Base)) {
            sawShaded = true;
        }
        if (band.isValid()) {
            EXPECT_GE(test::contrastRatio(band, text), 4.5)
                << r << " " << band.name().toStdString();
        }
    }
    EXPECT_TRUE(sawShaded);
    // And as painted: the grid's text stands out from its rows.
    QApplication::processEvents();
    const QImage picture = win.w.grid()->viewport()->grab().toImage();
    EXPECT_GE(test::inkContrast(picture), 4.5);
}

TEST(DupWindow, MarksStatusLineAndDeleteKey) {
    test::ScriptedPrompter prompter;
    TempTree t;
    makePairs(t);
    Window win(true, {t.root()});
    win.w.btScanClick();

    // Double click marks the current row and the selection stays.
    win.w.grid()->setCurrentRow(2);
    win.w.gridDblClick();
    const auto rows = [&win](const QList<qsizetype>& numbers) {
        QList<QByteArray> paths;
        for (const qsizetype r : numbers) {
            paths << win.table().rowData(r);
        }
        return paths;
    };
    // The total is what the disk gives back: the files' blocks, not their lengths.
    EXPECT_EQ(win.w.statusText(), test::markedStatus(1, rows({2})));
    EXPECT_EQ(win.w.grid()->currentRow(), 2);
    EXPECT_TRUE(win.button("btDelete")->isEnabled());
    EXPECT_TRUE(win.w.grid()->cellStyle(2, kDupNameColumn).drawMark);

    // The Delete key marks and moves one row down; on the last row it stays there.
    win.w.grid()->setCurrentRow(3);
    QTest::keyClick(win.w.grid(), Qt::Key_Delete);
    EXPECT_EQ(win.w.grid()->currentRow(), 4);
    win.w.grid()->setCurrentRow(10);
    QTest::keyClick(win.w.grid(), Qt::Key_Delete);
    EXPECT_EQ(win.w.grid()->currentRow(), 10);
    EXPECT_EQ(win.markedRows(), QList<qsizetype>({2, 3, 10}));
    EXPECT_EQ(win.w.statusText(), test::markedStatus(3, rows({2, 3, 10})));

    // "&Mark" toggles too: row 4 marked, then unmarked through MarkThisFile.
    win.w.grid()->setCurrentRow(4);
    win.button("btMark")->click();
    EXPECT_EQ(win.w.grid()->currentRow(), 5);
    EXPECT_EQ(win.w.statusText(), test::markedStatus(4, rows({2, 3, 4, 10})));
    win.w.MarkThisFile(4);
    EXPECT_EQ(win.w.statusText(), test::markedStatus(3, rows({2, 3, 10})));

    win.w.Unmarkall1Click();
    EXPECT_EQ(win.w.statusText(), QStringLiteral("0 files 0 bytes"));
    EXPECT_FALSE(win.button("btDelete")->isEnabled());
    EXPECT_TRUE(win.markedRows().isEmpty());

    win.w.Markall1Click();
    EXPECT_EQ(win.markedRows().size(), 10);
    EXPECT_EQ(win.w.statusText(), test::markedStatus(10, rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})));
    EXPECT_TRUE(win.button("btDelete")->isEnabled());
    EXPECT_EQ(win.w.marks().paths().size(), 10);

    // A new Start while files are marked asks first; No keeps the list and its marks.
    const QString question = QStringLiteral(
        "You have 10 files marked for deletion. Do you really wish to start a new search and "
        "lose the marks?");
    prompter.script({platform::Answer::No});
    win.w.btScanClick();
    EXPECT_EQ(prompter.texts().value(0), question);
    EXPECT_EQ(prompter.boxes().value(0).buttons, platform::Buttons::YesNo);
    EXPECT_EQ(win.markedRows().size(), 10);
    EXPECT_EQ(win.w.marks().paths().size(), 10);

    // Yes: the new search takes every mark away.
    prompter.script({platform::Answer::Yes});
    win.w.btScanClick();
    EXPECT_EQ(prompter.texts(), (QStringList{question, question}));
    EXPECT_TRUE(win.markedRows().isEmpty());
    EXPECT_FALSE(win.button("btDelete")->isEnabled());
    EXPECT_EQ(win.w.statusText(), QStringLiteral("10 duplicates found"));
    EXPECT_TRUE(win.w.marks().paths().isEmpty());
}

TEST(DupWindow, EnterPressesTheFocusedButtonAndStartOnlyWhenNoButtonHasTheFocus) {
    test::ScriptedPrompter prompter;
    TempTree t;
    makePairs(t);
    int handOffs = 0;
    TfrmDup::Tools tools;
    tools.reallyDelete = [&](const QList<QByteArray>&, const QString&, qint64) {
        ++handOffs;
        return 2;
    };
    Window win(true, {t.root()}, nullptr, tools);
    win.w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win.w));
    win.w.btScanClick();
    win.w.Markall1Click();
    ASSERT_EQ(win.markedRows().size(), 10);

    // Enter on "Clean?" hands the marks over; the results and marks stay.
    QPushButton* clean = win.button("btDelete");
    clean->setFocus();
    QTest::keyClick(clean, Qt::Key_Return);
    EXPECT_EQ(handOffs, 1);
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_EQ(win.markedRows().size(), 10);

    // Enter on the list is Start's: it asks before the marks go.
    win.w.grid()->setFocus();
    prompter.script({platform::Answer::No});
    QTest::keyClick(win.w.grid(), Qt::Key_Return);
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_TRUE(prompter.texts()[0].startsWith(QStringLiteral("You have 10 files marked")));
    EXPECT_EQ(win.markedRows().size(), 10);
    EXPECT_EQ(handOffs, 1);
}

TEST(DupWindow, ColumnWidthsStayAsTheUserSetsThemAndLongPathsShowTheirEnds) {
    test::ScriptedPrompter prompter;
    TempTree t;
    const QByteArray deep = "a-rather-long-folder-name/another-long-folder-name/yet-another-one";
    t.fileOfSize(deep + "/same.bin", 300);
    t.fileOfSize("b/same.bin", 300);
    Window win(true, {t.root()});
    win.w.resize(800, 500);
    win.w.btScanClick();
    ASSERT_EQ(win.w.resultCount(), 2);
    StringGrid* grid = win.w.grid();
    QHeaderView* header = grid->horizontalHeader();

    // The folder column is narrower than the long path: the path is cut in the middle on
    // screen, and its tool tip is the whole path.
    const qsizetype deepRow = win.cell(kDupFolderColumn, 1).contains("yet-another") ? 1 : 2;
    const QString path = win.cell(kDupFolderColumn, deepRow);
    header->resizeSection(kDupFolderColumn, 120);
    EXPECT_EQ(grid->cellToolTip(deepRow, kDupFolderColumn), path);
    EXPECT_TRUE(grid->cellToolTip(deepRow, kDupNameColumn).isEmpty());

    // A width the user drags stays after the mouse is let go, when the wider columns
    // bring the horizontal scroll bar (the grid's room changes) ...
    const int sizeEdge =
        header->sectionViewportPosition(kDupSizeColumn) + header->sectionSize(kDupSizeColumn) - 1;
    const int y = header->height() / 2;
    const int dragged = header->sectionSize(kDupSizeColumn) + 400;
    QWidget* titles = header->viewport();
    QTest::mousePress(titles, Qt::LeftButton, {}, QPoint(sizeEdge, y));
    for (int x = sizeEdge + 50; x <= sizeEdge + 400; x += 50) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), titles->mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(titles, &move);
    }
    QTest::mouseRelease(titles, Qt::LeftButton, {}, QPoint(sizeEdge + 400, y));
    QApplication::processEvents();
    EXPECT_EQ(header->sectionSize(kDupSizeColumn), dragged);
    EXPECT_GT(grid->horizontalScrollBar()->maximum(), 0);
    header->resizeSection(kDupSizeColumn, 333);
    grid->resize(grid->width(), grid->height() - 40);
    QApplication::processEvents();
    EXPECT_EQ(header->sectionSize(kDupSizeColumn), 333);
    EXPECT_EQ(header->sectionSize(kDupFolderColumn), 120);
    // ... and after a new search, until the window is resized.
    win.w.btScanClick();
    EXPECT_EQ(header->sectionSize(kDupSizeColumn), 333);
    win.w.resize(820, 520);
    QApplication::processEvents();
    EXPECT_LT(header->sectionSize(kDupSizeColumn), 333);

    // A double click on the edge of a title fits the column to its texts.
    header->resizeSection(kDupFolderColumn, 60);
    const int edge = header->sectionViewportPosition(kDupFolderColumn) +
                     header->sectionSize(kDupFolderColumn) - 1;
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(edge, header->height() / 2));
    const int fitted = header->sectionSize(kDupFolderColumn);
    EXPECT_EQ(fitted, grid->sizeHintForColumn(kDupFolderColumn));
    EXPECT_GT(fitted, grid->fontMetrics().horizontalAdvance(path));
    EXPECT_TRUE(grid->cellToolTip(deepRow, kDupFolderColumn).isEmpty());
    // It is the user's width now: the grid's room changing leaves it.
    grid->resize(grid->width(), grid->height() - 20);
    QApplication::processEvents();
    EXPECT_EQ(header->sectionSize(kDupFolderColumn), fitted);
}

// Room the type column does not need goes to the folders, so a wide window shows whole
// paths; a narrow one cuts them in the middle and still shows the types whole.
TEST(DupWindow, SpareRoomShowsWholeFoldersBeforeTheTypeColumnGrows) {
    test::ScriptedPrompter prompter;
    TempTree t;
    const QByteArray deep = "a-rather-long-folder-name/another-long-folder-name/yet-another-one";
    t.fileOfSize(deep + "/same.bin", 300);
    t.fileOfSize("b/same.bin", 300);
    Window win(true, {t.root()});
    StringGrid* grid = win.w.grid();
    QHeaderView* header = grid->horizontalHeader();
    const QFontMetrics metrics(grid->font());
    int longestFolder = 0;
    int longestType = 0;
    win.w.resize(1800, 500);
    win.w.btScanClick();
    ASSERT_EQ(win.w.resultCount(), 2);
    for (qsizetype r = 1; r <= 2; ++r) {
        longestFolder =
            std::max(longestFolder, metrics.horizontalAdvance(win.cell(kDupFolderColumn, r)));
        longestType = std::max(longestType, metrics.horizontalAdvance(win.cell(kDupTypeColumn, r)));
    }
    QApplication::processEvents();
    EXPECT_GT(header->sectionSize(kDupFolderColumn), longestFolder);
    EXPECT_GT(header->sectionSize(kDupTypeColumn), longestType);

    win.w.resize(700, 500);
    QApplication::processEvents();
    EXPECT_LT(header->sectionSize(kDupFolderColumn), longestFolder);
    EXPECT_GT(header->sectionSize(kDupTypeColumn), longestType);
}

TEST(DupWindow, HiddenFoldersAreSearchedOnlyWithTheOptionWhichIsRememberedAndCounted) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.fileOfSize("docs/copy.bin", 400);
    t.fileOfSize(".cache/app/copy.bin", 400);
    t.fileOfSize(".local/share/copy.bin", 400);
    t.fileOfSize("docs/other.bin", 500);
    t.fileOfSize("docs/.hidden-inside/other.bin", 500);
    {
        Window win(true, {t.root()});
        auto* hidden = win.w.findChild<QCheckBox*>(QStringLiteral("cbHidden"));
        ASSERT_NE(hidden, nullptr);
        EXPECT_EQ(hidden->text(), QStringLiteral("Include hidden folders"));
        EXPECT_FALSE(hidden->isChecked());
        // Off: nothing in a dot-folder is found, and the status line says what was left.
        win.w.btScanClick();
        EXPECT_EQ(win.w.resultCount(), 0);
        EXPECT_EQ(win.w.hiddenFoldersSkipped(), 3);
        EXPECT_EQ(win.w.statusText(),
                  QStringLiteral("3 hidden folders skipped (see Include hidden folders)"));
        // On: the copies in the dot-folders are found.
        hidden->setChecked(true);
        win.w.btScanClick();
        EXPECT_EQ(win.w.resultCount(), 5);
        EXPECT_EQ(win.w.hiddenFoldersSkipped(), 0);
        EXPECT_EQ(win.w.statusText(), QStringLiteral("5 duplicates found"));
    }
    // Remembered for the next window of the same mode, not for the other mode.
    Window again(true, {t.root()});
    EXPECT_TRUE(again.w.includeHiddenFolders());
    Window hogs(false, {t.root()});
    EXPECT_FALSE(hogs.w.includeHiddenFolders());
    hogs.w.btScanClick();
    EXPECT_EQ(hogs.w.statusText(),
              QStringLiteral("2 file hogs found, 3 hidden folders skipped (see Include hidden "
                             "folders)"));
}

TEST(DupWindow, TheStatusLineCountsFilesSeenAndFoundWhileTheWalkRuns) {
    test::ScriptedPrompter prompter;
    TempTree t;
    for (int i = 0; i < 64; ++i) {
        t.fileOfSize("d/x" + QByteArray::number(i), i < 32 ? 5 : 500);
    }
    Window win(false, {t.root()});
    win.w.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(100);
    win.w.setPumpInterval(0);
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (win.w.isScanning() && !seen.contains(win.w.statusText())) {
            seen << win.w.statusText();
        }
    });
    watch.start(0);
    win.w.btScanClick();
    watch.stop();
    ASSERT_FALSE(seen.isEmpty());
    const QRegularExpression progress(
        QStringLiteral("^(\\d+) files seen, (\\d+) file hogs - (.*)$"));
    int lastSeen = -1;
    // Once the walk is done the rows go in, and the status line says so.
    EXPECT_EQ(seen.last(), QStringLiteral("Filling the list..."));
    seen.removeLast();
    for (const QString& text : seen) {
        const QRegularExpressionMatch m = progress.match(text);
        ASSERT_TRUE(m.hasMatch()) << text.toStdString();
        EXPECT_GE(m.captured(1).toInt(), lastSeen);
        lastSeen = m.captured(1).toInt();
        EXPECT_LE(m.captured(2).toInt(), m.captured(1).toInt());
        EXPECT_TRUE(m.captured(3).startsWith(QFile::decodeName(t.root())));
    }
    EXPECT_GT(lastSeen, 0);
    EXPECT_EQ(win.w.statusText(), QStringLiteral("32 file hogs found"));
}

TEST(DupWindow, AddingAFolderToTheDriveListIsOfferedWhenTheToolIsGiven) {
    test::ScriptedPrompter prompter;
    TempTree t;
    {
        Window win(true, {t.root()});
        EXPECT_FALSE(
            win.menuItem(QStringLiteral("Add a folder to the list of drives"))->isVisible());
    }
    int asked = 0;
    TfrmDup::Tools tools;
    tools.addNewFolder = [&] {
        ++asked;
        return true;
    };
    Window win(true, {t.root()}, nullptr, tools);
    QAction* add = win.menuItem(QStringLiteral("Add a folder to the list of drives"));
    ASSERT_NE(add, nullptr);
    EXPECT_TRUE(add->isVisible());
    add->trigger();
    EXPECT_EQ(asked, 1);
}

TEST(DupWindow, NoFilesFoundAndTheSecondNumberError) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.fileOfSize("a", 10);
    t.fileOfSize("b", 20);
    Window win(true, {t.root()});
    win.criterion(3);
    win.w.btScanClick();
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text, QStringLiteral("No files found."));
    EXPECT_EQ(prompter.boxes()[0].kind, platform::MessageKind::Info);
    EXPECT_TRUE(prompter.sounds().isEmpty());
    EXPECT_FALSE(win.button("btMark")->isVisible());
    EXPECT_EQ(win.w.resultCount(), 0);

    prompter.clear();
    win.w.findChild<QRadioButton*>(QStringLiteral("rbBetween"))->setChecked(true);
    EXPECT_TRUE(win.w.findChild<QSpinBox*>(QStringLiteral("num2"))->isVisible());
    win.w.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(10);
    win.w.findChild<QSpinBox*>(QStringLiteral("num2"))->setValue(5);
    win.w.btScanClick();
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text,
              QStringLiteral("The second number must be larger or equal than the first number"));
    EXPECT_EQ(prompter.boxes()[0].kind, platform::MessageKind::Error);
}

TEST(DupWindow, ASizeBeyondTenThousandIsShownAsTypedAndRefusedByStart) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.fileOfSize("a", 10);
    Window win(false, {t.root()});
    auto* num1 = win.w.findChild<QSpinBox*>(QStringLiteral("num1"));
    auto* num2 = win.w.findChild<QSpinBox*>(QStringLiteral("num2"));
    struct Case {
        const char* typed;
        bool between;
        bool refused;
    };
    const Case cases[] = {
        {"10000", false, false},
        {"50000", false, true},
        {"0", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        prompter.clear();
        num1->setFocus();
        num1->selectAll();
        QTest::keyClicks(num1, QLatin1String(c.typed));
        EXPECT_EQ(num1->text(), QLatin1String(c.typed));
        EXPECT_EQ(num1->palette().color(QPalette::Text) == QColor(Qt::red), c.refused);
        win.w.btScanClick();
        if (c.refused) {
            ASSERT_EQ(prompter.boxes().size(), 1);
            EXPECT_EQ(
                prompter.boxes()[0].text,
                QStringLiteral("The size 50,000 is too large: the sizes go from 0 to 10,000."));
            EXPECT_EQ(prompter.boxes()[0].kind, platform::MessageKind::Error);
            EXPECT_EQ(win.w.resultCount(), 0);
        } else {
            EXPECT_NE(prompter.texts().value(0).left(8), QStringLiteral("The size"));
        }
    }
    // The second box counts only for "In between".
    num2->setValue(20000);
    prompter.clear();
    win.w.btScanClick();
    EXPECT_TRUE(prompter.boxes().isEmpty() ||
                !prompter.texts()[0].startsWith(QStringLiteral("The size")));
    win.w.findChild<QRadioButton*>(QStringLiteral("rbBetween"))->setChecked(true);
    prompter.clear();
    win.w.btScanClick();
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.texts()[0],
              QStringLiteral("The size 20,000 is too large: the sizes go from 0 to 10,000."));
}

TEST(DupWindow, AbortWarnsAtOnceAndShowsWhatWasFound) {
    test::ScriptedPrompter prompter;
    TempTree t;
    for (int f = 0; f < 6; ++f) {
        for (int i = 0; i < 40; ++i) {
            t.fileOfSize("d" + QByteArray::number(f) + "/x" + QByteArray::number(i), 5);
        }
    }
    Window win(false, {t.root()});
    win.w.setPumpInterval(0);
    bool abortSeenWhileScanning = false;
    QTimer::singleShot(0, &win.w, [&] {
        abortSeenWhileScanning = win.w.isScanning() && win.button("btAbort")->isVisible();
        win.button("btAbort")->click();
    });
    win.w.btScanClick();
    EXPECT_TRUE(abortSeenWhileScanning);
    ASSERT_GE(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text, QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER"));
    EXPECT_EQ(prompter.boxes()[0].kind, platform::MessageKind::Warning);
    EXPECT_EQ(prompter.sounds().value(0), platform::Sound::Hand);
    EXPECT_LT(win.w.resultCount(), 240);
    EXPECT_FALSE(win.w.isScanning());
    EXPECT_FALSE(win.button("btAbort")->isVisible());
    EXPECT_TRUE(win.button("btScan")->isEnabled());
    if (win.w.resultCount() > 0) {
        EXPECT_EQ(win.w.statusText(),
                  QStringLiteral("%1 file hogs found, ").arg(win.w.resultCount()) +
                      QLatin1String(kListIncompleteText));
    } else {
        EXPECT_EQ(win.w.statusText(), QLatin1String(kListIncompleteText));
    }
}

// Input made while the last step of a search keeps the window busy is queued; the
// window system delivers it after the window's own pending work (the layout that puts
// Mark where Abort was). A click aimed at Abort must not mark a file, Esc must not close
// the window and drop its rows.
TEST(DupWindow, InputQueuedDuringTheLastStepOfASearchNeverReachesTheButtonsReplacingAbort) {
    test::ScriptedPrompter prompter;
    TempTree t;
    for (int i = 0; i < 5; ++i) {
        t.fileOfSize("d/x" + QByteArray::number(i), 100 + i);
    }
    struct Case {
        const char* what;
        bool click;
    };
    for (const Case c : {Case{"a click on Abort", true}, Case{"Esc", false}}) {
        SCOPED_TRACE(c.what);
        Window win(false, {t.root()});
        // The first search lays the buttons out: Mark stands where Abort stood.
        win.w.btScanClick();
        QApplication::processEvents();
        QPushButton* mark = win.button("btMark");
        ASSERT_TRUE(mark->isVisible());
        const QPoint at = mark->mapTo(&win.w, mark->rect().center());
        win.w.clearAllMarks();
        // The walk never lets events run: what is queued now waits for the search's end.
        win.w.setPumpInterval(1 << 30);
        QWindow* window = win.w.windowHandle();
        ASSERT_NE(window, nullptr);
        const QPointF global = window->mapToGlobal(QPointF(at));
        if (c.click) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    window,
                    new QMouseEvent(
                        type, QPointF(at), QPointF(at), global, Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier),
                    Qt::LowEventPriority);
            }
        } else {
            QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}),
                                        Qt::LowEventPriority);
        }
        win.w.btScanClick();
        QApplication::processEvents();
        EXPECT_TRUE(win.w.isVisible());
        EXPECT_EQ(win.w.resultCount(), 5);
        EXPECT_TRUE(win.markedRows().isEmpty());
        EXPECT_EQ(win.w.statusText(), QStringLiteral("5 file hogs found"));
        EXPECT_TRUE(prompter.boxes().isEmpty());
    }
}

TEST(DupWindow, EscAbortsAndClosingWaitsForTheWalk) {
    test::ScriptedPrompter prompter;
    TempTree t;
    for (int i = 0; i < 200; ++i) {
        t.fileOfSize("d/x" + QByteArray::number(i), 5);
    }
    {
        Window win(false, {t.root()});
        win.w.setPumpInterval(0);
        QTimer::singleShot(0, &win.w, [&] { QTest::keyClick(&win.w, Qt::Key_Escape); });
        win.w.btScanClick();
        EXPECT_EQ(prompter.texts().value(0), QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER"));
        EXPECT_TRUE(win.w.isVisible());
    }
    prompter.clear();
    Window win(false, {t.root()});
    win.w.setPumpInterval(0);
    QTimer::singleShot(0, &win.w, [&] { win.w.close(); });
    win.w.btScanClick();
    // The walk stopped, nothing more was said, and the window closed after it.
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_FALSE(win.w.isScanning());
    EXPECT_FALSE(win.w.isVisible());
}

TEST(DupWindow, CandidateLimitWarnsAndKeepsWhatItHas) {
    test::ScriptedPrompter prompter;
    TempTree t;
    for (int i = 0; i < 8; ++i) {
        t.fileOfSize("x" + QByteArray::number(i), 100 + i);
    }
    Window win(false, {t.root()});
    win.w.setCandidateLimit(5);
    win.w.btScanClick();
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_TRUE(prompter.boxes()[0].text.startsWith(
        QStringLiteral("Due to Windows resource limitations ... cannot process any more files.")));
    EXPECT_EQ(win.w.resultCount(), 5);
    EXPECT_EQ(win.w.statusText(), QStringLiteral("5 file hogs found"));
}

TEST(DupWindow, FileHogsSortByTitlesAndMarksFollowTheirRows) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.fileOfSize("Big.ISO", 5000);
    t.fileOfSize("mid.dat", 3000);
    t.fileOfSize("Small.txt", 1000);
    QString caller;
    TfrmDup::Tools tools;
    tools.reallyDelete = [&caller](const QList<QByteArray>&, const QString& word, qint64) {
        caller = word;
        return 2;
    };
    Window win(false, {t.root()}, nullptr, tools);
    EXPECT_EQ(win.w.windowTitle(), QStringLiteral("Find and delete file hogs"));
    EXPECT_EQ(win.button("btScan")->toolTip(), QStringLiteral("Start scanning for file hogs"));
    win.w.btScanClick();
    EXPECT_EQ(win.column(kHogSizeColumn), QStringList({"5,000", "3,000", "1,000"}));
    EXPECT_EQ(win.cell(kHogPathColumn, 1), QFile::decodeName(t.path("Big.ISO")));
    EXPECT_TRUE(win.menuItem(QStringLiteral("Sort"))->isVisible());

    win.w.MarkThisFile(1);  // Big.ISO
    win.clickTitle(kHogSizeColumn);
    EXPECT_EQ(win.column(kHogSizeColumn), QStringList({"1,000", "3,000", "5,000"}));
    EXPECT_EQ(win.markedRows(), QList<qsizetype>({3}));
    EXPECT_EQ(win.table().rowData(3), t.path("Big.ISO"));
    win.clickTitle(kHogSizeColumn);
    EXPECT_EQ(win.column(kHogSizeColumn), QStringList({"5,000", "3,000", "1,000"}));
    EXPECT_EQ(win.markedRows(), QList<qsizetype>({1}));

    // "&Name" sorts by the path, ascending first; the "Time" column sorts nothing.
    win.clickTitle(kHogPathColumn);
    EXPECT_EQ(win.column(kHogSizeColumn), QStringList({"5,000", "3,000", "1,000"}));
    win.clickTitle(kHogPathColumn);
    EXPECT_EQ(win.column(kHogSizeColumn), QStringList({"1,000", "3,000", "5,000"}));
    const QStringList order = win.column(kHogSizeColumn);
    win.clickTitle(2);
    EXPECT_EQ(win.column(kHogSizeColumn), order);
    EXPECT_EQ(win.w.statusText(), test::markedStatus(1, {t.path("Big.ISO")}));

    // Its archives are named for file hogs, not duplicates.
    win.button("btDelete")->click();
    EXPECT_EQ(caller, QStringLiteral("FileHogs"));
}

TEST(DupWindow, HostileNamesAreMarkedCopiedAndHandedOverExactly) {
    test::ScriptedPrompter prompter;
    TempTree t;
    const QList<QByteArray> made = {
        t.fileOfSize("a/tab\there", 64), t.fileOfSize("b/tab\there", 64),
        t.fileOfSize("a/ lead ", 64),    t.fileOfSize("b/ lead ", 64),
        t.fileOfSize("a/new\nline", 64), t.fileOfSize("b/new\nline", 64)};
    QList<QByteArray> handed;
    QString caller;
    qint64 total = 0;
    int answer = 2;
    TfrmDup::Tools tools;
    tools.reallyDelete = [&](const QList<QByteArray>& files, const QString& word, qint64 size) {
        handed = files;
        caller = word;
        total = size;
        return answer;
    };
    Window win(true, {t.root()}, nullptr, tools);
    win.w.btScanClick();
    ASSERT_EQ(win.w.resultCount(), 6);
    EXPECT_TRUE(win.button("btDelete")->isVisible());
    win.w.Markall1Click();
    EXPECT_EQ(win.w.statusText(), test::markedStatus(6, made));

    // "Filenames only": the exact paths, in grid order.
    win.w.btClipClick(ClipboardForm::FilenamesOnly);
    QStringList expected;
    for (qsizetype r = 1; r <= 6; ++r) {
        expected << QFile::decodeName(win.table().rowData(r));
    }
    EXPECT_EQ(clipboardText(), expected.join(u'\n'));
    QStringList sortedMade;
    for (const QByteArray& p : made) {
        sortedMade << QFile::decodeName(p);
    }
    sortedMade.sort();
    expected.sort();
    EXPECT_EQ(expected, sortedMade);

    // "Clean?": the deletion panel gets the marked paths; closed without acting (2), the
    // window stays with its marks; after a run (1) it closes.
    win.button("btDelete")->click();
    QList<QByteArray> sortedHanded = handed;
    std::sort(sortedHanded.begin(), sortedHanded.end());
    QList<QByteArray> sortedPaths = made;
    std::sort(sortedPaths.begin(), sortedPaths.end());
    EXPECT_EQ(sortedHanded, sortedPaths);
    EXPECT_EQ(caller, QStringLiteral("Duplicates"));
    EXPECT_EQ(total, test::allocatedBytes(made));
    EXPECT_TRUE(win.w.isVisible());
    EXPECT_EQ(win.markedRows().size(), 6);
    answer = 1;
    win.button("btDelete")->click();
    EXPECT_FALSE(win.w.isVisible());
    EXPECT_EQ(win.w.result(), QDialog::Accepted);
}

TEST(DupWindow, SafeHarborHighlightAndPrint) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.fileOfSize("prot/same.txt", 30);
    t.fileOfSize("free/same.txt", 30);
    QTemporaryDir dir;
    const QString folders = dir.filePath(QStringLiteral("folders.txt"));
    ASSERT_TRUE(SaveFolderList(folders, {t.path("prot") + "/"}));
    SafeHarbor harbor;
    SafeHarbor::Sources sources;
    sources.foldersFile = folders;
    harbor.GetSearchPath(sources);

    Window win(true, {t.root()}, &harbor);
    win.w.btScanClick();
    ASSERT_EQ(win.w.resultCount(), 2);
    const qsizetype prot = win.table().rowData(1).contains("/prot/") ? 1 : 2;
    const qsizetype free = 3 - prot;
    EXPECT_TRUE(win.w.grid()->cellStyle(prot, kDupFolderColumn).bold);
    EXPECT_FALSE(win.w.grid()->cellStyle(prot, kDupNameColumn).bold);
    EXPECT_FALSE(win.w.grid()->cellStyle(free, kDupFolderColumn).bold);
    win.w.highlightAction()->trigger();
    EXPECT_FALSE(win.w.highlightAction()->isChecked());
    EXPECT_FALSE(win.w.grid()->cellStyle(prot, kDupFolderColumn).bold);

    // Print: the title of the options, the grid on a PDF page.
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QString title;
    win.w.setPrintDialog([&](QPrinter& printer) {
        title = printer.docName();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    win.w.btPrintClick();
    EXPECT_EQ(title,
              QStringLiteral("Duplicates larger or equal to 0 bytes matching *.* on drive(s) ") +
                  win.w.reportTitle().section(QStringLiteral("drive(s) "), 1));
    QFile report(pdf);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().startsWith("%PDF"));
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST(DupWindow, ResizeItemsAndWildcardText) {
    TempTree t;
    Window win(true, {t.root()});
    auto* wild = win.w.findChild<QComboBox*>(QStringLiteral("cbWildCard"));
    auto* lblWild = win.w.findChild<QLabel*>(QStringLiteral("lblWild"));
    EXPECT_EQ(wild->currentText(), QStringLiteral("*.*"));
    EXPECT_EQ(lblWild->text(), QStringLiteral("All files"));
    EXPECT_GT(wild->count(), 1);
    wild->setEditText(QStringLiteral("*.xyz"));
    EXPECT_EQ(lblWild->text(), QStringLiteral("XYZ File"));
    QWidget* panel = win.w.findChild<QWidget*>(QStringLiteral("Panel1"));
    win.w.shrinkTopPanel();
    EXPECT_FALSE(panel->isVisible());
    win.w.restoreTopPanel();
    EXPECT_TRUE(panel->isVisible());
    // Nothing checked: Start is disabled.
    win.w.driveList()->setAllChecked(false);
    EXPECT_FALSE(win.button("btScan")->isEnabled());
}

// ---- the command line prints the rows the window shows ----------------------------------

using test::CliRun;

// The built tool in the locale the window's tests pin.
CliRun runCli(const QStringList& args) {
    test::CliOptions options;
    options.env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    options.env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    options.env.remove(QStringLiteral("LANGUAGE"));
    return test::runCli(args, options);
}

TEST(DupCommandLine, ExitStatusesAndMessages) {
    TempTree t;
    makePairs(t);
    const QString root = QFile::decodeName(t.root());
    struct Case {
        QStringList args;
        int status;
        const char* err;  // a part of standard error; "" for none
        int lines;        // lines on standard output; -1 for any
    };
    const Case cases[] = {
        {{"duplicates", "--larger", "0", "--unit", "bytes", root}, 0, "", 11},
        {{"duplicates", root}, 0, "No files found.", 1},
        {{"hogs", "--larger", "0", "--unit", "bytes", "--limit", "3", root},
         1,
         "Due to Windows resource limitations",
         4},
        {{"hogs", "--larger", "0", root, root + "/nothing-here"}, 1, "Can't open drive", -1},
        {{"hogs", "--between", "5", "3", root},
         2,
         "The second number must be larger or equal than the first number",
         0},
        {{"hogs", "--larger", "1", "--smaller", "2", root}, 2, "one size test only", 0},
        {{"duplicates", "--criterion", "8", root}, 2, "--criterion needs", 0},
        {{"duplicates", "--unit", "TB", root}, 2, "--unit needs bytes, KB, MB or GB", 0},
        {{"hogs", "--pattern", ";", root}, 2, "--pattern needs", 0},
        {{"hogs"}, 2, "no folder given", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.status, c.status);
        if (*c.err) {
            EXPECT_TRUE(run.err.contains(c.err)) << run.err.constData();
        } else {
            EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
        }
        if (c.lines >= 0) {
            EXPECT_EQ(run.out.count('\n'), c.lines) << run.out.constData();
        }
    }
}

// Three groups of equal files with their own dates, a file of two names beside a copy,
// a file only of two names, and same-size files that differ.
void makeContentGroups(TempTree& t) {
    const QByteArray a(6000, 'a');
    t.file("one/a-old", a);
    t.file("two/a-new", a);
    t.file("two/a-mid", a);
    t.setTimes("one/a-old", kT0, kT0 - 500);
    t.setTimes("two/a-new", kT0, kT0 + 500);
    t.setTimes("two/a-mid", kT0, kT0);
    const QByteArray b(300, 'b');
    t.file("one/b1", b);
    t.file("one/b2", b);
    t.setTimes("one/b1", kT0, kT0 + 9);
    t.setTimes("one/b2", kT0, kT0);
    t.file("one/c-linked", "cc");
    ASSERT_EQ(::link(t.path("one/c-linked").constData(), t.path("two/c-name").constData()), 0);
    t.file("two/c-copy", "cc");
    t.setTimes("one/c-linked", kT0, kT0 - 100);
    t.setTimes("two/c-copy", kT0, kT0 + 100);
    t.file("one/h-only", "hhh hhh");
    ASSERT_EQ(::link(t.path("one/h-only").constData(), t.path("two/h-other").constData()), 0);
    t.file("one/d1", "differ-1");
    t.file("one/d2", "differ-2");
}

TEST(DupWindow, SameContentsGroupsEqualFilesAndItsMarkingHelpersKeepOneOfEach) {
    test::ScriptedPrompter prompter;
    TempTree t;
    makeContentGroups(t);
    // "Clean?" hands each marked file over with the file kept of its group.
    QHash<QByteArray, QByteArray> twins;
    TfrmDup::Tools tools;
    tools.reallyDelete = [](const QList<QByteArray>&, const QString&, qint64) { return 2; };
    tools.reallyDeleteWithTwins = [&](const QList<QByteArray>&, const QString&, qint64,
                                      const QHash<QByteArray, QByteArray>& given) {
        twins = given;
        return 2;
    };
    Window win(true, {t.root()}, nullptr, tools);
    EXPECT_EQ(win.w.findChild<QComboBox*>(QStringLiteral("cbDup"))->itemText(kContentCriterion),
              QStringLiteral("Same contents"));
    QCheckBox* empty = win.w.findChild<QCheckBox*>(QStringLiteral("cbEmpty"));
    EXPECT_FALSE(empty->isEnabled());
    win.criterion(kContentCriterion);
    EXPECT_TRUE(empty->isEnabled());
    const QString first = QStringLiteral("Mark all but the first of each group");
    const QString newest = QStringLiteral("Mark all but the newest of each group");
    const QString oldest = QStringLiteral("Mark all but the oldest of each group");
    EXPECT_FALSE(win.markItem(first)->isVisible());
    win.w.btScanClick();
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_EQ(win.w.criterion(), kContentCriterion);
    // Groups by the bytes deleting all but one file wins: a (12,000), b (300), c (2: its
    // linked file counts once), then h (names of one file win nothing).
    EXPECT_EQ(win.column(kDupNameColumn), (QStringList{"a-mid", "a-new", "a-old", "b1", "b2",
                                                       "c-copy", "c-linked", "h-only", "h-other"}));
    EXPECT_EQ(win.column(kDupTypeColumn).mid(5, 2),
              (QStringList{QString(), QStringLiteral("2 names")}));
    EXPECT_EQ(win.column(kDupTypeColumn).mid(7),
              (QStringList{QStringLiteral("hard links, no space to gain"),
                           QStringLiteral("hard links, no space to gain")}));
    QByteArray bands;
    for (qsizetype r = 1; r < win.table().rowCount(); ++r) {
        bands += win.table().band(r);
    }
    EXPECT_EQ(bands, QByteArray("AAABBAABB"));
    EXPECT_EQ(win.w.statusText(), QStringLiteral("9 duplicates found"));

    struct Case {
        QString item;
        QStringList unmarked;
        QList<QByteArray> freeing;  // the marked files whose blocks come back
        QStringList twins;          // marked>kept
    };
    // "c-linked" has a name left ("c-name"), so marking it wins nothing.
    const Case cases[] = {
        {first,
         {"a-mid", "b1", "c-copy", "h-only", "h-other"},
         {"one/a-old", "two/a-new", "one/b2"},
         {"a-new>a-mid", "a-old>a-mid", "b2>b1", "c-linked>c-copy"}},
        {newest,
         {"a-new", "b1", "c-copy", "h-only", "h-other"},
         {"one/a-old", "two/a-mid", "one/b2"},
         {"a-mid>a-new", "a-old>a-new", "b2>b1", "c-linked>c-copy"}},
        {oldest,
         {"a-old", "b2", "c-linked", "h-only", "h-other"},
         {"two/a-new", "two/a-mid", "one/b1", "two/c-copy"},
         {"a-mid>a-old", "a-new>a-old", "b1>b2", "c-copy>c-linked"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.toStdString());
        win.w.MarkThisFile(1);  // marks made before are dropped
        ASSERT_TRUE(win.markItem(c.item)->isVisible());
        win.markItem(c.item)->trigger();
        QStringList unmarked;
        for (qsizetype r = 1; r < win.table().rowCount(); ++r) {
            if (!win.table().isMarked(r)) {
                unmarked << win.cell(kDupNameColumn, r);
            }
        }
        EXPECT_EQ(unmarked, c.unmarked);
        QList<QByteArray> freeing;
        for (const QByteArray& rel : c.freeing) {
            freeing << t.path(rel);
        }
        EXPECT_EQ(win.w.statusText(), test::markedStatus(4, freeing));
        EXPECT_TRUE(win.button("btDelete")->isEnabled());
        win.button("btDelete")->click();
        QStringList pairs;
        for (auto it = twins.cbegin(); it != twins.cend(); ++it) {
            pairs << QFileInfo(QFile::decodeName(it.key())).fileName() + QLatin1Char('>') +
                         QFileInfo(QFile::decodeName(it.value())).fileName();
        }
        pairs.sort();
        EXPECT_EQ(pairs, c.twins);
    }

    // The command line gives the same rows, each after its group's number.
    const CliRun run = runCli({"duplicates", "--criterion", "7", "--groups", "--larger", "0",
                               "--unit", "bytes", QFile::decodeName(t.root())});
    ASSERT_EQ(run.status, 0) << run.err.constData();
    QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray());
    ASSERT_EQ(lines.size(), win.table().rowCount());
    QList<QByteArray> groups;
    for (qsizetype r = 0; r < lines.size(); ++r) {
        const qsizetype tab = lines[r].indexOf('\t');
        groups << lines[r].left(tab);
        EXPECT_EQ(lines[r].mid(tab + 1), TsvLine(DupRowBytes(win.table(), r, true))) << r;
    }
    EXPECT_EQ(groups, (QList<QByteArray>{"Group", "1", "1", "1", "2", "2", "3", "3", "4", "4"}));

    // Another criterion: the helpers go.
    win.w.Unmarkall1Click();
    win.criterion(3);
    win.w.btScanClick();
    EXPECT_FALSE(win.markItem(first)->isVisible());
}

// Abort while the large files are being read whole: the small files' group, proven
// before that reading began, stays in the list, and the status line says the list is
// incomplete. The percentage of the progress texts never falls on the way.
TEST(DupWindow, AbortDuringSameContentsKeepsTheGroupsProvenAndSaysTheListIsIncomplete) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.file("one/small-1", QByteArray(100, 's'));
    t.file("two/small-2", QByteArray(100, 's'));
    t.file("one/big-1", QByteArray(1 << 20, 'b'));
    t.file("two/big-2", QByteArray(1 << 20, 'b'));
    Window win(true, {t.root()});
    win.criterion(kContentCriterion);
    // Opens 1 to 4 read the first 4 KiB of each file, 5 and 6 compare the small ones;
    // from the 7th (the large files read whole) every reader waits for the Abort.
    std::atomic<int> opens{0};
    std::atomic<bool> waiting{false};
    std::atomic<bool> released{false};
    win.w.setReadHook([&](quint32) {
        if (++opens < 7) {
            return;
        }
        waiting = true;
        QDeadlineTimer deadline(10000);
        while (!released && !deadline.hasExpired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    QStringList progress;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &win.w, [&] {
        const QString status = win.w.statusText();
        if (status.startsWith(QStringLiteral("Comparing contents")) &&
            (progress.isEmpty() || progress.last() != status)) {
            progress << status;
        }
        if (waiting && !released) {
            win.button("btAbort")->click();
            released = true;
        }
    });
    watch.start(1);
    win.w.btScanClick();
    watch.stop();
    released = true;

    ASSERT_TRUE(waiting.load());
    EXPECT_EQ(prompter.texts(), QStringList{"LIST INCOMPLETE ... ABORTED BY USER"});
    EXPECT_EQ(win.column(kDupNameColumn), (QStringList{"small-1", "small-2"}));
    EXPECT_EQ(win.w.statusText(),
              QStringLiteral("2 duplicates found, ") + QLatin1String(kListIncompleteText));
    ASSERT_FALSE(progress.isEmpty());
    const QRegularExpression text(
        QStringLiteral("^Comparing contents: ([0-9,]+) of ([0-9,]+) bytes read \\(([0-9]+)%\\)$"));
    int last = 0;
    for (const QString& p : progress) {
        SCOPED_TRACE(p.toStdString());
        const QRegularExpressionMatch m = text.match(p);
        ASSERT_TRUE(m.hasMatch());
        EXPECT_GE(m.captured(3).toInt(), last);
        last = m.captured(3).toInt();
    }

    // A search that runs to its end says nothing of an incomplete list.
    win.w.setReadHook({});
    prompter.clear();
    win.w.btScanClick();
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_EQ(win.column(kDupNameColumn), (QStringList{"big-1", "big-2", "small-1", "small-2"}));
    EXPECT_EQ(win.w.statusText(), QStringLiteral("4 duplicates found"));
}

TEST(DupWindow, CommandLinePrintsTheWindowsRows) {
    test::ScriptedPrompter prompter;
    TempTree t;
    makePairs(t);
    t.fileOfSize("one/odd \xFF name", 300);
    t.fileOfSize("two/tab\tand\\slash", 300);
    t.fileOfSize("two/Big.BIN", 4096);
    makeContentGroups(t);
    struct Case {
        bool duplicateMode;
        int criterion;
        QStringList args;
    };
    const Case cases[] = {
        {true, 0, {"duplicates", "--criterion", "0", "--larger", "0", "--unit", "bytes"}},
        {true, 3, {"duplicates", "--criterion=3", "--larger", "0", "--unit", "bytes"}},
        {true, 5, {"duplicates", "--criterion", "5", "--larger", "0", "--unit", "bytes"}},
        {true, 7, {"duplicates", "--criterion", "7", "--larger", "0", "--unit", "bytes"}},
        {false, 0, {"hogs", "--larger", "0", "--unit", "bytes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        Window win(c.duplicateMode, {t.root()});
        win.criterion(c.criterion);
        win.w.btScanClick();
        ASSERT_GT(win.w.resultCount(), 0);
        if (c.duplicateMode) {
            // --groups: the same rows after a first column with each row's group, which
            // the bands do not always show (they compare fewer columns than the key).
            const test::SearchRun search =
                test::runSearch(test::dupOptions(c.criterion), {t.root()});
            const CliRun grouped =
                runCli(c.args + QStringList{"--groups", QFile::decodeName(t.root())});
            ASSERT_EQ(grouped.status, 0);
            QList<QByteArray> rows = grouped.out.split('\n');
            ASSERT_EQ(rows.takeLast(), QByteArray());
            ASSERT_EQ(rows.size(), win.table().rowCount());
            ASSERT_EQ(search.search->resultCount(), win.w.resultCount());
            EXPECT_TRUE(rows[0].startsWith("Group\tFilename\t"));
            quint32 last = 0;
            for (qsizetype r = 1; r < rows.size(); ++r) {
                const quint32 group = search.search->resultGroup(r - 1);
                EXPECT_TRUE(group == last || group == last + 1) << r;
                last = group;
                EXPECT_EQ(rows[r], QByteArray::number(group) + '\t' +
                                       TsvLine(DupRowBytes(win.table(), r, true)))
                    << r;
            }
            // Under "Size and type" the 300-byte files make three groups (no type, ".dat",
            // no type again) in one band.
            qsizetype bandRuns = 1;
            for (qsizetype r = 2; r < win.table().rowCount(); ++r) {
                bandRuns += win.table().band(r) != win.table().band(r - 1) ? 1 : 0;
            }
            if (c.criterion == 5) {
                EXPECT_EQ(qsizetype(last), bandRuns + 2);
            }
        }
        const CliRun run = runCli(c.args + QStringList{QFile::decodeName(t.root())});
        ASSERT_EQ(run.status, 0);
        QList<QByteArray> lines = run.out.split('\n');
        ASSERT_EQ(lines.takeLast(), QByteArray());
        ASSERT_EQ(lines.size(), win.table().rowCount());
        for (qsizetype r = 0; r < win.table().rowCount(); ++r) {
            EXPECT_EQ(lines[r], TsvLine(DupRowBytes(win.table(), r, c.duplicateMode))) << r;
            // Every path comes back byte for byte from its cells.
            if (r > 0) {
                const QList<QByteArray> cells = lines[r].split('\t');
                const QByteArray path = c.duplicateMode
                                            ? TsvUnescape(cells[kDupFolderColumn]) + '/' +
                                                  TsvUnescape(cells[kDupNameColumn])
                                            : TsvUnescape(cells[kHogPathColumn]);
                EXPECT_EQ(path, win.table().rowData(r));
            }
        }
    }
}

}  // namespace
}  // namespace dw
