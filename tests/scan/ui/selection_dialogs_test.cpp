#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "base/settings_store.h"
#include "base/utility.h"
#include "scan/drive_list.h"
#include "scan/folder_walk.h"
#include "scan/type_lines.h"
#include "scan/ui/add_new_folder_dialog.h"
#include "scan/ui/drive_check_list.h"
#include "scan/ui/select_extension_dialog.h"
#include "scan/ui/wildcard_dialog.h"
#include "stats/ui/stat_list_dialog.h"
#include "stats/ui/which_drive_dialog.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/folder_chooser.h"
#include "widgets/type_list.h"

namespace dw {
namespace {

// Records the full paths of the files a walk hands over.
struct WalkRecordingHooks : WalkHooks {
    QList<QByteArray> files;
    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        files.append(folder.path + '/' + entry.name);
    }
};

using platform::Answer;
using test::onModal;

// Answers the folder browser with the queued folders (nullopt: Cancel).
class ScriptedChooser {
public:
    explicit ScriptedChooser(QList<std::optional<QByteArray>> answers)
        : answers_(std::move(answers)) {
        previous_ = setFolderChooser([this](QWidget*, const QString& title, const QByteArray&) {
            titles.append(title);
            return answers_.isEmpty() ? std::nullopt : answers_.takeFirst();
        });
    }
    ~ScriptedChooser() { setFolderChooser(previous_); }
    QStringList titles;

private:
    QList<std::optional<QByteArray>> answers_;
    FolderChooser previous_;
};

QAction* action(QWidget* w, const QString& text) {
    for (QAction* a : w->actions()) {
        if (a->text() == text) {
            return a;
        }
    }
    ADD_FAILURE() << "no action " << text.toStdString();
    return nullptr;
}

class SelectionDialogsTest : public ::testing::Test {
protected:
    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    test::ScriptedPrompter prompter_;
};

TEST_F(SelectionDialogsTest, TypedExtensionBecomesAPattern) {
    const struct {
        const char* typed;
        const char* pattern;
    } cases[] = {
        {"doc", "*.doc"},
        {".doc", "*.doc"},
        {"*.doc", "*.doc"},
        {"readme.txt", "readme.txt"},
        {"a*.tmp", "a*.tmp"},
        {"*.*", ""},
        {".*", ""},
        {"*", ""},
        {"", ""},
        {"  doc ", "*.doc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TfrmSelectExtension::patternFromText(QLatin1String(c.typed)),
                  QLatin1String(c.pattern))
            << c.typed;
    }

    // "readme.txt" keeps its name and takes the description of ".txt"; OK closes.
    TfrmSelectExtension s;
    s.show();
    EXPECT_EQ(s.windowTitle(), QStringLiteral("Select a file extension"));
    ASSERT_GT(s.lBox->count(), 10);
    EXPECT_EQ(s.Edit1->text(), TypeLinePattern(s.lBox->item(0)->text()));
    s.Edit1->setText(QStringLiteral("readme.txt"));
    s.btOKClick(false);
    EXPECT_EQ(s.result(), QDialog::Accepted);
    EXPECT_FALSE(s.MultiSelection);
    EXPECT_EQ(s.ChosenPattern, QStringLiteral("readme.txt"));
    EXPECT_EQ(s.ChosenDescription, FileTypeName(QStringLiteral(".txt")));
    EXPECT_EQ(s.chosenTypeLines(),
              QStringList{QStringLiteral("readme.txt\t") + FileTypeName(QStringLiteral(".txt"))});
}

TEST_F(SelectionDialogsTest, PickerClicksAndDoubleClicks) {
    TfrmSelectExtension s;
    s.show();
    // A click puts the line's pattern into the box.
    QListWidgetItem* third = s.lBox->item(2);
    emit s.lBox->itemClicked(third);
    EXPECT_EQ(s.Edit1->text(), TypeLinePattern(third->text()));

    // "*.*" with a double click does not close; with OK it closes choosing nothing.
    s.Edit1->setText(QStringLiteral("*.*"));
    s.btOKClick(true);
    EXPECT_TRUE(s.isVisible());
    s.btOKClick(false);
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(s.result(), QDialog::Accepted);
    EXPECT_TRUE(s.chosenTypeLines().isEmpty());

    // Several lines: MultiSelection, and the caller adds those it lacks.
    TfrmSelectExtension m;
    m.show();
    for (int row : {1, 3, 5}) {
        m.lBox->item(row)->setSelected(true);
    }
    m.btOKClick(true);  // a double click with several lines does not close
    EXPECT_TRUE(m.isVisible());
    m.btOKClick(false);
    EXPECT_TRUE(m.MultiSelection);
    const QStringList chosen = m.chosenTypeLines();
    ASSERT_EQ(chosen.size(), 3);
    QStringList list{chosen[1], QStringLiteral("*.zzz\tZZZ File")};
    EXPECT_EQ(AddTypeLines(list, chosen), 2);
    EXPECT_EQ(list,
              (QStringList{chosen[1], QStringLiteral("*.zzz\tZZZ File"), chosen[0], chosen[2]}));
}

TEST_F(SelectionDialogsTest, TheEditBoxFollowsTheListsCurrentLineMovedByTheKeys) {
    TfrmSelectExtension s;
    s.show();
    ASSERT_GT(s.lBox->count(), 6);
    s.lBox->setFocus();
    s.lBox->setCurrentRow(0);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(s.lBox, Qt::Key_Down);
    }
    ASSERT_EQ(s.lBox->currentRow(), 5);
    const QString fifth = TypeLinePattern(s.lBox->item(5)->text());
    EXPECT_EQ(s.Edit1->text(), fifth);
    s.btOKClick(false);
    EXPECT_EQ(s.result(), QDialog::Accepted);
    EXPECT_EQ(s.ChosenPattern, fifth);
    // The End key too.
    TfrmSelectExtension e;
    e.show();
    e.lBox->setFocus();
    e.lBox->setCurrentRow(0);
    QTest::keyClick(e.lBox, Qt::Key_End);
    EXPECT_EQ(e.Edit1->text(), TypeLinePattern(e.lBox->item(e.lBox->count() - 1)->text()));
}

TEST_F(SelectionDialogsTest, WildcardDialogNamesThePatternsType) {
    TfrmWildCard w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Wildcard pattern"));
    EXPECT_EQ(w.cbWildCard->itemText(0), QStringLiteral("*.*"));
    EXPECT_GT(w.cbWildCard->count(), 10);
    w.setPattern(QStringLiteral("*.*"));
    EXPECT_EQ(w.lblWild->text(), QStringLiteral("All files"));
    w.cbWildCard->setEditText(QStringLiteral("*.doc"));
    EXPECT_EQ(w.lblWild->text(), QString());
    EXPECT_EQ(w.lblType->text(), FileTypeName(QStringLiteral(".doc")));
    EXPECT_EQ(w.pattern(), QStringLiteral("*.doc"));
}

TEST_F(SelectionDialogsTest, ExtraFoldersAddDeleteAndClose) {
    SettingsStore store;
    ASSERT_TRUE(store.writeList(QStringLiteral("NewFolders"),
                                {QStringLiteral("/srv/b"), QStringLiteral("/srv/A")}));
    TfrmAddNewFolder d;
    d.show();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Add new folders"));
    EXPECT_EQ(d.folders(), (QList<QByteArray>{"/srv/A", "/srv/b"}));
    {
        ScriptedChooser chooser({QByteArray("/srv/b"), QByteArray("/srv/a"), std::nullopt});
        d.btAdd->click();
        d.btAdd->click();
        d.btAdd->click();
        EXPECT_EQ(chooser.titles,
                  QStringList(3, QStringLiteral("Add a selected folder to search")));
    }
    // The same folder once; another spelled in another case is another folder.
    EXPECT_EQ(d.folders(), (QList<QByteArray>{"/srv/A", "/srv/a", "/srv/b"}));

    d.ListBox1->clearSelection();
    d.btDel->click();
    EXPECT_EQ(prompter_.texts(),
              QStringList{QStringLiteral("To delete one or more folder(s), first highlight the "
                                         "selected folders then click delete.")});
    prompter_.clear();
    d.ListBox1->item(0)->setSelected(true);
    d.btDel->click();
    EXPECT_TRUE(prompter_.boxes().isEmpty());
    d.ListBox1->item(0)->setSelected(true);
    d.ListBox1->item(1)->setSelected(true);
    prompter_.script({Answer::No, Answer::Yes});
    d.btDel->click();
    EXPECT_EQ(d.folders().size(), 2);
    d.btDel->click();
    EXPECT_EQ(prompter_.texts(), QStringList(2, QStringLiteral("Really delete 2 folders?")));
    EXPECT_TRUE(d.folders().isEmpty());

    d.Button1->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const NumberedList stored = store.readList(QStringLiteral("NewFolders"));
    EXPECT_TRUE(stored.saved);
    EXPECT_TRUE(stored.entries.isEmpty());
}

TEST_F(SelectionDialogsTest, AnExtraFolderWhoseNameIsNotUtf8IsStoredAndWalkedExactly) {
    test::TempTree t;
    const QByteArray odd = t.dir("caf\xe9 \xff");
    t.fileOfSize("caf\xe9 \xff/inside.bin", 10);
    {
        TfrmAddNewFolder d;
        d.show();
        ScriptedChooser chooser({odd});
        d.btAdd->click();
        d.Button1->click();
    }
    TfrmAddNewFolder again;
    again.show();
    EXPECT_EQ(again.folders(), QList<QByteArray>{odd});
    const QList<DriveEntry> entries = DriveCheckListEntries(kFinderDriveKinds, true);
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.back().startFolder, odd);
    // The walk gets in, and finds the file.
    WalkRecordingHooks hooks;
    FolderWalk walk({}, hooks);
    DriveEntry e = entries.back();
    e.checked = true;
    EXPECT_EQ(walk.walkEntries({e}), 0);
    EXPECT_EQ(hooks.files, QList<QByteArray>{odd + "/inside.bin"});
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

// Closing with the close box after adding stores nothing, and the caller's drive list
// is filled again without the folder.
TEST_F(SelectionDialogsTest, ClosingByTheCloseBoxStoresNothing) {
    DriveCheckList list;
    FillDriveCheckList(list, kStatisticsDriveKinds, true);
    const int drives = list.count();
    ScriptedChooser chooser({QByteArray("/srv/new")});
    onModal<TfrmAddNewFolder>([](TfrmAddNewFolder& d) {
        d.btAdd->click();
        EXPECT_EQ(d.folders(), QList<QByteArray>{"/srv/new"});
        d.close();
    });
    list.item(0)->setCheckState(Qt::Unchecked);
    AddFolderToDriveList(nullptr, list, kStatisticsDriveKinds);
    EXPECT_EQ(list.count(), drives);
    EXPECT_FALSE(SettingsStore().readList(QStringLiteral("NewFolders")).saved);

    // With "Close" it is stored and the list shows it after the drives, unchecked.
    onModal<TfrmAddNewFolder>([](TfrmAddNewFolder& d) {
        ScriptedChooser again({QByteArray("/srv/new")});
        d.btAdd->click();
        d.Button1->click();
    });
    AddFolderToDriveList(nullptr, list, kStatisticsDriveKinds);
    ASSERT_EQ(list.count(), drives + 1);
    EXPECT_EQ(list.entries().back().startFolder, QByteArray("/srv/new"));
    EXPECT_FALSE(list.entries().back().checked);
}

TEST_F(SelectionDialogsTest, WhichDriveAllFilesEndsAtOnce) {
    TfrmWhichDrive w;
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Which drives and file types?"));
    EXPECT_EQ(w.currentPage(), 0);
    ASSERT_GT(w.pckDrive->count(), 0);
    EXPECT_EQ(w.lblOf->text(), QStringLiteral("0/3"));  // "Exclude" with its defaults

    action(w.pckDrive, QStringLiteral("Deselect All"))->trigger();
    EXPECT_FALSE(w.btNext1->isEnabled());
    action(w.pckDrive, QStringLiteral("Select All"))->trigger();
    EXPECT_TRUE(w.btNext1->isEnabled());
    w.btNext1->click();
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_TRUE(w.rbAll->isChecked());
    w.btNext2->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.typeChoice(), TfrmWhichDrive::TypeChoice::AllFiles);
    EXPECT_EQ(w.checkedEntries().size(), w.pckDrive->count());
}

TEST_F(SelectionDialogsTest, WhichDriveSelectedTypesAndTheirEditor) {
    ASSERT_TRUE(SettingsStore().writeList(QStringLiteral("Include"),
                                          {QStringLiteral("*.txt"), QStringLiteral("*.pdf")}));
    TfrmWhichDrive w;
    w.show();
    w.btNext1->click();
    w.rbInclude->setChecked(true);
    w.btNext2->click();
    EXPECT_EQ(w.currentPage(), 2);
    EXPECT_EQ(w.lblHeading->text(), QStringLiteral("Selected file types only"));
    EXPECT_EQ(w.lblOf->text(), QStringLiteral("0/2"));
    EXPECT_FALSE(w.btOK->isEnabled());
    w.PickList1->item(0)->setSelected(true);
    EXPECT_EQ(w.lblOf->text(), QStringLiteral("1/2"));
    EXPECT_TRUE(w.btOK->isEnabled());

    // The editor adds a type; the list is read again, nothing selected.
    onModal<TfrmStatList>([](TfrmStatList& e) {
        EXPECT_EQ(e.listName(), QStringLiteral("Include"));
        EXPECT_EQ(e.lblCount->text(), QStringLiteral("2 available"));
        onModal<TfrmSelectExtension>([](TfrmSelectExtension& s) {
            s.Edit1->setText(QStringLiteral("odt"));
            s.btOKClick(false);
        });
        e.btAdd->click();
        EXPECT_EQ(e.lblCount->text(), QStringLiteral("3 available"));
        e.btClose->click();
    });
    w.btEdit->click();
    EXPECT_EQ(w.lblOf->text(), QStringLiteral("0/3"));
    EXPECT_FALSE(w.btOK->isEnabled());

    action(w.PickList1, QStringLiteral("Select All"))->trigger();
    EXPECT_EQ(w.lblOf->text(), QStringLiteral("3/3"));
    // Without a checked drive there is no OK.
    w.pckDrive->setAllChecked(false);
    w.PickList1Click();
    EXPECT_FALSE(w.btOK->isEnabled());
    w.pckDrive->setAllChecked(true);
    w.PickList1Click();
    w.btOK->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.typeChoice(), TfrmWhichDrive::TypeChoice::Include);
    QStringList patterns;
    for (const QString& l : w.selectedTypeLines()) {
        patterns.append(TypeLinePattern(l));
    }
    EXPECT_EQ(patterns, (QStringList{QStringLiteral("*.odt"), QStringLiteral("*.pdf"),
                                     QStringLiteral("*.txt")}));

    // Page 2's "All files except" reads "Exclude".
    TfrmWhichDrive x;
    x.show();
    x.btNext1->click();
    x.rbExclude->setChecked(true);
    x.btNext2->click();
    EXPECT_EQ(x.lblHeading->text(), QStringLiteral("All file types except ..."));
    EXPECT_EQ(x.PickList1->count(), 3);
    x.btPrevious3->click();
    EXPECT_EQ(x.currentPage(), 1);
    x.btCancel->click();
    EXPECT_EQ(x.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace dw
