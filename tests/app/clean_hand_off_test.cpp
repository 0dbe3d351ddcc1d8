// The road of one request: from the main window, duplicates are found and marked, and
// "Clean?" hands them to the deletion panel, which deletes or archives them; an archive
// goes back with the command-line restore.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <sys/stat.h>

#include <functional>

#include "app/main_window.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "finders/dup_fixture.h"
#include "finders/ui/browse_window.h"
#include "finders/ui/dir_hog_window.h"
#include "finders/ui/dup_window.h"
#include "platform/environment.h"
#include "safety/clean_totals.h"
#include "safety/ui/really_delete.h"
#include "safety/ui/zip_options.h"
#include "scan/ui/add_new_folder_dialog.h"
#include "scan/ui/drive_check_list.h"
#include "support/cli_runner.h"
#include "support/hand_off_test.h"
#include "support/modal.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using platform::Answer;
using test::onModal;
using test::present;

class CleanHandOff : public test::HandOffTest {
protected:
    // Opens "&Duplicate files" from the main window, scans the tree, marks every
    // result and presses "Clean?", where `panel` takes over.
    void cleanDuplicates(TfrmMain& main, std::function<void(TfrmReallyDelete&)> panel) {
        onModal<TfrmDup>([this, panel](TfrmDup& dup) {
            dup.setDriveEntries(test::folderEntries({r_ + "/files"}));
            dup.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
            dup.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
            dup.btScanClick();
            dup.Markall1Click();
            onModal<TfrmReallyDelete>(panel);
            dup.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
        });
        main.findChild<QPushButton*>(QStringLiteral("btDuplicates"))->click();
    }
};

TEST_F(CleanHandOff, MarkedDuplicatesAreDeletedExceptTheProtectedOnesAndTheFinderCloses) {
    const QByteArray a = tree_.fileOfSize("files/a/report.txt", 100);
    const QByteArray b = tree_.fileOfSize("files/b/report.txt", 200);
    const QByteArray k = tree_.fileOfSize("files/kept/report.txt", 300);
    const qint64 blocks = test::allocatedBytes(a) + test::allocatedBytes(b);
    // The finder walks files/, the Safe Harbor protects files/kept/.
    TfrmMain main;
    main.GetSearchPath();
    ASSERT_FALSE(main.safeHarborMissing());
    bool panelSeen = false;
    cleanDuplicates(main, [&](TfrmReallyDelete& p) {
        panelSeen = true;
        EXPECT_EQ(p.callerName(), QStringLiteral("Duplicates"));
        EXPECT_EQ(p.deletionPanel(),
                  (QList<QByteArray>{r_ + "/files/a/report.txt", r_ + "/files/b/report.txt"}));
        EXPECT_EQ(p.safeHarborList(), QList<QByteArray>{r_ + "/files/kept/report.txt"});
        // The savings are the blocks of the Deletion Panel's files only.
        EXPECT_EQ(p.findChild<QLabel*>(QStringLiteral("lblSavings"))->text(),
                  FormatThousands(blocks) + QStringLiteral(" bytes"));
        prompter_.script({Answer::Yes});
        p.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
    });
    EXPECT_TRUE(panelSeen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the finder closed with the panel
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    EXPECT_TRUE(present(k));
    EXPECT_EQ(readCleanTotals().Ndelete, 2);
    EXPECT_EQ(readCleanTotals().SizeDelete, blocks);
}

TEST_F(CleanHandOff, BrowseOpensTheBrowserOverTheFinderOnTheRowsFileWithItsMask) {
    tree_.fileOfSize("files/a/report.txt", 100);
    tree_.fileOfSize("files/b/report.txt", 200);
    TfrmMain main;
    main.GetSearchPath();
    QByteArray browsed;
    QByteArray selected;
    QString mask;
    bool overTheFinder = false;
    onModal<TfrmDup>([&](TfrmDup& dup) {
        dup.setDriveEntries(test::folderEntries({r_ + "/files"}));
        dup.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
        dup.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
        dup.btScanClick();
        dup.grid()->setCurrentRow(2);
        auto* browse = dup.findChild<QPushButton*>(QStringLiteral("btBrowse"));
        ASSERT_NE(browse, nullptr);
        EXPECT_FALSE(browse->isHidden());
        onModal<TfrmBrowse>([&](TfrmBrowse& b) {
            browsed = b.folder();
            selected = b.grid()->table().rowData(b.grid()->currentRow());
            mask = b.mask();
            overTheFinder = b.parent() == &dup;
            b.close();
        });
        browse->click();
        dup.close();
    });
    main.findChild<QPushButton*>(QStringLiteral("btDuplicates"))->click();
    EXPECT_TRUE(overTheFinder);
    EXPECT_EQ(browsed, r_ + "/files/b");
    EXPECT_EQ(selected, r_ + "/files/b/report.txt");
    EXPECT_EQ(mask, QStringLiteral("*.*"));
}

TEST_F(CleanHandOff, FolderHogsBrowsesWithViewAndDetailsAsElsewhere) {
    tree_.fileOfSize("files/a/report.txt", 100);
    TfrmMain main;
    main.GetSearchPath();
    QByteArray browsed;
    bool viewShown = false;
    bool detailsShown = false;
    onModal<TfrmDirHog>([&](TfrmDirHog& hogs) {
        hogs.driveList()->setEntries(test::folderEntries({r_ + "/files"}));
        hogs.btTopClick();
        const qsizetype row = hogs.rowOf(r_ + "/files/a");
        ASSERT_GT(row, 0);
        hogs.grid()->setCurrentRow(row);
        onModal<TfrmBrowse>([&](TfrmBrowse& b) {
            browsed = b.folder();
            viewShown = !b.findChild<QPushButton*>(QStringLiteral("btView"))->isHidden();
            detailsShown = !b.findChild<QPushButton*>(QStringLiteral("btDetails"))->isHidden();
            b.close();
        });
        hogs.btBrowseClick();
        hogs.close();
    });
    main.findChild<QPushButton*>(QStringLiteral("btFolderHogs"))->click();
    EXPECT_EQ(browsed, r_ + "/files/a");
    EXPECT_TRUE(viewShown);
    EXPECT_TRUE(detailsShown);
}

TEST_F(CleanHandOff, TheFinderOffersToAddAFolderAndItsDriveListShowsItAfterwards) {
    const QByteArray extra = tree_.dir("files/extra");
    TfrmMain main;
    main.GetSearchPath();
    bool dialogSeen = false;
    bool listed = false;
    onModal<TfrmDup>([&](TfrmDup& dup) {
        QAction* add = nullptr;
        for (QAction* a : dup.popupMenu()->actions()) {
            if (a->text() == QStringLiteral("Add a folder to the list of drives")) {
                add = a;
            }
        }
        ASSERT_NE(add, nullptr);
        EXPECT_TRUE(add->isVisible());
        onModal<TfrmAddNewFolder>([&](TfrmAddNewFolder& d) {
            dialogSeen = d.parent() == &dup;
            // What "Add" and "Close" store, written here without the folder browser.
            ASSERT_TRUE(SettingsStore().writeList(QString::fromLatin1(settings::kNewFolders),
                                                  {QFile::decodeName(extra)}));
            d.reject();
        });
        add->trigger();
        for (const DriveEntry& e : dup.driveList()->entries()) {
            listed = listed || (!e.isDrive() && e.startFolder == extra);
        }
        dup.close();
    });
    main.findChild<QPushButton*>(QStringLiteral("btDuplicates"))->click();
    EXPECT_TRUE(dialogSeen);
    EXPECT_TRUE(listed);
}

TEST_F(CleanHandOff, ArchivedDuplicatesComeBackWithTheRestore) {
    const QByteArray zips = tree_.dir("zips");
    const QByteArray a = tree_.file("files/a/notes.txt", "first copy");
    const QByteArray b = tree_.file("files/b/notes.txt", "second copy");
    TfrmMain main;
    main.GetSearchPath();
    cleanDuplicates(main, [&](TfrmReallyDelete& p) {
        onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
            d.Edit1->setText(QFile::decodeName(zips));
            d.accept();
        });
        p.findChild<QPushButton*>(QStringLiteral("btZip"))->click();
    });
    EXPECT_EQ(main.DefaultZipPath, QFile::decodeName(zips));
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    EXPECT_EQ(readCleanTotals().NZip, 2);
    const QStringList archives = QDir(QFile::decodeName(zips)).entryList(QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    EXPECT_TRUE(archives[0].startsWith(QStringLiteral("Drive-"))) << archives[0].toStdString();

    const test::CliRun restore =
        test::runCli({QStringLiteral("restore"), QFile::decodeName(zips) + u'/' + archives[0]});
    EXPECT_EQ(restore.status, 0) << restore.err.constData();
    QFile back(QFile::decodeName(a));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("first copy"));
    EXPECT_TRUE(present(b));
}

}  // namespace
}  // namespace dw
