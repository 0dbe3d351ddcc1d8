#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/environment.h"
#include "safety/archive_fixtures.h"
#include "safety/safe_harbor.h"
#include "safety/ui/del_directory.h"
#include "safety/ui/zip_options.h"
#include "support/deep_chain.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/elided_label.h"

namespace dw {
namespace {

using platform::Answer;
using test::present;

// Makes `folder` immutable for the object's life (no entry in it can be removed, not even
// by root); made() is false where the file system cannot.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const QByteArray& folder) : folder_(folder) { made_ = set(true); }
    ~ImmutableFolder() {
        if (made_) {
            set(false);
        }
    }
    bool made() const { return made_; }

private:
    bool set(bool on) {
        const int fd = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return ok;
    }
    QByteArray folder_;
    bool made_ = false;
};

class DelDirectory : public ::testing::Test {
protected:
    test::TempTree tree_;
    QByteArray r_ = platform::shortPath(tree_.root());
    test::ScopedEnv config_{"DISKWELL_CONFIG_DIR", tree_.dir("config")};
    test::ScopedEnv data_{"XDG_DATA_HOME", tree_.dir("data")};
    test::ScriptedPrompter prompter_;
    SafeHarbor harbor_;

    void SetUp() override {
        SafeHarbor::Sources s;
        s.foldersFile = QFile::decodeName(tree_.file("folders.txt", r_ + "/F/listed/\n"));
        harbor_.GetSearchPath(s);
    }
    // Clicks `button` of the window once it runs modally and returns the modal result.
    int run(TfrmDelDirectory& w, const char* button) {
        QTimer::singleShot(
            0, &w, [&w, button] { w.findChild<QPushButton*>(QLatin1String(button))->click(); });
        return w.exec();
    }
};

TEST_F(DelDirectory, DeletesTheFolderAfterTheQuestionsAndCountsWhatWent) {
    tree_.file("G/a.txt", "1234");
    tree_.file("G/sub/ro.txt", "12");
    tree_.setMode("G/sub/ro.txt", 0444);
    const qint64 blocks =
        test::allocatedBytes(r_ + "/G/a.txt") + test::allocatedBytes(r_ + "/G/sub/ro.txt");
    TfrmDelDirectory w(harbor_, r_ + "/G");
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("lblTop"))->text(),
              QStringLiteral("Folder to clean: "));
    prompter_.script({Answer::Yes});
    EXPECT_EQ(run(w, "btDelete"), TfrmDelDirectory::kRunDone);
    EXPECT_FALSE(present(r_ + "/G"));
    // Counted before the first file went, however soon the button was clicked.
    EXPECT_EQ(w.tally().files, 2);
    EXPECT_EQ(w.tally().bytes, blocks);
    EXPECT_FALSE(w.useRecycleBin());
    const QStringList texts = prompter_.texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts[0], QString::fromUtf8(r_) + QStringLiteral("/G/sub/ro.txt is read-only, "
                                                               "Delete this file and continue "
                                                               "deleting the remaining files? "));
    EXPECT_EQ(
        texts[1],
        QStringLiteral("Deleted 2 files for a savings of %1 bytes.").arg(FormatThousands(blocks)));
    EXPECT_EQ(SettingsStore().readString(QString::fromLatin1(settings::kDiskwell),
                                         QStringLiteral("Ndelete"), QString()),
              QStringLiteral("2"));
}

// The figure of what will go is on the window; a No to an attribute question ends in
// "only partly removed".
TEST_F(DelDirectory, ShowsWhatWillGoFirstAndSaysWhenANoLeavesItPartlyRemoved) {
    tree_.file("P/a.txt", "1234");
    tree_.file("P/sub/ro.txt", "12");
    tree_.file("P/sub/z.txt", "zz");
    tree_.setMode("P/sub/ro.txt", 0444);
    const qint64 blocks = test::allocatedBytes(r_ + "/P/a.txt") +
                          test::allocatedBytes(r_ + "/P/sub/ro.txt") +
                          test::allocatedBytes(r_ + "/P/sub/z.txt");
    TfrmDelDirectory w(harbor_, r_ + "/P");
    prompter_.script({Answer::No});
    EXPECT_EQ(run(w, "btDelete"), TfrmDelDirectory::kNothingDone);
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("lblTally"))->text(),
              QStringLiteral("To be removed: 3 files in 1 folder, %1 bytes.")
                  .arg(FormatThousands(blocks)));
    EXPECT_TRUE(present(r_ + "/P/sub/ro.txt"));
    const QStringList texts = prompter_.texts();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts.contains(
        QStringLiteral(
            "The folder %1/P is only partly removed: the run stopped at %1/P/sub/ro.txt, "
            "and what was not removed yet stays where it is.")
            .arg(QString::fromUtf8(r_))))
        << texts.join(u'|').toStdString();
}

TEST_F(DelDirectory, AFiveThousandCharacterFolderIsShortenedNotWidened) {
    test::DeepChain chain(tree_.dir("Deep"), 25, QByteArray(200, 'n'));
    ASSERT_TRUE(chain.made());
    const QString bottom = QFile::decodeName(chain.bottom());
    ASSERT_GT(bottom.size(), 5000);
    TfrmDelDirectory shortOne(harbor_, r_ + "/Deep");
    shortOne.show();
    TfrmDelDirectory w(harbor_, chain.bottom());
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.width(), shortOne.width());
    EXPECT_LE(w.frameGeometry().width(), w.screen()->availableGeometry().width());
    auto* folder = w.findChild<ElidedLabel*>(QStringLiteral("lblDirectory"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->text(), bottom);
    EXPECT_EQ(folder->toolTip(), bottom);
    EXPECT_TRUE(folder->shownText().contains(u'\u2026'));
}

TEST_F(DelDirectory, AnEmptyFolderGoesWithoutAMessageOrATotal) {
    tree_.dir("E/inner");
    TfrmDelDirectory w(harbor_, r_ + "/E");
    EXPECT_EQ(run(w, "btDelete"), TfrmDelDirectory::kRunDone);
    EXPECT_FALSE(present(r_ + "/E"));
    EXPECT_TRUE(prompter_.texts().isEmpty()) << prompter_.texts().join(u'|').toStdString();
    EXPECT_EQ(SettingsStore().readString(QString::fromLatin1(settings::kDiskwell),
                                         QStringLiteral("DelDate"), QStringLiteral("none")),
              QStringLiteral("none"));
}

TEST_F(DelDirectory, TheSafeHarborWarningComesFirstAndNoKeepsEverything) {
    tree_.file("F/listed/x.txt", "x");
    tree_.file("F/y.txt", "y");
    TfrmDelDirectory w(harbor_, r_ + "/F");
    prompter_.script({Answer::No});
    QTimer::singleShot(0, &w, [&w] {
        w.btDeleteClick();
        EXPECT_TRUE(w.isVisible());  // declined: the window stays open
        w.BitBtn3Click();
    });
    EXPECT_EQ(w.exec(), TfrmDelDirectory::kNothingDone);
    EXPECT_TRUE(prompter_.texts().value(0).startsWith(
        QStringLiteral("Warning: the folder or a sub-folder of the one to delete is marked NOT "
                       "to be deleted because it is referenced in the registry.")));
    EXPECT_TRUE(present(r_ + "/F/y.txt"));
}

TEST_F(DelDirectory, CancelDuringARunStopsBetweenTwoFiles) {
    for (int i = 0; i < 6; ++i) {
        tree_.file("H/f" + QByteArray::number(i), "data");
    }
    const qint64 oneFile = test::allocatedBytes(r_ + "/H/f0");
    TfrmDelDirectory w(harbor_, r_ + "/H");
    int taken = 0;
    w.setRunStepHook([&](const QByteArray&) {
        if (++taken == 3) {
            prompter_.script({Answer::Yes});
            w.BitBtn3Click();
        }
    });
    EXPECT_EQ(run(w, "btDelete"), TfrmDelDirectory::kNothingDone);
    const QStringList texts = prompter_.texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts[0], QStringLiteral("Really abort?  Folders may be partially deleted!"));
    EXPECT_EQ(texts[1], QStringLiteral("Deleted 3 files for a savings of %1 bytes. (Note: "
                                       "Deletion operation canceled ... not all files deleted)")
                            .arg(FormatThousands(3 * oneFile)));
    EXPECT_EQ(w.summary().doneCount, 3);
    EXPECT_TRUE(present(r_ + "/H"));
}

// "Zip up folder": the options first (Cancel keeps the window open and does nothing),
// then every file into the archive; unticked "Delete files after zipping them up"
// removes nothing.
TEST_F(DelDirectory, TheZipRunArchivesAndKeepsTheFilesWhenAskedTo) {
    tree_.file("Z/a.txt", "alpha");
    tree_.file("Z/sub/.b", "beta");
    const QByteArray zips = tree_.dir("zips");
    TfrmDelDirectory w(harbor_, r_ + "/Z");
    w.findChild<QCheckBox*>(QStringLiteral("cbDelete"))->setChecked(false);
    QTimer::singleShot(0, &w, [&] {
        test::onModal<TfrmZipOptions>([](TfrmZipOptions& d) { d.reject(); });
        w.btZipClick();
        EXPECT_TRUE(w.isVisible());
        test::onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
            d.Edit1->setText(QFile::decodeName(zips));
            d.accept();
        });
        w.btZipClick();
    });
    EXPECT_EQ(w.exec(), TfrmDelDirectory::kRunDone);
    EXPECT_EQ(prompter_.texts().value(0), QStringLiteral("Zipped up 2 files"));
    EXPECT_TRUE(present(r_ + "/Z/a.txt"));
    EXPECT_TRUE(present(r_ + "/Z/sub/.b"));
    ASSERT_EQ(w.summary().archives.size(), 1);
    EXPECT_TRUE(w.summary().archives[0].contains("-FolderClean"));
    const test::PythonView view = test::pythonZipView(w.summary().archives[0]);
    EXPECT_EQ(view.entries.size(), 2);
}

TEST_F(DelDirectory, TheFilesThatStayAreNamedWithWhatFailedInTheOneBox) {
    // A delete run: the file in an immutable folder cannot be deleted.
    tree_.file("K/a.txt", "a");
    const QByteArray stuck = tree_.file("K/locked/b.txt", "b");
    {
        ImmutableFolder locked(r_ + "/K/locked");
        if (!locked.made()) {
            GTEST_SKIP() << "the file system here cannot make a folder immutable";
        }
        TfrmDelDirectory w(harbor_, r_ + "/K");
        run(w, "btDelete");
        EXPECT_TRUE(
            prompter_.texts().join(u'|').contains(QStringLiteral("\nCouldn't delete file - ") +
                                                  QFile::decodeName(stuck) + QStringLiteral(": ")))
            << prompter_.texts().join(u'|').toStdString();
        // The folder that stays with it is no file that failed.
        EXPECT_FALSE(prompter_.texts().join(u'|').contains(QStringLiteral("file - ") +
                                                           QString::fromUtf8(r_ + "/K/locked:")));
    }
    // A zip run: a link is not a file an archive takes.
    tree_.file("Z/a.txt", "alpha");
    const QByteArray link = tree_.symlink("Z/link", r_ + "/Z/a.txt");
    const QByteArray zips = tree_.dir("zips");
    TfrmDelDirectory w(harbor_, r_ + "/Z");
    w.findChild<QCheckBox*>(QStringLiteral("cbDelete"))->setChecked(false);
    QTimer::singleShot(0, &w, [&] {
        test::onModal<TfrmZipOptions>([&](TfrmZipOptions& d) {
            d.Edit1->setText(QFile::decodeName(zips));
            d.accept();
        });
        w.btZipClick();
    });
    w.exec();
    EXPECT_TRUE(prompter_.texts().join(u'|').contains(QStringLiteral("\nCouldn't zip up file - ") +
                                                      QFile::decodeName(link) +
                                                      QStringLiteral(": ")))
        << prompter_.texts().join(u'|').toStdString();
}

TEST_F(DelDirectory, TheTrashRunSaysItUsedTheRecycleBin) {
    tree_.file("T/a.txt", "abc");
    bool recycled = false;
    prompter_.script({Answer::Yes});
    QTimer::singleShot(0, [] {
        QApplication::activeModalWidget()
            ->findChild<QPushButton*>(QStringLiteral("btRecycle"))
            ->click();
    });
    EXPECT_EQ(TfrmDelDirectory::execute(nullptr, harbor_, r_ + "/T", &recycled),
              TfrmDelDirectory::kRunDone);
    EXPECT_TRUE(recycled);
    EXPECT_FALSE(present(r_ + "/T"));
    EXPECT_TRUE(present(tree_.path("data/Trash/files/a.txt")));
}

}  // namespace
}  // namespace dw
