#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <functional>

#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/resources.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/environment.h"
#include "safety/archive_fixtures.h"
#include "safety/ui/get_folder_name.h"
#include "safety/ui/password_dialog.h"
#include "safety/ui/unzip_it.h"
#include "safety/ui/zip_directory.h"
#include "safety/ui/zip_options.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/elided_label.h"
#include "widgets/folder_chooser.h"
#include "widgets/folder_list_box.h"

namespace dw {
namespace {

using platform::Answer;
using test::onModal;
using test::TempTree;

// Each test has settings of its own.
class ArchiveWindows : public ::testing::Test {
protected:
    QTemporaryDir config_;
    QTemporaryDir data_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    test::ScopedEnv dataHome_{"XDG_DATA_HOME", data_.path().toLocal8Bit()};

    static QString stored(const char* name, const QString& def = QStringLiteral("<none>")) {
        return SettingsStore().readString(QString::fromLatin1(settings::kZipFile),
                                          QString::fromLatin1(name), def);
    }
};

TEST_F(ArchiveWindows, ZipOptionsReadAtShowAndSavedAtEveryCloseEvenCancel) {
    TempTree tree;
    SettingsStore().writeString(QString::fromLatin1(settings::kZipFile),
                                QString::fromLatin1(settings::kZipPath), QStringLiteral("/srv"));
    SettingsStore().writeString(QString::fromLatin1(settings::kZipFile),
                                QString::fromLatin1(settings::kZipComment),
                                QStringLiteral("old comment"));
    const QByteArray chosen = tree.dir("archives");
    FolderChooser previous = setFolderChooser(
        [&](QWidget*, const QString& title, const QByteArray& start) -> std::optional<QByteArray> {
            EXPECT_EQ(title, QStringLiteral("Location of archive zip files"));
            EXPECT_EQ(start, "/srv");
            return chosen;
        });
    QString defaultZipPath = QStringLiteral("stale");
    {
        TfrmZipOptions dlg(nullptr, &defaultZipPath);
        onModal<TfrmZipOptions>([](TfrmZipOptions& d) {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Archive Zip File Options"));
            EXPECT_EQ(d.Edit1->text(), QStringLiteral("/srv"));
            EXPECT_FALSE(d.Edit1->isReadOnly());
            // The last comment is offered, not reused unasked.
            EXPECT_TRUE(d.Edit2->text().isEmpty());
            EXPECT_TRUE(d.Edit2->placeholderText().contains(QStringLiteral("old comment")));
            d.btLastComment->click();
            EXPECT_EQ(d.Edit2->text(), QStringLiteral("old comment"));
            d.SpeedButton1->click();
            d.Edit2->setText(QString(100, QLatin1Char('c')));  // longer than the field takes
            d.findChild<QPushButton*>(QStringLiteral("btCancel"))->click();
        });
        EXPECT_EQ(dlg.exec(), QDialog::Rejected);
        EXPECT_EQ(dlg.zipPath(), QFile::decodeName(chosen));
        EXPECT_EQ(dlg.comment(), QString(80, QLatin1Char('c')));
    }
    setFolderChooser(previous);
    EXPECT_EQ(defaultZipPath, QFile::decodeName(chosen));
    EXPECT_EQ(stored(settings::kZipPath), QFile::decodeName(chosen));
    EXPECT_EQ(stored(settings::kZipComment), QString(80, QLatin1Char('c')));

    // With nothing stored, the folder is the default one and the comment empty.
    SettingsStore().writeString(QString::fromLatin1(settings::kZipFile),
                                QString::fromLatin1(settings::kZipPath), QString());
    QTemporaryDir fresh;
    test::ScopedEnv freshConfig("DISKWELL_CONFIG_DIR", fresh.path().toLocal8Bit());
    TfrmZipOptions dlg;
    onModal<TfrmZipOptions>([](TfrmZipOptions& d) {
        EXPECT_EQ(d.Edit1->text(), defaultZipFolder());
        EXPECT_TRUE(d.Edit2->text().isEmpty());
        EXPECT_FALSE(d.btLastComment->isEnabled());
        d.findChild<QPushButton*>(QStringLiteral("btOK"))->click();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
}

TEST_F(ArchiveWindows, ATypedArchiveFolderIsTakenAndOneThatCannotHoldArchivesIsRefusedAtOk) {
    TempTree tree;
    const QByteArray typed = tree.dir("typed archives");
    const QByteArray file = tree.file("a file", "x");
    test::ScriptedPrompter prompter;
    QString defaultZipPath;
    TfrmZipOptions dlg(nullptr, &defaultZipPath);
    QStringList refusals;
    onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
        auto* ok = d.findChild<QPushButton*>(QStringLiteral("btOK"));
        for (const QByteArray& bad : {tree.path("no such folder"), file}) {
            d.Edit1->setText(QFile::decodeName(bad));
            ok->click();
            EXPECT_TRUE(d.isVisible());
        }
        refusals = prompter.texts();
        d.Edit1->setText(QFile::decodeName(typed));
        ok->click();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    const QString tail =
        QStringLiteral(".  Type another folder or choose one with the button beside the field.");
    EXPECT_EQ(refusals,
              (QStringList{QStringLiteral("The archives cannot go to the folder \"%1\": it does "
                                          "not exist")
                                   .arg(QFile::decodeName(tree.path("no such folder"))) +
                               tail,
                           QStringLiteral("The archives cannot go to the folder \"%1\": it is not "
                                          "a folder")
                                   .arg(QFile::decodeName(file)) +
                               tail}));
    EXPECT_EQ(prompter.boxes().value(0).kind, platform::MessageKind::Error);
    EXPECT_EQ(dlg.zipPath(), QFile::decodeName(typed));
    EXPECT_EQ(defaultZipPath, QFile::decodeName(typed));
    EXPECT_EQ(stored(settings::kZipPath), QFile::decodeName(typed));
    // "~/" is the home folder.
    test::ScopedEnv home("HOME", tree.root());
    TfrmZipOptions tilde;
    onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
        d.Edit1->setText(QStringLiteral("~/typed archives"));
        d.findChild<QPushButton*>(QStringLiteral("btOK"))->click();
    });
    EXPECT_EQ(tilde.exec(), QDialog::Accepted);
    EXPECT_EQ(tilde.zipPath(), QFile::decodeName(typed));
}

TEST_F(ArchiveWindows, PasswordOkOnlyWhileBothFieldsAgreeAndTypingEmptiesTheSecond) {
    TfrmPassword dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Enter Password"));
    EXPECT_EQ(dlg.edPassword->echoMode(), QLineEdit::Password);
    QTest::keyClicks(dlg.edPassword, QStringLiteral("sesame"));
    EXPECT_FALSE(dlg.btOK->isEnabled());
    QTest::keyClicks(dlg.edVerify, QStringLiteral("sesame"));
    EXPECT_TRUE(dlg.btOK->isEnabled());
    QTest::keyClicks(dlg.edPassword, QStringLiteral("!"));
    EXPECT_TRUE(dlg.edVerify->text().isEmpty());
    EXPECT_FALSE(dlg.btOK->isEnabled());
    QTest::keyClicks(dlg.edVerify, QStringLiteral("sesame!"));
    EXPECT_TRUE(dlg.btOK->isEnabled());
    EXPECT_EQ(dlg.password(), "sesame!");
}

TEST_F(ArchiveWindows, DestinationAcceptsTheRootAndAsksForAnyOtherFolder) {
    TempTree tree;
    const QString mounted = QStringLiteral("/zips/Drive-root-Duplicates06Sep991533.zip");
    struct Case {
        QString archive;
        QByteArray folder;  // empty: the suggested root
        QList<Answer> script;
        bool accepted;
        int boxes;
    };
    const Case cases[] = {
        {mounted, {}, {}, true, 0},
        {mounted, tree.root(), {Answer::No}, false, 1},
        {mounted, tree.root(), {Answer::Yes}, true, 1},
        {QStringLiteral("/zips/DriveC.zip"), {}, {Answer::Yes}, true, 1},
        {QStringLiteral("/zips/Drive-no_such_volume-06Sep991533.zip"), {}, {}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive.toStdString() + " " + c.folder.constData());
        test::ScriptedPrompter prompter;
        for (Answer a : c.script) {
            prompter.script({a});
        }
        TfrmZipDirectory dlg;
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Destination folder"));
        dlg.setArchive(c.archive);
        EXPECT_EQ(dlg.lblZip->text(), c.archive);
        EXPECT_EQ(dlg.chosenFolder(), "/");
        if (!c.folder.isEmpty()) {
            dlg.DLB->setFolder(c.folder);
            EXPECT_EQ(dlg.DirLabel->text(), QFile::decodeName(c.folder));
        }
        dlg.show();
        dlg.Button1Click();
        EXPECT_EQ(dlg.result() == QDialog::Accepted && !dlg.isVisible(), c.accepted);
        ASSERT_EQ(prompter.boxes().size(), c.boxes);
        if (c.boxes == 1 && !c.script.isEmpty()) {
            // The question names the folder the files go to.
            EXPECT_EQ(prompter.texts().front(),
                      QStringLiteral("You are not restoring into the original root folder.  The "
                                     "files will not be restored to their original locations. "
                                     "Is this OK?\n\nThe files will be restored into the folder "
                                     "\"%1\".")
                          .arg(QFile::decodeName(c.folder.isEmpty() ? "/" : c.folder)));
        }
        if (c.boxes == 1 && c.script.isEmpty()) {
            EXPECT_EQ(prompter.boxes().front().kind, platform::MessageKind::Error);
            EXPECT_TRUE(prompter.texts().front().contains(QLatin1String("not mounted")));
        }
    }
}

TEST_F(ArchiveWindows, TheDestinationIsTheHighlightedFolderHoweverItWasHighlighted) {
    TempTree tree;
    tree.dir("alpha");
    tree.dir("beta");
    tree.dir("gamma");
    test::ScriptedPrompter prompter;
    TfrmZipDirectory dlg;
    dlg.setArchive(QStringLiteral("/zips/DriveC.zip"));
    dlg.DLB->setFolder(tree.root());
    dlg.show();
    EXPECT_EQ(dlg.chosenFolder(), tree.root());

    // The keys: two rows down from the open folder is "beta".
    dlg.DLB->setFocus();
    QTest::keyClick(dlg.DLB, Qt::Key_Down);
    QTest::keyClick(dlg.DLB, Qt::Key_Down);
    EXPECT_EQ(dlg.chosenFolder(), tree.path("beta"));
    EXPECT_EQ(dlg.DirLabel->text(), QFile::decodeName(tree.path("beta")));
    // A single click: "gamma".
    QTreeWidgetItem* gamma = nullptr;
    for (QTreeWidgetItemIterator it(dlg.DLB); *it; ++it) {
        if ((*it)->text(0) == QStringLiteral("gamma")) {
            gamma = *it;
        }
    }
    ASSERT_NE(gamma, nullptr);
    dlg.DLB->scrollToItem(gamma);
    QTest::mouseClick(dlg.DLB->viewport(), Qt::LeftButton, {},
                      dlg.DLB->visualItemRect(gamma).center());
    EXPECT_EQ(dlg.chosenFolder(), tree.path("gamma"));
    EXPECT_EQ(dlg.DirLabel->text(), QFile::decodeName(tree.path("gamma")));

    // OK restores into the highlighted folder, and the question says so.
    prompter.script({Answer::Yes});
    dlg.Button1->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.chosenFolder(), tree.path("gamma"));
    ASSERT_EQ(prompter.texts().size(), 1);
    EXPECT_TRUE(prompter.texts()[0].endsWith(
        QStringLiteral("\"%1\".").arg(QFile::decodeName(tree.path("gamma")))));
}

TEST_F(ArchiveWindows, CreateSubFolderMakesItBelowTheChosenFolderButNotThroughALink) {
    TempTree tree;
    const QByteArray elsewhere = tree.dir("elsewhere");
    tree.symlink("link", elsewhere);
    test::ScriptedPrompter prompter;
    TfrmZipDirectory dlg;
    dlg.DLB->setFolder(tree.root());
    onModal<TfrmGetFolderName>([](TfrmGetFolderName& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Create Sub-folder"));
        d.Edit1->setText(QStringLiteral("restore/here"));
        d.accept();
    });
    dlg.Button3Click();
    EXPECT_TRUE(tree.exists("restore/here"));
    bool listed = false;
    for (int i = 0; i < dlg.DLB->count(); ++i) {
        listed = listed || dlg.DLB->folderAt(i) == tree.path("restore");
    }
    EXPECT_TRUE(listed);
    // The folder just made is the one chosen, and the label says so.
    EXPECT_EQ(dlg.chosenFolder(), tree.path("restore/here"));
    EXPECT_EQ(dlg.DirLabel->text(), QFile::decodeName(tree.path("restore/here")));
    dlg.DLB->setFolder(tree.root());

    onModal<TfrmGetFolderName>([](TfrmGetFolderName& d) {
        d.Edit1->setText(QStringLiteral("link/inside"));
        d.accept();
    });
    dlg.Button3Click();
    EXPECT_FALSE(tree.exists("elsewhere/inside"));
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_TRUE(prompter.texts().front().contains(QLatin1String("symbolic link")));
}

class UnzipWindow : public ArchiveWindows {
protected:
    TempTree zips_;
    TempTree into_;

    QByteArray makeArchive(const QByteArray& name, const QList<test::CraftedEntry>& entries) {
        const QByteArray path = zips_.path(name);
        EXPECT_TRUE(test::craftArchive(path, entries));
        return path;
    }

    static QListWidgetItem* item(TfrmUnZipIt& w, const QString& text) {
        const QList<QListWidgetItem*> found = w.FileListBox1->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    static QStringList listed(TfrmUnZipIt& w) {
        QStringList names;
        for (int i = 0; i < w.FileListBox1->count(); ++i) {
            names.append(w.FileListBox1->item(i)->text());
        }
        return names;
    }
};

TEST_F(UnzipWindow, ListsTheFoldersArchivesAndShowsOneWithItsCountAndComment) {
    const QByteArray first = makeArchive("Drive-root-Duplicates06Sep991533.zip",
                                         {{"home/ann/a.txt", "a"}, {"home/ann/sub/b.txt", "bb"}});
    makeArchive("drive-home-TempClean01Jan002359.ZIP", {{"x", "x"}});
    makeArchive("other.zip", {{"y", "y"}});
    zips_.file("Drive-not-an-archive.zip", "not a zip at all");
    zips_.dir("Drive-folder.zip");
    test::ScriptedPrompter prompter;
    TfrmUnZipIt w(nullptr, QFile::decodeName(zips_.root()));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Unzip Diskwell Archive Zip Files"));
    w.show();
    EXPECT_EQ(w.DirectoryListBox1->folder(), zips_.root());
    EXPECT_EQ(listed(w),
              (QStringList{"drive-home-TempClean01Jan002359.ZIP", "Drive-not-an-archive.zip",
                           "Drive-root-Duplicates06Sep991533.zip"}));
    EXPECT_FALSE(w.btExtract->isEnabled());
    EXPECT_FALSE(w.btView->isEnabled());
    // Moving onto an archive with the keys chooses it as a click does.
    QTest::keyClick(w.FileListBox1, Qt::Key_Down);
    EXPECT_EQ(w.FileListBox1->selectedItems().size(), 1);
    EXPECT_TRUE(w.btExtract->isEnabled());

    w.FileListBox1->setCurrentItem(item(w, "Drive-root-Duplicates06Sep991533.zip"));
    EXPECT_TRUE(w.btExtract->isEnabled());
    EXPECT_TRUE(w.btView->isEnabled());
    w.btView->click();
    EXPECT_EQ(w.lblZip->text(), QFile::decodeName(first));
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("2 files"));
    ASSERT_EQ(w.Outline->topLevelItemCount(), 1);
    EXPECT_EQ(w.Outline->topLevelItem(0)->text(0), QStringLiteral("home"));
    const QTreeWidgetItem* ann = w.Outline->topLevelItem(0)->child(0);
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(ann->childCount(), 2);

    // A file that is no archive leaves the one on view as it is (and says why).
    w.FileListBox1->setCurrentItem(item(w, "Drive-not-an-archive.zip"));
    w.FileListBox1DblClick();
    EXPECT_EQ(w.loadedArchive(), first);
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("2 files"));
    EXPECT_EQ(prompter.boxes().size(), 1);
    EXPECT_TRUE(prompter.boxes().isEmpty() ||
                prompter.boxes().front().kind == platform::MessageKind::Error);
}

TEST_F(UnzipWindow, AFolderWithoutArchivesSaysSoOnceAfterShowing) {
    test::ScriptedPrompter prompter;
    TfrmUnZipIt w(nullptr, QFile::decodeName(zips_.root()));
    w.show();
    EXPECT_TRUE(prompter.boxes().isEmpty());
    // The box comes half a second after the show.
    ASSERT_TRUE(
        QTest::qWaitFor([&prompter] { return !prompter.boxes().isEmpty(); }, test::kModalWaitMs));
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.texts().front(),
              QStringLiteral("It appears that there are no archive zip files in this folder for "
                             "Diskwell to unzip.  \n\nNote that Diskwell can only unzip those "
                             "files that have been originally zipped by Diskwell.  It should not "
                             "be used to unzip other non Diskwell zip files."));
}

TEST_F(UnzipWindow, ExtractRestoresBelowTheChosenFolderAndReportsEachFailure) {
    const QByteArray zip =
        makeArchive("Drive-root-Duplicates06Sep991533.zip", {{"docs/new.txt", "new"},
                                                             {"docs/kept.txt", "archived copy"},
                                                             {"docs/kept2.txt", "archived copy"},
                                                             {"../escape.txt", "escape"},
                                                             {"docs/deep/er.txt", "deeper"}});
    into_.file("docs/kept.txt", "existing");
    into_.file("docs/kept2.txt", "existing too");
    test::ScriptedPrompter prompter;
    // The question for a folder other than "/", then the duplicate-name warning,
    // answered "ignore future warnings", then the failure of the escaping entry.
    prompter.script({Answer::Yes, Answer::Yes, Answer::No});
    TfrmUnZipIt w(nullptr, QFile::decodeName(zips_.root()));
    w.show();
    w.FileListBox1->setCurrentRow(0);
    const QByteArray root = into_.root();
    onModal<TfrmZipDirectory>([root, zip](TfrmZipDirectory& d) {
        EXPECT_EQ(d.lblZip->text(), QFile::decodeName(zip));
        d.DLB->setFolder(root);
        d.Button1->click();
    });
    w.btExtract->click();

    EXPECT_EQ(test::readBytes(root + "/docs/new.txt").value_or(""), "new");
    EXPECT_EQ(test::readBytes(root + "/docs/deep/er.txt").value_or(""), "deeper");
    EXPECT_EQ(test::readBytes(root + "/docs/kept.txt").value_or(""), "existing");
    EXPECT_EQ(test::readBytes(root + "/docs/kept2.txt").value_or(""), "existing too");
    EXPECT_FALSE(into_.exists("../escape.txt"));
    EXPECT_FALSE(w.Gauge1->isVisible());

    const QStringList texts = prompter.texts();
    ASSERT_EQ(texts.size(), 4) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(texts[0].startsWith(QLatin1String("You are not restoring")));
    EXPECT_EQ(texts[1], QStringLiteral("Cannot move docs/kept.txt. Would create a duplicate name. "
                                       "Ignore future warnings?"));
    EXPECT_EQ(prompter.boxes()[1].title, QStringLiteral("Warning"));
    // One box for the failed entry: what, the reason on a line of its own, the choice.
    const QString failed =
        QStringLiteral("Cannot extract ../escape.txt from ") + QFile::decodeName(zip) + u'\n';
    EXPECT_TRUE(texts[2].startsWith(failed)) << texts[2].toStdString();
    EXPECT_TRUE(texts[2].endsWith(QStringLiteral("\n\nIgnore future warnings?")));
    EXPECT_GT(texts[2].size(), failed.size() + 26);
    EXPECT_EQ(prompter.boxes()[2].buttons, platform::Buttons::YesNo);
    EXPECT_TRUE(texts[3].contains(QLatin1String("3 of the 5 files")));
}

TEST_F(UnzipWindow, EntriesThatCannotBeWrittenGiveOneBoxEachUntilTheUserIgnoresThem) {
    QList<test::CraftedEntry> entries;
    for (int i = 0; i < 6; ++i) {
        entries.append({"docs/f" + QByteArray::number(i) + ".txt", "x"});
    }
    makeArchive("Drive-root-Duplicates06Sep991533.zip", entries);
    // A file where the folder "docs" should go: no entry can be written.
    into_.file("docs", "in the way");
    test::ScriptedPrompter prompter;
    // The destination's question, No to the first failure, Yes to the second.
    prompter.script({Answer::Yes, Answer::No, Answer::Yes});
    TfrmUnZipIt w(nullptr, QFile::decodeName(zips_.root()));
    w.show();
    w.FileListBox1->setCurrentRow(0);
    const QByteArray root = into_.root();
    onModal<TfrmZipDirectory>([root](TfrmZipDirectory& d) {
        d.DLB->setFolder(root);
        d.Button1->click();
    });
    w.btExtract->click();
    const QStringList texts = prompter.texts();
    ASSERT_EQ(texts.size(), 4) << texts.join(QLatin1Char('|')).toStdString();
    for (int i : {1, 2}) {
        EXPECT_TRUE(texts[i].startsWith(QStringLiteral("Cannot extract docs/f")));
        EXPECT_EQ(texts[i].count(u'\n'), 3) << texts[i].toStdString();
        EXPECT_TRUE(texts[i].endsWith(QStringLiteral("Ignore future warnings?")));
    }
    EXPECT_TRUE(texts[3].contains(QLatin1String("6 of the 6 files")));
}

TEST_F(UnzipWindow, ACompleteRestoreEndsWithFilesWereUnzippedAndAsksForPasswords) {
    makeArchive("Drive-root-FileDates06Sep991533.zip",
                {{"s/secret.txt", "secret", 0100600, "pw"}, {"s/plain.txt", "plain"}});
    test::ScriptedPrompter prompter;
    prompter.script({Answer::Yes});
    TfrmUnZipIt w(nullptr, QFile::decodeName(zips_.root()));
    w.show();
    w.FileListBox1->setCurrentRow(0);
    const QByteArray root = into_.root();
    onModal<TfrmZipDirectory>([root](TfrmZipDirectory& d) {
        d.DLB->setFolder(root);
        onModal<TfrmPassword>([](TfrmPassword& p) {
            p.edPassword->setText(QStringLiteral("pw"));
            p.edVerify->setText(QStringLiteral("pw"));
            p.btOK->click();
        });
        d.Button1->click();
    });
    w.ExtractFiles1Click();
    EXPECT_EQ(test::readBytes(root + "/s/secret.txt").value_or(""), "secret");
    EXPECT_EQ(test::readBytes(root + "/s/plain.txt").value_or(""), "plain");
    ASSERT_EQ(prompter.texts().size(), 2);
    EXPECT_EQ(prompter.texts()[1], QStringLiteral("Files were unzipped"));
    EXPECT_EQ(prompter.boxes()[1].kind, platform::MessageKind::Plain);
}

TEST_F(UnzipWindow, CancelInTheDestinationExtractsNothing) {
    makeArchive("Drive-root-Duplicates06Sep991533.zip", {{"a.txt", "a"}});
    test::ScriptedPrompter prompter;
    TfrmUnZipIt w(nullptr, QFile::decodeName(zips_.root()));
    w.show();
    w.FileListBox1->setCurrentRow(0);
    const QByteArray root = into_.root();
    onModal<TfrmZipDirectory>([root](TfrmZipDirectory& d) {
        d.DLB->setFolder(root);
        d.Button2->click();
    });
    w.ExtractFiles1Click();
    EXPECT_FALSE(into_.exists("a.txt"));
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST_F(UnzipWindow, TheMainWindowsUnzipButtonOpensTheRestoreWindowWithoutTheGate) {
    test::ScriptedPrompter prompter;
    TfrmMain main;
    main.show();
    main.DefaultZipPath = QFile::decodeName(zips_.root());
    makeArchive("Drive-root-Duplicates06Sep991533.zip", {{"a.txt", "a"}});
    QString seenFolder;
    onModal<TfrmUnZipIt>([&seenFolder](TfrmUnZipIt& w) {
        seenFolder = QFile::decodeName(w.DirectoryListBox1->folder());
        w.btClose->click();
    });
    QPushButton* unzip = main.findChild<QPushButton*>(QStringLiteral("btUnzip"));
    ASSERT_NE(unzip, nullptr);
    unzip->click();
    EXPECT_EQ(seenFolder, QFile::decodeName(zips_.root()));
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST(ArchiveHelp, TheGuideHasAPageOnArchivesWithATopicOfItsOwn) {
    ensureResources();
    const QUrl url = HelpViewer::topicUrl(1040);
    EXPECT_TRUE(url.toString().endsWith(QLatin1String("archives.html")))
        << url.toString().toStdString();
    QFile page(QStringLiteral(":/help/archives.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(text.contains(QLatin1String("Drive-home-TempClean10Dec261533.zip")));
    EXPECT_TRUE(text.contains(QLatin1String("diskwell-cli restore")));
}

}  // namespace
}  // namespace dw
