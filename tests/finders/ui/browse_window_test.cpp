#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "base/utility.h"
#include "finders/ui/browse_window.h"
#include "platform/environment.h"
#include "safety/folder_clean.h"
#include "safety/safe_harbor.h"
#include "safety/ui/del_directory.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/elided_label.h"
#include "widgets/folder_list_box.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using platform::Answer;
using test::present;

class BrowseWindow : public ::testing::Test {
protected:
    test::TempTree tree_;
    QByteArray r_ = platform::shortPath(tree_.root());
    test::ScopedEnv config_{"DISKWELL_CONFIG_DIR", tree_.dir("config")};
    test::ScriptedPrompter prompter_;
    SafeHarbor harbor_;
    QList<QList<QByteArray>> handedOver_;
    QList<QByteArray> folderWindows_;
    int folderResult_ = TfrmDelDirectory::kRunDone;

    void SetUp() override {
        tree_.file("B/beta.txt", "bb");
        tree_.file("B/Alpha.log", "aaaa");
        tree_.file("B/noext", "123456");
        tree_.file("B/.hidden", "h");
        tree_.symlink("B/link", r_ + "/B/beta.txt");
        tree_.file("B/sub/inner.txt", "in");
        tree_.file("Kept/k.txt", "k");
        SafeHarbor::Sources s;
        s.foldersFile = QFile::decodeName(tree_.file("folders.txt", r_ + "/Kept/\n"));
        harbor_.GetSearchPath(s);
    }
    TfrmBrowse::Tools tools() {
        TfrmBrowse::Tools t;
        t.reallyDelete = [this](const QList<QByteArray>& files) {
            handedOver_.append(files);
            return 2;
        };
        t.delDirectory = [this](const QByteArray& folder) {
            folderWindows_.append(folder);
            if (folderResult_ == TfrmDelDirectory::kRunDone) {
                FolderCleanSettings settings;
                FolderCleanHooks hooks;
                hooks.ask = [](FileAttribute, const QByteArray&) { return AttributeAnswer::Yes; };
                cleanFolder(folder, settings, hooks);
            }
            return folderResult_;
        };
        return t;
    }
    qsizetype rowOf(TfrmBrowse& w, const QString& name) {
        for (qsizetype r = 1; r < w.grid()->table().rowCount(); ++r) {
            if (w.grid()->table().cell(4, r) == name) {
                return r;
            }
        }
        return -1;
    }
    QStringList names(TfrmBrowse& w) {
        QStringList out;
        for (qsizetype r = 1; r < w.grid()->table().rowCount(); ++r) {
            out.append(w.grid()->table().cell(4, r));
        }
        return out;
    }
};

TEST_F(BrowseWindow, ListsPlainFilesByNameMasksAndSorts) {
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/B");
    EXPECT_EQ(names(w), (QStringList{QStringLiteral("Alpha.log"), QStringLiteral("beta.txt"),
                                     QStringLiteral("noext")}));
    EXPECT_EQ(w.scanText(), QStringLiteral("Number of files : 3"));
    EXPECT_EQ(w.sizeText(), QStringLiteral("Total size : 12"));
    // The first sort by Name is descending; a refill keeps the direction.
    w.sortMenu()->chooseColumn(4);
    EXPECT_EQ(names(w).first(), QStringLiteral("noext"));
    w.setMask(QStringLiteral("*.txt;*.log"));
    EXPECT_EQ(names(w), (QStringList{QStringLiteral("beta.txt"), QStringLiteral("Alpha.log")}));
    w.setMask(QStringLiteral("*.none"));
    EXPECT_EQ(names(w), QStringList{QString()});  // one empty row
    EXPECT_EQ(w.scanText(), QStringLiteral("Number of files : 0"));
}

TEST_F(BrowseWindow, MarksAddUpAndGoToTheDeletionPanelThenTheListIsReadAgain) {
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/B");
    // The sort directions last for the program run: the rows are found by name.
    w.grid()->setCurrentRow(rowOf(w, QStringLiteral("Alpha.log")));
    w.btMarkClick();
    w.grid()->setCurrentRow(rowOf(w, QStringLiteral("beta.txt")));
    w.btMarkClick();
    EXPECT_EQ(w.scanText(), QStringLiteral("Marked for deletion: 2 files 6 bytes"));
    w.grid()->setCurrentRow(rowOf(w, QStringLiteral("noext")));
    w.gridDblClick();  // no extension, marked all the same
    EXPECT_EQ(w.markedCount(), 3);
    w.gridDblClick();
    EXPECT_EQ(w.markedBytes(), 6);
    w.btDeleteFilesClick();
    ASSERT_EQ(handedOver_.size(), 1);
    EXPECT_EQ(handedOver_[0], (QList<QByteArray>{r_ + "/B/Alpha.log", r_ + "/B/beta.txt"}));
    EXPECT_EQ(w.markedCount(), 0);  // read again, no marks
    // A change of folder clears the marks too; closing with marks asks first.
    w.Markall1Click();
    EXPECT_EQ(w.markedCount(), 3);
    prompter_.script({Answer::No});
    w.reject();
    EXPECT_EQ(prompter_.texts().value(0),
              QStringLiteral("You have 3 files marked for deletion. Do you really wish to exit "
                             "without deleting?"));
    w.setFolder(r_ + "/B/sub");
    EXPECT_EQ(w.markedCount(), 0);
}

TEST_F(BrowseWindow, ViewOpensTheViewerOnTheSelectedFileOnlyWhenItIsGiven) {
    {
        TfrmBrowse w(harbor_, nullptr, nullptr, tools());
        EXPECT_TRUE(w.findChild<QPushButton*>(QStringLiteral("btView"))->isHidden());
    }
    QList<QByteArray> viewed;
    TfrmBrowse::Tools t = tools();
    t.view = [&](const QByteArray& file) { viewed.append(file); };
    TfrmBrowse w(harbor_, nullptr, nullptr, t);
    w.setFolder(r_ + "/B");
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("btView"))->isHidden());
    w.grid()->setCurrentRow(rowOf(w, QStringLiteral("beta.txt")));
    w.findChild<QPushButton*>(QStringLiteral("btView"))->click();
    // A file gone since the list was read is not viewed.
    w.grid()->setCurrentRow(rowOf(w, QStringLiteral("noext")));
    ASSERT_TRUE(QFile::remove(QFile::decodeName(r_ + "/B/noext")));
    w.btViewClick();
    EXPECT_EQ(viewed, QList<QByteArray>{r_ + "/B/beta.txt"});
}

TEST_F(BrowseWindow, DeleteFolderLeavesTheBrowserOnTheParentOrGoesBack) {
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/B/sub");
    folderResult_ = TfrmDelDirectory::kNothingDone;
    w.btDeleteDirectoryClick();
    EXPECT_EQ(w.folder(), r_ + "/B/sub");  // nothing done: back in the folder
    folderResult_ = TfrmDelDirectory::kRunDone;
    w.btDeleteDirectoryClick();
    EXPECT_EQ(folderWindows_, (QList<QByteArray>{r_ + "/B/sub", r_ + "/B/sub"}));
    EXPECT_EQ(w.folder(), r_ + "/B");
    EXPECT_FALSE(present(r_ + "/B/sub"));

    w.setFolder("/usr");
    w.btDeleteDirectoryClick();
    w.setFolder("/");
    w.btDeleteDirectoryClick();
    EXPECT_EQ(prompter_.texts(),
              (QStringList{QStringLiteral("You cannot delete the Windows folder using Diskwell 98"),
                           QStringLiteral("Cannot delete the root folder! To delete a folder "
                                          "including all files and sub-folders double click on "
                                          "the desired folder shown in the left panel.")}));
    EXPECT_EQ(folderWindows_.size(), 2);
}

TEST_F(BrowseWindow, AProtectedFolderHasTheHighlightedLabel) {
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/Kept");
    // The note is the tool tip's last line, under the folder when the label shortens it.
    const QString note = QStringLiteral("Folder is ON the Non-Deletion List");
    EXPECT_TRUE(w.folderLabel()->toolTip().endsWith(note))
        << w.folderLabel()->toolTip().toStdString();
    w.setFolder(r_ + "/B");
    EXPECT_FALSE(w.folderLabel()->toolTip().contains(note));
}

// The Type column names each file by its whole name, as every other grid does.
TEST_F(BrowseWindow, TypesComeFromTheWholeName) {
    tree_.file("T/setup.exe", "MZ");
    tree_.file("T/archive.tar.gz", "gz");
    tree_.file("T/plain", "p");
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/T");
    const struct {
        const char* name;
        QString type;
    } cases[] = {
        {"setup.exe", FileTypeName(QStringLiteral(".exe"))},
        {"archive.tar.gz", FileTypeOfName(QStringLiteral("archive.tar.gz"))},
        {"plain", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype row = rowOf(w, QString::fromLatin1(c.name));
        ASSERT_GT(row, 0);
        EXPECT_EQ(w.grid()->table().cell(5, row), c.type);
    }
    EXPECT_NE(w.grid()->table().cell(5, rowOf(w, QStringLiteral("setup.exe"))),
              QStringLiteral("XE File"));
}

TEST_F(BrowseWindow, ColumnsAreTheUsersToSizeAndLongNamesEndInAnEllipsis) {
    const QString longName = QString(180, u'n') + QStringLiteral(".txt");
    tree_.file("L/" + QFile::encodeName(longName), "l");
    tree_.file("L/short.txt", "s");
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/L");
    w.resize(1100, 400);
    w.show();
    QApplication::processEvents();
    StringGrid* grid = w.grid();
    QHeaderView* titles = grid->horizontalHeader();
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(titles->sectionResizeMode(c), QHeaderView::Interactive) << c;
    }
    // Unsized, "Filename" and "Type" fill what the first four columns leave.
    int used = 0;
    for (int c = 0; c < 6; ++c) {
        used += grid->columnWidth(c);
    }
    EXPECT_NEAR(used, grid->viewport()->width(), 2);

    const qsizetype row = rowOf(w, longName);
    ASSERT_GT(row, 0);
    EXPECT_EQ(grid->cellToolTip(row, 4), longName);
    EXPECT_TRUE(grid->cellToolTip(rowOf(w, QStringLiteral("short.txt")), 4).isEmpty());

    // A double click on the edge of a title fits the column to its texts; a width the user
    // gave stays when the window is resized.
    emit titles->sectionHandleDoubleClicked(4);
    EXPECT_EQ(grid->columnWidth(4), grid->sizeHintForColumn(4));
    EXPECT_TRUE(grid->cellToolTip(row, 4).isEmpty());
    titles->resizeSection(4, 150);
    w.resize(1300, 400);
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(4), 150);
}

TEST_F(BrowseWindow, OptionsOpensTheGridsMenu) {
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/B");
    w.show();
    auto* options = w.findChild<QPushButton*>(QStringLiteral("btOptions"));
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->text(), QStringLiteral("Options"));
    options->click();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction* a : menu->actions()) {
        items.append(a->text());
    }
    EXPECT_EQ(items, (QStringList{QStringLiteral("Details"), QStringLiteral("Sort"),
                                  QStringLiteral("Mark"), QStringLiteral("Open"),
                                  QStringLiteral("View")}));
    menu->close();
}

TEST_F(BrowseWindow, OpeningAFolderKeepsItsSiblingsInTheTree) {
    tree_.dir("B/sub2");
    tree_.dir("B/sub/deeper");
    TfrmBrowse w(harbor_, nullptr, nullptr, tools());
    w.setFolder(r_ + "/B");
    FolderListBox* list = w.folderList();
    auto rows = [list] {
        QList<QByteArray> out;
        for (int r = 0; r < list->count(); ++r) {
            out.append(list->folderAt(r));
        }
        return out;
    };
    w.setFolder(r_ + "/B/sub");
    const QList<QByteArray> shown = rows();
    EXPECT_TRUE(shown.contains(r_ + "/B/sub2"));
    EXPECT_TRUE(shown.contains(r_ + "/Kept"));
    // The open folder's own sub-folders come right under it, before its next sibling.
    const qsizetype sub = shown.indexOf(r_ + "/B/sub");
    ASSERT_GE(sub, 0);
    EXPECT_EQ(shown.value(sub + 1), r_ + "/B/sub/deeper");
    EXPECT_EQ(shown.value(sub + 2), r_ + "/B/sub2");
}

}  // namespace
}  // namespace dw
