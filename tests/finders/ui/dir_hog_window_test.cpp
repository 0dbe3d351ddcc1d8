#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QPushButton>

#include "finders/ui/dir_hog_window.h"
#include "platform/clipboard.h"
#include "platform/environment.h"
#include "safety/safe_harbor.h"
#include "safety/ui/del_directory.h"
#include "scan/ui/drive_check_list.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
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
    void checkOnlyTheTree(TfrmDirHog& w) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = r_ + "/S";
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
    tools.delDirectory = [&](const QByteArray& folder, bool* recycled) {
        opened.append(folder);
        *recycled = true;
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
    EXPECT_EQ(opened.size(), 1);
}

// The real folder deletion window, driven through its Delete button.
TEST_F(DirHogWindow, CleaningThroughTheFolderDeletionWindowRemovesTheFolder) {
    TfrmDirHog w(harbor_);
    checkOnlyTheTree(w);
    w.btTopClick();
    w.grid()->setCurrentRow(1);
    test::onModal<TfrmDelDirectory>([](TfrmDelDirectory& d) {
        d.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
    });
    w.btDeleteClick();
    EXPECT_EQ(w.grid()->table().cell(0, 1), QStringLiteral("DELETED"));
    EXPECT_FALSE(present(r_ + "/S/Big Folder"));
    EXPECT_TRUE(present(r_ + "/S/small/c.txt"));
    EXPECT_EQ(prompter_.texts().value(0),
              QStringLiteral("Deleted 2 files for a savings of 5,000 bytes."));
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
    w.btPrintClick();
    EXPECT_TRUE(docName.startsWith(QStringLiteral("Folder hogs on drive(s) ")))
        << docName.toStdString();
    EXPECT_GT(QFile(QFile::decodeName(pdf)).size(), 0);
    w.btClipClick(true);
    const QString root = QFile::decodeName(r_ + "/S");
    EXPECT_EQ(platform::clipboardText(),
              root + QStringLiteral("/Big Folder\n") + root + QStringLiteral("/small"));
    w.btClipClick(false);
    EXPECT_TRUE(platform::clipboardText().startsWith(
        QStringLiteral("Size\t% Used\t# Files\t# Sub-folders\tLatest File Access\tName\n5,000\t")));
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
