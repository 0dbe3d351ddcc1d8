#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "base/utility.h"
#include "finders/ui/dir_hog_window.h"
#include "finders/ui/treemap_view.h"
#include "platform/environment.h"
#include "safety/safe_harbor.h"
#include "safety/ui/del_directory.h"
#include "scan/ui/drive_check_list.h"
#include "support/deep_chain.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/clipboard.h"
#include "widgets/elided_label.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using platform::Answer;
using test::present;

class DirHogWindow : public ::testing::Test {
protected:
    test::TempTree tree_;
    QByteArray r_ = platform::shortPath(tree_.root());
    test::ScopedEnv config_{"DISKWELL_CONFIG_DIR", tree_.dir("config")};
    test::ScriptedPrompter prompter_;
    SafeHarbor harbor_;

    void SetUp() override {
        tree_.file("S/Big Folder/a.bin", QByteArray(3000, 'a'));
        tree_.file("S/Big Folder/Deep/b.bin", QByteArray(2000, 'b'));
        tree_.file("S/small/c.txt", "cc");
        tree_.file("S/loose.txt", "not in any main row");
        SafeHarbor::Sources s;
        s.foldersFile = QFile::decodeName(tree_.file("folders.txt", r_ + "/S/small/\n"));
        harbor_.GetSearchPath(s);
    }
    void checkOnlyTheTree(TfrmDirHog& w) { checkOnly(w, r_ + "/S"); }
    // The folder alone is checked in the window's list of drives.
    static void checkOnly(TfrmDirHog& w, const QByteArray& folder) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = folder;
        e.text = QFile::decodeName(e.startFolder);
        e.checked = true;
        w.driveList()->setEntries({e});
    }
    QStringList column(TfrmDirHog& w, int c) {
        QStringList out;
        for (qsizetype r = 1; r < w.grid()->table().rowCount(); ++r) {
            out.append(w.grid()->table().cell(c, r));
        }
        return out;
    }
};

TEST_F(DirHogWindow, MainFoldersRankedLargestFirstWithRealNamesAndSortable) {
    TfrmDirHog w(harbor_);
    checkOnlyTheTree(w);
    w.btTopClick();
    const QString root = QFile::decodeName(r_ + "/S");
    EXPECT_EQ(column(w, 5), (QStringList{root + QStringLiteral("/Big Folder"),
                                         root + QStringLiteral("/small"), QString()})
                                .mid(0, 2));
    EXPECT_EQ(column(w, 0), (QStringList{QStringLiteral("5,000"), QStringLiteral("2")}));
    EXPECT_EQ(column(w, 2), (QStringList{QStringLiteral("2"), QStringLiteral("1")}));
    EXPECT_EQ(column(w, 3), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
    EXPECT_TRUE(w.statusText().startsWith(QStringLiteral("Folders : 2")));
    EXPECT_TRUE(w.statusText().endsWith(QStringLiteral("Big Folder: 4.9 KB")))
        << w.statusText().toStdString();
    EXPECT_TRUE(w.grid()->cellStyle(2, 5).bold);  // small/ is on the Safe Harbor list
    EXPECT_FALSE(w.grid()->cellStyle(1, 5).bold);
    // The next sort by Size is smallest first.
    w.sortMenu()->chooseColumn(0);
    EXPECT_EQ(column(w, 0), (QStringList{QStringLiteral("2"), QStringLiteral("5,000")}));

    w.btAllClick();
    EXPECT_EQ(column(w, 5).size(), 4);  // the start folder, Big Folder, Deep, small
    EXPECT_EQ(column(w, 0).first(), QStringLiteral("3,000"));
}

TEST_F(DirHogWindow, CleanMarksTheRowAndRefusesTheSystemsFoldersAndASecondClean) {
    TfrmDirHog::Tools tools;
    QList<QByteArray> opened;
    FolderCleanMode runMode = FolderCleanMode::Trash;
    tools.delDirectory = [&](const QByteArray& folder, FolderCleanMode* mode) {
        opened.append(folder);
        *mode = runMode;
        return TfrmDelDirectory::kRunDone;
    };
    QList<QByteArray> browsed;
    tools.browse = [&](const QByteArray& folder) { browsed.append(folder); };
    TfrmDirHog w(harbor_, nullptr, nullptr, tools);
    checkOnlyTheTree(w);
    w.btTopClick();
    w.grid()->setCurrentRow(1);
    w.btBrowseClick();
    EXPECT_EQ(browsed, QList<QByteArray>{r_ + "/S/Big Folder"});
    w.btDeleteClick();
    EXPECT_EQ(opened, QList<QByteArray>{r_ + "/S/Big Folder"});
    EXPECT_EQ(w.grid()->table().cell(0, 1), QStringLiteral("RECYCLED"));
    w.btDeleteClick();
    EXPECT_EQ(prompter_.texts().value(0), QStringLiteral("Folder already deleted/recycled"));
    // A marked row sorts as 0.
    w.sortMenu()->chooseColumn(0);
    EXPECT_EQ(w.grid()->table().cell(0, 1), QStringLiteral("RECYCLED"));
    // A folder stored in archives says so, not "DELETED".
    qsizetype small = -1;
    for (qsizetype r = 1; r < w.grid()->table().rowCount(); ++r) {
        if (w.grid()->table().rowData(r) == r_ + "/S/small") {
            small = r;
        }
    }
    ASSERT_GT(small, 0);
    runMode = FolderCleanMode::Zip;
    w.grid()->setCurrentRow(small);
    w.btDeleteClick();
    EXPECT_EQ(w.grid()->table().cell(0, small), QStringLiteral("ZIPPED"));
    EXPECT_EQ(opened.size(), 2);

    w.grid()->table().setCell(0, 2, QStringLiteral("1"));
    w.grid()->table().setRowData(2, "/usr");
    w.grid()->setCurrentRow(2);
    w.btDeleteClick();
    EXPECT_EQ(prompter_.texts().value(1),
              QStringLiteral("You cannot delete the Windows folder using Diskwell 99"));
    w.grid()->table().setRowData(2, "/");
    w.btDeleteClick();
    EXPECT_EQ(prompter_.texts().value(2),
              QStringLiteral("You cannot delete the root folder using Diskwell 99"));
    EXPECT_EQ(opened.size(), 2);
}

// The real folder deletion window, driven through its Delete button.
TEST_F(DirHogWindow, CleaningThroughTheFolderDeletionWindowRemovesTheFolder) {
    TfrmDirHog w(harbor_);
    checkOnlyTheTree(w);
    w.btTopClick();
    w.grid()->setCurrentRow(1);
    const qint64 blocks = test::allocatedBytes(r_ + "/S/Big Folder/a.bin") +
                          test::allocatedBytes(r_ + "/S/Big Folder/Deep/b.bin");
    test::onModal<TfrmDelDirectory>([](TfrmDelDirectory& d) {
        d.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
    });
    w.btDeleteClick();
    EXPECT_EQ(w.grid()->table().cell(0, 1), QStringLiteral("DELETED"));
    EXPECT_FALSE(present(r_ + "/S/Big Folder"));
    EXPECT_TRUE(present(r_ + "/S/small/c.txt"));
    EXPECT_EQ(
        prompter_.texts().value(0),
        QStringLiteral("Deleted 2 files for a savings of %1 bytes.").arg(FormatThousands(blocks)));
    // The map lets the folder go and the start folder shrinks to what is left.
    const auto map = w.treemap()->tree();
    ASSERT_TRUE(map);
    EXPECT_EQ(map->find(r_ + "/S/Big Folder"), kNoSpaceItem);
    EXPECT_EQ(map->item(map->find(r_ + "/S")).bytes, 2 + 19);
}

TEST_F(DirHogWindow, PrintsUnderItsTitleAndCopiesNamesOrTheWholeGrid) {
    TfrmDirHog::Tools tools;
    const QByteArray pdf = tree_.path("hogs.pdf");
    QString docName;
    tools.printDialog = [&](QPrinter& printer) {
        docName = printer.docName();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QFile::decodeName(pdf));
        return true;
    };
    TfrmDirHog w(harbor_, nullptr, nullptr, tools);
    checkOnlyTheTree(w);
    w.btTopClick();
    // "% Used" says what it counts.
    const StringGrid* grid = w.findChild<StringGrid*>();
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(grid->model()
                    ->headerData(1, Qt::Horizontal, Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("allocated blocks")));
    w.btPrintClick();
    EXPECT_TRUE(docName.startsWith(QStringLiteral("Folder hogs on drive(s) ")))
        << docName.toStdString();
    EXPECT_GT(QFile(QFile::decodeName(pdf)).size(), 0);
    w.btClipClick(true);
    const QString root = QFile::decodeName(r_ + "/S");
    EXPECT_EQ(clipboardText(),
              root + QStringLiteral("/Big Folder\n") + root + QStringLiteral("/small"));
    w.btClipClick(false);
    EXPECT_TRUE(clipboardText().startsWith(
        QStringLiteral("Size\t% Used\t# Files\t# Sub-folders\tLatest File Access\tName\n5,000\t")));
}

// Opens the map's popup menu at `at` and chooses the item `text` once it is up. A menu
// without that item is closed and one that never comes up ends the wait, each failing
// the test, so it cannot hang.
void chooseFromMapMenu(QWidget* map, const QPoint& at, const QString& text) {
    QTimer timer;
    const QDeadlineTimer deadline(5000);
    bool chosen = false;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            timer.stop();
            for (QAction* a : menu->actions()) {
                if (a->text() == text) {
                    menu->setActiveAction(a);
                    QTest::keyClick(menu, Qt::Key_Return);
                    chosen = true;
                    return;
                }
            }
            ADD_FAILURE() << "the menu has no " << text.toStdString();
            menu->close();
        } else if (deadline.hasExpired()) {
            timer.stop();
            ADD_FAILURE() << "no popup menu came up";
        }
    });
    timer.start(10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, map->mapToGlobal(at));
    QApplication::sendEvent(map, &event);
    timer.stop();
    EXPECT_TRUE(chosen) << text.toStdString();
}

// The treemap beside the grid: a click on it selects the row of the folder clicked (in
// the main-folders scan, the main folder holding it), a selected row is outlined, and a
// folder cleaned from the map or the grid leaves the map while the folders above it
// shrink.
TEST_F(DirHogWindow, TreemapFollowsTheGridAndShrinksAfterAClean) {
    TfrmDirHog::Tools tools;
    QList<QByteArray> opened;
    tools.delDirectory = [&](const QByteArray& folder, FolderCleanMode* mode) {
        opened.append(folder);
        *mode = FolderCleanMode::Delete;
        return TfrmDelDirectory::kRunDone;
    };
    QList<QByteArray> browsed;
    tools.browse = [&](const QByteArray& folder) { browsed.append(folder); };
    TfrmDirHog w(harbor_, nullptr, nullptr, tools);
    checkOnlyTheTree(w);
    w.show();
    ASSERT_TRUE(w.treemapToggle()->isChecked());
    TreemapView& map = *w.treemap();
    const QByteArray deep = r_ + "/S/Big Folder/Deep";

    for (const bool all : {false, true}) {
        SCOPED_TRACE(all ? "all folders" : "main folders");
        all ? w.btAllClick() : w.btTopClick();
        map.finishDrawing();
        const auto tree = map.tree();
        ASSERT_TRUE(tree);
        EXPECT_EQ(tree->item(map.root()).bytes, 3000 + 2000 + 2 + 19);  // loose.txt too
        // Deep's one file lies in its small-files item: clicking it picks Deep's row, or
        // in the main scan the row of "Big Folder".
        const SpaceItem& d = tree->item(tree->find(deep));
        ASSERT_EQ(d.count, 1u);
        const QRect inDeep = map.tileRect(d.first);
        ASSERT_FALSE(inDeep.isEmpty());
        QTest::mouseClick(map.map(), Qt::LeftButton, {}, inDeep.center());
        const QByteArray selected = all ? deep : r_ + "/S/Big Folder";
        EXPECT_EQ(w.grid()->table().rowData(w.grid()->currentRow()), selected);
        EXPECT_EQ(map.outlined(), tree->find(selected));
        // And the other way: a row selected in the grid is outlined on the map.
        w.grid()->setCurrentRow(w.rowOf(r_ + "/S/small"));
        EXPECT_EQ(map.outlined(), tree->find(r_ + "/S/small"));
        EXPECT_FALSE(map.tileRect(map.outlined()).isEmpty());
    }

    // Browse and clean Deep from the map's popup menu: the same windows are asked, the
    // row is marked, and the folders above shrink without a new scan.
    const auto before = map.tree();
    const QPoint onDeep = map.tileRect(before->item(before->find(deep)).first).center();
    chooseFromMapMenu(map.map(), onDeep, QStringLiteral("&Browse"));
    EXPECT_EQ(browsed, QList<QByteArray>{deep});
    EXPECT_TRUE(opened.isEmpty());
    chooseFromMapMenu(map.map(), onDeep, QStringLiteral("Clean?"));
    EXPECT_EQ(opened, QList<QByteArray>{deep});
    EXPECT_EQ(w.grid()->table().cell(0, w.rowOf(deep)), QStringLiteral("DELETED"));
    map.finishDrawing();
    const auto after = map.tree();
    ASSERT_NE(after, before);
    EXPECT_EQ(after->find(deep), kNoSpaceItem);
    EXPECT_TRUE(map.tileRect(before->find(deep)).isEmpty());
    EXPECT_EQ(after->item(after->find(r_ + "/S/Big Folder")).bytes, 3000);
    EXPECT_EQ(after->item(map.root()).bytes, 3000 + 2 + 19);
    EXPECT_EQ(before->item(before->find(deep)).bytes, 2000);  // the tree as it was stays so
    // A second clean from the map is refused as from the grid; so is a system folder.
    w.cleanFolder(deep);
    EXPECT_EQ(prompter_.texts().value(0), QStringLiteral("Folder already deleted/recycled"));
    w.cleanFolder("/usr");
    EXPECT_EQ(prompter_.texts().value(1),
              QStringLiteral("You cannot delete the Windows folder using Diskwell 99"));
    EXPECT_EQ(opened.size(), 1);

    // The grid's Clean? takes the folder off the map too.
    w.grid()->setCurrentRow(w.rowOf(r_ + "/S/small"));
    w.btDeleteClick();
    EXPECT_EQ(map.tree()->find(r_ + "/S/small"), kNoSpaceItem);
    EXPECT_EQ(map.tree()->item(map.root()).bytes, 3000 + 19);
}

TEST_F(DirHogWindow, AFiveThousandCharacterPathKeepsTheWindowOnTheScreen) {
    // 25 folders of 200 characters: a path of over 5,000, longer than the system takes
    // whole, so the chain is made and walked through folder descriptors.
    test::DeepChain chain(tree_.dir("Deep"), 25, QByteArray(200, 'n'));
    ASSERT_TRUE(chain.made());
    const QString bottom = QFile::decodeName(chain.bottom());
    ASSERT_GT(bottom.size(), 5000);
    TfrmDirHog w(harbor_);
    checkOnly(w, tree_.path("Deep"));
    w.show();
    const int screenWidth = w.screen()->availableGeometry().width();
    w.resize(screenWidth * 3 / 4, w.height());
    QApplication::processEvents();
    const int width = w.width();
    auto* status = w.findChild<ElidedLabel*>(QStringLiteral("pnlStatus"));
    ASSERT_NE(status, nullptr);

    int widest = 0;
    bool sawBottom = false;
    w.setScanStepHook([&] {
        QApplication::processEvents();
        widest = std::max(widest, w.width());
        if (status->text() == bottom) {
            sawBottom = true;
            EXPECT_EQ(status->toolTip(), bottom);
        }
    });
    w.btAllClick();
    EXPECT_TRUE(sawBottom);
    EXPECT_EQ(widest, width);

    const qsizetype row = w.rowOf(chain.bottom());
    ASSERT_GT(row, 0);
    w.grid()->setCurrentRow(row);
    QApplication::processEvents();
    EXPECT_TRUE(status->text().contains(bottom + QStringLiteral(": ")));
    EXPECT_EQ(status->toolTip(), status->text());
    EXPECT_EQ(w.width(), width);
}

// The check box hides the map; the window remembers it, with its placement.
TEST_F(DirHogWindow, TreemapToggleIsRemembered) {
    QRect placed;
    {
        TfrmDirHog w(harbor_);
        w.show();
        w.resize(w.minimumSizeHint().expandedTo(QSize(600, 500)) + QSize(13, 17));
        placed = w.geometry();
        w.treemapToggle()->setChecked(false);
        EXPECT_FALSE(w.treemap()->isVisible());
    }
    TfrmDirHog again(harbor_);
    again.show();
    EXPECT_FALSE(again.treemapToggle()->isChecked());
    EXPECT_FALSE(again.treemap()->isVisible());
    EXPECT_EQ(again.geometry().size(), placed.size());
    again.treemapToggle()->setChecked(true);
    EXPECT_TRUE(again.treemap()->isVisible());
}

// An abort in the first main folder keeps its row, with what was summed by then.
TEST_F(DirHogWindow, EarlyAbortKeepsTheRowsBuiltSoFar) {
    TfrmDirHog w(harbor_);
    checkOnlyTheTree(w);
    int steps = 0;
    w.setScanStepHook([&] {
        if (++steps == 2) {
            w.btAbortClick();
        }
    });
    w.btTopClick();
    EXPECT_EQ(prompter_.texts(),
              QStringList{QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER")});
    const QStringList paths = column(w, 5);
    ASSERT_FALSE(paths.isEmpty());
    EXPECT_FALSE(paths.first().isEmpty());
    EXPECT_FALSE(w.statusText().startsWith(QStringLiteral("Folders : 0")));
}

TEST_F(DirHogWindow, NothingFoundSaysSo) {
    TfrmDirHog w(harbor_);
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = tree_.dir("nothing");
    e.text = QStringLiteral("nothing");
    e.checked = true;
    w.driveList()->setEntries({e});
    w.btTopClick();
    EXPECT_EQ(prompter_.texts(), QStringList{QStringLiteral("No files found.")});
    EXPECT_TRUE(w.statusText().startsWith(QStringLiteral("Folders : 0")));
}

}  // namespace
}  // namespace dw
