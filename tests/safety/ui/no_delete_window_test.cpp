#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/environment.h"
#include "safety/folder_list.h"
#include "safety/ui/edit_folder_dialog.h"
#include "safety/ui/keep_files_dialog.h"
#include "safety/ui/no_delete_window.h"
#include "scan/ui/select_extension_dialog.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/folder_chooser.h"
#include "widgets/type_list.h"

namespace dw {
namespace {

using platform::Answer;
using test::onModal;

QList<QByteArray> bytes(std::initializer_list<const char*> items) {
    QList<QByteArray> out;
    for (const char* i : items) {
        out.append(QByteArray(i));
    }
    return out;
}

// Answers the folder browser with the queued folders (nullopt: Cancel) and records the
// titles it was shown with.
class ScriptedChooser {
public:
    explicit ScriptedChooser(QList<std::optional<QByteArray>> answers)
        : answers_(std::move(answers)) {
        previous_ =
            setFolderChooser([this](QWidget*, const QString& title, const QByteArray& start) {
                titles.append(title);
                starts.append(start);
                return answers_.isEmpty() ? std::nullopt : answers_.takeFirst();
            });
    }
    ~ScriptedChooser() { setFolderChooser(previous_); }

    QStringList titles;
    QList<QByteArray> starts;

private:
    QList<std::optional<QByteArray>> answers_;
    FolderChooser previous_;
};

// A private settings folder, so folders.txt and the settings are the test's own.
class SafeHarborWindowTest : public ::testing::Test {
protected:
    void writeList(const QByteArray& content) {
        QFile f(config_.path() + QStringLiteral("/folders.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    std::optional<QList<QByteArray>> savedList() const { return ReadFolderList(foldersFilePath()); }
    static void select(QListWidget* list, std::initializer_list<int> rows) {
        list->clearSelection();
        for (int r : rows) {
            list->item(r)->setSelected(true);
        }
    }

    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    test::ScriptedPrompter prompter_;
};

TEST_F(SafeHarborWindowTest, ShowLoadsTheListDatesAndExtensions) {
    writeList("/srv/b/\r\n/srv/a/*.*\r\n\r\n/srv/c/\r\n");
    TfrmNoDelete w;
    w.show();
    EXPECT_EQ(w.windowTitle(),
              QStringLiteral("Safe Harbor - List of folders that should not be deleted"));
    EXPECT_EQ(w.entries(), bytes({"/srv/b/", "/srv/a/*.*", "/srv/c/"}));
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("3 folders"));
    EXPECT_EQ(w.lblWhen->text(), QStringLiteral("Not recorded"));
    EXPECT_EQ(w.lblToday->text(), QLocale().toString(QDate::currentDate(), QLocale::LongFormat));
    EXPECT_TRUE(w.ListBox1->item(1)->font().bold());
    EXPECT_FALSE(w.ListBox1->item(0)->font().bold());
    EXPECT_EQ(w.PickList1->lines(),
              (QStringList{QStringLiteral("*.drv\t") + FileTypeName(QStringLiteral(".drv")),
                           QStringLiteral("*.sys\t") + FileTypeName(QStringLiteral(".sys"))}));
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_EQ(w.PageControl1->tabText(0), QStringLiteral("Folders not to delete"));
    EXPECT_EQ(w.PageControl1->tabText(1), QStringLiteral("File types not to delete"));

    // Closing without a change writes nothing (the "\r\n" file stays as it was).
    w.btClose->click();
    EXPECT_FALSE(w.reloadNeeded);
    QFile f(config_.path() + QStringLiteral("/folders.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("\r\n"));
}

TEST_F(SafeHarborWindowTest, AddDeleteAndCloseSaveTheList) {
    writeList("/srv/b/\n/srv/a/\n");
    TfrmNoDelete w;
    w.show();
    {
        ScriptedChooser chooser({QByteArray("/srv/data"), std::nullopt, QByteArray("/")});
        w.btAdd->click();
        w.btAdd->click();
        w.btAdd->click();
        EXPECT_EQ(chooser.titles,
                  QStringList(3, QStringLiteral("Select a folder that won't be deleted")));
    }
    EXPECT_EQ(w.entries(), bytes({"/srv/b/", "/srv/a/", "/srv/data/", "/"}));
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("4 folders"));

    // Nothing selected: the error box, nothing else.
    w.ListBox1->clearSelection();
    w.btDel->click();
    EXPECT_EQ(prompter_.texts(),
              QStringList{QStringLiteral("Select one or more folders from the list above")});

    // Two selected: Cancel keeps them, OK removes them.
    prompter_.clear();
    select(w.ListBox1, {0, 3});
    prompter_.script({Answer::Cancel, Answer::Ok});
    w.btDel->click();
    EXPECT_EQ(w.entries().size(), 4);
    w.btDel->click();
    EXPECT_EQ(prompter_.texts(),
              QStringList(2, QStringLiteral("Really delete the selected folders?")));
    EXPECT_EQ(prompter_.boxes()[0].buttons, platform::Buttons::OkCancel);
    EXPECT_EQ(w.entries(), bytes({"/srv/a/", "/srv/data/"}));
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("2 folders"));

    w.btClose->click();
    EXPECT_TRUE(w.reloadNeeded);
    EXPECT_EQ(savedList(), bytes({"/srv/a/", "/srv/data/"}));
}

TEST_F(SafeHarborWindowTest, DeletingEveryEntryDeletesTheFile) {
    writeList("/srv/a/\n");
    TfrmNoDelete w;
    w.show();
    select(w.ListBox1, {0});
    prompter_.script({Answer::Ok});
    w.btDel->click();
    w.btClose->click();
    EXPECT_FALSE(QFile::exists(config_.path() + QStringLiteral("/folders.txt")));
}

TEST_F(SafeHarborWindowTest, EditingAnEntry) {
    writeList("/srv/data/\n/srv/data/x/\n/srv/data/y/*.*\n/srv/other/\n");
    TfrmNoDelete w;
    w.show();

    w.ListBox1->setCurrentRow(-1);
    w.btEdit->click();
    EXPECT_EQ(prompter_.texts(), QStringList{QStringLiteral("Select a folder first")});

    // Cancel changes nothing.
    w.ListBox1->setCurrentRow(0);
    onModal<TfrmEditFolder>([](TfrmEditFolder& e) {
        EXPECT_EQ(e.Edit1->text(), QStringLiteral("/srv/data/"));
        EXPECT_FALSE(e.cbAll->isChecked());
        e.Edit1->setText(QStringLiteral("/elsewhere/"));
        e.reject();
    });
    w.btEdit->click();
    EXPECT_FALSE(w.listChanged);

    // Protecting the sub-folders makes a subtree entry and drops what it covers.
    onModal<TfrmEditFolder>([](TfrmEditFolder& e) {
        e.cbAll->click();
        e.accept();
    });
    w.btEdit->click();
    EXPECT_TRUE(w.listChanged);
    EXPECT_EQ(w.entries(), bytes({"/srv/data/*.*", "/srv/other/"}));
    EXPECT_EQ(w.ListBox1->currentRow(), 0);
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("2 folders"));

    // A subtree entry opens with its box checked; typed text gets its "/"; an empty text
    // changes nothing.
    onModal<TfrmEditFolder>([](TfrmEditFolder& e) {
        EXPECT_EQ(e.Edit1->text(), QStringLiteral("/srv/data/"));
        EXPECT_TRUE(e.cbAll->isChecked());
        e.cbAll->click();
        e.Edit1->setText(QStringLiteral("/srv/new"));
        e.accept();
    });
    w.btEdit->click();
    EXPECT_EQ(w.entries(), bytes({"/srv/new/", "/srv/other/"}));
    onModal<TfrmEditFolder>([](TfrmEditFolder& e) {
        e.Edit1->clear();
        e.accept();
    });
    w.btEdit->click();
    EXPECT_EQ(w.entries(), bytes({"/srv/new/", "/srv/other/"}));
}

TEST_F(SafeHarborWindowTest, EditFolderExplainsAndKeepsExactBytes) {
    TfrmEditFolder e;
    EXPECT_EQ(e.windowTitle(), QStringLiteral("Edit Folder"));
    const struct {
        const char* text;
        bool all;
        const char* example;
        const char* entry;
    } cases[] = {
        {"/srv/d/", true, "All files and sub-folders below \"/srv/d/\" will NOT be deleted.",
         "/srv/d/*.*"},
        {"", true, "All files and sub-folders below the one you select will NOT be deleted.", ""},
        {"/srv/d", false, "Only files in this folder \"/srv/d\" will NOT be deleted.", "/srv/d/"},
        {"", false, "", ""},
    };
    for (const auto& c : cases) {
        e.Edit1->setText(QLatin1String(c.text));
        if (e.cbAll->isChecked() != c.all) {
            e.cbAll->click();
        }
        EXPECT_EQ(e.lblExample->text(), QLatin1String(c.example)) << c.text;
        EXPECT_EQ(e.entry(), QByteArray(c.entry)) << c.text;
    }

    // A name that is not UTF-8 survives editing untouched, and the browser's choice too.
    e.setEntry("/srv/caf\xe9/*.*");
    EXPECT_TRUE(e.cbAll->isChecked());
    EXPECT_EQ(e.entry(), QByteArray("/srv/caf\xe9/*.*"));
    ScriptedChooser chooser({QByteArray("/srv/b\xff")});
    e.SpeedButton1->click();
    EXPECT_EQ(chooser.titles, QStringList{QStringLiteral("Select a folder that won't be deleted")});
    EXPECT_EQ(chooser.starts, QList<QByteArray>{"/srv/caf\xe9/"});
    EXPECT_EQ(e.entry(), QByteArray("/srv/b\xff/*.*"));
}

TEST_F(SafeHarborWindowTest, ExtensionEditor) {
    TfrmKeepFiles k;
    k.show();
    EXPECT_EQ(k.windowTitle(), QStringLiteral("Safe Harbor file extensions"));
    auto patterns = [&k] {
        QStringList out;
        for (const QString& l : k.PickList1->lines()) {
            out.append(l.section(QLatin1Char('\t'), 0, 0));
        }
        return out;
    };
    EXPECT_EQ(patterns(), (QStringList{QStringLiteral("*.drv"), QStringLiteral("*.sys")}));

    // A typed pattern is added once; the same again adds nothing.
    for (int round = 0; round < 2; ++round) {
        onModal<TfrmSelectExtension>([](TfrmSelectExtension& s) {
            s.Edit1->setText(QStringLiteral("doc"));
            s.btOKClick(false);
        });
        k.btAdd->click();
    }
    EXPECT_EQ(patterns(), (QStringList{QStringLiteral("*.doc"), QStringLiteral("*.drv"),
                                       QStringLiteral("*.sys")}));
    EXPECT_EQ(k.PickList1->lines()[0],
              QStringLiteral("*.doc\t") + FileTypeName(QStringLiteral(".doc")));

    // One line goes without a question; two only after Yes.
    select(k.PickList1, {0});
    k.btDelete->click();
    EXPECT_TRUE(prompter_.boxes().isEmpty());
    select(k.PickList1, {0, 1});
    prompter_.script({Answer::No, Answer::Yes});
    k.btDelete->click();
    EXPECT_EQ(k.PickList1->count(), 2);
    k.btDelete->click();
    EXPECT_EQ(prompter_.texts(), QStringList(2, QStringLiteral("Really delete 2 extensions?")));
    EXPECT_EQ(prompter_.boxes()[0].buttons, platform::Buttons::YesNoCancel);
    EXPECT_EQ(k.PickList1->count(), 0);

    k.btDefaults->click();
    k.btDefaults->click();
    EXPECT_EQ(patterns(), (QStringList{QStringLiteral("*.drv"), QStringLiteral("*.sys")}));

    prompter_.clear();
    prompter_.script({Answer::Cancel, Answer::Yes});
    k.btClear->click();
    EXPECT_EQ(k.PickList1->count(), 2);
    k.btClear->click();
    EXPECT_EQ(prompter_.texts(),
              QStringList(2, QStringLiteral("Really clear out all extensions?")));
    EXPECT_EQ(k.PickList1->count(), 0);

    // Closing stores the list, even by the close box, the patterns only.
    k.btDefaults->click();
    k.close();
    const NumberedList stored = SettingsStore().readList(QString::fromLatin1(settings::kNoDelExt));
    EXPECT_TRUE(stored.saved);
    EXPECT_EQ(stored.entries, (QStringList{QStringLiteral("*.drv"), QStringLiteral("*.sys")}));
    EXPECT_EQ(TfrmKeepFiles::storedLines().size(), 2);
}

TEST_F(SafeHarborWindowTest, BuildKeepsSubtreesAndRecordsTheDate) {
    test::TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    t.dir("kept/inside");
    t.dir("found");
    t.file("conf/app.conf", "a=" + r + "/kept/inside/file\nb=\"" + r + "/found/x\"\n");
    test::ScopedEnv machine("DISKWELL_HARBOR_MACHINE_ROOTS", r + "/conf");
    test::ScopedEnv user("DISKWELL_HARBOR_USER_ROOTS", QByteArray());
    writeList("/srv/plain/\n" + r + "/kept/*.*\n");

    TfrmNoDelete w;
    w.show();
    prompter_.script({Answer::No});
    w.btBuild->click();
    EXPECT_EQ(w.entries().size(), 2);
    EXPECT_FALSE(w.reloadNeeded);
    ASSERT_EQ(prompter_.boxes().size(), 1);
    EXPECT_EQ(prompter_.boxes()[0].text,
              QStringLiteral("Diskwell will now scan the registry for references to folders.  "
                             "Those folders ending with *.* will not be discarded during the "
                             "scan.  It may take a few minutes.  Continue? "));
    EXPECT_EQ(prompter_.boxes()[0].buttons, platform::Buttons::YesNo);

    prompter_.script({Answer::Yes});
    w.btBuild->click();
    EXPECT_TRUE(w.reloadNeeded);
    EXPECT_TRUE(w.listChanged);
    EXPECT_EQ(w.entries(), (QList<QByteArray>{r + "/found/", r + "/kept/*.*"}));
    EXPECT_EQ(w.lblCount->text(), QStringLiteral("2 folders"));
    EXPECT_EQ(w.windowTitle(), TfrmNoDelete::caption());
    EXPECT_TRUE(w.btBuild->isEnabled() && w.btAdd->isEnabled() && w.btClose->isEnabled());
    const QString when =
        SettingsStore().readString(QStringLiteral("Folders"), QStringLiteral("When"), QString());
    EXPECT_TRUE(when.startsWith(QLocale().toString(QDate::currentDate(), QLocale::LongFormat)))
        << when.toStdString();
    EXPECT_EQ(w.lblWhen->text(), when);
    w.btClose->click();
    EXPECT_EQ(savedList(), (QList<QByteArray>{r + "/found/", r + "/kept/*.*"}));
}

}  // namespace
}  // namespace dw
