#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "app/help_viewer.h"
#include "app/resources.h"
#include "base/utility.h"
#include "platform/environment.h"
#include "platform/file_remover.h"
#include "safety/archive_fixtures.h"
#include "safety/archive_name.h"
#include "safety/clean_totals.h"
#include "safety/harbor_fixture.h"
#include "safety/safe_harbor.h"
#include "safety/ui/really_delete.h"
#include "safety/ui/zip_options.h"
#include "support/loop_volume.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/stand_by.h"

namespace dw {
namespace {

using platform::Answer;
using test::onModal;
using test::present;
using test::TempTree;

void selectRows(QListView* view, const QList<int>& rows) {
    view->selectionModel()->clearSelection();
    for (int r : rows) {
        view->selectionModel()->select(view->model()->index(r, 0), QItemSelectionModel::Select);
    }
    if (!rows.isEmpty()) {
        view->selectionModel()->setCurrentIndex(view->model()->index(rows.front(), 0),
                                                QItemSelectionModel::NoUpdate);
    }
}

// A list as one readable text, for comparisons that print well.
std::string joined(const QList<QByteArray>& list) {
    return list.join('|').toStdString();
}

QStringList shown(QListView* view) {
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r) {
        out.append(view->model()->index(r, 0).data().toString());
    }
    return out;
}

// The panel's controls, by object name.
template <typename T = QWidget>
T* control(const QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    if (!c) {
        qFatal("the deletion panel has no %s named %s", T::staticMetaObject.className(), name);
    }
    return c;
}
QPushButton* button(const QWidget& w, const char* name) {
    return control<QPushButton>(w, name);
}
QLabel* label(const QWidget& w, const char* name) {
    return control<QLabel>(w, name);
}
QListView* list(const QWidget& w, const char* name) {
    return control<QListView>(w, name);
}
QString currentTab(const QWidget& w) {
    return control<QTabWidget>(w, "PageControl1")->currentWidget()->objectName();
}

// A real tree with a Safe Harbor over part of it, the program's settings and the trash
// in folders of the test.
class Panel : public ::testing::Test {
protected:
    TempTree tree_;
    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    test::ScopedEnv dataHome_{"XDG_DATA_HOME", tree_.dir("data-home")};
    QByteArray r_ = platform::shortPath(tree_.root());
    SafeHarbor harbor_;
    test::ScriptedPrompter prompter_;

    void SetUp() override { test::coverWithHarbor(tree_, r_, harbor_); }

    QByteArray file(const QByteArray& rel, qint64 size) {
        tree_.fileOfSize(rel, size);
        return r_ + "/" + rel;
    }

    // The blocks `files` take on the disk: what deleting them gives back.
    static qint64 blocks(std::initializer_list<QByteArray> files) {
        qint64 sum = 0;
        for (const QByteArray& f : files) {
            sum += test::allocatedBytes(f);
        }
        return sum;
    }
    static QString bytesText(qint64 n) { return FormatThousands(n) + QStringLiteral(" bytes"); }

    // A panel for `files`, shown (not modally), the split done.
    std::unique_ptr<TfrmReallyDelete> panel(const QList<QByteArray>& files,
                                            const QString& caller = QStringLiteral("Duplicates")) {
        auto p = std::make_unique<TfrmReallyDelete>(harbor_);
        p->setHandOff(files, caller);
        p->show();
        return p;
    }
};

TEST_F(Panel, SplitsOnShowAndMovesFilesBetweenTheListsWithoutAskingAgain) {
    const QByteArray a = file("free/a.txt", 1234000);
    const QByteArray b = file("free/b\tc\nd.txt", 500);
    const QByteArray c = file("free/c.txt", 67);
    const QByteArray kept = file("kept/deep/k.txt", 2199656);
    const QByteArray tool = file("bin/tool", 1);
    const QByteArray driver = file("free/DRIVER.SYS", 1);
    auto p = panel({c, kept, a, tool, b, driver, a});

    EXPECT_EQ(p->windowTitle(), QStringLiteral("Clean up the following files"));
    EXPECT_EQ(joined(p->deletionPanel()), joined({a, b, c}));
    EXPECT_EQ(joined(p->safeHarborList()), joined({tool, driver, kept}));
    // The savings count the Deletion Panel only, never a protected file.
    EXPECT_EQ(label(*p, "lblSavings")->text(), bytesText(blocks({a, b, c})));
    EXPECT_EQ(label(*p, "lblDelete")->text(), QStringLiteral("Delete - 3, Do NOT delete - 3"));
    EXPECT_EQ(label(*p, "lblLeft")->text(),
              QStringLiteral("Deletion Panel - files to be deleted: 3"));
    EXPECT_EQ(label(*p, "lblRight")->text(),
              QStringLiteral("Safe Harbor - files NOT to be deleted: 3"));
    EXPECT_EQ(currentTab(*p), QStringLiteral("tabDelete"));
    // A name with a TAB and a line break shows on one line, its control characters visible.
    EXPECT_EQ(shown(list(*p, "lb1")).value(1),
              QFile::decodeName(r_) + QStringLiteral("/free/b\u2409c\u240ad.txt"));
    EXPECT_FALSE(button(*p, "btToAgainst")->isEnabled());
    EXPECT_FALSE(button(*p, "btMoveLeft")->isEnabled());
    EXPECT_FALSE(button(*p, "btReason")->isEnabled());

    // Off to the Safe Harbor: two files, then the last one, which turns the tab.
    selectRows(list(*p, "lb1"), {0, 2});
    EXPECT_TRUE(button(*p, "btToAgainst")->isEnabled());
    button(*p, "btToAgainst")->click();
    EXPECT_EQ(joined(p->deletionPanel()), joined({b}));
    EXPECT_EQ(joined(p->safeHarborList()), joined({tool, a, c, driver, kept}));
    EXPECT_EQ(label(*p, "lblDelete")->text(), QStringLiteral("Delete - 1, Do NOT delete - 5"));
    EXPECT_EQ(label(*p, "lblSavings")->text(), bytesText(blocks({b})));
    EXPECT_FALSE(button(*p, "btToAgainst")->isEnabled());
    EXPECT_EQ(currentTab(*p), QStringLiteral("tabDelete"));
    selectRows(list(*p, "lb1"), {0});
    button(*p, "btToAgainst")->click();
    EXPECT_TRUE(p->deletionPanel().isEmpty());
    EXPECT_EQ(label(*p, "lblSavings")->text(), QStringLiteral("0 bytes"));
    EXPECT_EQ(currentTab(*p), QStringLiteral("tabSafeHarbor"));

    // Back to the Deletion Panel: protected files too, and they stay there.
    selectRows(list(*p, "lb2"), {0, 1, 2, 3, 4, 5});
    EXPECT_TRUE(button(*p, "btMoveLeft")->isEnabled());
    EXPECT_TRUE(button(*p, "btReason")->isEnabled());
    button(*p, "btMoveLeft")->click();
    EXPECT_EQ(joined(p->deletionPanel()), joined({tool, a, b, c, driver, kept}));
    EXPECT_TRUE(p->safeHarborList().isEmpty());
    EXPECT_EQ(currentTab(*p), QStringLiteral("tabDelete"));
    EXPECT_EQ(label(*p, "lblRight")->text(),
              QStringLiteral("Safe Harbor - files NOT to be deleted: 0"));
    EXPECT_EQ(p->savings(), blocks({a, b, c, kept, tool, driver}));
    EXPECT_EQ(label(*p, "lblSavings")->text(), bytesText(p->savings()));
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

TEST_F(Panel, TellsWhyAFileIsOnTheSafeHarborList) {
    const QByteArray a = file("free/a.txt", 1);
    const QByteArray tool = file("bin/tool", 1);
    const QByteArray kept = file("kept/k.txt", 1);
    const QByteArray driver = file("free/DRIVER.SYS", 1);
    auto p = panel({a, tool, kept, driver});
    selectRows(list(*p, "lb1"), {0});
    button(*p, "btToAgainst")->click();
    ASSERT_EQ(joined(p->safeHarborList()), joined({tool, a, driver, kept}));
    const QString root = QFile::decodeName(r_);
    const QStringList expected = {
        QStringLiteral("This file \"%1/bin/tool\" is on the Safe Harbor List since the folder "
                       "that it is stored in is in the search path")
            .arg(root),
        QStringLiteral("This file \"%1/free/a.txt\" is on the Safe Harbor List because you moved "
                       "it here.")
            .arg(root),
        QStringLiteral("This file \"%1/free/DRIVER.SYS\" is on the Safe Harbor List since the "
                       "folder that it is stored in is included in the protected file extensions")
            .arg(root),
        QStringLiteral("This file \"%1/kept/k.txt\" is on the Safe Harbor List since the folder "
                       "that it is stored in is referenced in the registry")
            .arg(root),
    };
    for (int row = 0; row < 4; ++row) {
        selectRows(list(*p, "lb2"), {row});
        button(*p, "btReason")->click();
    }
    EXPECT_EQ(prompter_.texts(), expected);
}

TEST_F(Panel, MovingAFileOfTheSystemsTreesToTheDeletionPanelAsksFirstNamingItAndTheReason) {
    const QByteArray lib = file("sys/libc.so", 10);
    const QByteArray lib2 = file("sys/libm.so", 20);
    const QByteArray tool = file("bin/tool", 30);
    auto p = panel({lib, lib2, tool});
    ASSERT_EQ(joined(p->safeHarborList()), joined({tool, lib, lib2}));
    const QString root = QFile::decodeName(r_);
    const auto question = [&](const char* rel) {
        return QStringLiteral(
                   "This file \"%1/%2\" is on the Safe Harbor List since the folder "
                   "that it is stored in is in the Windows/System folder.\n\nMove it "
                   "to the deletion panel anyway?")
            .arg(root, QLatin1String(rel));
    };

    // All three: the search-path file goes without a question; of the two system files
    // only the one answered Yes goes.
    selectRows(list(*p, "lb2"), {0, 1, 2});
    prompter_.script({Answer::No, Answer::Yes});
    button(*p, "btMoveLeft")->click();
    EXPECT_EQ(prompter_.texts(), (QStringList{question("sys/libc.so"), question("sys/libm.so")}));
    ASSERT_EQ(prompter_.boxes().size(), 2);
    EXPECT_EQ(prompter_.boxes()[0].buttons, platform::Buttons::YesNoDefaultNo);
    EXPECT_EQ(joined(p->deletionPanel()), joined({tool, lib2}));
    EXPECT_EQ(joined(p->safeHarborList()), joined({lib}));
    EXPECT_EQ(label(*p, "lblSavings")->text(), bytesText(blocks({tool, lib2})));

    // A file the user moved there by hand comes back without a question.
    prompter_.clear();
    selectRows(list(*p, "lb1"), {0});
    button(*p, "btToAgainst")->click();
    ASSERT_EQ(joined(p->safeHarborList()), joined({tool, lib}));
    selectRows(list(*p, "lb2"), {0, 1});
    prompter_.script({Answer::No});
    button(*p, "btMoveLeft")->click();
    EXPECT_EQ(prompter_.texts(), QStringList{question("sys/libc.so")});
    EXPECT_EQ(joined(p->safeHarborList()), joined({lib}));
    EXPECT_EQ(joined(p->deletionPanel()), joined({tool, lib2}));
}

TEST_F(Panel, WhenEveryFileIsProtectedItSaysSoOnceAndNoActionRuns) {
    const QByteArray tool = file("bin/tool", 1);
    const QByteArray kept = file("kept/k.txt", 1);
    auto p = panel({tool, kept});
    EXPECT_TRUE(p->deletionPanel().isEmpty());
    EXPECT_TRUE(prompter_.boxes().isEmpty());
    // The box comes half a second after the show.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !prompter_.boxes().isEmpty(); }, test::kModalWaitMs));
    ASSERT_EQ(prompter_.texts(),
              QStringList{QStringLiteral(
                  "All files selected appear on the Safe Harbor list.  To delete the files "
                  "anyway, move them off of the Safe Harbor list onto the DELETION PANEL.")});
    EXPECT_EQ(currentTab(*p), QStringLiteral("tabSafeHarbor"));
    prompter_.clear();
    button(*p, "btDelete")->click();
    button(*p, "btRecycle")->click();
    button(*p, "btZip")->click();
    const QString none = QStringLiteral(
        "There are no files on the deletion panel.  In order to perform this operation you need "
        "to move files from the NON-DELETE list to the deletion panel.");
    EXPECT_EQ(prompter_.texts(), (QStringList{none, none, none}));
    EXPECT_TRUE(present(tool));
    EXPECT_TRUE(present(kept));
    EXPECT_TRUE(p->isVisible());
}

TEST_F(Panel, DeleteRunDeletesThePanelsFilesReportsFailuresAndCountsWhatWentAfterAReset) {
    const QByteArray a = file("free/a.txt", 100);
    const QByteArray odd = file("free/ odd\n\xff name", 50);
    const QByteArray folder = tree_.dir("free/folder");
    const QByteArray gone = r_ + "/free/gone.txt";
    const QByteArray kept = file("kept/k.txt", 7);
    const QByteArray moved = file("free/moved.txt", 9);
    ASSERT_TRUE(recordDeleteTotals(10, 1000, 2, 20));
    const qint64 freed = blocks({a, odd});

    auto p = panel({a, odd, folder, gone, kept, moved});
    selectRows(list(*p, "lb1"), {int(p->deletionPanel().indexOf(moved))});
    button(*p, "btToAgainst")->click();

    // No: nothing happens and the panel stays as it was.
    prompter_.script({Answer::No});
    button(*p, "btDelete")->click();
    EXPECT_EQ(prompter_.texts(),
              (QStringList{QStringLiteral("Really delete?"), QStringLiteral("Files not deleted")}));
    EXPECT_EQ(p->deletionPanel().size(), 4);
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(present(a));

    prompter_.clear();
    prompter_.script({Answer::Yes});
    bool closeDisabledDuringRun = true;
    bool progressShownDuringRun = true;
    p->setRunStepHook([&](qsizetype) {
        closeDisabledDuringRun &= !button(*p, "btClose")->isEnabled();
        progressShownDuringRun &=
            control(*p, "pnlProgress")->isVisible() && !control(*p, "pnlButtons")->isVisible();
    });
    button(*p, "btDelete")->click();
    EXPECT_TRUE(closeDisabledDuringRun);
    EXPECT_TRUE(progressShownDuringRun);
    const QString root = QFile::decodeName(r_);
    EXPECT_EQ(
        prompter_.texts(),
        (QStringList{
            QStringLiteral("Really delete?"),
            QStringLiteral("Couldn't delete file - %1/free/folder\n\nit is a folder").arg(root),
            QStringLiteral("Couldn't delete file - %1/free/gone.txt\n\nNo such file "
                           "or directory")
                .arg(root),
            // What was done, what was kept and why, and what the Safe Harbor kept.
            QStringLiteral("Deleted 2 files, %2.\n\n"
                           "2 files kept:\n"
                           "%1/free/folder - it is a folder\n"
                           "%1/free/gone.txt - No such file or directory\n\n"
                           "2 files on the Safe Harbor list left alone.")
                .arg(root, bytesText(freed))}));
    EXPECT_EQ(prompter_.boxes().last().kind, platform::MessageKind::Info);
    EXPECT_EQ(p->result(), TfrmReallyDelete::kRunDone);
    EXPECT_FALSE(p->isVisible());
    EXPECT_TRUE(p->deletionPanel().isEmpty());
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(odd));
    EXPECT_TRUE(present(folder));
    EXPECT_TRUE(present(kept));
    EXPECT_TRUE(present(moved));
    // What was deleted is counted, not what was handed in.
    const CleanTotals t = readCleanTotals();
    EXPECT_EQ(t.Ndelete, 10 + 2);
    EXPECT_EQ(t.SizeDelete, 1000 + freed);
    EXPECT_EQ(t.NWaste, 2);
    EXPECT_EQ(t.SizeWaste, 20);
}

TEST_F(Panel, AFileOfSeveralNamesSavesAndCountsItsBytesOnlyWhenItsLastNameGoes) {
    const QByteArray h1 = file("free/h1", 1000);
    const QByteArray h2 = r_ + "/free/h2";
    ASSERT_EQ(::link(h1.constData(), h2.constData()), 0);
    const QByteArray c = file("free/c", 10);
    ASSERT_TRUE(resetCleanTotals());
    const qint64 hBytes = blocks({h1});
    const qint64 cBytes = blocks({c});

    // One name of two on the panel frees nothing; both free the bytes once.
    {
        auto p = panel({h1, c});
        EXPECT_EQ(p->savings(), cBytes);
    }
    auto p = panel({h1, h2, c});
    EXPECT_EQ(p->savings(), hBytes + cBytes);
    selectRows(list(*p, "lb1"), {int(p->deletionPanel().indexOf(h2))});
    button(*p, "btToAgainst")->click();
    EXPECT_EQ(p->savings(), cBytes);
    selectRows(list(*p, "lb2"), {0});
    button(*p, "btMoveLeft")->click();
    EXPECT_EQ(label(*p, "lblSavings")->text(), bytesText(hBytes + cBytes));

    prompter_.script({Answer::Yes});
    button(*p, "btDelete")->click();
    EXPECT_FALSE(present(h1));
    EXPECT_FALSE(present(h2));
    const CleanTotals t = readCleanTotals();
    EXPECT_EQ(t.Ndelete, 3);
    EXPECT_EQ(t.SizeDelete, hBytes + cBytes);

    // A name deleted while another stays: a file deleted, no bytes freed.
    const QByteArray k1 = file("free/k1", 500);
    const QByteArray k2 = r_ + "/free/k2";
    ASSERT_EQ(::link(k1.constData(), k2.constData()), 0);
    auto q = panel({k1});
    prompter_.clear();
    prompter_.script({Answer::Yes});
    button(*q, "btDelete")->click();
    EXPECT_FALSE(present(k1));
    EXPECT_TRUE(present(k2));
    EXPECT_EQ(readCleanTotals().Ndelete, 4);
    EXPECT_EQ(readCleanTotals().SizeDelete, hBytes + cBytes);
}

TEST_F(Panel, TrashRunAsksItsQuestionAndSendsTheFilesToTheDesktopTrash) {
    const QByteArray a = file("free/100% a.txt", 10);
    const QByteArray b = file("free/b c.txt", 20);
    const QByteArray kept = file("kept/k.txt", 7);
    const qint64 sent = blocks({a, b});
    auto p = panel({a, b, kept});
    prompter_.script({Answer::Yes});
    button(*p, "btRecycle")->click();
    ASSERT_EQ(prompter_.texts(),
              (QStringList{
                  QStringLiteral("Note that the recycle bin may be full or that you may have the "
                                 "\"Immediately Remove Files On Delete\" option turned on in the "
                                 "recycle bin. If either is true, then you will not be able to "
                                 "recover the deleted files from the recycle bin. \n\nSend to the "
                                 "recycle bin anyway?"),
                  QStringLiteral("Sent 2 files, %1, to the trash.\n\n"
                                 "1 file on the Safe Harbor list left alone.")
                      .arg(bytesText(sent))}));
    EXPECT_EQ(p->result(), TfrmReallyDelete::kRunDone);
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    EXPECT_TRUE(present(kept));
    const CleanTotals t = readCleanTotals();
    EXPECT_EQ(t.NWaste, 2);
    EXPECT_EQ(t.SizeWaste, sent);
    EXPECT_EQ(t.Ndelete, 0);
    EXPECT_EQ(t.DelDate, totalsDayNumber(QDate::currentDate()));
    const test::ProgramRun listed = test::runProgram(QStringLiteral("trash-list"), {});
    if (listed.status == -1) {
        GTEST_SKIP() << "trash-cli is not installed";
    }
    EXPECT_TRUE(listed.out.contains(" " + a + "\n")) << listed.out.constData();
    EXPECT_TRUE(listed.out.contains(" " + b + "\n")) << listed.out.constData();
}

TEST_F(Panel, ZipRunAsksForTheOptionsArchivesThenDeletesAndSaysWhere) {
    const QByteArray zips = tree_.dir("zips");
    const QByteArray a = file("free/a.txt", 3000);
    const QByteArray b = file("free/\nb", 10);
    const QByteArray kept = file("kept/k.txt", 7);
    const qint64 freed = blocks({a, b});
    auto p = panel({a, b, kept}, QStringLiteral("Duplicates"));

    // Cancel in the options: no run, the panel stays.
    onModal<TfrmZipOptions>([](TfrmZipOptions& d) { d.reject(); });
    button(*p, "btZip")->click();
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(present(a));

    onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
        d.Edit1->setText(QFile::decodeName(zips));
        d.Edit2->setText(QStringLiteral("old duplicates"));
        d.accept();
    });
    button(*p, "btZip")->click();
    EXPECT_EQ(p->result(), TfrmReallyDelete::kRunDone);
    ASSERT_EQ(prompter_.boxes().size(), 1);
    EXPECT_EQ(prompter_.boxes()[0].kind, platform::MessageKind::Plain);
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    EXPECT_TRUE(present(kept));
    const QStringList archives = QDir(QFile::decodeName(zips)).entryList(QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    // Where, how many, what it won once the archive is counted, and which archive.
    const qint64 archiveBytes = blocks({zips + "/" + QFile::encodeName(archives[0])});
    EXPECT_EQ(prompter_.texts()[0],
              QStringLiteral("Files deleted and stored in archive zip files in the folder \"%1\""
                             "\n\nStored 2 files, 3,010 bytes, in archives and deleted them."
                             "\nFreed %3; the archives take %4 on the disk: a savings of %5."
                             "\n\n1 file on the Safe Harbor list left alone."
                             "\n\nArchive:\n%1/%2")
                  .arg(QFile::decodeName(zips), archives[0], bytesText(freed),
                       bytesText(archiveBytes), bytesText(freed - archiveBytes)));
    EXPECT_TRUE(archives[0].contains(QStringLiteral("-Duplicates"))) << archives[0].toStdString();
    const test::PythonView view = test::pythonZipView(zips + "/" + QFile::encodeName(archives[0]));
    ASSERT_TRUE(view.ok) << view.failure.toStdString();
    EXPECT_TRUE(view.crcOk);
    EXPECT_EQ(view.entries.size(), 2);
    EXPECT_EQ(view.comment, QByteArray("old duplicates"));
    const CleanTotals t = readCleanTotals();
    EXPECT_EQ(t.NZip, 2);
    EXPECT_EQ(t.SizeZip, 3010);
    EXPECT_EQ(t.ZipDate, totalsDayNumber(QDate::currentDate()));
    EXPECT_EQ(t.Ndelete, -1);
}

TEST_F(Panel, CloseDuringAZipRunAbortsKeepingTheFileBeingCompressedAndTheRest) {
    const QByteArray zips = tree_.dir("zips");
    QList<QByteArray> files;
    for (int i = 0; i < 5; ++i) {
        files.append(file("free/" + QByteArray::number(i) + ".bin", 4000));
    }
    // A link cannot be archived: it is reported even though the run is aborted later.
    const QByteArray link = r_ + "/free/00link";
    ASSERT_EQ(::symlink(files[0].constData(), link.constData()), 0);
    auto p = panel(files + QList<QByteArray>{link});
    // The order: 0.bin, 00link, 1.bin, 2.bin, 3.bin, 4.bin.
    ASSERT_EQ(p->deletionPanel().value(1), link);
    p->setPumpInterval(0);
    int abortsAsked = 0;
    p->setRunStepHook([&](qsizetype index) {
        EXPECT_TRUE(button(*p, "btClose")->isEnabled());
        EXPECT_TRUE(control(*p, "Gauge1")->isVisible());
        if (index == 3) {
            // No first: the run goes on; then Yes.
            prompter_.script({Answer::No, Answer::Yes});
            button(*p, "btClose")->click();
            EXPECT_FALSE(p->abortRequested());
            button(*p, "btClose")->click();
            EXPECT_TRUE(p->abortRequested());
            ++abortsAsked;
        }
    });
    onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
        d.Edit1->setText(QFile::decodeName(zips));
        d.accept();
    });
    button(*p, "btZip")->click();
    EXPECT_EQ(abortsAsked, 1);
    ASSERT_EQ(prompter_.texts().size(), 4);
    EXPECT_EQ(prompter_.texts()[0],
              QStringLiteral("Really abort?  Folders may be partially deleted!"));
    EXPECT_EQ(prompter_.texts()[1],
              QStringLiteral("Really abort?  Folders may be partially deleted!"));
    EXPECT_TRUE(prompter_.texts()[2].startsWith(QStringLiteral("Couldn't zip up file - ") +
                                                QFile::decodeName(link)))
        << prompter_.texts()[2].toStdString();
    EXPECT_EQ(p->result(), TfrmReallyDelete::kRunDone);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(present(files[i]), i >= 2) << i;
    }
    EXPECT_TRUE(present(link));
    EXPECT_EQ(readCleanTotals().NZip, 2);
    const QStringList archives = QDir(QFile::decodeName(zips)).entryList(QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    // The summary: aborted, what was stored, what stayed and why, the archive.
    const QString root = QFile::decodeName(r_);
    const QString summary = prompter_.texts()[3];
    EXPECT_TRUE(summary.startsWith(
        QStringLiteral("The run was aborted.\n\nStored 2 files, 8,000 bytes, in archives and "
                       "deleted them.\nFreed ")
            .arg(root)))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("\n\n4 files kept:\n%1/free/00link - ").arg(root)))
        << summary.toStdString();
    for (const char* name : {"2.bin", "3.bin", "4.bin"}) {
        EXPECT_TRUE(summary.contains(
            QStringLiteral("\n%1/free/%2 - the run was aborted").arg(root, QLatin1String(name))))
            << name;
    }
    EXPECT_TRUE(summary.endsWith(
        QStringLiteral("\n\nArchive:\n%1/%2").arg(QFile::decodeName(zips), archives[0])))
        << summary.toStdString();
    EXPECT_EQ(test::pythonZipView(zips + "/" + QFile::encodeName(archives[0])).entries.size(), 2);
}

TEST_F(Panel, AnArchiveThatCannotBeWrittenIsReportedOnceAndEveryFileStays) {
    const QList<QByteArray> files = {file("free/a.txt", 10), file("free/b.txt", 20)};
    auto p = panel(files);
    // The folder is there when the options check it and gone when the run starts.
    const QByteArray gone = tree_.dir("gone");
    onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
        d.Edit1->setText(QFile::decodeName(gone));
        d.accept();
        ASSERT_EQ(::rmdir(gone.constData()), 0);
    });
    button(*p, "btZip")->click();
    // One error box with the reason, then the summary: nothing stored, both files kept.
    ASSERT_EQ(prompter_.boxes().size(), 2)
        << prompter_.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(prompter_.boxes()[0].kind, platform::MessageKind::Error);
    const QString error = prompter_.texts()[0];
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(prompter_.texts()[1],
              QStringLiteral("Stored 0 files, 0 bytes, in archives and deleted them.\n\n"
                             "2 files kept:\n%1/free/a.txt - %2\n%1/free/b.txt - %2")
                  .arg(QFile::decodeName(r_), error));
    EXPECT_EQ(p->result(), TfrmReallyDelete::kRunDone);
    for (const QByteArray& f : files) {
        EXPECT_TRUE(present(f));
    }
    EXPECT_EQ(readCleanTotals().NZip, 0);
}

// The files a run acts on are those the panel checked when it opened (or when a file
// was moved over by hand): a folder put in the place of theirs afterwards is left alone,
// and so are the files it holds under the same names.
TEST_F(Panel, RunsActOnlyOnTheFilesCheckedWhenThePanelOpened) {
    struct Case {
        const char* run;
        const char* button;
    };
    for (const Case& c : {Case{"delete", "btDelete"}, Case{"trash", "btRecycle"}}) {
        SCOPED_TRACE(c.run);
        const QByteArray folder = r_ + "/swap-" + c.run;
        const QByteArray a = file(QByteArray("swap-") + c.run + "/a.txt", 10);
        const QByteArray b = file(QByteArray("swap-") + c.run + "/b.txt", 20);
        const QByteArray protectedFile = file(QByteArray("swap-") + c.run + "/driver.sys", 5);
        auto p = panel({a, b, protectedFile});
        ASSERT_EQ(p->safeHarborList(), QList<QByteArray>{protectedFile});
        // The protected file goes over by hand now and is checked as it arrives.
        selectRows(list(*p, "lb2"), {0});
        button(*p, "btMoveLeft")->click();
        ASSERT_EQ(p->deletionPanel().size(), 3);

        // Another folder takes the place of the checked one, with files of the same names.
        ASSERT_EQ(::rename(folder.constData(), (folder + ".old").constData()), 0);
        file(QByteArray("swap-") + c.run + "/a.txt", 11);
        file(QByteArray("swap-") + c.run + "/b.txt", 21);
        file(QByteArray("swap-") + c.run + "/driver.sys", 6);

        prompter_.clear();
        prompter_.script({Answer::Yes});
        button(*p, c.button)->click();
        for (const QByteArray& name :
             {QByteArray("a.txt"), QByteArray("b.txt"), QByteArray("driver.sys")}) {
            EXPECT_TRUE(present(folder + "/" + name)) << name.constData();
            EXPECT_TRUE(present(folder + ".old/" + name)) << name.constData();
        }
        ASSERT_FALSE(prompter_.texts().isEmpty());
        const QString outcome = prompter_.texts().last();
        EXPECT_TRUE(outcome.contains(platform::FileRemover::replacedFolderText()))
            << outcome.toStdString();
        EXPECT_FALSE(outcome.contains(QStringLiteral("not checked"))) << outcome.toStdString();
    }
    const CleanTotals t = readCleanTotals();
    EXPECT_EQ(t.Ndelete, 0);
    EXPECT_EQ(t.NWaste, 0);
}

TEST_F(Panel, StandByNoticeEmptiesTheSafeHarborMemoWhenShownAndHidden) {
    TfrmStandBy standBy([this] { harbor_.clearMemo(); });
    EXPECT_EQ(standBy.windowTitle(), QStringLiteral("Loading Files"));
    EXPECT_EQ(standBy.lblLoading->text(), QStringLiteral("Loading files ... standby"));
    EXPECT_EQ(standBy.bar->maximum(), 100);
    harbor_.isInSafeHarbor(r_ + "/kept/a.txt", true);
    ASSERT_FALSE(harbor_.lastFolder().isEmpty());
    standBy.show();
    EXPECT_TRUE(harbor_.lastFolder().isEmpty());
    harbor_.isInSafeHarbor(r_ + "/kept/a.txt", true);
    ASSERT_FALSE(harbor_.lastFolder().isEmpty());
    standBy.hide();
    EXPECT_TRUE(harbor_.lastFolder().isEmpty());
}

TEST_F(Panel, HandOffShowsThePanelModallyAndAnswersWhetherARunTookPlace) {
    const QByteArray a = file("free/a.txt", 5);
    onModal<TfrmReallyDelete>([](TfrmReallyDelete& p) {
        EXPECT_EQ(p.deletionPanel().size(), 1);
        EXPECT_EQ(p.callerName(), QStringLiteral("Duplicates"));
        button(p, "btClose")->click();
    });
    EXPECT_EQ(TfrmReallyDelete::execute(nullptr, harbor_, {a}, QStringLiteral("Duplicates")),
              TfrmReallyDelete::kClosed);
    EXPECT_TRUE(present(a));

    onModal<TfrmReallyDelete>([](TfrmReallyDelete& p) { QTest::keyClick(&p, Qt::Key_Escape); });
    EXPECT_EQ(TfrmReallyDelete::execute(nullptr, harbor_, {a}, QString()),
              TfrmReallyDelete::kClosed);

    prompter_.script({Answer::Yes});
    onModal<TfrmReallyDelete>([](TfrmReallyDelete& p) { button(p, "btDelete")->click(); });
    EXPECT_EQ(TfrmReallyDelete::execute(nullptr, harbor_, {a}, QString()),
              TfrmReallyDelete::kRunDone);
    EXPECT_FALSE(present(a));
}

TEST(DeletionHelp, TheGuideHasAPageOnTheDeletionPanelWithATopicOfItsOwn) {
    ensureResources();
    const QUrl url = HelpViewer::topicUrl(1060);
    EXPECT_TRUE(url.toString().endsWith(QLatin1String("deletion.html")))
        << url.toString().toStdString();
    QFile page(QStringLiteral(":/help/deletion.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(text.contains(QLatin1String("Clean up the following files")));
    EXPECT_TRUE(text.contains(QLatin1String("diskwell-cli clean")));
    QFile index(QStringLiteral(":/help/index.html"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    EXPECT_TRUE(index.readAll().contains("href=\"deletion.html\""));
}

// "Share blocks" is offered only with the twins a Same contents search hands over: each
// file of the panel with a twin takes its blocks, nothing is deleted, and the box says
// what came back and why the others stayed. The volume's free space grows by what it
// says.
TEST_F(Panel, ShareRunMakesTwinsShareTheirBlocks) {
    constexpr qint64 kMiB = 1024 * 1024;
    test::LoopVolume volume(tree_.dir("free/vol"), QStringLiteral("btrfs"), 128);
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    const QByteArray kept = volume.randomFile("kept", kMiB);
    const QByteArray copy = volume.copy("kept", "copy");
    const QByteArray other = volume.randomFile("other", kMiB);
    const QByteArray lone = volume.randomFile("lone", 4096);

    auto plain = panel({copy, other});
    EXPECT_FALSE(button(*plain, "btShare")->isEnabled());
    EXPECT_EQ(button(*plain, "btShare")->toolTip(),
              QStringLiteral("Only files found by Same contents have an identical file to share "
                             "blocks with"));
    plain.reset();

    auto p = panel({copy, other, lone});
    p->setTwins({{copy, kept}, {other, kept}});
    ASSERT_TRUE(button(*p, "btShare")->isEnabled());
    const QString question = QStringLiteral(
        "Make each file share the disk blocks of the identical file kept in its group?  No file "
        "is deleted: names, owners, modes and times stay.");
    prompter_.script({Answer::No});
    button(*p, "btShare")->click();
    EXPECT_EQ(prompter_.texts(), (QStringList{question, QStringLiteral("Files not changed")}));
    EXPECT_TRUE(p->isVisible());

    prompter_.clear();
    prompter_.script({Answer::Yes});
    const qint64 before = volume.available();
    button(*p, "btShare")->click();
    const qint64 after = volume.available();
    EXPECT_EQ(after - before, kMiB);
    const QString done = QStringLiteral(
                             "Shared the blocks of 1 file, 1,048,576 bytes freed.\n\n2 files "
                             "kept:\n%1 - no identical file is kept in its group\n%2 - its "
                             "contents differ from those of the file it would share with")
                             .arg(QFile::decodeName(lone), QFile::decodeName(other));
    EXPECT_EQ(prompter_.texts(), (QStringList{question, done}));
    EXPECT_EQ(p->result(), TfrmReallyDelete::kRunDone);
    for (const QByteArray& f : {kept, copy, other, lone}) {
        EXPECT_TRUE(present(f)) << f.constData();
    }
}

}  // namespace
}  // namespace dw
